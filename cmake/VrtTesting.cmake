# vrt_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [NO_DISCOVER] [XVFB])
# Builds one GoogleTest binary and registers its tests with CTest.
# Every test runs with QT_QPA_PLATFORM=offscreen unless ENV overrides it.
# XVFB runs the whole binary as one test on a private Xvfb server (xcb).
function(vrt_add_test name)
  cmake_parse_arguments(T "NO_DISCOVER;XVFB" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(env "QT_QPA_PLATFORM=offscreen" ${T_ENV})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(props ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_XVFB)
    add_test(NAME ${name} COMMAND ${VRT_WITH_XVFB} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES ${props})
  elseif(T_NO_DISCOVER)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props})
  else()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${props})
  endif()
endfunction()

# Prefix for a test command that needs a real X server.
set(VRT_WITH_XVFB bash ${CMAKE_SOURCE_DIR}/scripts/with-xvfb.sh)

# vrt_add_test_folder(<prefix> <folder> LIBS ...)
# Every <folder>/*_test.cpp goes into one binary <prefix>_tests, every
# <folder>/*_slowtest.cpp into <prefix>_slow_tests labelled `slow`.
# A folder that needs more (plain-C hosts, fuzz targets) adds <folder>/extra.cmake.
function(vrt_add_test_folder prefix folder)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  if(NOT IS_DIRECTORY ${folder})
    return()
  endif()
  file(GLOB fast CONFIGURE_DEPENDS ${folder}/*_test.cpp)
  file(GLOB slow CONFIGURE_DEPENDS ${folder}/*_slowtest.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${folder}/*_helpers.cpp)
  if(fast)
    vrt_add_test(${prefix}_tests SOURCES ${fast} ${helpers} LIBS ${T_LIBS})
  endif()
  if(slow)
    vrt_add_test(${prefix}_slow_tests SOURCES ${slow} ${helpers} LIBS ${T_LIBS} LABELS slow TIMEOUT 300)
  endif()
  if(EXISTS ${folder}/extra.cmake)
    set(VRT_TEST_LIBS ${T_LIBS})
    include(${folder}/extra.cmake)
  endif()
endfunction()

# vrt_add_c_host(<name> [SOURCES ...] [LIBS ...] [DEPENDS ...])
# A plain-C host program that loads the built vrtCLNK.so with dlopen, as a
# customer's program does; SOURCES default to <name>.c beside the calling
# extra.cmake. testing/c_host.h holds what the hosts share.
function(vrt_add_c_host name)
  cmake_parse_arguments(H "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(NOT H_SOURCES)
    set(H_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}.c)
  endif()
  add_executable(${name} ${H_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/link/include)
  target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS} ${H_LIBS})
  add_dependencies(${name} vrtCLNK ${H_DEPENDS})
endfunction()

# vrt_add_fuzz_target(<name> SOURCES ... LIBS ... SEEDS <folder>)
# With VRT_FUZZ a libFuzzer binary fuzz_<name>; in every build the seeds also
# run through the same entry point as an ordinary test.
function(vrt_add_fuzz_target name)
  cmake_parse_arguments(F "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(VRT_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
  endif()
  add_executable(fuzzseeds_${name} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/testing/fuzz_seed_runner.cpp)
  target_link_libraries(fuzzseeds_${name} PRIVATE ${F_LIBS})
  add_test(NAME fuzzseeds_${name} COMMAND fuzzseeds_${name} ${F_SEEDS})
endfunction()
