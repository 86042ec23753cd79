# The import tests load the OPCVentix doubles; one test binds the real link
# library from the program's folder.
target_compile_definitions(cfg_main_tests PRIVATE
  VRT_OPCVENTIX_DOUBLE_DIR="${CMAKE_BINARY_DIR}/opcventix_double"
  VRT_LINK_LIBRARY_DIR="$<TARGET_FILE_DIR:vrtCLNK>")
add_dependencies(cfg_main_tests vrtCLNK opcventix_double_full opcventix_double_noexport opcventix_double_false)
