# --- failed-request log through a host ---
# A plain-C host that copies itself into a fresh folder, loads the built
# vrtCLNK.so and checks the log the library writes beside it.
add_executable(host_errlog ${CMAKE_CURRENT_LIST_DIR}/host_errlog.c)
target_include_directories(host_errlog PRIVATE ${CMAKE_SOURCE_DIR}/link/include)
target_link_libraries(host_errlog PRIVATE ${CMAKE_DL_LIBS} util)
add_dependencies(host_errlog vrtCLNK)
add_test(NAME host_errlog COMMAND host_errlog $<TARGET_FILE:vrtCLNK>)
# See host_request: unloading the library unloads libgomp, whose start-up
# allocation LeakSanitizer reports without a module to name.
set_tests_properties(host_errlog PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=detect_leaks=0" TIMEOUT 60 LABELS slow)
# --- end failed-request log through a host ---
