# A plain-C host that loads the built vrtCLNK.so with dlopen and checks the
# port table it finds, with and without INI files beside a copy of itself.
add_executable(host_settings ${CMAKE_CURRENT_LIST_DIR}/host_settings.c)
target_include_directories(host_settings PRIVATE ${CMAKE_SOURCE_DIR}/link/include)
target_link_libraries(host_settings PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(host_settings vrtCLNK)
add_test(NAME host_settings COMMAND host_settings $<TARGET_FILE:vrtCLNK>)
set_tests_properties(host_settings PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)

# The library exports its C names and nothing else.
add_test(NAME vrtclnk_exports
  COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:vrtCLNK> -P ${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)
