# --- frames fuzz ---
# The frame parser's fuzz target. frames.cpp is compiled into it (not taken
# from vrtclnk_objs) so that libFuzzer's coverage and the sanitizers reach it.
vrt_add_fuzz_target(frames
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frames_fuzz.cpp ${CMAKE_SOURCE_DIR}/link/vrtcltrn/frames.cpp
  LIBS vrt_platform
  SEEDS ${CMAKE_SOURCE_DIR}/testing/fuzz-seeds/fuzz_frames)
foreach(t fuzz_frames fuzzseeds_frames)
  if(TARGET ${t})
    target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR}/link/include ${CMAKE_SOURCE_DIR}/link)
  endif()
endforeach()

# A plain-C host that loads the built vrtCLNK.so with dlopen.
vrt_add_c_host(host_frames)
add_test(NAME host_frames COMMAND host_frames $<TARGET_FILE:vrtCLNK>)
# The host unloads the library on purpose; LeakSanitizer then reports the
# start-up allocation of libgomp (a dependency of Qt's) with no module to name.
set_tests_properties(host_frames PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=detect_leaks=0" TIMEOUT 60)
# --- end frames fuzz ---

# --- serial host and modbus ---
# A plain-C host that loads the built vrtCLNK.so, opens COM1 on a
# pseudo-terminal and runs requests in each protocol against the controller
# simulator, which it starts as request_sim_serve on the master side.
add_executable(request_sim_serve ${CMAKE_CURRENT_LIST_DIR}/request_sim_serve.cpp)
target_link_libraries(request_sim_serve PRIVATE vrt_testing)
vrt_add_c_host(host_request LIBS util DEPENDS request_sim_serve)
add_test(NAME host_request COMMAND host_request $<TARGET_FILE:vrtCLNK> $<TARGET_FILE:request_sim_serve>)
# Unloading the library also unloads libgomp, which Qt's dependencies pull in
# and whose start-up allocation LeakSanitizer then reports without a module
# to name; the library's own code is leak-checked by the test binaries.
set_tests_properties(host_request PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=detect_leaks=0" TIMEOUT 60)
# --- end serial host and modbus ---
