#include "vrtcltrn/port_table.h"

// The entry routine at load: records where the library lives and reads its
// configuration once, so a host finds the port table ready.
namespace {
const char g_anchor = 0;  // any address inside this library will do
bool g_entered = false;

__attribute__((constructor)) void LibraryEntry() {
    if (g_entered) return;
    g_entered = true;
    vrt::link::LibraryInstance = &g_anchor;
    _vrtCL_fInit();
}
}  // namespace
