/* A plain-C host of vrtCLNK.so that leaves library windows open, or closes
 * them, and then ends as a program does: returning from main, with or without
 * dlclose. Every case runs in a process of its own, from a copy of this host
 * in a fresh folder, so the library finds its INI file and writes its
 * failed-request log beside that copy.
 *
 * Usage:
 *   host_window <vrtCLNK.so>              every exit case; exit 0 when all pass
 *   host_window <vrtCLNK.so> startups N   N hosts in a row that open the
 *                                         statistics window and exit; prints
 *                                         how many failed, exit 0 when none
 * A case's own run: host_window <case> <vrtCLNK.so> <folder>
 * Needs a display (run under an X server, or QT_QPA_PLATFORM=offscreen). */
#define _GNU_SOURCE
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

/* A case that ends otherwise than with kHostExitCode says where: 88 a call
 * from another thread was not refused or changed the window, 89 it hung, 90 a
 * missing export, 91 no window to close, 92 a request that did not fail, 93 no
 * pseudo-terminal, 94 no library, 95 no port record, 96 the port did not
 * open, 97 no window shown, 98 dlclose failed. */
#define HOST_EXIT_NO_EXPORT 90
#define HOST_EXIT_NO_LIBRARY 94
#include "testing/c_host.h"

enum { kHostExitCode = 7 };

typedef void (*WidgetFn)(void*);

/* One case: which window, what happens to it, the port, the unload. */
struct Case {
    const char* name;
    int mode;        /* _vrtCL_fDlgSetup mode: 3 modeless, 2 with "separate window" on */
    int userCloses;  /* the window is closed before the host ends */
    int portOpen;    /* 1: open at exit, 0: closed before, -1: never opened */
    int unload;      /* dlclose before returning from main */
    int otherThread; /* another thread calls _vrtCL_fDlgSetup while the window is open */
};

static const struct Case kCases[] = {
    {"modeless-open-port-open-exit", 3, 0, 1, 0, 0},
    {"modeless-open-port-open-dlclose", 3, 0, 1, 1, 0},
    {"modeless-closed-port-closed-exit", 3, 1, 0, 0, 0},
    {"modeless-closed-port-open-dlclose", 3, 1, 1, 1, 0},
    {"separate-open-no-port-exit", 2, 0, -1, 0, 0},
    {"separate-open-port-closed-dlclose", 2, 0, 0, 1, 0},
    {"separate-closed-no-port-dlclose", 2, 1, -1, 1, 0},
    {"modeless-open-other-thread-exit", 3, 0, -1, 0, 1},
};

static const struct Case kStartup = {"startup", 3, 0, -1, 0, 0};

/* Closes a library window as its close button does (QWidget::close). */
static void closeWindow(void* widget) {
    void* qt = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!qt || !widget) exit(91);
    WidgetFn close = (WidgetFn)need(qt, "_ZN7QWidget5closeEv");
    close(widget);
    dlclose(qt);
}

/* A controller that answers every request with two bytes no protocol takes,
 * so a request fails at once instead of after its whole time-out. */
static void* garbledController(void* arg) {
    const int master = *(const int*)arg;
    uint8_t buf[512];
    for (;;) {
        struct pollfd p = {master, POLLIN, 0};
        if (poll(&p, 1, -1) <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return NULL;
        if (read(master, buf, sizeof buf) <= 0) return NULL;
        usleep(20000);
        const uint8_t junk[] = {0x55, 0xAA};
        if (write(master, junk, sizeof junk) < 0) return NULL;
    }
}

/* A request to a garbling controller: fails, is logged, and keeps the
 * library's waits (which process the window's events) busy for a while. */
static void failedRequest(void* lib) {
    __auto_type request = HOST_FN(lib, _vrtCL_fComRequest);
    const uint8_t req[] = {1, 3, 0, 0, 0, 1};
    uint8_t ans[64];
    uint16_t got = 0;
    if (request(0, req, sizeof req, ans, sizeof ans, &got) >= 0) exit(92);
}

/* _vrtCL_fDlgSetup from a thread of the host's other than the windows' own. */
struct OtherCall {
    void* lib;
    volatile int result;
    volatile int done;
};

static void* callSetupFromThread(void* arg) {
    struct OtherCall* call = arg;
    call->result = HOST_FN(call->lib, _vrtCL_fDlgSetup)(0, 2);
    call->done = 1;
    return NULL;
}

/* The call must return at once, refused with the remembered port (0), and
 * leave the window open as it was. Waits without processing events, as a
 * host busy elsewhere would; a call that hangs ends the case. */
static void otherThreadCall(void* lib, void* window) {
    static struct OtherCall call;
    call.lib = lib;
    pthread_t thread;
    if (pthread_create(&thread, NULL, callSetupFromThread, &call) != 0) exit(88);
    for (int i = 0; i < 500 && !call.done; ++i) usleep(10000);
    if (!call.done) _exit(89);
    pthread_join(thread, NULL);
    void* qt = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    typedef int (*VisibleTo)(void*, void*);
    VisibleTo visibleTo = (VisibleTo)need(qt, "_ZNK7QWidget11isVisibleToEPKS_");
    if (call.result != 0 || *HOST_VAR(lib, _FrmDlgSet) != window || !visibleTo(window, NULL)) exit(88);
    dlclose(qt);
}

static int runCase(const struct Case* c, const char* libPath) {
    int master = -1, slave = -1;
    char slaveName[256];
    if (c->portOpen >= 0) {
        if (openpty(&master, &slave, slaveName, NULL, NULL) != 0) return 93;
        setenv("VRT_COM1", slaveName, 1);
        static int masterFd;
        masterFd = master;
        pthread_t controller;
        if (pthread_create(&controller, NULL, garbledController, &masterFd) != 0) return 93;
        pthread_detach(controller);
    }
    void* lib = hostOpen(libPath);
    if (c->portOpen >= 0) {
        int32_t status = 0;
        PortRecord* r = HOST_FN(lib, _vrtCL_fGetAddr)(0, &status);
        if (!r) return 95;
        r->max = 100; /* a short answer time and a fast line keep the failed requests short */
        r->baud = 115200;
        r->rptErr = 0;
        r->repeatCount = 0;
        if (HOST_FN(lib, _vrtCL_fComOpen)(0) < 0) return 96;
        failedRequest(lib);
    }
    HOST_FN(lib, _vrtCL_fDlgSetup)(c->mode, 0);
    void** window = HOST_VAR(lib, _FrmDlgSet);
    if (*window == NULL && getenv("HOST_WINDOW_NEEDS_WINDOW")) return 97;
    if (c->otherThread && *window) otherThreadCall(lib, *window);
    if (c->portOpen >= 0) failedRequest(lib);
    if (c->userCloses && *window) {
        closeWindow(*window);
        if (c->portOpen >= 0) failedRequest(lib);
    }
    if (c->portOpen == 0) HOST_FN(lib, _vrtCL_fComClose)(0);
    if (c->unload && dlclose(lib) != 0) return 98;
    return kHostExitCode;
}

static int fileHas(const char* path, const char* needle) {
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    static char buf[1 << 16];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    return strstr(buf, needle) != NULL;
}

/* Runs one case in a copy of this host; the wait status, or -1. */
static int spawnCase(const struct Case* c, const char* lib, char* folder, size_t folderSize) {
    char exe[4096], ini[4096];
    snprintf(folder, folderSize, "/tmp/vrt_host_window.XXXXXX");
    if (!mkdtemp(folder)) return -1;
    snprintf(exe, sizeof exe, "%s/host", folder);
    snprintf(ini, sizeof ini, "%s/host.INI", folder);
    /* The failed-request log on; "separate window" on for mode 2. */
    if (!hostCopySelf(exe) ||
        !hostWriteText(ini, c->mode == 2 ? "[vrtCLink]\r\nCOMMON=StShow:1, StGRegErr:1\r\n"
                                         : "[vrtCLink]\r\nCOMMON=StShow:0, StGRegErr:1\r\n"))
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        char* args[] = {exe, (char*)c->name, (char*)lib, folder, NULL};
        execv(exe, args);
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return status;
}

static void removeFolder(const char* folder) {
    const char* names[] = {"host", "host.INI", "vrtCLNK_host.err"};
    char path[4096];
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        snprintf(path, sizeof path, "%s/%s", folder, names[i]);
        unlink(path);
    }
    rmdir(folder);
}

static int describe(const char* name, int status) {
    if (status == -1) {
        fprintf(stderr, "%s: could not run\n", name);
    } else if (WIFSIGNALED(status)) {
        fprintf(stderr, "%s: killed by signal %d (%s)\n", name, WTERMSIG(status), strsignal(WTERMSIG(status)));
    } else if (WEXITSTATUS(status) != kHostExitCode) {
        fprintf(stderr, "%s: exit code %d instead of the host's own %d\n", name, WEXITSTATUS(status), kHostExitCode);
    } else {
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4) {
        for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i)
            if (strcmp(argv[1], kCases[i].name) == 0) return runCase(&kCases[i], argv[2]);
        if (strcmp(argv[1], kStartup.name) == 0) return runCase(&kStartup, argv[2]);
        if (strcmp(argv[2], "startups") != 0) return 2;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: host_window <vrtCLNK.so> [startups N]\n");
        return 2;
    }
    const char* lib = argv[1];
    char folder[4096], log[4200];

    if (argc == 4) {
        const int runs = atoi(argv[3]);
        for (int i = 0; i < runs; ++i) {
            const int status = spawnCase(&kStartup, lib, folder, sizeof folder);
            if (!describe("start-up", status)) ++failures;
            removeFolder(folder);
        }
        printf("%d of %d start-ups failed\n", failures, runs);
        return failures == 0 ? 0 : 1;
    }

    setenv("HOST_WINDOW_NEEDS_WINDOW", "1", 1);
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        const struct Case* c = &kCases[i];
        const int status = spawnCase(c, lib, folder, sizeof folder);
        int ok = describe(c->name, status);
        snprintf(log, sizeof log, "%s/vrtCLNK_host.err", folder);
        if (ok && c->portOpen >= 0 && !fileHas(log, "**END")) {
            fprintf(stderr, "%s: the failed-request log has no END block\n", c->name);
            ok = 0;
        }
        if (!ok) ++failures;
        removeFolder(folder);
    }
    printf("%d of %zu exit cases failed\n", failures, sizeof kCases / sizeof kCases[0]);
    return failures == 0 ? 0 : 1;
}
