# Compiles host_header.c as one C or C++ dialect (-DCOMPILER, -DLANG c|c++,
# -DSTD, -DSOURCE, -DINCLUDE): it must compile without any diagnostic, and a
# false layout check must stop it.
set(flags -x ${LANG} -std=${STD} -Wall -Wextra -pedantic -Werror -I${INCLUDE} -fsyntax-only)
execute_process(COMMAND ${COMPILER} ${flags} ${SOURCE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
  message(FATAL_ERROR "vrtclnk.h as ${STD}: exit ${rc}\n${out}${err}")
endif()
execute_process(COMMAND ${COMPILER} ${flags} -DVRT_EXPECT_FAILED_CHECK ${SOURCE}
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  message(FATAL_ERROR "vrtclnk.h as ${STD}: a false layout check compiled")
endif()
