# Replays every fuzz target's kept crashers (regressions/<name>/) and seed corpus (corpus/<name>/)
# through the target's entry point, in every build: a plain main stands in for libFuzzer.
# Included by tests/CMakeLists.txt.
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)

add_library(vellumix_fuzz_replay_support STATIC
  ${VELLUMIX_FUZZ_DIR}/fuzz_support.cpp ${VELLUMIX_FUZZ_DIR}/../support/temp_folder.cpp)
target_include_directories(vellumix_fuzz_replay_support PUBLIC
  ${VELLUMIX_FUZZ_DIR} ${VELLUMIX_FUZZ_DIR}/../support)
target_link_libraries(vellumix_fuzz_replay_support PUBLIC vellumix_core vellumix_score_builder)
target_compile_definitions(vellumix_fuzz_replay_support PRIVATE
  VELLUMIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

foreach(name IN LISTS VELLUMIX_FUZZ_TARGETS)
  vellumix_fuzz_target(${name} source defines)
  add_executable(vellumix_fuzz_replay_${name} ${source} ${VELLUMIX_FUZZ_DIR}/replay_main.cpp)
  target_compile_definitions(vellumix_fuzz_replay_${name} PRIVATE ${defines})
  target_link_libraries(vellumix_fuzz_replay_${name} PRIVATE vellumix_fuzz_replay_support)
  add_test(NAME fuzz.${name}
    COMMAND vellumix_fuzz_replay_${name}
            ${VELLUMIX_FUZZ_DIR}/regressions/${name} ${VELLUMIX_FUZZ_DIR}/corpus/${name})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 600)
endforeach()
