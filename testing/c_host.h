/* What the plain-C test hosts share: loading vrtCLNK.so with dlopen as a host
 * program does, taking its exports with the types vrtclnk.h declares, and a
 * count of failed checks. GNU C (gcc, clang): HOST_FN needs __typeof__.
 *
 * Exit codes: a host returns 1 when a check failed. A library that does not
 * load ends it with HOST_EXIT_NO_LIBRARY, a missing export with
 * HOST_EXIT_NO_EXPORT (both 2, as for bad arguments, unless the host defines
 * them before including this). */
#ifndef VRT_TESTING_C_HOST_H
#define VRT_TESTING_C_HOST_H

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "vrtclnk.h"

#ifndef HOST_EXIT_NO_LIBRARY
#define HOST_EXIT_NO_LIBRARY 2
#endif
#ifndef HOST_EXIT_NO_EXPORT
#define HOST_EXIT_NO_EXPORT 2
#endif

/* Checks that failed so far. */
static int failures __attribute__((unused)) = 0;

static inline void hostCheckFailed(const char* file, int line, const char* cond) {
    ++failures;
    fprintf(stderr, "%s:%d: check failed: %s", file, line, cond);
}

/* Counts and reports a failed condition; the host goes on. */
#define CHECK(cond)                                         \
    do {                                                    \
        if (!(cond)) {                                      \
            hostCheckFailed(__FILE__, __LINE__, #cond);     \
            fputc('\n', stderr);                            \
        }                                                   \
    } while (0)

/* The same with a printf-style note, for the values behind a failure. */
#define CHECK_MSG(cond, ...)                                \
    do {                                                    \
        if (!(cond)) {                                      \
            hostCheckFailed(__FILE__, __LINE__, #cond);     \
            fputs(": ", stderr);                            \
            fprintf(stderr, __VA_ARGS__);                   \
            fputc('\n', stderr);                            \
        }                                                   \
    } while (0)

/* Loads a library by path as a host program does; the host cannot go on
 * without it. */
static inline void* hostOpen(const char* path) {
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        exit(HOST_EXIT_NO_LIBRARY);
    }
    return lib;
}

/* An export the host cannot go on without. */
static inline void* need(void* lib, const char* name) {
    void* p = dlsym(lib, name);
    if (p == NULL) {
        fprintf(stderr, "missing export %s\n", name);
        exit(HOST_EXIT_NO_EXPORT);
    }
    return p;
}

/* An export of vrtCLNK.so typed as vrtclnk.h declares it, so that a host
 * calling it against the declared prototype does not compile. */
#define HOST_FN(lib, name) ((__typeof__(&(name)))need((lib), #name))
#define HOST_VAR(lib, name) HOST_FN(lib, name)

/* Monotonic milliseconds, for the waits a host measures. */
static inline long long nowMs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

/* Copies a file, executable (the host copying itself or the library). */
static inline int hostCopyFile(const char* from, const char* to) {
    int in = open(from, O_RDONLY);
    int out = open(to, O_WRONLY | O_CREAT | O_TRUNC, 0755);
    int ok = in >= 0 && out >= 0;
    char buf[65536];
    ssize_t n;
    while (ok && (n = read(in, buf, sizeof buf)) > 0) ok = write(out, buf, (size_t)n) == n;
    if (in >= 0) close(in);
    if (out >= 0 && close(out) != 0) ok = 0;
    return ok;
}

/* A copy of this host at `to`: the library places its INI file and its log
 * by the host's path, so a host runs such cases from a fresh folder. */
static inline int hostCopySelf(const char* to) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 0;
    self[n] = 0;
    return hostCopyFile(self, to);
}

static inline int hostWriteText(const char* path, const char* text) {
    FILE* f = fopen(path, "wb");
    if (f == NULL) return 0;
    fputs(text, f);
    return fclose(f) == 0;
}

/* Leaks LeakSanitizer passes over in this host ("leak:<module>\n" lines);
 * use once at file scope. */
#define HOST_LSAN_SUPPRESSIONS(text)                                                \
    __attribute__((visibility("default"))) const char* __lsan_default_suppressions(void); \
    __attribute__((visibility("default"))) const char* __lsan_default_suppressions(void) { return text; }

#endif /* VRT_TESTING_C_HOST_H */
