// Plain-port operations over pseudo-terminals.
#include <gtest/gtest.h>

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <dlfcn.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <thread>

#include "port_ops_fixture.h"
#include "vrtcltrn/port_ops.h"

namespace {

// The last line settings a descriptor was given (TCSETS2) while `watching`.
// A pseudo-terminal forces 8 data bits and drops PARENB from what it keeps,
// so those two can only be seen on their way into the kernel.
std::atomic<bool> watching{false};
struct termios2 lineGiven {};
int lineGivenTo = -1;

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    using Real = int (*)(int, unsigned long, ...);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ioctl"));
    if (request == TCSETS2 && arg && watching) {
        std::memcpy(&lineGiven, arg, sizeof lineGiven);
        lineGivenTo = fd;
    }
    return real(fd, request, arg);
}

namespace {

namespace serial = vrt::platform::serial;
using vrt::link::OpenPortCount;
using vrt::test::Bytes;
using vrt::test::ControllerSim;
using vrt::test::PtyPair;
using vrt::test::PumpScript;
using vrt::test::SimBehaviour;
using vrt::test::WireProtocol;

class PortOps : public vrt::test::PortOnPty {};

TEST_F(PortOps, OpenSetsTheLineAndClearsTheStatistics) {
    rec().cntRq = 7;
    rec().cntErrOut = 3;
    rec().lastOp = 4;
    rec().abortEvent = 1;
    rec().repeatCount = 2;
    const uint32_t before = OpenPortCount;
    openPort();
    const PortRecord& r = rec();
    EXPECT_EQ(+r.phase, 1);
    EXPECT_EQ(+r.lastOp, 1);
    EXPECT_EQ(+r.opDone, 1);
    EXPECT_EQ(+r.lastResult, 0);
    EXPECT_EQ(+r.cntRq, 0u);
    EXPECT_EQ(+r.cntErrOut, 0u);
    EXPECT_EQ(+r.abortEvent, 0);
    EXPECT_EQ(+r.repeatCount, 0);
    EXPECT_EQ(OpenPortCount, before + 1);
    EXPECT_EQ(_vrtCL_fComIsOpen(kPort), 1);

    EXPECT_EQ(+r.dcb.length, 28u);
    EXPECT_EQ(+r.dcb.baudRate, 19200u);
    EXPECT_EQ(+r.dcb.byteSize, 8);
    EXPECT_EQ(+r.dcb.parity, 2);
    EXPECT_EQ(+r.dcb.stopBits, 0);
    EXPECT_EQ(+r.dcb.flags, uint32_t(VRT_DCB_F_BINARY | VRT_DCB_F_PARITY | VRT_DCB_F_ABORT_ON_ERROR));
    EXPECT_EQ(+r.dcb.xonChar, ':');
    EXPECT_EQ(+r.dcb.xoffChar, '\n');
    EXPECT_EQ(serial::eventMask(r.hCom), 0xC5u);
    EXPECT_FALSE(serial::rts(r.hCom));
    EXPECT_FALSE(serial::dtr(r.hCom));
}

// The port's line settings reach the device: read back from the
// pseudo-terminal's master side what its driver keeps (rate, stop bits,
// odd/mark/space, parity checking), and the rest from the request itself.
TEST_F(PortOps, LineSettingsReachTheDevice) {
    struct Row {
        uint32_t baud;
        uint8_t data, parity, stop;
        tcflag_t size;
    };
    const Row rows[] = {
        {19200, 8, 2, 0, CS8},  // the default: even parity
        {9600, 7, 1, 2, CS7},   {115200, 8, 0, 2, CS8}, {1200, 7, 3, 0, CS7},
        {4800, 6, 4, 0, CS6},   {300, 5, 2, 1, CS5},  // 1.5 stop bits: CSTOPB with 5 data bits
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.baud << " " << int(row.data) << " parity " << int(row.parity)
                                        << " stop " << int(row.stop));
        rec().baud = row.baud;
        rec().data = row.data;
        rec().parity = row.parity;
        rec().stop = row.stop;
        lineGivenTo = -1;
        watching = true;
        openPort();
        watching = false;
        const bool parity = row.parity != 0;
        const bool odd = row.parity == 1 || row.parity == 3;
        const bool stick = row.parity >= 3;

        struct termios2 kept {};
        ASSERT_EQ(ioctl(pty_->masterFd(), TCGETS2, &kept), 0);
        EXPECT_EQ(kept.c_ospeed, row.baud);
        EXPECT_EQ(kept.c_ispeed, row.baud);
        EXPECT_EQ(bool(kept.c_cflag & CSTOPB), row.stop != 0);
        EXPECT_EQ(bool(kept.c_cflag & PARODD), odd);
        EXPECT_EQ(bool(kept.c_cflag & CMSPAR), stick);
        EXPECT_EQ(bool(kept.c_iflag & INPCK), parity);
        EXPECT_EQ(bool(kept.c_iflag & PARMRK), parity);
        EXPECT_FALSE(kept.c_cflag & CRTSCTS);
        EXPECT_FALSE(kept.c_iflag & (IXON | IXOFF));

        ASSERT_EQ(lineGivenTo, +rec().hCom);
        EXPECT_EQ(lineGiven.c_cflag & CSIZE, row.size);
        EXPECT_EQ(bool(lineGiven.c_cflag & PARENB), parity);
        EXPECT_EQ(lineGiven.c_cflag & (CSTOPB | PARODD | CMSPAR), kept.c_cflag & (CSTOPB | PARODD | CMSPAR));
        // The record's control block is read back from the device after the
        // settings: the framing that was handed over, not the pseudo-terminal's.
        EXPECT_EQ(+rec().dcb.baudRate, row.baud);
        EXPECT_EQ(+rec().dcb.byteSize, row.data);
        EXPECT_EQ(+rec().dcb.parity, row.parity);
        EXPECT_EQ(+rec().dcb.stopBits, row.stop);
    }
}

TEST_F(PortOps, ReopenAndCloseKeepTheOpenCount) {
    const uint32_t before = OpenPortCount;
    openPort();
    ++rec().cntOut;
    rec().baud = 9600;
    openPort();  // closes first, then opens again: new line settings, statistics cleared
    EXPECT_EQ(OpenPortCount, before + 1);
    EXPECT_EQ(+rec().dcb.baudRate, 9600u);
    VrtDcb onDevice{};
    ASSERT_TRUE(serial::getState(rec().hCom, onDevice));
    EXPECT_EQ(onDevice.baudRate, 9600u);
    EXPECT_EQ(+rec().cntOut, 0u);
    EXPECT_EQ(+rec().phase, 1);

    _vrtCL_fComClose(kPort);
    EXPECT_EQ(OpenPortCount, before);
    EXPECT_EQ(+rec().phase, 0);
    EXPECT_EQ(+rec().lastOp, 2);
    EXPECT_EQ(+rec().lastResult, 0);
    EXPECT_EQ(+rec().opDone, 1);
    EXPECT_EQ(+rec().abortEvent, 0);
    EXPECT_EQ(_vrtCL_fComIsOpen(kPort), 0);
    EXPECT_NE(serial::open(pty_->slavePath()), serial::kNoHandle) << "device released";

    rec().lastOp = 9;
    _vrtCL_fComClose(kPort);  // a closed port is left alone
    EXPECT_EQ(+rec().lastOp, 9);
    EXPECT_EQ(OpenPortCount, before);
}

TEST_F(PortOps, MissingOrTakenDeviceGivesMinus6) {
    const uint32_t before = OpenPortCount;
    setenv("VRT_COM1", "/nonexistent/vrt-tty", 1);
    EXPECT_EQ(_vrtCL_fComOpen(kPort), -6);
    EXPECT_EQ(+rec().phase, 0);
    EXPECT_EQ(+rec().lastOp, 1);
    EXPECT_EQ(+rec().lastResult, -6);
    EXPECT_EQ(+rec().opDone, 1);
    EXPECT_EQ(OpenPortCount, before);

    // COM1 and COM2 named the same device: the second open is refused.
    pty_->bindCom(1);
    pty_->bindCom(2);
    rec(1).baud = 19200;
    openPort();
    EXPECT_EQ(_vrtCL_fComOpen(1), -6);
    EXPECT_EQ(+rec(1).phase, 0);
    EXPECT_EQ(OpenPortCount, before + 1);
}

TEST_F(PortOps, RefusedBaudRateGivesMinus7AndLeavesThePortClosed) {
    const uint32_t before = OpenPortCount;
    // A pseudo-terminal takes every rate but 0; a UART refuses those its divisor cannot make.
    for (uint32_t baud : {0u}) {
        rec().baud = baud;
        EXPECT_EQ(_vrtCL_fComOpen(kPort), -7) << baud;
        EXPECT_EQ(+rec().phase, 0);
        EXPECT_EQ(+rec().lastOp, 2);
        EXPECT_EQ(+rec().lastResult, -7);
        EXPECT_EQ(+rec().opDone, 1);
        EXPECT_EQ(OpenPortCount, before);
        const serial::Handle probe = serial::open(pty_->slavePath());
        EXPECT_NE(probe, serial::kNoHandle) << "device released";
        serial::close(probe);
    }
}

TEST_F(PortOps, BadPortsAndClosedPortsAreRefused) {
    uint8_t b[4] = {1, 2, 3, 4};
    uint16_t n = 77;
    EXPECT_EQ(_vrtCL_fComOpen(4), -4);
    EXPECT_EQ(_vrtCL_fComIsOpen(-1), -4);
    EXPECT_EQ(_vrtCL_fComWrite(4, b, 4, &n, 0), -4);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(_vrtCL_fComClear(9), -4);
    EXPECT_EQ(_vrtCL_fComSetEvent(7, 1), 0);
    _vrtCL_fComClose(-3);

    rec().abortEvent = 0;
    EXPECT_EQ(_vrtCL_fComSetEvent(kPort, 1), 0);
    EXPECT_EQ(+rec().abortEvent, 0) << "closed port: no change";
    EXPECT_EQ(_vrtCL_fComWrite(kPort, b, 4, &n, 0), -8);
    EXPECT_EQ(+rec().phase, 0);
    EXPECT_EQ(+rec().lastOp, 3);
    EXPECT_EQ(+rec().lastResult, -8);
    EXPECT_EQ(_vrtCL_fComRead(kPort, b, 4, &n, 0), -8);
    EXPECT_EQ(+rec().lastOp, 4);
    EXPECT_EQ(_vrtCL_fComClear(kPort), 0);

    // A record whose index a host overwrote belongs to no port.
    vrt::link::PortTable[2].portIndex = 5;
    EXPECT_EQ(_vrtCL_fComOpen(2), -3);
    EXPECT_EQ(_vrtCL_fComWrite(2, b, 4, nullptr, 0), -3);
    EXPECT_EQ(_vrtCL_fComRequest(2, b, 4, b, 4, nullptr), -3);
    EXPECT_EQ(+vrt::link::PortTable[2].cntRq, 0u);
    vrt::link::PortTable[2].portIndex = 2;
}

TEST_F(PortOps, WriteChecksComeBeforeTheLine) {
    openPort();
    std::vector<uint8_t> big(1039, 0x41);
    uint16_t n = 5;
    EXPECT_EQ(_vrtCL_fComWrite(kPort, nullptr, 4, &n, 0), -14);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(+rec().lastResult, -14);
    EXPECT_EQ(+rec().phase, 1) << "a refused write leaves the phase";
    EXPECT_EQ(_vrtCL_fComWrite(kPort, big.data(), 1039, &n, 0), -15);
    rec().protocol = 3;
    EXPECT_EQ(_vrtCL_fComWrite(kPort, big.data(), 4, &n, 0), -15);
    EXPECT_EQ(+rec().cntOut, 0u);
    EXPECT_TRUE(pty_->read(20, 200).empty()) << "nothing was sent";
    uint8_t buf[4];
    EXPECT_EQ(_vrtCL_fComRead(kPort, nullptr, 4, &n, 0), -14);
    EXPECT_EQ(_vrtCL_fComRead(kPort, buf, 0, &n, 0), -15);
    EXPECT_EQ(+rec().cntInp, 0u);
}

TEST_F(PortOps, WriteSendsEveryByteUnchangedAndReportsThePayloadLength) {
    rec().protocol = 1;
    openPort();
    const Bytes payload = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x3A, 0x80};
    uint16_t written = 0;
    ASSERT_EQ(_vrtCL_fComWrite(kPort, payload.data(), uint16_t(payload.size()), &written, 0), 0);
    EXPECT_EQ(written, payload.size());
    EXPECT_EQ(pty_->read(20, 500), ControllerSim::frame(WireProtocol::VrtRtu, payload));
    const PortRecord& r = rec();
    EXPECT_EQ(+r.phase, 2);
    EXPECT_EQ(+r.lastOp, 3);
    EXPECT_EQ(+r.opDone, 1);
    EXPECT_EQ(+r.cntOut, 1u);
    EXPECT_EQ(+r.cntErrOut, 0u);
    EXPECT_FALSE(serial::rts(r.hCom)) << "RTS dropped after the frame";
}

TEST_F(PortOps, ReadUnframesWhatArrivedAndCutsToTheBuffer) {
    openPort();
    const Bytes answer = {0x04, 0x13, 0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 1, 2, 3, 4};  // 12 bytes
    pty_->write(ControllerSim::frame(WireProtocol::VrtAscii, answer));
    uint8_t buf[64];
    uint16_t n = 0;
    ASSERT_EQ(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0), 0);
    EXPECT_EQ(Bytes(buf, buf + n), answer);
    EXPECT_EQ(+rec().phase, 2);
    EXPECT_EQ(+rec().cntInp, 1u);

    pty_->write(ControllerSim::frame(WireProtocol::VrtAscii, answer));
    uint8_t small[10];
    EXPECT_EQ(_vrtCL_fComRead(kPort, small, sizeof small, &n, 0), -16);
    EXPECT_EQ(n, 10);
    EXPECT_EQ(Bytes(small, small + 10), Bytes(answer.begin(), answer.begin() + 10));
    EXPECT_EQ(+rec().cntErrInp, 1u);
    EXPECT_EQ(+rec().lastResult, -16);

    pty_->write({'n', 'o', 'i', 's', 'e'});
    EXPECT_EQ(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0), -36);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(+rec().cntErrInp, 2u);
}

// Bytes past what a read takes are discarded with it: the tail of an
// over-long answer never becomes the next answer.
TEST_F(PortOps, ReadLeavesNothingForTheNextAnswer) {
    rec().protocol = int32_t(WireProtocol::VrtRtu);  // a read takes 1087 bytes at most
    openPort();
    const Bytes stale = {0x04, 0x13, 0xEE}, fresh = {0x04, 0x13, 0x01};
    Bytes overLong(1087, 0x55);
    const Bytes tail = ControllerSim::frame(WireProtocol::VrtRtu, stale);
    overLong.insert(overLong.end(), tail.begin(), tail.end());
    pty_->write(overLong);
    uint8_t buf[64];
    uint16_t n = 0;
    EXPECT_NE(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0), 0);
    pty_->write(ControllerSim::frame(WireProtocol::VrtRtu, fresh));
    ASSERT_EQ(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0), 0);
    EXPECT_EQ(Bytes(buf, buf + n), fresh);
}

TEST_F(PortOps, ListeningReadWaitsForTheLineToSettle) {
    openPort();
    const Bytes payload = {0x09, 0x21, 0x55};
    const Bytes frame = ControllerSim::frame(WireProtocol::VrtAscii, payload);
    // The frame trickles in, one byte per round of message processing.
    size_t sent = 0;
    size_t polls = 0;
    PumpScript script([&] {
        ++polls;
        if (sent < frame.size()) pty_->write({frame[sent++]});
    });
    uint8_t buf[16];
    uint16_t n = 0;
    // A request to stop left from before the read does not count for it.
    _vrtCL_fComSetEvent(kPort, 1);
    ASSERT_EQ(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 1), 0);
    EXPECT_EQ(Bytes(buf, buf + n), payload);
    EXPECT_GE(polls, frame.size()) << "not read before the bytes stopped coming";
}

TEST_F(PortOps, ListeningReadEndsOnTheAbortFlag) {
    openPort();
    int polls = 0;
    PumpScript script([&] {
        if (++polls == 3) _vrtCL_fComSetEvent(kPort, 1);
    });
    uint8_t buf[16];
    uint16_t n = 0;
    EXPECT_EQ(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 1), -51);
    EXPECT_EQ(+rec().abortEvent, 0);
    EXPECT_EQ(+rec().lastResult, -51);
    EXPECT_EQ(+rec().cntErrInp, 0u) << "aborts are counted nowhere";
    EXPECT_EQ(+rec().phase, 2);
}

TEST_F(PortOps, CallsFromInsideAWriteAreBusyAndDisturbNothing) {
    rec().mode = 1;  // RS-485: the abort flag decides the write's end
    openPort();
    std::vector<int32_t> nested;
    bool rtsSeenUp = false;
    PumpScript script([&] {
        if (rec().phase != 3 || !nested.empty()) return;
        _vrtCL_fComSetEvent(kPort, 1);
        uint8_t buf[8];
        uint16_t n = 0;
        const uint8_t p[2] = {1, 2};
        nested.push_back(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0));
        nested.push_back(_vrtCL_fComWrite(kPort, p, 2, &n, 0));
        nested.push_back(_vrtCL_fComRequest(kPort, p, 2, buf, sizeof buf, &n));
        rtsSeenUp = serial::rts(rec().hCom);
    });
    const uint8_t payload[2] = {4, 3};
    EXPECT_EQ(_vrtCL_fComWrite(kPort, payload, 2, nullptr, 0), -51) << "the abort flag survived the nested calls";
    EXPECT_EQ(nested, (std::vector<int32_t>{-13, -13, -13}));
    EXPECT_TRUE(rtsSeenUp) << "the refused read left RTS up";
    EXPECT_EQ(+rec().lastOp, 3);
    EXPECT_EQ(+rec().lastResult, -51);
    EXPECT_EQ(+rec().cntErrOut, 0u);
    EXPECT_EQ(+rec().abortEvent, 0);
}

TEST_F(PortOps, AbortDoesNotStopAWriteOutsideRs485) {
    openPort();
    PumpScript script([&] { _vrtCL_fComSetEvent(kPort, 1); });
    const uint8_t payload[2] = {4, 3};
    EXPECT_EQ(_vrtCL_fComWrite(kPort, payload, 2, nullptr, 0), 0);
    rec().mode = 1;
    EXPECT_EQ(_vrtCL_fComWrite(kPort, payload, 2, nullptr, 1), -51);
}

TEST_F(PortOps, Rs485WriteWaitsForTheTransmitter) {
    rec().mode = 1;
    openPort();
    const uint8_t payload[3] = {4, 3, 9};
    uint16_t written = 0;
    ASSERT_EQ(_vrtCL_fComWrite(kPort, payload, 3, &written, 1), 0);
    EXPECT_EQ(written, 3);
    EXPECT_EQ(pty_->read(20, 500).size(), 2u * 3 + 5);
}

TEST_F(PortOps, Rs485TransmitterWaitIsBoundedAndSeesTheAbortFlag) {
    using vrt::link::TransmitterWait;
    using vrt::link::WaitForTransmitter;
    openPort();
    const vrt::link::PortLease lease(kPort);
    const auto never = [](int) { return false; };
    EXPECT_EQ(WaitForTransmitter(lease, rec(), 30, [](int) { return true; }), TransmitterWait::Empty);
    EXPECT_EQ(WaitForTransmitter(lease, rec(), 30, never), TransmitterWait::TimedOut);
    {
        PumpScript script([&] { _vrtCL_fComSetEvent(kPort, 1); });
        EXPECT_EQ(WaitForTransmitter(lease, rec(), 60000, never), TransmitterWait::Aborted);
    }
    rec().abortEvent = 0;
    {
        PumpScript script([&] { _vrtCL_fComClose(kPort); });
        EXPECT_EQ(WaitForTransmitter(lease, rec(), 60000, never), TransmitterWait::Lost);
    }
}

TEST_F(PortOps, ClosedAndReopenedFromAHandlerTheOldWriteLeavesTheNewDeviceAlone) {
    openPort();
    PtyPair other;
    bool done = false;
    PumpScript script([&] {
        if (done || rec().phase != 3) return;
        done = true;
        _vrtCL_fComClose(kPort);
        other.bindCom(kPort + 1);
        ASSERT_EQ(_vrtCL_fComOpen(kPort), kPort);
    });
    const uint8_t payload[2] = {4, 3};
    EXPECT_EQ(_vrtCL_fComWrite(kPort, payload, 2, nullptr, 0), -51);
    ASSERT_TRUE(done);
    EXPECT_TRUE(other.read(20, 300).empty()) << "nothing written into the new opening";
    EXPECT_TRUE(pty_->read(20, 100).empty());
    EXPECT_EQ(+rec().phase, 1);
    EXPECT_EQ(+rec().lastOp, 1);
    EXPECT_EQ(+rec().cntOut, 0u);

    // The new opening works as usual.
    const uint8_t again[2] = {5, 3};
    EXPECT_EQ(_vrtCL_fComWrite(kPort, again, 2, nullptr, 1), 0);
    EXPECT_EQ(other.read(20, 500), ControllerSim::frame(WireProtocol::VrtAscii, {5, 3}));
}

TEST_F(PortOps, ClearPurgesAndDropsTheLines) {
    openPort();
    serial::setRts(rec().hCom, true);
    serial::setDtr(rec().hCom, true);
    pty_->write({1, 2, 3});
    EXPECT_EQ(_vrtCL_fComClear(kPort), 0);
    EXPECT_EQ(serial::inputCount(rec().hCom), 0);
    EXPECT_FALSE(serial::rts(rec().hCom));
    EXPECT_FALSE(serial::dtr(rec().hCom));
}

TEST_F(PortOps, CloseAllClosesEveryPort) {
    PtyPair second;
    second.bindCom(3);
    rec(2).baud = 19200;
    openPort();
    ASSERT_EQ(_vrtCL_fComOpen(2), 2);
    const uint32_t before = OpenPortCount;
    _vrtCL_fComCloseAll();
    EXPECT_EQ(_vrtCL_fComIsOpen(kPort), 0);
    EXPECT_EQ(_vrtCL_fComIsOpen(2), 0);
    EXPECT_EQ(OpenPortCount, before - 2);
    EXPECT_EQ(+rec().abortEvent, 0);
}

// Hosts are asked to call from one thread; one that does not must still
// never reach another port's line through a reused descriptor number.
TEST_F(PortOps, ReadOnAThreadWhosePortWasClosedAndItsNumberReusedLeavesBothPortsAlone) {
    rec().baud = 115200;
    rec().protocol = 1;  // an RTU read time-out: under 2 s
    openPort();
    const int number = rec().hCom;
    PtyPair com2;
    com2.bindCom(2);
    rec(1).baud = 115200;
    std::atomic<int32_t> result{1};
    std::thread reader([&] {
        uint8_t buf[16];
        uint16_t n = 0;
        result = _vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0);
    });
    for (int i = 0; i < 400 && rec().phase != 4; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // into its blocking read
    _vrtCL_fComClose(kPort);
    const bool reused = _vrtCL_fComOpen(1) == 1 && rec(1).hCom == number;
    com2.write({7, 8, 9});  // waiting in COM2's input when the read returns
    for (int i = 0; i < 100 && reused && serial::inputCount(rec(1).hCom) < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    reader.join();
    ASSERT_TRUE(reused) << "COM2 did not get COM1's old number";
    EXPECT_EQ(result.load(), -51);
    EXPECT_EQ(+rec().phase, 0) << "COM1 stays closed";
    EXPECT_EQ(serial::inputCount(rec(1).hCom), 3) << "COM2's input was purged";
    const uint8_t payload[2] = {4, 3};
    EXPECT_EQ(_vrtCL_fComWrite(kPort, payload, 2, nullptr, 1), -8);
    EXPECT_TRUE(com2.read(20, 200).empty()) << "COM1's frame went out on COM2's line";
}

// Runs `step(w, i)` on two threads started together for each i < tries,
// `beforeRound` before each round.
template <class Step>
void InLockstep(int tries, Step step, void (*beforeRound)() = [] {}) {
    std::atomic<int> round{-1}, finished{0};
    const auto worker = [&](int w) {
        for (int i = 0; i < tries; ++i) {
            while (round.load() < i) {
            }
            step(w, i);
            finished.fetch_add(1);
        }
    };
    std::thread a(worker, 0), b(worker, 1);
    for (int i = 0; i < tries; ++i) {
        beforeRound();
        round.store(i);
        while (finished.load() < 2 * (i + 1)) std::this_thread::yield();
    }
    a.join();
    b.join();
}

// Calls of the current round that have returned; a write that holds the
// port waits in its first message processing until the other call returned,
// so the two always overlap however the threads are scheduled.
// Two writes that both hold the port wait for each other once, not for ever.
std::atomic<int> g_returnedThisRound{0};
std::atomic<bool> g_waitedInVain{false};

void WaitForTheOtherCall() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (g_returnedThisRound.load() == 0 && !g_waitedInVain.load())
        if (std::chrono::steady_clock::now() >= until) g_waitedInVain = true;
}

// The busy mark is one test-and-set: a check apart from the setting lets both
// callers through now and then.
TEST_F(PortOps, TwoThreadsStartingTogetherOnOnePortOneIsBusy) {
    openPort();
    pty_->hangUp();  // every write fails at once (-9), keeping each try short
    constexpr int kWrites = 150;
    std::vector<int32_t> results[2] = {std::vector<int32_t>(kWrites), std::vector<int32_t>(kWrites)};
    const vrt::platform::PumpHook before = vrt::platform::setPumpHook(&WaitForTheOtherCall);
    InLockstep(kWrites, [&](int w, int i) {
        const uint8_t payload[2] = {4, 3};
        results[w][i] = _vrtCL_fComWrite(kPort, payload, 2, nullptr, 1);
        g_returnedThisRound.fetch_add(1);
    }, [] { g_returnedThisRound = 0; g_waitedInVain = false; });
    vrt::platform::setPumpHook(before);
    int notOneBusy = 0;
    for (int i = 0; i < kWrites; ++i) notOneBusy += (results[0][i] == -13) + (results[1][i] == -13) != 1;
    EXPECT_EQ(notOneBusy, 0) << "writes started together of which not exactly one was busy";

    // The mark alone, many more times: both hold theirs until both have looked.
    constexpr int kMarks = 100000;
    std::vector<char> owned[2] = {std::vector<char>(kMarks), std::vector<char>(kMarks)};
    std::atomic<int> looked{0};
    InLockstep(kMarks, [&](int w, int i) {
        const vrt::link::PortOperationMark mark(kPort);
        owned[w][i] = mark.owner();
        looked.fetch_add(1);
        while (looked.load() < 2 * (i + 1)) {
        }
    });
    int notOneOwner = 0;
    for (int i = 0; i < kMarks; ++i) notOneOwner += owned[0][i] + owned[1][i] != 1;
    EXPECT_EQ(notOneOwner, 0) << "marks taken together of which not exactly one was held";
}

}  // namespace
