/* A plain-C GLib host of vrtCLNK.so: shows the modeless statistics window,
 * changes the live port record, and checks that the window shows the change
 * while the host runs its own GLib main loop, and not while the host only
 * sleeps (nothing then dispatches the window's events).
 *
 * Usage: host_glib <vrtCLNK.so> <window_probe.so>; exit 0 when every check
 * passes. Needs a display (an X server, or QT_QPA_PLATFORM=offscreen). */
#define _GNU_SOURCE
#include <glib.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "testing/c_host.h"

typedef int (*ProbeFn)(void*, const char*, char*, int);

static void** window;
static ProbeFn probe;
static PortRecord* record;
static GMainLoop* loop;
static int shownInLoop = 0;

static int windowShows(const char* text) {
    char shown[256] = "";
    return *window && probe(*window, "StTxtStCOut", shown, sizeof shown) && strstr(shown, text) != NULL;
}

static gboolean checkWindow(gpointer unused) {
    (void)unused;
    if (windowShows("4321")) {
        shownInLoop = 1;
        g_main_loop_quit(loop);
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

static gboolean giveUp(gpointer unused) {
    (void)unused;
    g_main_loop_quit(loop);
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: host_glib <vrtCLNK.so> <window_probe.so>\n");
        return 2;
    }
    void* lib = hostOpen(argv[1]);
    void* probeLib = hostOpen(argv[2]);
    window = HOST_VAR(lib, _FrmDlgSet);
    probe = (ProbeFn)need(probeLib, "window_probe_text");
    int32_t status = 0;
    record = HOST_FN(lib, _vrtCL_fGetAddr)(0, &status);

    HOST_FN(lib, _vrtCL_fDlgSetup)(3, 0);
    if (!*window) {
        fprintf(stderr, "no statistics window\n");
        return 1;
    }
    /* The window's refresh timer (250 ms) cannot run while the host sleeps. */
    record->cntOut = 4321;
    usleep(1000 * 1000);
    CHECK_MSG(!windowShows("4321"), "the window refreshed with no event loop running");

    loop = g_main_loop_new(NULL, FALSE);
    g_timeout_add(50, checkWindow, NULL);
    g_timeout_add(10000, giveUp, NULL);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    CHECK_MSG(shownInLoop, "the window did not refresh under the GLib main loop");
    printf("%s\n", failures ? "FAILED" : "the GLib main loop keeps the statistics window live");
    return failures ? 1 : 0;
}
