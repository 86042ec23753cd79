# The modem dialogue in a plain-C host: the built vrtCLNK.so via dlopen, COM2
# on a pseudo-terminal with the Hayes modem simulator behind it. Once with an
# offscreen display (the progress window is shown) and once with no display
# at all (the dialogue runs without it).
vrt_add_c_host(host_modem)

add_executable(host_modem_runner ${CMAKE_CURRENT_LIST_DIR}/host_modem_runner.cpp)
target_link_libraries(host_modem_runner PRIVATE vrt_testing)
add_dependencies(host_modem_runner host_modem)

add_test(NAME host_modem_offscreen
  COMMAND host_modem_runner $<TARGET_FILE:host_modem> $<TARGET_FILE:vrtCLNK> window)
set_tests_properties(host_modem_offscreen PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

add_test(NAME host_modem_no_display
  COMMAND host_modem_runner $<TARGET_FILE:host_modem> $<TARGET_FILE:vrtCLNK> nowindow)
set_tests_properties(host_modem_no_display PROPERTIES
  ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=unset:;DISPLAY=unset:;WAYLAND_DISPLAY=unset:"
  TIMEOUT 120)

# A plain-C host whose own thread aborts the dial inside _vrtCL_fOpen: -51
# soon after, the port closed, the modem stopped. With and without the window.
vrt_add_c_host(host_abort LIBS Threads::Threads)

add_executable(host_abort_runner ${CMAKE_CURRENT_LIST_DIR}/host_abort_runner.cpp)
target_link_libraries(host_abort_runner PRIVATE vrt_testing)
add_dependencies(host_abort_runner host_abort)

add_test(NAME host_abort_offscreen
  COMMAND host_abort_runner $<TARGET_FILE:host_abort> $<TARGET_FILE:vrtCLNK> window)
set_tests_properties(host_abort_offscreen PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

add_test(NAME host_abort_no_display
  COMMAND host_abort_runner $<TARGET_FILE:host_abort> $<TARGET_FILE:vrtCLNK> nowindow)
set_tests_properties(host_abort_no_display PROPERTIES
  ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=unset:;DISPLAY=unset:;WAYLAND_DISPLAY=unset:"
  TIMEOUT 120)
