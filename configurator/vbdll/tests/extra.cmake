# The binding test loads the real link library.
target_compile_definitions(cfg_vbdll_tests PRIVATE VRT_LINK_LIBRARY="$<TARGET_FILE:vrtCLNK>")
add_dependencies(cfg_vbdll_tests vrtCLNK)
