/* A plain-C host of vrtCLNK.so on pseudo-terminals: every baud rate the
 * settings dialog offers (and other rates it accepts) opens and reads back
 * in the port's DCB; a device that hangs up during a read ends the read at
 * once, as an input error, without spinning, and the next write fails.
 *
 * Usage: host_serial <vrtCLNK.so>; exit 0 when every check passes. */
#define _GNU_SOURCE
#include <pthread.h>
#include <pty.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "testing/c_host.h"

enum { kErrInput = -10 };

static __typeof__(&_vrtCL_fGetAddr) addr;
static __typeof__(&_vrtCL_fComOpen) comOpen;
static __typeof__(&_vrtCL_fComClose) comClose;
static __typeof__(&_vrtCL_fComWrite) comWrite;
static __typeof__(&_vrtCL_fComRead) comRead;

static double cpuMs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

static PortRecord* com1(void) {
    int32_t status = 0;
    return addr(0, &status);
}

static void everyRateOpens(void) {
    /* The dialog's list, then rates typed into it or set by hosts. */
    static const uint32_t rates[] = {110,    300,    600,    1200,   2400,   4800,   9600,  19200,
                                     38400,  57600,  115200, 128000, 230400, 256000, 460800, 921600,
                                     14400,  56000,  250000, 999999};
    int opened = 0;
    for (size_t i = 0; i < sizeof rates / sizeof rates[0]; ++i) {
        PortRecord* r = com1();
        r->baud = rates[i];
        const int32_t rc = comOpen(0);
        CHECK_MSG(rc >= 0, "rate %u: open gave %d", rates[i], rc);
        if (rc < 0) continue;
        CHECK_MSG(r->dcb.baudRate == rates[i], "rate %u read back as %u", rates[i], r->dcb.baudRate);
        if (r->dcb.baudRate == rates[i]) ++opened;
        comClose(0);
    }
    printf("%d of %zu rates opened and read back\n", opened, sizeof rates / sizeof rates[0]);
}

static int g_master = -1;

static void* unplugLater(void* arg) {
    (void)arg;
    usleep(300 * 1000);
    close(g_master);
    g_master = -1;
    return NULL;
}

static void hangUpEndsTheRead(void) {
    PortRecord* r = com1();
    r->baud = 1200; /* the read's own time-out is some 20 s at this rate */
    CHECK_MSG(comOpen(0) >= 0, "open at 1200");
    const uint8_t req[] = {1, 3, 0, 0, 0, 1};
    uint16_t written = 0;
    CHECK_MSG(comWrite(0, req, sizeof req, &written, 0) == 0, "first write");

    pthread_t unplug;
    pthread_create(&unplug, NULL, unplugLater, NULL);
    const long long wall0 = nowMs();
    const double cpu0 = cpuMs();
    uint8_t ans[256];
    uint16_t got = 0;
    const int32_t rc = comRead(0, ans, sizeof ans, &got, 0);
    const long long wall = nowMs() - wall0;
    const double cpu = cpuMs() - cpu0;
    pthread_join(unplug, NULL);
    printf("hung-up read: %lld ms wall, %.1f ms CPU\n", wall, cpu);
    CHECK_MSG(rc == kErrInput, "the read gave %d", rc);
    CHECK_MSG(wall < 5000, "the read waited %lld ms for its time-out", wall);
    CHECK_MSG(cpu < 0.25 * wall + 50, "the read spun: %.1f ms CPU in %lld ms", cpu, wall);
    CHECK_MSG(comWrite(0, req, sizeof req, &written, 0) < 0, "a write after the hang-up succeeded");
    comClose(0);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: host_serial <vrtCLNK.so>\n");
        return 2;
    }
    int slave = -1;
    char name[256];
    if (openpty(&g_master, &slave, name, NULL, NULL) != 0) return 2;
    setenv("VRT_COM1", name, 1);
    void* lib = hostOpen(argv[1]);
    addr = HOST_FN(lib, _vrtCL_fGetAddr);
    comOpen = HOST_FN(lib, _vrtCL_fComOpen);
    comClose = HOST_FN(lib, _vrtCL_fComClose);
    comWrite = HOST_FN(lib, _vrtCL_fComWrite);
    comRead = HOST_FN(lib, _vrtCL_fComRead);

    everyRateOpens();
    hangUpEndsTheRead();
    close(slave);
    dlclose(lib);
    return failures == 0 ? 0 : 1;
}
