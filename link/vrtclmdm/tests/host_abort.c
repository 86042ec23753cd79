/* A plain-C host of the built library whose own thread aborts a dial: COM2
 * goes through its modem, the open dials, and when the runner signals
 * (SIGUSR1: the modem has the dial command) the thread calls
 * _vrtCL_fSetEvent(1, 1). The open must fail with -51 soon after and leave
 * the port closed. Argument 2: "window" (the progress window is shown) or
 * "nowindow". */
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "vrtclnk.h"

typedef int32_t (*SetPhoneFn)(int32_t, const char*);
typedef PortRecord* (*GetAddrFn)(int32_t, int32_t*);
typedef int32_t (*OpenFn)(int32_t);
typedef int32_t (*IsOpenFn)(int32_t);
typedef int32_t (*SetEventFn)(int32_t, int32_t);

/* Under the sanitizers: Qt's font set-up (offscreen window) leaves
 * fontconfig's caches behind at exit; they are not ours to free. */
__attribute__((visibility("default"))) const char* __lsan_default_suppressions(void) {
    return "leak:libfontconfig.so\n";
}

static int failures = 0;
#define CHECK(cond)                                                  \
    do {                                                             \
        if (!(cond)) {                                               \
            fprintf(stderr, "host_abort: check failed: %s\n", #cond); \
            ++failures;                                              \
        }                                                            \
    } while (0)

static long long nowMs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static SetEventFn setEvent;
static sigset_t usr1;
static volatile int openReturned = 0;
static long long abortedAt = 0;

static void* aborter(void* unused) {
    int sig = 0;
    (void)unused;
    sigwait(&usr1, &sig);
    if (!openReturned) {
        abortedAt = nowMs();
        setEvent(1, 1);
    }
    return NULL;
}

int main(int argc, char** argv) {
    pthread_t thread;
    int32_t status = 0;
    PortRecord* rec;
    int32_t result;
    long long returnedAt;
    SetPhoneFn setPhone;
    GetAddrFn getAddr;
    OpenFn open;
    IsOpenFn isOpen;
    void* lib;
    if (argc < 3) {
        fprintf(stderr, "usage: host_abort <vrtCLNK.so> window|nowindow\n");
        return 2;
    }
    /* Only the aborting thread takes the runner's signal. */
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, NULL);

    lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "host_abort: %s\n", dlerror());
        return 2;
    }
    setPhone = (SetPhoneFn)dlsym(lib, "_vrtCL_fSetPhone");
    getAddr = (GetAddrFn)dlsym(lib, "_vrtCL_fGetAddr");
    open = (OpenFn)dlsym(lib, "_vrtCL_fOpen");
    isOpen = (IsOpenFn)dlsym(lib, "_vrtCL_fIsOpen");
    setEvent = (SetEventFn)dlsym(lib, "_vrtCL_fSetEvent");
    if (!setPhone || !getAddr || !open || !isOpen || !setEvent) {
        fprintf(stderr, "host_abort: a name is missing\n");
        return 2;
    }

    CHECK(setPhone(1, "555 12 34") == 1);
    rec = getAddr(1, &status);
    CHECK(rec != NULL && status == 1);
    if (!rec) return 1;
    rec->usage = 1;
    rec->tmConnect = 60; /* without the abort the dial would wait a minute */

    pthread_create(&thread, NULL, aborter, NULL);
    result = open(1);
    returnedAt = nowMs();
    openReturned = 1;
    pthread_kill(thread, SIGUSR1); /* releases the thread if it never fired */
    pthread_join(thread, NULL);

    CHECK(abortedAt != 0);
    CHECK(result == -51);
    CHECK(isOpen(1) == 0);
    /* Wide: a shared machine; the abort itself takes well under a second. */
    CHECK(abortedAt != 0 && returnedAt - abortedAt < 10000);
    if (strcmp(argv[2], "window") == 0) {
        void** app = (void**)dlsym(lib, "_ZN16QCoreApplication4selfE");
        CHECK(app != NULL && *app != NULL); /* the window was shown */
    }
    if (failures == 0)
        printf("host_abort: ok (%s, abort to return %lld ms)\n", argv[2], returnedAt - abortedAt);
    return failures == 0 ? 0 : 1;
}
