# The import tests load the OPCVentix doubles; one test binds the real link
# library from the program's folder.
target_compile_definitions(cfg_main_tests PRIVATE
  VRT_OPCVENTIX_DOUBLE_DIR="${CMAKE_BINARY_DIR}/opcventix_double"
  VRT_LINK_LIBRARY_DIR="$<TARGET_FILE_DIR:vrtCLNK>")
add_dependencies(cfg_main_tests vrtCLNK opcventix_double_full opcventix_double_noexport opcventix_double_false)

# Focus moves as a window system makes them: on a real X server.
vrt_add_test(cfg_tree_focus_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tree_focus_xtest.cpp
  LIBS vrtcfg_main
  XVFB)

# The window's looks on a real X server (a private Xvfb).
vrt_add_test(cfg_main_look_xtests SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_look_xtest.cpp
  LIBS ${VRT_TEST_LIBS} XVFB)
