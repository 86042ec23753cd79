/* A plain-C host: loads vrtCLNK.so by path with dlopen, frames and parses a
 * payload in each protocol and reads code texts through the exported names.
 * Usage: host_frames <path of vrtCLNK.so>. Exit 0 when all checks pass. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "testing/c_host.h"

static int sameText(const char* got, const char* want) { return got != NULL && strcmp(got, want) == 0; }

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s <vrtCLNK.so>\n", argv[0]);
        return 2;
    }
    void* lib = hostOpen(argv[1]);
    __auto_type frame = HOST_FN(lib, _vrtCL_fNetFrmBufOut);
    __auto_type extract = HOST_FN(lib, _vrtCL_fNetExtractInpData);
    __auto_type err2str = HOST_FN(lib, _vrtCL_fErr2str);
    __auto_type chkErrType = HOST_FN(lib, _vrtCL_fChkErrType);
    __auto_type cnvExtract = HOST_FN(lib, _vrtCL_fCnvErrExtractInpData);
    __auto_type cnvAnswer = HOST_FN(lib, _vrtCL_fCnvErrAnswer);
    __auto_type phase2str = HOST_FN(lib, _vrtCL_fPhase2str);
    __auto_type op2str = HOST_FN(lib, _vrtCL_fOp2str);

    static const uint8_t payload[] = {0x01, 0x03, 0x00, 0x10, 0x00, 0x02};
    static const uint8_t ascii0103[] = {0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4C, 0x0D, 0x0A};
    uint8_t buf[64];
    uint8_t out[64];
    uint16_t outLen = 0;
    int32_t protocol;

    for (protocol = 0; protocol <= 2; ++protocol) {
        const uint16_t n = frame(payload, buf, sizeof payload, protocol);
        CHECK_MSG(n == (protocol == 0 ? 2 * sizeof payload + 5 : sizeof payload + 2), "frame length");
        CHECK_MSG(extract(buf, out, n, &outLen, protocol) == 0, "parse own frame");
        CHECK_MSG(outLen == sizeof payload && memcmp(out, payload, sizeof payload) == 0, "payload back");
        buf[1] ^= 0x01;
        CHECK_MSG(cnvExtract(extract(buf, out, n, &outLen, protocol)) < 0, "damaged frame refused");
    }
    CHECK_MSG(frame(payload, buf, 2, 0) == 9 && memcmp(buf, ascii0103, 9) == 0 && buf[9] == 0, "ASCII 01 03");
    CHECK_MSG(frame(payload, buf, 2, 3) == 0 && buf[0] == 0, "protocol 3 refused");

    CHECK_MSG(sameText(err2str(-10), "\xce\xf8\xe8\xe1\xea\xe0\x20\xe2\xe2\xee\xe4\xe0"), "text of -10");
    CHECK_MSG(sameText(err2str(cnvExtract(6)), "\xd0\xe0\xe7\xe1\xee\xf0\x3a\xce\xf8\xe8\xe1\xea\xe0\x20\x43\x52\x43"),
              "text of parse code 6");
    CHECK_MSG(sameText(err2str(INT32_MIN), err2str(0)), "no text for INT32_MIN");
    CHECK_MSG(chkErrType(-40) == 0 && chkErrType(-10) == 1, "error types");
    CHECK_MSG(cnvAnswer(1) == 0 && cnvAnswer(15) == -34, "controller status");
    CHECK_MSG(sameText(op2str(4), "\xd7\xf2\xe5\xed\xe8\xe5"), "operation text");
    CHECK_MSG(sameText(phase2str(0), "\xcf\xee\xf0\xf2\x20\xe7\xe0\xea\xf0\xfb\xf2"), "phase of a closed port");
    CHECK_MSG(sameText(phase2str(-1), "\xce\xd8\xc8\xc1\xca\xc0"), "phase of a bad port");

    dlclose(lib);
    if (failures) return 1;
    printf("host_frames: all checks passed\n");
    return 0;
}
