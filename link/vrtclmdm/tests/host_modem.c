/* A plain-C host of the built library: sets a phone number, switches COM2 to
 * its modem through the record pointer, opens (dials), runs one request and
 * closes (hangs up). Argument 2 says whether the dial must have shown the
 * progress window ("window") or run without one ("nowindow"). */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "vrtclnk.h"

typedef int32_t (*SetPhoneFn)(int32_t, const char*);
typedef PortRecord* (*GetAddrFn)(int32_t, int32_t*);
typedef int32_t (*OpenFn)(int32_t);
typedef void (*CloseFn)(int32_t);
typedef int32_t (*IsOpenFn)(int32_t);
typedef int32_t (*RequestFn)(int32_t, const uint8_t*, uint16_t, uint8_t*, uint16_t, uint16_t*);

/* Under the sanitizers: Qt's font set-up (offscreen window) leaves
 * fontconfig's caches behind at exit; they are not ours to free. */
__attribute__((visibility("default"))) const char* __lsan_default_suppressions(void) {
    return "leak:libfontconfig.so\n";
}

static int failures = 0;
#define CHECK(cond)                                                  \
    do {                                                             \
        if (!(cond)) {                                               \
            fprintf(stderr, "host_modem: check failed: %s\n", #cond); \
            ++failures;                                              \
        }                                                            \
    } while (0)

static long long nowMs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: host_modem <vrtCLNK.so> window|nowindow\n");
        return 2;
    }
    const int expectWindow = strcmp(argv[2], "window") == 0;
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "host_modem: %s\n", dlerror());
        return 2;
    }
    SetPhoneFn setPhone = (SetPhoneFn)dlsym(lib, "_vrtCL_fSetPhone");
    GetAddrFn getAddr = (GetAddrFn)dlsym(lib, "_vrtCL_fGetAddr");
    OpenFn open = (OpenFn)dlsym(lib, "_vrtCL_fOpen");
    CloseFn close = (CloseFn)dlsym(lib, "_vrtCL_fClose");
    IsOpenFn isOpen = (IsOpenFn)dlsym(lib, "_vrtCL_fIsOpen");
    RequestFn request = (RequestFn)dlsym(lib, "_vrtCL_fRequest");
    void** frmMdmWork = (void**)dlsym(lib, "_FrmMDMWork");
    if (!setPhone || !getAddr || !open || !close || !isOpen || !request || !frmMdmWork) {
        fprintf(stderr, "host_modem: a name is missing\n");
        return 2;
    }

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
