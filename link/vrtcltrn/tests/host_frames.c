/* A plain-C host: loads vrtCLNK.so by path with dlopen, frames and parses a
 * payload in each protocol and reads code texts through the exported names.
 * Usage: host_frames <path of vrtCLNK.so>. Exit 0 when all checks pass. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef uint16_t (*FrmBufOutFn)(const uint8_t*, uint8_t*, uint16_t, int32_t);
typedef int32_t (*ExtractFn)(const uint8_t*, uint8_t*, uint16_t, uint16_t*, int32_t);
typedef const char* (*TextFn)(int32_t);
typedef int32_t (*CodeFn)(int32_t);

static int failures = 0;

static void expect(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static void* need(void* lib, const char* name) {
    void* p = dlsym(lib, name);
    if (p == NULL) {
        fprintf(stderr, "missing export %s\n", name);
        ++failures;
    }
    return p;
}

static int sameText(const char* got, const char* want) { return got != NULL && strcmp(got, want) == 0; }

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s <vrtCLNK.so>\n", argv[0]);
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }

    FrmBufOutFn frame = (FrmBufOutFn)need(lib, "_vrtCL_fNetFrmBufOut");
    ExtractFn extract = (ExtractFn)need(lib, "_vrtCL_fNetExtractInpData");
    TextFn err2str = (TextFn)need(lib, "_vrtCL_fErr2str");
    CodeFn chkErrType = (CodeFn)need(lib, "_vrtCL_fChkErrType");
    CodeFn cnvExtract = (CodeFn)need(lib, "_vrtCL_fCnvErrExtractInpData");
    CodeFn cnvAnswer = (CodeFn)need(lib, "_vrtCL_fCnvErrAnswer");
    TextFn phase2str = (TextFn)need(lib, "_vrtCL_fPhase2str");
    TextFn op2str = (TextFn)need(lib, "_vrtCL_fOp2str");
    if (failures) return 1;

    static const uint8_t payload[] = {0x01, 0x03, 0x00, 0x10, 0x00, 0x02};
    static const uint8_t ascii0103[] = {0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4C, 0x0D, 0x0A};
    uint8_t buf[64];
    uint8_t out[64];
    uint16_t outLen = 0;
    int32_t protocol;

    for (protocol = 0; protocol <= 2; ++protocol) {
        const uint16_t n = frame(payload, buf, sizeof payload, protocol);
        expect(n == (protocol == 0 ? 2 * sizeof payload + 5 : sizeof payload + 2), "frame length");
        expect(extract(buf, out, n, &outLen, protocol) == 0, "parse own frame");
        expect(outLen == sizeof payload && memcmp(out, payload, sizeof payload) == 0, "payload back");
        buf[1] ^= 0x01;
        expect(cnvExtract(extract(buf, out, n, &outLen, protocol)) < 0, "damaged frame refused");
    }
    expect(frame(payload, buf, 2, 0) == 9 && memcmp(buf, ascii0103, 9) == 0 && buf[9] == 0, "ASCII 01 03");
    expect(frame(payload, buf, 2, 3) == 0 && buf[0] == 0, "protocol 3 refused");

    expect(sameText(err2str(-10), "\xce\xf8\xe8\xe1\xea\xe0\x20\xe2\xe2\xee\xe4\xe0"), "text of -10");
    expect(sameText(err2str(cnvExtract(6)), "\xd0\xe0\xe7\xe1\xee\xf0\x3a\xce\xf8\xe8\xe1\xea\xe0\x20\x43\x52\x43"),
           "text of parse code 6");
    expect(sameText(err2str(INT32_MIN), err2str(0)), "no text for INT32_MIN");
    expect(chkErrType(-40) == 0 && chkErrType(-10) == 1, "error types");
    expect(cnvAnswer(1) == 0 && cnvAnswer(15) == -34, "controller status");
    expect(sameText(op2str(4), "\xd7\xf2\xe5\xed\xe8\xe5"), "operation text");
    expect(sameText(phase2str(0), "\xcf\xee\xf0\xf2\x20\xe7\xe0\xea\xf0\xfb\xf2"), "phase of a closed port");
    expect(sameText(phase2str(-1), "\xce\xd8\xc8\xc1\xca\xc0"), "phase of a bad port");

    dlclose(lib);
    if (failures) return 1;
    printf("host_frames: all checks passed\n");
    return 0;
}
