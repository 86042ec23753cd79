// Temporary until the port table lands.
#include "vrtclnk.h"
extern "C" VRT_API void _vrtCL_fInit(void) {}
