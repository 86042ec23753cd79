// What the far end of the line sees of a write and a request: when RTS turns
// (kept by the serial layer, since a pseudo-terminal carries no RTS), when the
// bytes arrive, and how long the waits between them last. The request's waits
// run on a virtual clock and are compared exactly; the bytes' place between the
// RTS switches and the read's time-out need real time and get wide margins.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "port_ops_fixture.h"
#include "testing/virtual_clock.h"

namespace {

namespace serial = vrt::platform::serial;
using vrt::test::Bytes;
using vrt::test::WireProtocol;
using vrt::testing::VirtualClock;

class WireTiming : public vrt::test::PortOnPty {
protected:
    void TearDown() override {
        serial::recordRtsForTesting(false);
        PortOnPty::TearDown();
    }
    // The RTS calls on the open port since recording started.
    std::vector<serial::RtsSwitch> rtsCalls() const {
        std::vector<serial::RtsSwitch> calls;
        for (const auto& s : serial::rtsSwitchesForTesting())
            if (s.handle == rec().hCom) calls.push_back(s);
        return calls;
    }
};

// At 19200 baud with a response time T of 200 ms, for a 5-byte RTU frame:
constexpr uint32_t kLead = 12;        // RTS up before the first character: C(3) + 1 + 10
constexpr uint32_t kTransmit = 45;    // RTS stays up after the write: C(5 + 16) + 33
constexpr uint32_t kPostWrite = 143;  // after RTS drops: T/2 + 32 + C(18) + 1
constexpr uint32_t kReadLead = 11;    // the read's own wait: C(18) + 1
// The request's waits alternate with the parity of cntOut: t1 = C(19) + 16 + 11 or + 2.
constexpr uint32_t kT1Odd = 37, kT2Odd = 169, kT1Even = 28, kT2Even = 160;

// The quiet wait before a repeat: slices of t1 until more than t2 have passed.
constexpr uint32_t quietWait(uint32_t t1, uint32_t t2) { return (t2 / t1 + 1) * t1; }
// From a failed read's start to the repeat's RTS: the read's wait, 16, t1, the
// quiet wait, t2, 20, then the next attempt's 5 and the write's 2.
constexpr uint32_t repeatGap(uint32_t t1, uint32_t t2) {
    return kReadLead + 16 + t1 + quietWait(t1, t2) + t2 + 20 + 5 + 2;
}

TEST_F(WireTiming, RequestWaitsBetweenRtsSwitchesFollowTheFigures) {
    rec().max = 200;
    rec().rptErr = 2;
    openWithSim(WireProtocol::VrtRtu, {.silentRequests = 2});
    serial::recordRtsForTesting(true);
    const VirtualClock clock;
    const uint32_t start = clock.now();
    Bytes answer;
    ASSERT_EQ(request({4, 0x03, 1}, answer), 0);
    const uint32_t end = clock.now();
    EXPECT_EQ(sim_->requestCount(), 3u);

    // Each attempt: the write raises RTS and drops it, the read drops it again as it starts.
    const auto calls = rtsCalls();
    ASSERT_EQ(calls.size(), 9u);
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].on, i % 3 == 0) << i;
    const auto at = [&](size_t attempt, size_t k) { return calls[attempt * 3 + k].tickMs; };

    EXPECT_EQ(at(0, 0) - start, 5u + 2u) << "before the first write";
    const uint32_t t2[] = {kT2Odd, kT2Even, kT2Odd};
    for (size_t a = 0; a < 3; ++a) {
        EXPECT_EQ(at(a, 1) - at(a, 0), kLead + kTransmit) << "RTS up, attempt " << a;
        EXPECT_EQ(at(a, 2) - at(a, 1), kPostWrite + t2[a]) << "write's end to read, attempt " << a;
    }
    EXPECT_EQ(at(1, 0) - at(0, 2), repeatGap(kT1Odd, kT2Odd)) << "first repeat (cntOut 1)";
    EXPECT_EQ(at(2, 0) - at(1, 2), repeatGap(kT1Even, kT2Even)) << "second repeat (cntOut 2)";
    EXPECT_EQ(end - at(2, 2), kReadLead + 32) << "read and the good answer's pause";
}

// The far end of the pseudo-terminal: every byte with the tick it arrived at.
class FarEnd {
public:
    explicit FarEnd(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~FarEnd() {
        stop_ = true;
        thread_.join();
    }
    struct Arrival {
        uint8_t byte;
        uint32_t tickMs;
    };
    std::vector<Arrival> arrivals() const {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }
    // Sends one byte every `everyMs` until stopped (a line that never goes quiet).
    void trickle(uint8_t byte, int everyMs) {
        trickleByte_ = byte;
        trickleMs_ = everyMs;
    }

private:
    void run() {
        uint32_t lastSent = vrt::platform::tickMs();
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 1) > 0 && (p.revents & POLLIN)) {
                uint8_t buf[256];
                const ssize_t n = ::read(fd_, buf, sizeof buf);
                const uint32_t now = vrt::platform::tickMs();
                std::lock_guard lock(mutex_);
                for (ssize_t i = 0; i < n; ++i) arrivals_.push_back({buf[i], now});
            }
            const int every = trickleMs_;
            if (every > 0 && vrt::platform::tickMs() - lastSent >= uint32_t(every)) {
                lastSent = vrt::platform::tickMs();
                const uint8_t b = trickleByte_;
                (void)!::write(fd_, &b, 1);
            }
        }
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<int> trickleMs_{0};
    std::atomic<uint8_t> trickleByte_{0};
    mutable std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    std::thread thread_;
};

// The tick truncates to whole milliseconds at both ends of a gap.
constexpr uint32_t kTickSlack = 2;

TEST_F(WireTiming, FrameLeavesWhileRtsIsUpAfterTheLeadAndBeforeTheTransmitWait) {
    rec().baud = 1200;  // long character times: the lead 38 ms, the transmit wait 280 ms
    rec().protocol = 0;
    openPort();
    FarEnd far(pty_->masterFd());
    serial::recordRtsForTesting(true);
    const Bytes payload{4, 0x03, 1};  // ':' + 8 characters + CR LF: 11 characters
    uint16_t written = 0;
    ASSERT_EQ(_vrtCL_fComWrite(kPort, payload.data(), uint16_t(payload.size()), &written, 1), 0);
    const auto calls = rtsCalls();
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_TRUE(calls[0].on);
    ASSERT_FALSE(calls[1].on);
    // The write flushes, so every byte has reached the far end's queue; give its thread time.
    for (int i = 0; i < 200 && far.arrivals().size() < 11; ++i) usleep(5000);
    const auto bytes = far.arrivals();
    ASSERT_EQ(bytes.size(), 11u);
    const uint32_t lead = 27 + 1 + 10;      // C(3) + 1 + 10 at 1200 baud
    const uint32_t transmit = 247 + 33;     // C(11 + 16) + 33
    EXPECT_GE(bytes.front().tickMs - calls[0].tickMs, lead - kTickSlack) << "RTS up to the first character";
    EXPECT_GE(calls[1].tickMs - bytes.back().tickMs, transmit - kTickSlack) << "last character to RTS down";
}

// A write that cannot get its frame out before its time-out (nobody takes
// the bytes) gives -9 and discards what is still queued: none of it is left
// to go out later in front of the next frame.
TEST_F(WireTiming, FailedWriteDiscardsWhatIsQueued) {
    rec().baud = 115200;
    rec().protocol = int32_t(WireProtocol::VrtRtu);  // the shortest write time-out, under 2 s
    openPort();
    size_t queued = 0;
    {
        // Once the write's own purge is done, fill the line until it takes no more.
        vrt::test::PumpScript fill([&] {
            if (queued != 0 || rec().phase != 3) return;
            const int h = rec().hCom;
            const int flags = fcntl(h, F_GETFL);
            fcntl(h, F_SETFL, flags | O_NONBLOCK);
            const Bytes block(4096, 0x55);
            // The far end moves what it took into its own buffer a moment
            // later: fill again until a pause frees no more room.
            for (size_t round = 1; round != 0; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
                round = 0;
                for (ssize_t n; (n = ::write(h, block.data(), block.size())) > 0;) round += size_t(n);
                queued += round;
            }
            fcntl(h, F_SETFL, flags);
        });
        const uint8_t payload[] = {4, 3, 1};
        EXPECT_EQ(_vrtCL_fComWrite(kPort, payload, sizeof payload, nullptr, 0), -9);
    }
    EXPECT_EQ(+rec().cntErrOut, 1u);
    ASSERT_GT(queued, 0u);
    // A pseudo-terminal's far end keeps what it has taken in already (one
    // buffer); the purge discards the rest.
    EXPECT_LT(pty_->read(50, 1000).size(), queued);
}

TEST_F(WireTiming, ReadEndsAtItsTotalTimeOutWhileBytesKeepTrickling) {
    rec().protocol = 1;  // at 19200 and T 0: interval 360 ms, total 1894 ms
    openPort();
    FarEnd far(pty_->masterFd());
    far.trickle(0x55, 100);  // well inside the interval: never quiet for long enough
    uint8_t buf[64];
    uint16_t len = 0;
    const uint32_t start = vrt::platform::tickMs();
    const int32_t r = _vrtCL_fComRead(kPort, buf, sizeof buf, &len, 0);
    const uint32_t took = vrt::platform::tickMs() - start;
    far.trickle(0, 0);
    EXPECT_LT(r, 0);
    EXPECT_NE(r, -10) << "the trickled bytes were read";
    EXPECT_GE(took, kReadLead + 1894 - kTickSlack);
    EXPECT_LE(took, kReadLead + 1894 + 1500) << "counted from the start of the read, not from the last byte";
}

}  // namespace
