/* A plain-C host of the built library: sets a phone number, switches COM2 to
 * its modem through the record pointer, opens (dials), runs one request and
 * closes (hangs up). Argument 2 says whether the dial must have shown the
 * progress window ("window") or run without one ("nowindow"). */
#include <stdio.h>
#include <string.h>

#include "testing/c_host.h"

/* Under the sanitizers: Qt's font set-up (offscreen window) leaves
 * fontconfig's caches behind at exit; they are not ours to free. */
HOST_LSAN_SUPPRESSIONS("leak:libfontconfig.so\n")

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: host_modem <vrtCLNK.so> window|nowindow\n");
        return 2;
    }
    const int expectWindow = strcmp(argv[2], "window") == 0;
    void* lib = hostOpen(argv[1]);
    __auto_type setPhone = HOST_FN(lib, _vrtCL_fSetPhone);
    __auto_type getAddr = HOST_FN(lib, _vrtCL_fGetAddr);
    __auto_type open = HOST_FN(lib, _vrtCL_fOpen);
    __auto_type close = HOST_FN(lib, _vrtCL_fClose);
    __auto_type isOpen = HOST_FN(lib, _vrtCL_fIsOpen);
    __auto_type request = HOST_FN(lib, _vrtCL_fRequest);
    void** frmMdmWork = HOST_VAR(lib, _FrmMDMWork);

    CHECK(setPhone(1, "555 12 34") == 1);
    int32_t status = 0;
    PortRecord* rec = getAddr(1, &status);
    CHECK(rec != NULL && status == 1);
    if (!rec) return 1;
    rec->usage = 1;

    const long long start = nowMs();
    CHECK(open(1) == 1);
    const long long took = nowMs() - start;
    CHECK(isOpen(1) == 1);
    CHECK(*frmMdmWork == NULL);

    /* The library makes its own application object only to show the window. */
    void** app = (void**)dlsym(lib, "_ZN16QCoreApplication4selfE");
    const int appMade = app != NULL && *app != NULL;
    if (expectWindow) {
        CHECK(appMade);
        CHECK(took >= 3000); /* the window counted down after CONNECT */
    } else {
        CHECK(!appMade);
    }

    const uint8_t req[] = {4, 0x03, 0x10, 0x20};
    uint8_t ans[16];
    uint16_t len = 0;
    CHECK(request(1, req, sizeof req, ans, sizeof ans, &len) == 0);
    CHECK(len == 4 && ans[0] == 4 && ans[1] == 0x13 && ans[3] == 0x20);

    close(1);
    CHECK(isOpen(1) == 0);
    if (failures == 0) printf("host_modem: ok (%s, open took %lld ms)\n", argv[2], took);
    return failures == 0 ? 0 : 1;
}
