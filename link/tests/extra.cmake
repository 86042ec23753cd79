# A plain-C host that loads the built vrtCLNK.so with dlopen and checks the
# port table it finds, with and without INI files beside a copy of itself.
vrt_add_c_host(host_settings)
add_test(NAME host_settings COMMAND host_settings $<TARGET_FILE:vrtCLNK>)
set_tests_properties(host_settings PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)

# The library exports its C names and nothing else.
add_test(NAME vrtclnk_exports
  COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:vrtCLNK> -P ${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)

# A plain-C host that ends with library windows open or closed, with and
# without dlclose, on a real X server; and the same host started many times
# in a row against one X server that resets when its last client leaves.
vrt_add_c_host(host_window LIBS util Threads::Threads)
add_test(NAME host_window_exit COMMAND ${VRT_WITH_XVFB} $<TARGET_FILE:host_window> $<TARGET_FILE:vrtCLNK>)
# The hosts leave library windows to the end of the process on purpose, and
# leaks in a library unloaded with dlclose cannot be told apart: no leak check.
set(host_env "LSAN_OPTIONS=detect_leaks=0")
set_tests_properties(host_window_exit PROPERTIES ENVIRONMENT "${host_env}" TIMEOUT 180)
add_test(NAME host_window_exit_offscreen COMMAND host_window $<TARGET_FILE:vrtCLNK>)
set_tests_properties(host_window_exit_offscreen PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${host_env}" TIMEOUT 180)
add_test(NAME host_window_startups
  COMMAND ${CMAKE_COMMAND} -E env VRT_XVFB_RESET=1 ${VRT_WITH_XVFB} $<TARGET_FILE:host_window> $<TARGET_FILE:vrtCLNK> startups 300)
set_tests_properties(host_window_startups PROPERTIES ENVIRONMENT "${host_env}" LABELS slow TIMEOUT 600)

# A plain-C host on pseudo-terminals: every baud rate opens and reads back; a
# device that hangs up ends a read at once without spinning.
vrt_add_c_host(host_serial LIBS util Threads::Threads)
add_test(NAME host_serial COMMAND host_serial $<TARGET_FILE:vrtCLNK>)
set_tests_properties(host_serial PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${host_env}" TIMEOUT 120)

# A plain-C GLib host: its own g_main_loop_run keeps the library's modeless
# statistics window refreshing, as a Windows host's message loop would.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
add_library(window_probe MODULE ${CMAKE_CURRENT_LIST_DIR}/window_probe.cpp)
target_link_libraries(window_probe PRIVATE Qt6::Widgets)
vrt_add_c_host(host_glib LIBS PkgConfig::GLIB DEPENDS window_probe)
add_test(NAME host_glib COMMAND ${VRT_WITH_XVFB} $<TARGET_FILE:host_glib> $<TARGET_FILE:vrtCLNK> $<TARGET_FILE:window_probe>)
set_tests_properties(host_glib PROPERTIES ENVIRONMENT "${host_env}" TIMEOUT 60)
# The same GLib host calls the dialog again from a timer while the modeless
# window is inside its own exit, About or help handler.
vrt_add_c_host(host_reentry LIBS PkgConfig::GLIB DEPENDS window_probe)
add_test(NAME host_reentry COMMAND ${VRT_WITH_XVFB} $<TARGET_FILE:host_reentry> $<TARGET_FILE:vrtCLNK> $<TARGET_FILE:window_probe>)
add_test(NAME host_reentry_offscreen COMMAND host_reentry $<TARGET_FILE:vrtCLNK> $<TARGET_FILE:window_probe>)
set_tests_properties(host_reentry PROPERTIES ENVIRONMENT "${host_env}" TIMEOUT 60)
set_tests_properties(host_reentry_offscreen PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${host_env}" TIMEOUT 60)
add_test(NAME host_window_no_display
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/host_window_no_display.sh $<TARGET_FILE:host_window> $<TARGET_FILE:vrtCLNK>)
set_tests_properties(host_window_no_display PROPERTIES ENVIRONMENT "${host_env}" TIMEOUT 120)

# The public header in every dialect a host may compile with.
foreach(std c89 c99 c11 c++98 c++11 c++14 c++17 c++20)
  if(std MATCHES "^c\\+\\+")
    set(lang c++)
    set(compiler ${CMAKE_CXX_COMPILER})
  else()
    set(lang c)
    set(compiler ${CMAKE_C_COMPILER})
  endif()
  add_test(NAME vrtclnk_header_${std}
    COMMAND ${CMAKE_COMMAND} -DCOMPILER=${compiler} -DLANG=${lang} -DSTD=${std}
      -DSOURCE=${CMAKE_CURRENT_LIST_DIR}/host_header.c -DINCLUDE=${CMAKE_SOURCE_DIR}/link/include
      -P ${CMAKE_CURRENT_LIST_DIR}/header_dialects.cmake)
  set_tests_properties(vrtclnk_header_${std} PROPERTIES TIMEOUT 60)
endforeach()
