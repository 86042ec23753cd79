# --- failed-request log through a host ---
# A plain-C host that copies itself into a fresh folder, loads the built
# vrtCLNK.so and checks the log the library writes beside it.
vrt_add_c_host(host_errlog LIBS util)
add_test(NAME host_errlog COMMAND host_errlog $<TARGET_FILE:vrtCLNK>)
# See host_request: unloading the library unloads libgomp, whose start-up
# allocation LeakSanitizer reports without a module to name.
set_tests_properties(host_errlog PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=detect_leaks=0" TIMEOUT 60 LABELS slow)
# --- end failed-request log through a host ---
