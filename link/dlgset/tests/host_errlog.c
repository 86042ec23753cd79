/* A plain-C host with a failed-request log beside it: it copies itself into a
 * fresh folder with an INI file that turns logging on, runs from there (the
 * log's place follows the host's path), makes one request that a silent
 * controller never answers, closes the port and checks the log's blocks.
 *   host_errlog <path of vrtCLNK.so> */
#include <limits.h>
#include <pty.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "testing/c_host.h"

static char* readAll(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    char* text = calloc(1, 65536);
    fread(text, 1, 65535, f);
    fclose(f);
    return text;
}

static int count(const char* text, const char* what) {
    int n = 0;
    for (const char* at = strstr(text, what); at; at = strstr(at + 1, what)) ++n;
    return n;
}

/* Windows-1251 texts of the log. */
#define CODE_TEXT "\xca\xce\xc4=-10:\xce\xf8\xe8\xe1\xea\xe0\x20\xe2\xe2\xee\xe4\xe0" /* КОД=-10:Ошибка ввода */
#define REQUESTS "\xc7\xe0\xef\xf0\xee\xf1\xee\xe2" /* Запросов */
#define OF_THEM "\xe8\xe7\x20\xed\xe8\xf5" /* из них */
#define WITH_ERROR "\xf1\x20\xee\xf8\xe8\xe1\xea\xee\xe9." /* с ошибкой. */
#define WORK_TIME " #\xcd\xe0\xf0\xe0\xe1\xee\xf2\xea\xe0 =" /* #Наработка = */

static int runHost(const char* library, const char* folder) {
    int master = -1, slave = -1;
    char name[128] = {0};
    struct termios raw;
    memset(&raw, 0, sizeof raw);
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, NULL) != 0) return 2;
    setenv("VRT_COM1", name, 1); /* nobody answers on the master side */

    void* lib = hostOpen(library);
    __auto_type open = HOST_FN(lib, _vrtCL_fOpen);
    __auto_type close = HOST_FN(lib, _vrtCL_fClose);
    __auto_type getAddr = HOST_FN(lib, _vrtCL_fGetAddr);
    __auto_type request = HOST_FN(lib, _vrtCL_fRequest);

    int32_t status = 0;
    PortRecord* rec = getAddr(0, &status);
    CHECK(rec != NULL);
    if (!rec) return 1;
    rec->baud = 115200;
    rec->protocol = 1;
    rec->max = 0;
    rec->rptErr = 0;
    CHECK(open(0) == 0);
    const uint8_t req[6] = {33, 2, 0, 0, 16, 0};
    uint8_t answer[64];
    uint16_t len = 0;
    CHECK(request(0, req, sizeof req, answer, sizeof answer, &len) == -10);

    char logPath[PATH_MAX];
    snprintf(logPath, sizeof logPath, "%s/vrtCLNK_host.err", folder);
    char* before = readAll(logPath);
    CHECK(before != NULL); /* the request wrote its entry */
    close(0);
    char* log = readAll(logPath);
    CHECK(log != NULL);
    if (log) {
        const char* begin = strstr(log, "\n**BEGIN  ");
        const char* entry = strstr(log, "   [Com1:ID= 33] ");
        const char* end = strstr(log, "\n\n" WORK_TIME);
        const char* endLine = strstr(log, "**END    ");
        CHECK(begin == log);
        CHECK(entry && begin && entry > begin);
        CHECK(strstr(log, "                 " CODE_TEXT "\n") != NULL);
        CHECK(strstr(log, "                         " REQUESTS "          1, " OF_THEM "          1 " WITH_ERROR
                          "\n") != NULL);
        CHECK(end && entry && end > entry);
        CHECK(endLine && end && endLine > end);
        CHECK(count(log, "**BEGIN") == 1 && count(log, "**END") == 1 && count(log, "[Com1:") == 1);
        CHECK(strlen(log) >= 2 && strcmp(log + strlen(log) - 2, "\n\n") == 0);
        /* Before the close the block had no END. */
        CHECK(before && strstr(before, "**END") == NULL);
        if (failures) fprintf(stderr, "log:\n%s\n", log);
    }
    free(before);
    free(log);
    dlclose(lib);
    return failures ? 1 : 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[2], "--in") == 0) return runHost(argv[1], argv[3]);
    if (argc != 2) {
        fprintf(stderr, "usage: host_errlog <vrtCLNK.so>\n");
        return 2;
    }
    char folder[] = "/tmp/vrt_host_errlog_XXXXXX";
    if (!mkdtemp(folder)) return 2;
    char host[PATH_MAX], ini[PATH_MAX];
    snprintf(host, sizeof host, "%s/host", folder);
    snprintf(ini, sizeof ini, "%s/host.INI", folder);
    if (!hostWriteText(ini, "[vrtCLink]\nCOMMON=StGRegErr:1\n") || !hostCopySelf(host)) return 2;
    char command[3 * PATH_MAX + 32];
    snprintf(command, sizeof command, "'%s' '%s' --in '%s'", host, argv[1], folder);
    const int rc = system(command);
    snprintf(command, sizeof command, "rm -rf '%s'", folder);
    if (system(command) != 0) fprintf(stderr, "could not remove %s\n", folder);
    return rc == 0 ? 0 : 1;
}
