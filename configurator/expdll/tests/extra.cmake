# The binding tests load the OPCVentix doubles.
target_compile_definitions(cfg_expdll_tests PRIVATE
  VRT_OPCVENTIX_DOUBLE_DIR="${CMAKE_BINARY_DIR}/opcventix_double")
add_dependencies(cfg_expdll_tests opcventix_double_full opcventix_double_noexport opcventix_double_false)
