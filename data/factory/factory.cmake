# Embeds the factory library's sources into vellumix_core (see embed.cmake).
file(GLOB VELLUMIX_FACTORY_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/*.txt ${CMAKE_CURRENT_LIST_DIR}/*.PCH)
set(VELLUMIX_FACTORY_CPP ${CMAKE_CURRENT_BINARY_DIR}/factory_sources.cpp)
add_custom_command(OUTPUT ${VELLUMIX_FACTORY_CPP}
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR} -DOUTPUT=${VELLUMIX_FACTORY_CPP}
          -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  DEPENDS ${VELLUMIX_FACTORY_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  COMMENT "Embedding the factory library"
  VERBATIM)
target_sources(vellumix_core PRIVATE ${VELLUMIX_FACTORY_CPP})
