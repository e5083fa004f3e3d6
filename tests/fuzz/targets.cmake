# The fuzz targets, shared by the libFuzzer build (CMakeLists.txt) and the replay tests
# (replay.cmake). A target's source is fuzz_<name>.cpp unless set below; its seed corpus is
# corpus/<name>/ and the inputs that crashed or hung it are kept in regressions/<name>/.
set(VELLUMIX_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VELLUMIX_FUZZ_TARGETS
  archive options defaults symbol special instrument template map_setup instrument_list
  track_line file_groups midi_reader score_reader read_old_data run)
set(VELLUMIX_FUZZ_SOURCE_options fuzz_settings.cpp)
set(VELLUMIX_FUZZ_SOURCE_defaults fuzz_settings.cpp)
set(VELLUMIX_FUZZ_DEFINES_defaults VELLUMIX_FUZZ_DEFAULTS)

# The source and compile definitions of target `name`.
function(vellumix_fuzz_target name source_var defines_var)
  if(DEFINED VELLUMIX_FUZZ_SOURCE_${name})
    set(${source_var} ${VELLUMIX_FUZZ_DIR}/${VELLUMIX_FUZZ_SOURCE_${name}} PARENT_SCOPE)
  else()
    set(${source_var} ${VELLUMIX_FUZZ_DIR}/fuzz_${name}.cpp PARENT_SCOPE)
  endif()
  set(${defines_var} "${VELLUMIX_FUZZ_DEFINES_${name}}" PARENT_SCOPE)
endfunction()
