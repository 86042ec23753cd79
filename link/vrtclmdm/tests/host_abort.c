/* A plain-C host of the built library whose own thread aborts a dial: COM2
 * goes through its modem, the open dials, and when the runner signals
 * (SIGUSR1: the modem has the dial command) the thread calls
 * _vrtCL_fSetEvent(1, 1). The open must fail with -51 soon after and leave
 * the port closed. Argument 2: "window" (the progress window is shown) or
 * "nowindow". */
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include "testing/c_host.h"

/* Under the sanitizers: Qt's font set-up (offscreen window) leaves
 * fontconfig's caches behind at exit; they are not ours to free. */
HOST_LSAN_SUPPRESSIONS("leak:libfontconfig.so\n")

static __typeof__(&_vrtCL_fSetEvent) setEvent;
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
    __typeof__(&_vrtCL_fSetPhone) setPhone;
    __typeof__(&_vrtCL_fGetAddr) getAddr;
    __typeof__(&_vrtCL_fOpen) open;
    __typeof__(&_vrtCL_fIsOpen) isOpen;
    void* lib;
    if (argc < 3) {
        fprintf(stderr, "usage: host_abort <vrtCLNK.so> window|nowindow\n");
        return 2;
    }
    /* Only the aborting thread takes the runner's signal. */
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, NULL);

    lib = hostOpen(argv[1]);
    setPhone = HOST_FN(lib, _vrtCL_fSetPhone);
    getAddr = HOST_FN(lib, _vrtCL_fGetAddr);
    open = HOST_FN(lib, _vrtCL_fOpen);
    isOpen = HOST_FN(lib, _vrtCL_fIsOpen);
    setEvent = HOST_FN(lib, _vrtCL_fSetEvent);

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
    /* The abort and the stop lines after it take under a second; 2 s leaves
     * room for a shared machine, not for a wait that missed the abort. */
    CHECK(abortedAt != 0 && returnedAt - abortedAt < 2000);
    if (strcmp(argv[2], "window") == 0) {
        void** app = (void**)dlsym(lib, "_ZN16QCoreApplication4selfE");
        CHECK(app != NULL && *app != NULL); /* the window was shown */
    }
    if (failures == 0)
        printf("host_abort: ok (%s, abort to return %lld ms)\n", argv[2], returnedAt - abortedAt);
    return failures == 0 ? 0 : 1;
}
