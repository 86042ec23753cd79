/* A plain-C host: loads vrtCLNK.so with dlopen, opens COM1 on a
 * pseudo-terminal, runs one request in each protocol against a simulated
 * controller, reads the statistics through the record pointer, closes the
 * port and unloads the library.
 *   host_request <path of vrtCLNK.so> <path of request_sim_serve> */
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "testing/c_host.h"

static pid_t startSimulator(const char* serve, int master, int protocol) {
    char fdText[16], protocolText[16];
    snprintf(fdText, sizeof fdText, "%d", master);
    snprintf(protocolText, sizeof protocolText, "%d", protocol);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(serve, serve, fdText, protocolText, (char*)NULL);
        _exit(127);
    }
    return pid;
}

static void stopSimulator(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: host_request <vrtCLNK.so> <request_sim_serve>\n");
        return 2;
    }
    int master = -1, slave = -1;
    char name[128] = {0};
    struct termios raw;
    memset(&raw, 0, sizeof raw);
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, NULL) != 0) return 2;
    tcsetattr(master, TCSANOW, &raw);
    setenv("VRT_COM1", name, 1);

    void* lib = hostOpen(argv[1]);
    __auto_type comOpen = HOST_FN(lib, _vrtCL_fComOpen);
    __auto_type comClose = HOST_FN(lib, _vrtCL_fComClose);
    __auto_type comIsOpen = HOST_FN(lib, _vrtCL_fComIsOpen);
    __auto_type getAddr = HOST_FN(lib, _vrtCL_fGetAddr);
    __auto_type comRequest = HOST_FN(lib, _vrtCL_fComRequest);
    __auto_type err2str = HOST_FN(lib, _vrtCL_fErr2str);

    int32_t status = 0;
    PortRecord* rec = getAddr(0, &status);
    CHECK(rec != NULL && status == 0);
    if (!rec) return 1;
    rec->max = 0; /* a quick controller: the shortest waits */
    CHECK(comOpen(0) == 0);
    CHECK(comIsOpen(0) == 1);
    CHECK(rec->dcb.baudRate == rec->baud);

    static const uint8_t ascii[] = {4, 0x03, 0x10};
    static const uint8_t vrtRtu[] = {4, 0x05, 0x11, 0x13};
    static const uint8_t modbus[] = {17, 0x03, 0x00, 0x00, 0x00, 0x02};
    const uint8_t* requests[3] = {ascii, vrtRtu, modbus};
    const uint16_t lengths[3] = {sizeof ascii, sizeof vrtRtu, sizeof modbus};
    for (int protocol = 0; protocol < 3; ++protocol) {
        rec->protocol = protocol;
        const pid_t sim = startSimulator(argv[2], master, protocol);
        uint8_t answer[64];
        uint16_t len = 0;
        const int32_t r = comRequest(0, requests[protocol], lengths[protocol], answer, sizeof answer, &len);
        if (r != 0) fprintf(stderr, "protocol %d: %d (%s)\n", protocol, r, err2str(r));
        CHECK(r == 0);
        CHECK(len == lengths[protocol]);
        CHECK(answer[0] == requests[protocol][0]);
        CHECK(answer[1] == (protocol == 2 ? 0x03 : (0x10 | (requests[protocol][1] & 0x0F))));
        CHECK(memcmp(answer + 2, requests[protocol] + 2, (size_t)lengths[protocol] - 2) == 0);
        stopSimulator(sim);
    }

    CHECK(rec->cntRq == 3);
    CHECK(rec->cntOut == 3);
    CHECK(rec->cntInp == 3);
    CHECK(rec->cntErrRq == 0 && rec->cntErrOut == 0 && rec->cntErrInp == 0);
    CHECK(rec->cntErrAnswer == 0 && rec->cntNegAnswer == 0);
    CHECK(rec->lastOp == 5 && rec->lastResult == 0 && rec->opDone == 1);
    CHECK(rec->tmRq > 0);

    comClose(0);
    CHECK(comIsOpen(0) == 0);
    CHECK(rec->phase == 0 && rec->lastOp == 2);

    /* Unloading closes what is still open: the device is free afterwards. */
    CHECK(comOpen(0) == 0);
    dlclose(lib);
    const int probe = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    CHECK(probe >= 0 && flock(probe, LOCK_EX | LOCK_NB) == 0);
    if (probe >= 0) close(probe);

    close(slave);
    close(master);
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
