/* A plain-C host of vrtCLNK.so: loads it with dlopen and reads the port table
 * through the exported names, as a host program would.
 *
 * Usage: host_settings <path of vrtCLNK.so>
 * The host copies itself, without an extension, into fresh folders whose
 * names hold a dot, puts an INI file (and for the global case a copy of the
 * library with its CFG file) beside the copy, and runs the copy there once
 * per case, so each case starts the library in its own process. Exit 0 when
 * every check passes. */
#define _GNU_SOURCE
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/c_host.h"

_Static_assert(offsetof(PortRecord, baud) == 16, "baud at 16");
_Static_assert(offsetof(PortRecord, max) == 23, "max at 23");
_Static_assert(offsetof(PortRecord, phone) == 63, "phone at 63");
_Static_assert(offsetof(PortRecord, cmdLines) == 135, "command lines at 135");
_Static_assert(offsetof(PortRecord, lastOp) == 399, "lastOp at 399");
_Static_assert(offsetof(PortRecord, hCom) == 463, "hCom at 463");
_Static_assert(offsetof(PortRecord, dcb) == 487, "dcb at 487");

static __typeof__(&_vrtCL_fInit) init;
static __typeof__(&_vrtCL_fGetListParam) list;
static __typeof__(&_vrtCL_fGetAddr) addr;
static __typeof__(&_vrtCL_fParamBaud) paramBaud;

static void load(const char* path) {
    void* lib = hostOpen(path);
    init = HOST_FN(lib, _vrtCL_fInit);
    list = HOST_FN(lib, _vrtCL_fGetListParam);
    addr = HOST_FN(lib, _vrtCL_fGetAddr);
    paramBaud = HOST_FN(lib, _vrtCL_fParamBaud);
    /* Internal names stay inside the library. */
    CHECK(dlsym(lib, "_ZN3vrt4link9PortTableE") == NULL);
    CHECK(dlsym(lib, "LinkSettingsInit") == NULL);
}

static uint32_t le32(const PortRecord* r, size_t at) {
    const unsigned char* b = (const unsigned char*)r + at;
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

static void expectDefaultsExceptLine(const PortRecord* r, int32_t k) {
    const unsigned char* b = (const unsigned char*)r;
    CHECK(le32(r, 0) == (uint32_t)k);
    CHECK(le32(r, 4) == 0 && le32(r, 8) == 0);
    CHECK(le32(r, 39) == 0); /* no modem */
    CHECK(le32(r, 43) == 1);
    CHECK(le32(r, 51) == 250);
    CHECK(le32(r, 55) == 120);
    CHECK(le32(r, 59) == 2);
    CHECK(strcmp((const char*)b + 113, "ATDP") == 0);
    CHECK(strcmp(r->cmdLines[0], "+++|+++ATZ0") == 0);
    CHECK(strcmp(r->cmdLines[1], "ATZ0|ATE0") == 0);
    CHECK(strcmp(r->cmdLines[6], "ATZ0|ATE0|ATL3") == 0);
    CHECK(strcmp(r->cmdLines[8], "AT&D0|AT&C1|AT&K0") == 0);
    CHECK(r->cmdLines[2][0] == 0 && r->cmdLines[11][0] == 0);
    for (size_t i = 399; i < 515; ++i) CHECK(b[i] == 0);
}

static void expectDefaultLine(const PortRecord* r) {
    const unsigned char* b = (const unsigned char*)r;
    CHECK(le32(r, 16) == 19200);
    CHECK(b[20] == 8 && b[21] == 0 && b[22] == 2);
    CHECK(le32(r, 23) == 200);
    CHECK(le32(r, 27) == 0 && le32(r, 31) == 0);
    CHECK(le32(r, 35) == 3);
}

static void caseDefaults(void) {
    PortRecord* table = list();
    int32_t status = 99;
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) {
        expectDefaultsExceptLine(&table[k], k);
        expectDefaultLine(&table[k]);
        CHECK(table[k].phone[0] == 0);
    }
    CHECK(addr(-1, &status) == NULL && status == -4);
    CHECK(addr(4, &status) == NULL && status == -4);
    CHECK(addr(3, &status) == &table[3] && status == 3);
    CHECK(addr(0, NULL) == &table[0]);
    CHECK(paramBaud(0) == 0);
    table[1].portIndex = 7;
    CHECK(addr(1, &status) == NULL && status == -3);
    CHECK(paramBaud(1) == 0);
    table[1].portIndex = 1;
    CHECK(list() == table);
}

static void caseLocalOverlay(const char* folder) {
    PortRecord* table = list();
    CHECK(table[1].baud == 9600);
    CHECK(table[1].data == 7 && table[1].stop == 2 && table[1].parity == 0);
    CHECK(table[1].max == 0 && table[1].protocol == 2 && table[1].rptErr == 10);
    CHECK(table[0].usage == 1 && strcmp(table[0].phone, "8-800 555") == 0);
    CHECK(strcmp(table[3].cmdATD, "ATDT") == 0);
    CHECK(table[3].cmdLines[1][0] == 0);
    expectDefaultLine(&table[0]);
    expectDefaultLine(&table[2]);
    expectDefaultsExceptLine(&table[2], 2);

    /* Read once: a changed file and a second _vrtCL_fInit change nothing. */
    char path[4096];
    snprintf(path, sizeof path, "%s/host.INI", folder);
    CHECK(hostWriteText(path, "[vrtCLink]\nCOM2=baud:1200\n"));
    init();
    CHECK(list()[1].baud == 9600);
}

static void caseGlobal(void) {
    PortRecord* table = list();
    CHECK(table[0].baud == 38400);
    CHECK(table[1].baud == 19200); /* the local COM2 is not read */
}

static int runCopy(const char* folder, const char* caseName, const char* lib) {
    char exe[4096];
    snprintf(exe, sizeof exe, "%s/host", folder);
    if (!hostCopySelf(exe)) {
        fprintf(stderr, "cannot copy the host to %s\n", exe);
        return 0;
    }
    pid_t pid = fork();
    if (pid == 0) {
        alarm(10); /* kept across exec: a case that hangs fails */
        char* args[] = {exe, (char*)caseName, (char*)lib, (char*)folder, NULL};
        execv(exe, args);
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "case %s failed (status %d)\n", caseName, status);
        return 0;
    }
    return 1;
}

static void removeFolder(const char* folder) {
    const char* names[] = {"host", "host.INI", "vrtCLNK.so", "vrtCLNK.CFG", "vrtCLNK_host.err"};
    char path[4096];
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        snprintf(path, sizeof path, "%s/%s", folder, names[i]);
        unlink(path);
    }
    rmdir(folder);
}

static int newFolder(char* out, size_t size) {
    const char* tmp = getenv("TMPDIR");
    snprintf(out, size, "%s/vrt.host.XXXXXX", tmp && *tmp ? tmp : "/tmp");
    return mkdtemp(out) != NULL;
}

static int driver(const char* lib) {
    char folder[1024], path[2048];
    int ok = 1;

    if (!newFolder(folder, sizeof folder)) return 1;
    ok &= runCopy(folder, "defaults", lib);
    removeFolder(folder);

    if (!newFolder(folder, sizeof folder)) return 1;
    snprintf(path, sizeof path, "%s/host.INI", folder);
    ok &= hostWriteText(path,
                        "[Host own settings]\r\nx=1\r\n"
                        "[vrtcLINK]\r\n"
                        "COM2=baud:9600, data:7, stop:2, parity:N, max:0, mode:0, protocol:2, rptErr:10\r\n"
                        "MODEM1_BASE=usage:1, phone:\" 8-800 555 \"\r\n"
                        "MODEM4_cmdATD=\"ATDT\" \r\n"
                        "MODEM4_cmd1_2=\"\"\r\n");
    ok &= runCopy(folder, "local", lib);
    removeFolder(folder);

    if (!newFolder(folder, sizeof folder)) return 1;
    snprintf(path, sizeof path, "%s/vrtCLNK.so", folder);
    ok &= hostCopyFile(lib, path);
    snprintf(path, sizeof path, "%s/host.INI", folder);
    ok &= hostWriteText(path, "[vrtCLink]\nIS_GLOBAL=1\nCOM1=baud:4800\nCOM2=baud:4800\n");
    snprintf(path, sizeof path, "%s/vrtCLNK.CFG", folder);
    ok &= hostWriteText(path, "[vrtCLink]\nCOM1=baud:38400\n");
    snprintf(path, sizeof path, "%s/vrtCLNK.so", folder);
    ok &= runCopy(folder, "global", path);
    removeFolder(folder);

    /* A FIFO named like the INI file, or like the global CFG file: the
     * library starts at once with its defaults. */
    if (!newFolder(folder, sizeof folder)) return 1;
    snprintf(path, sizeof path, "%s/host.INI", folder);
    ok &= mkfifo(path, 0666) == 0;
    ok &= runCopy(folder, "defaults", lib);
    removeFolder(folder);

    if (!newFolder(folder, sizeof folder)) return 1;
    snprintf(path, sizeof path, "%s/vrtCLNK.so", folder);
    ok &= hostCopyFile(lib, path);
    snprintf(path, sizeof path, "%s/host.INI", folder);
    ok &= hostWriteText(path, "[vrtCLink]\nIS_GLOBAL=1\n");
    snprintf(path, sizeof path, "%s/vrtCLNK.CFG", folder);
    ok &= mkfifo(path, 0666) == 0;
    snprintf(path, sizeof path, "%s/vrtCLNK.so", folder);
    ok &= runCopy(folder, "defaults", path);
    removeFolder(folder);

    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 2) return driver(argv[1]);
    if (argc != 4) {
        fprintf(stderr, "usage: %s <vrtCLNK.so>\n", argv[0]);
        return 2;
    }
    load(argv[2]);
    if (strcmp(argv[1], "defaults") == 0) caseDefaults();
    else if (strcmp(argv[1], "local") == 0) caseLocalOverlay(argv[3]);
    else if (strcmp(argv[1], "global") == 0) caseGlobal();
    else return 2;
    return failures == 0 ? 0 : 1;
}
