# The import tests load the OPCVentix double; the fuzz target reads arbitrary
# bytes as a ".tag" file.
target_compile_definitions(cfg_hardwarerw_tests PRIVATE
  VRT_OPCVENTIX_DOUBLE_DIR="${CMAKE_BINARY_DIR}/opcventix_double")
add_dependencies(cfg_hardwarerw_tests opcventix_double_full)

# The reader's own sources are compiled into the target (not taken from
# vrtcfg_core) so that libFuzzer's coverage and the sanitizers reach them.
file(GLOB fuzz_core_sources
  ${CMAKE_SOURCE_DIR}/configurator/hardwarerw/*.cpp ${CMAKE_SOURCE_DIR}/configurator/vbdll/*.cpp)
vrt_add_fuzz_target(tag_file
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tag_file_fuzz.cpp ${fuzz_core_sources}
  LIBS vrt_platform ${CMAKE_DL_LIBS}
  SEEDS ${CMAKE_SOURCE_DIR}/testing/fuzz-seeds/fuzz_tag_file)
foreach(t fuzz_tag_file fuzzseeds_tag_file)
  if(TARGET ${t})
    target_include_directories(${t} PRIVATE
      ${CMAKE_SOURCE_DIR}/configurator/include ${CMAKE_SOURCE_DIR}/configurator ${CMAKE_SOURCE_DIR})
  endif()
endforeach()
