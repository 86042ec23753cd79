#include "vrtclnk.h"

// When the process unloads the library, every port still open is aborted and
// closed, so no device stays locked and the failed-request log gets its end.
__attribute__((destructor)) static void LibraryExit() { _vrtCL_fComCloseAll(); }
