# The modem dialogue in plain-C hosts: the built vrtCLNK.so via dlopen, COM2 on
# a pseudo-terminal with the Hayes modem simulator behind it, put there by the
# host's runner, which then checks what the modem heard.
#   host_modem: dials, connects, makes a request, closes.
#   host_abort: its own thread aborts the dial inside _vrtCL_fOpen: -51 soon
#               after, the port closed, the modem stopped.
# Each runs once with an offscreen display (the progress window is shown) and
# once with no display at all (the dialogue runs without it).
vrt_add_c_host(host_modem)
vrt_add_c_host(host_abort LIBS Threads::Threads)

foreach(host host_modem host_abort)
  add_executable(${host}_runner ${CMAKE_CURRENT_LIST_DIR}/${host}_runner.cpp)
  target_link_libraries(${host}_runner PRIVATE vrt_testing)
  add_dependencies(${host}_runner ${host})

  add_test(NAME ${host}_offscreen
    COMMAND ${host}_runner $<TARGET_FILE:${host}> $<TARGET_FILE:vrtCLNK> window)
  set_tests_properties(${host}_offscreen PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

  add_test(NAME ${host}_no_display
    COMMAND ${host}_runner $<TARGET_FILE:${host}> $<TARGET_FILE:vrtCLNK> nowindow)
  set_tests_properties(${host}_no_display PROPERTIES
    ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=unset:;DISPLAY=unset:;WAYLAND_DISPLAY=unset:"
    TIMEOUT 120)
endforeach()
