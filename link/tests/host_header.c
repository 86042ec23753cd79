/* The smallest host of the public header: it must compile without a warning
 * in every C and C++ dialect a host may use (see header_dialects.cmake). With
 * VRT_EXPECT_FAILED_CHECK a false layout check must stop the compilation, so
 * the checks are known to be live in that dialect. */
#include "vrtclnk.h"

#ifdef VRT_EXPECT_FAILED_CHECK
VRT_LAYOUT_CHECK(sizeof(PortRecord) == 514, "must fail");
#endif

int main(void) {
    PortRecord rec;
    int32_t (*open)(int32_t) = _vrtCL_fOpen;
    rec.portIndex = 0;
    rec.dcb.baudRate = 19200;
    (void)open;
    return rec.portIndex;
}
