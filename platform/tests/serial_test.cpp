// The serial layer over real pseudo-terminals.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <termios.h>
#include <unistd.h>
#include <functional>
#include <thread>
#include <vector>

#include "platform/serial.h"
#include "testing/pty_pair.h"

namespace serial = vrt::platform::serial;
using vrt::testing::PtyPair;

namespace {

constexpr uint32_t kMax = 0xFFFFFFFFu;

class SerialPty : public ::testing::Test {
protected:
    void SetUp() override {
        h = serial::open(pty.slavePath());
        ASSERT_NE(h, serial::kNoHandle);
    }
    void TearDown() override {
        if (serial::isOpen(h)) serial::close(h);
    }
    void setTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
        VrtTimeouts t{interval, multiplier, constant, 0, 0};
        ASSERT_TRUE(serial::setTimeouts(h, t));
    }
    // `keepWaiting` given: the paced read, with 10 ms slices.
    std::vector<uint8_t> readUpTo(size_t size, const std::function<bool()>& keepWaiting = {}) {
        std::vector<uint8_t> buf(size);
        size_t got = 0;
        EXPECT_TRUE(keepWaiting ? serial::read(h, buf.data(), buf.size(), got, 10, keepWaiting)
                                : serial::read(h, buf.data(), buf.size(), got));
        buf.resize(got);
        return buf;
    }

    PtyPair pty;
    serial::Handle h = serial::kNoHandle;
};

VrtDcb lineDcb(uint32_t baud, uint8_t bits, uint8_t parity, uint8_t stop) {
    VrtDcb d{};
    d.length = sizeof d;
    d.baudRate = baud;
    d.byteSize = bits;
    d.parity = parity;
    d.stopBits = stop;
    d.flags = VRT_DCB_F_BINARY | VRT_DCB_F_PARITY;
    return d;
}

TEST(SerialNames, ComPathFromEnvironmentElseTtyS) {
    unsetenv("VRT_COM3");
    EXPECT_EQ(serial::comDevicePath(3), "/dev/ttyS2");
    setenv("VRT_COM3", "", 1);
    EXPECT_EQ(serial::comDevicePath(3), "/dev/ttyS2");
    setenv("VRT_COM3", "/dev/pts/77", 1);
    EXPECT_EQ(serial::comDevicePath(3), "/dev/pts/77");
    unsetenv("VRT_COM3");
}

TEST(SerialOpen, MissingDeviceAndNonTerminalsAreRefused) {
    EXPECT_EQ(serial::open("/nonexistent/tty"), serial::kNoHandle);
    EXPECT_EQ(serial::open(""), serial::kNoHandle);
    EXPECT_EQ(serial::open("/dev/null"), serial::kNoHandle);
}

TEST_F(SerialPty, OpenIsExclusiveUntilClosed) {
    EXPECT_EQ(serial::open(pty.slavePath()), serial::kNoHandle);
    EXPECT_TRUE(serial::close(h));
    EXPECT_FALSE(serial::isOpen(h));
    const serial::Handle again = serial::open(pty.slavePath());
    EXPECT_NE(again, serial::kNoHandle);
    serial::close(again);
}

TEST_F(SerialPty, ClosedOrForeignHandlesTouchNothing) {
    serial::close(h);
    VrtDcb d{};
    size_t n = 0;
    uint8_t b = 0;
    EXPECT_FALSE(serial::close(h));
    EXPECT_FALSE(serial::getState(h, d));
    EXPECT_FALSE(serial::write(h, &b, 1, n));
    EXPECT_FALSE(serial::read(h, &b, 1, n));
    EXPECT_EQ(serial::inputCount(h), -1);
    EXPECT_FALSE(serial::setRts(h, true));
    EXPECT_FALSE(serial::purge(pty.masterFd()));  // a descriptor this layer did not open
}

TEST_F(SerialPty, LineSettingsReadBackAsSet) {
    struct Case {
        uint32_t baud;
        uint8_t bits, parity, stop;
    };
    for (const Case c : {Case{19200, 8, 2, 0}, Case{9600, 7, 1, 2}, Case{1200, 8, 3, 0}, Case{115200, 8, 4, 2},
                         Case{300, 5, 0, 1}, Case{4000000, 6, 0, 2}, Case{14400, 8, 0, 0}, Case{128000, 8, 2, 0},
                         Case{256000, 8, 0, 2}, Case{250000, 7, 1, 0}, Case{999999, 8, 0, 0}, Case{12345, 8, 0, 0}}) {
        SCOPED_TRACE(c.baud);
        ASSERT_TRUE(serial::setState(h, lineDcb(c.baud, c.bits, c.parity, c.stop)));
        VrtDcb back{};
        ASSERT_TRUE(serial::getState(h, back));
        EXPECT_EQ(back.length, 28u);
        EXPECT_EQ(back.baudRate, c.baud);
        EXPECT_EQ(back.byteSize, c.bits);
        EXPECT_EQ(back.parity, c.parity);
        EXPECT_EQ(back.stopBits, c.stop);
    }
}

TEST_F(SerialPty, ImpossibleSettingsFailAndChangeNothing) {
    ASSERT_TRUE(serial::setState(h, lineDcb(9600, 8, 2, 0)));
    for (const VrtDcb& bad : {lineDcb(0, 8, 2, 0),
                              lineDcb(9600, 9, 2, 0), lineDcb(9600, 4, 2, 0), lineDcb(9600, 8, 5, 0),
                              lineDcb(9600, 8, 2, 1), lineDcb(9600, 5, 2, 2), lineDcb(9600, 8, 2, 3)}) {
        EXPECT_FALSE(serial::setState(h, bad)) << bad.baudRate << " " << int(bad.byteSize) << " " << int(bad.parity)
                                               << " " << int(bad.stopBits);
    }
    VrtDcb back{};
    ASSERT_TRUE(serial::getState(h, back));
    EXPECT_EQ(back.baudRate, 9600u);
    EXPECT_EQ(back.parity, 2);
}

TEST_F(SerialPty, ModemLinesKeepTheirLastStateOnAPseudoTerminal) {
    EXPECT_TRUE(serial::setRts(h, true));
    EXPECT_TRUE(serial::setDtr(h, false));
    EXPECT_TRUE(serial::rts(h));
    EXPECT_FALSE(serial::dtr(h));
    VrtDcb d = lineDcb(19200, 8, 0, 0);  // DTR and RTS control "disable"
    ASSERT_TRUE(serial::setState(h, d));
    EXPECT_FALSE(serial::rts(h));
    EXPECT_FALSE(serial::dtr(h));
    d.flags |= (1u << VRT_DCB_DTR_CONTROL_SHIFT);
    ASSERT_TRUE(serial::setState(h, d));
    EXPECT_TRUE(serial::dtr(h));
    EXPECT_TRUE(serial::setEventMask(h, 0xC5));
    EXPECT_EQ(serial::eventMask(h), 0xC5u);
}

TEST_F(SerialPty, EveryByteValuePassesUnchangedBothWays) {
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = uint8_t(i);
    ASSERT_TRUE(serial::setState(h, lineDcb(19200, 8, 2, 0)));
    setTimeouts(50, 0, 1000);

    size_t written = 0;
    ASSERT_TRUE(serial::write(h, all.data(), all.size(), written));
    EXPECT_EQ(written, all.size());
    EXPECT_TRUE(serial::drain(h, 1000));
    EXPECT_EQ(pty.read(50, 1000), all);

    pty.write(all);
    EXPECT_EQ(readUpTo(512), all);
}

// With parity checked the kernel marks what it hands over: a data byte 0xFF
// comes doubled (above, every byte value still reads as sent, also when a
// read stops between the two bytes of a mark), and a byte received with a
// parity or framing error comes as 0xFF 0x00 byte. A pseudo-terminal makes
// no parity errors: with the kernel's marking turned off behind the layer's
// back, the far end writes the mark itself.
TEST_F(SerialPty, MarkedErrorFailsTheReadAndADataByteFFStaysOne) {
    ASSERT_TRUE(serial::setState(h, lineDcb(19200, 8, 2, 0)));
    setTimeouts(50, 0, 1000);
    pty.write({0x41, 0xFF, 0x42});
    EXPECT_EQ(readUpTo(2), (std::vector<uint8_t>{0x41, 0xFF}));
    EXPECT_EQ(readUpTo(8), (std::vector<uint8_t>{0x42}));

    termios t{};
    ASSERT_EQ(tcgetattr(h, &t), 0);
    ASSERT_TRUE(t.c_iflag & PARMRK);
    t.c_iflag &= ~(PARMRK | INPCK);
    ASSERT_EQ(tcsetattr(h, TCSANOW, &t), 0);
    pty.write({0x41, 0xFF, 0x00, 0x00, 0x42});
    std::vector<uint8_t> buf(16);
    size_t got = 99;
    EXPECT_FALSE(serial::read(h, buf.data(), buf.size(), got));
    EXPECT_EQ(got, 0u);
}

TEST_F(SerialPty, TotalTimeOutEndsAReadThatGetsNothing) {
    setTimeouts(20, 0, 60);
    EXPECT_TRUE(readUpTo(16).empty());
}

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

TEST_F(SerialPty, HangUpEndsAReadAtOnceWithoutSpinningAndWritesFail) {
    setTimeouts(0, 0, 8000);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pty.hangUp();
    });
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMs();
    std::vector<uint8_t> buf(16);
    size_t got = 0;
    const bool ok = serial::read(h, buf.data(), buf.size(), got);
    const double cpuMs = threadCpuMs() - cpuStart;
    const auto wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    unplug.join();
    EXPECT_FALSE(ok) << "a hang-up with nothing read is an input error";
    EXPECT_EQ(got, 0u);
    EXPECT_LT(wallMs, 4000.0) << "the read waited for its total time-out";
    EXPECT_LT(cpuMs, 100.0) << "the read spun for " << wallMs << " ms";

    const uint8_t byte = 0x55;
    size_t written = 0;
    EXPECT_FALSE(serial::write(h, &byte, 1, written));
}

TEST_F(SerialPty, FullBufferEndsTheReadAndLeavesTheRest) {
    setTimeouts(0, 0, 0);  // no time-outs at all: only a full buffer ends it
    pty.write({1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(readUpTo(4), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(serial::inputCount(h), 3);
    EXPECT_TRUE(serial::purge(h));
    EXPECT_EQ(serial::inputCount(h), 0);
}

TEST_F(SerialPty, IntervalCountsOnlyAfterTheFirstByte) {
    // The paced read (a caller that processes messages while it waits) takes
    // the same bytes as the plain one.
    for (const bool paced : {false, true}) {
        SCOPED_TRACE(paced ? "paced" : "plain");
        // A peer that answers late, then pauses mid-answer.
        setTimeouts(150, 0, 5000);
        std::thread peer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // longer than the interval
            pty.write({0xA1, 0xA2});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // shorter than the interval
            pty.write({0xA3});
            std::this_thread::sleep_for(std::chrono::milliseconds(700));  // much longer than the interval
            pty.write({0xA4});
        });
        int calls = 0;
        const std::function<bool()> count = [&] { return ++calls > 0; };
        EXPECT_EQ(readUpTo(64, paced ? count : nullptr), (std::vector<uint8_t>{0xA1, 0xA2, 0xA3}));
        if (paced) {
            EXPECT_GT(calls, 10);  // about every 10 ms of the 470 ms read
        }
        peer.join();
        EXPECT_EQ(readUpTo(64), (std::vector<uint8_t>{0xA4}));
    }
}

TEST_F(SerialPty, PacedReadEndsAtOnceWhenItsCallerStopsItOrClosesTheDevice) {
    setTimeouts(0, 0, 8000);
    const auto start = std::chrono::steady_clock::now();
    int calls = 0;
    EXPECT_TRUE(readUpTo(16, [&] { return ++calls < 3; }).empty());
    EXPECT_EQ(calls, 3);
    std::vector<uint8_t> buf(16);
    size_t got = 0;
    EXPECT_FALSE(serial::read(h, buf.data(), buf.size(), got, 10, [&] { return serial::close(h); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));

    // Closed and another device opened under the same number: its bytes stay its own.
    h = serial::open(pty.slavePath());
    PtyPair other;
    serial::Handle otherHandle = serial::kNoHandle;
    const auto reopen = [&] {
        serial::close(h);
        otherHandle = serial::open(other.slavePath());
        return true;
    };
    ASSERT_EQ(::write(other.masterFd(), "\x01\x02\x03", 3), 3);
    EXPECT_FALSE(serial::read(h, buf.data(), buf.size(), got, 10, reopen));
    ASSERT_EQ(otherHandle, h);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(serial::inputCount(otherHandle), 3);
    serial::close(otherHandle);
}

TEST_F(SerialPty, SpecialIntervalValuesReturnEarly) {
    // Interval "MAXDWORD" alone: return at once with what is there.
    setTimeouts(kMax, 0, 0);
    EXPECT_TRUE(readUpTo(8).empty());
    pty.write({7, 8});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(readUpTo(8), (std::vector<uint8_t>{7, 8}));

    // With the multiplier also "MAXDWORD": wait for the first bytes, then return.
    setTimeouts(kMax, kMax, 5000);
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.write({9});
    });
    EXPECT_EQ(readUpTo(8), (std::vector<uint8_t>{9}));
    peer.join();
}

TEST_F(SerialPty, TransmitterOfAPseudoTerminalIsEmptyAtOnce) {
    const uint8_t bytes[3] = {1, 2, 3};
    size_t n = 0;
    ASSERT_TRUE(serial::write(h, bytes, 3, n));
    EXPECT_TRUE(serial::drain(h, 100));
    EXPECT_TRUE(serial::transmitterEmpty(h));
    EXPECT_EQ(serial::outputCount(h), 0);
}

}  // namespace
