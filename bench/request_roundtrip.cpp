// Round trips of _vrtCL_fComRequest over a pseudo-terminal against the
// controller simulator, in each protocol at 19200 and 115200 baud.
//
// For each case it prints the measured mean time per request, the time the
// request's prescribed waits add up to (its sleeps, each built from character
// times and the response time, plus the read's interval time-out that ends the
// read), their ratio, and the CPU time the calling thread used per request.
// A pseudo-terminal spends no wire time, so nothing else should show.
//
// A round trip takes most of a second at the default response time, so the
// default run (20 requests per case) takes about a minute and a half; give a
// larger count for steadier means.
//
//   bench_request_roundtrip [requests per case, default 20]
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "testing/controller_sim.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"

namespace {

using vrt::testing::Bytes;
using vrt::testing::ControllerSim;
using vrt::testing::PtyPair;
using vrt::testing::WireProtocol;

double seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Character time as the port computes it: 11 bits per character, at least 1 ms.
uint32_t charMs(uint32_t chars, uint32_t baud) {
    const auto ms = uint32_t(double(chars) * 11000.0 / double(baud));
    return ms == 0 ? 1 : ms;
}

// The waits one successful request makes, no repeat, with `cntOut` the port's
// write count after the request's write.
uint32_t prescribedMs(uint32_t baud, uint32_t responseMs, size_t frameLen, uint32_t cntOut) {
    const uint32_t tA = charMs(3, baud) + 1;
    const uint32_t tB = charMs(uint32_t(frameLen) + 16, baud) + 33;
    const uint32_t tD = responseMs / 2 + 32 + charMs(18, baud) + 1;
    const uint32_t t1 = charMs(19, baud) + 16 + ((cntOut & 1u) ? 11 : 2);
    const uint32_t t2 = responseMs / 2 + 32 + t1;
    const uint32_t readWait = charMs(18, baud) + 1;
    const uint32_t interval = 20 * charMs(1, baud) + 340;
    return 5                              // before the write
           + 2 + (tA + 10) + tB + tD      // the write: RTS lead, transmit time, post-write wait
           + t2                           // before the read
           + readWait + interval          // the read, ended by the quiet interval
           + 32;                          // after the answer check
}

struct Case {
    WireProtocol protocol;
    const char* name;
    uint32_t baud;
    Bytes request;
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    if (count <= 0) {
        std::fprintf(stderr, "usage: %s [requests per case, default 20]\n", argv[0]);
        return 2;
    }
    const double runStart = seconds(CLOCK_MONOTONIC);
    _vrtCL_fInit();
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(0, &status);
    if (!rec) return 1;

    const std::vector<Case> cases = {
        {WireProtocol::VrtAscii, "VortanBus ASCII", 19200, {4, 0x03, 1, 2, 3, 4}},
        {WireProtocol::VrtAscii, "VortanBus ASCII", 115200, {4, 0x03, 1, 2, 3, 4}},
        {WireProtocol::VrtRtu, "VortanBus RTU", 19200, {4, 0x03, 1, 2, 3, 4}},
        {WireProtocol::VrtRtu, "VortanBus RTU", 115200, {4, 0x03, 1, 2, 3, 4}},
        {WireProtocol::ModbusRtu, "MODBUS RTU", 19200, {17, 0x03, 0, 0, 0, 2}},
        {WireProtocol::ModbusRtu, "MODBUS RTU", 115200, {17, 0x03, 0, 0, 0, 2}},
    };
    std::printf("%d requests per case, response time %u ms\n", count, unsigned(rec->max));
    std::printf("%-16s %7s %12s %14s %7s %14s %9s\n", "protocol", "baud", "mean ms", "prescribed ms", "ratio",
                "CPU us/request", "CPU/wall");
    int failed = 0;
    for (const Case& c : cases) {
        PtyPair pty;
        pty.bindCom(1);
        ControllerSim sim(pty.masterFd(), c.protocol);
        rec->baud = c.baud;
        rec->protocol = int32_t(c.protocol);
        if (_vrtCL_fComOpen(0) != 0) {
            std::printf("%-16s %7u  cannot open COM1\n", c.name, unsigned(c.baud));
            ++failed;
            continue;
        }
        const size_t frameLen = ControllerSim::frame(c.protocol, c.request).size();
        uint8_t answer[64];
        uint16_t len = 0;
        _vrtCL_fComRequest(0, c.request.data(), uint16_t(c.request.size()), answer, sizeof answer, &len);  // warm-up

        double prescribed = 0;
        int errors = 0;
        const double wall0 = seconds(CLOCK_MONOTONIC);
        const double cpu0 = seconds(CLOCK_THREAD_CPUTIME_ID);
        for (int i = 0; i < count; ++i) {
            if (_vrtCL_fComRequest(0, c.request.data(), uint16_t(c.request.size()), answer, sizeof answer, &len) != 0)
                ++errors;
            prescribed += prescribedMs(rec->dcb.baudRate, rec->max, frameLen, rec->cntOut);
        }
        const double wall = seconds(CLOCK_MONOTONIC) - wall0;
        const double cpu = seconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
        _vrtCL_fComClose(0);

        const double meanMs = wall * 1000.0 / count;
        const double prescribedMean = prescribed / count;
        std::printf("%-16s %7u %12.1f %14.1f %7.3f %14.0f %8.2f%%%s\n", c.name, unsigned(c.baud), meanMs,
                    prescribedMean, meanMs / prescribedMean, cpu * 1e6 / count, 100.0 * cpu / wall,
                    errors ? "  (requests failed)" : "");
        failed += errors;
    }
    std::printf("whole run %.0f s\n", seconds(CLOCK_MONOTONIC) - runStart);
    return failed ? 1 : 0;
}
