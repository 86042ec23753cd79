/* A plain-C GLib host of vrtCLNK.so that calls _vrtCL_fDlgSetup from a GLib
 * timer while the modeless statistics window is inside its own exit, About or
 * help handler. The call must replace the window without destroying it under
 * that handler: the old window goes once the handler has returned, the new
 * one stays, and the host ends normally.
 *
 * Usage: host_reentry <vrtCLNK.so> <window_probe.so>        every case, each
 *        in a process of its own; prints each one's exit code; exit 0 when
 *        all end with 0
 *        host_reentry <vrtCLNK.so> <window_probe.so> <case> one case
 * A case ends with 0 when its checks pass, 1 when one failed, 3 when the
 * host's call did not come while the handler ran (nothing was tested).
 * Needs a display (an X server, or QT_QPA_PLATFORM=offscreen). */
#define _GNU_SOURCE
#include <glib.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/c_host.h"

typedef int (*ClickFn)(void*, const char*);
typedef int (*CloseModalFn)(void);
typedef int (*ExistsFn)(void*);

/* A case: the button whose handler is running, and whether it shows a box. */
struct Case {
    const char* name;
    const char* button;
    int showsBox; /* the handler waits in a modal box (About, the missing help file) */
};

static const struct Case kCases[] = {
    {"exit", "SBtnExit", 0},
    {"about", "SBtnAbout", 1},
    {"help", "SBtnHelp", 1},
};

static const struct Case* current;
static void** window;
static int32_t (*dlgSetup)(int32_t, int32_t);
static ClickFn click;
static CloseModalFn closeModal;
static ExistsFn exists;
static GMainLoop* loop;
static void* firstWindow;
static int inHandler = 0;
static int calledInHandler = 0;
static int boxClosed = 0;
static int32_t secondResult = -2;
static int keptInHandler = 0;

/* The host's timer: it calls the dialog again, then closes the box the
 * handler waits in. */
static gboolean callAgain(gpointer unused) {
    (void)unused;
    calledInHandler = inHandler;
    secondResult = dlgSetup(3, 1);
    keptInHandler = exists(firstWindow);
    if (current->showsBox) boxClosed = closeModal();
    return G_SOURCE_REMOVE;
}

static gboolean pressButton(gpointer unused) {
    (void)unused;
    g_timeout_add(current->showsBox ? 300 : 0, callAgain, NULL);
    inHandler = 1;
    CHECK(click(firstWindow, current->button));
    inHandler = 0;
    return G_SOURCE_REMOVE;
}

static gboolean stopLoop(gpointer unused) {
    (void)unused;
    g_main_loop_quit(loop);
    return G_SOURCE_REMOVE;
}

static int runCase(const char* libPath, const char* probePath, const char* name) {
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i)
        if (strcmp(kCases[i].name, name) == 0) current = &kCases[i];
    if (!current) return 2;
    void* lib = hostOpen(libPath);
    void* probe = hostOpen(probePath);
    window = HOST_VAR(lib, _FrmDlgSet);
    dlgSetup = HOST_FN(lib, _vrtCL_fDlgSetup);
    click = (ClickFn)need(probe, "window_probe_click");
    closeModal = (CloseModalFn)need(probe, "window_probe_close_modal");
    exists = (ExistsFn)need(probe, "window_probe_exists");

    CHECK(dlgSetup(3, 0) == 0);
    firstWindow = *window;
    if (!firstWindow) {
        fprintf(stderr, "no statistics window\n");
        return 1;
    }
    loop = g_main_loop_new(NULL, FALSE);
    g_idle_add(pressButton, NULL);
    g_timeout_add(1500, stopLoop, NULL); /* the old window's deletion runs meanwhile */
    g_main_loop_run(loop);
    g_main_loop_unref(loop);

    if (!calledInHandler) {
        fprintf(stderr, "%s: the host's call did not come while the handler ran\n", name);
        return 3;
    }
    CHECK_MSG(keptInHandler, "the call destroyed the window while its handler ran");
    CHECK_MSG(secondResult == 1, "the second call returned %d", (int)secondResult);
    if (current->showsBox) CHECK_MSG(boxClosed, "no box in front while the handler ran");
    CHECK_MSG(*window != NULL && *window != firstWindow, "the second call shows no window of its own");
    CHECK_MSG(*window && exists(*window), "the new window is gone");
    CHECK_MSG(!exists(firstWindow), "the replaced window lives on after its handler returned");
    return failures ? 1 : 0;
}

int main(int argc, char** argv) {
    if (argc == 4) return runCase(argv[1], argv[2], argv[3]);
    if (argc != 3) {
        fprintf(stderr, "usage: host_reentry <vrtCLNK.so> <window_probe.so> [case]\n");
        return 2;
    }
    int failed = 0;
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        char* args[] = {argv[0], argv[1], argv[2], (char*)kCases[i].name, NULL};
        int status = 0;
        const pid_t pid = fork();
        if (pid == 0) {
            execv("/proc/self/exe", args);
            _exit(127);
        }
        if (pid < 0 || waitpid(pid, &status, 0) != pid) return 2;
        if (WIFEXITED(status)) {
            printf("%s: exit code %d\n", kCases[i].name, WEXITSTATUS(status));
            failed |= WEXITSTATUS(status) != 0;
        } else {
            printf("%s: killed by signal %d (%s)\n", kCases[i].name, WTERMSIG(status), strsignal(WTERMSIG(status)));
            failed = 1;
        }
    }
    return failed;
}
