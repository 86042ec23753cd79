#include "platform/serial.h"
#include "platform/serial_rate.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <type_traits>
#include <unistd.h>

#include "platform/clock.h"

namespace vrt::platform::serial {
namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

struct DeviceState {
    VrtDcb dcb{};          // fields that termios cannot hold are kept here
    VrtTimeouts timeouts{};
    bool rts = false;
    bool dtr = false;
    uint32_t mask = 0;
    bool pseudo = false;   // a pseudo-terminal: no line framing to set
    bool lineSet = false;  // dcb holds the data bits, parity and stop bits last set
    bool marked = false;   // parity checking on: the kernel marks bad bytes (PARMRK)
    uint64_t opening = 0;  // tells this opening from a later one that got the same number
};

// The devices open through this layer. Plain data without destructors, so it
// is still intact when the link library closes its ports as the process
// unloads it, after the C++ objects have been destroyed.
constexpr size_t kMaxDevices = 64;

struct Slot {
    Handle handle = kNoHandle;
    DeviceState state;
};

std::mutex g_mutex;
Slot g_slots[kMaxDevices];
uint64_t g_openings = 0;  // under g_mutex
static_assert(std::is_trivially_destructible_v<std::mutex> && std::is_trivially_destructible_v<Slot>);

Slot* findSlot(Handle h) {
    if (h < 0) return nullptr;
    for (Slot& s : g_slots)
        if (s.handle == h) return &s;
    return nullptr;
}

uint64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

void pauseMs(uint32_t ms) {
    timespec req{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    timespec rem{};
    while (nanosleep(&req, &rem) == -1 && errno == EINTR) req = rem;
}

bool lookup(Handle h, DeviceState* out = nullptr) {
    std::lock_guard lock(g_mutex);
    const Slot* slot = findSlot(h);
    if (!slot) return false;
    if (out) *out = slot->state;
    return true;
}

template <class F>
bool update(Handle h, F&& f) {
    std::lock_guard lock(g_mutex);
    Slot* slot = findSlot(h);
    if (!slot) return false;
    f(slot->state);
    return true;
}

void switchLine(Handle h, int bit, bool on) {
    int bits = bit;
    // Pseudo-terminals and some adapters have no modem lines: nothing to do then.
    (void)ioctl(h, on ? TIOCMBIS : TIOCMBIC, &bits);
}

// Unix98 pseudo-terminal slaves have the majors 136..143. Their driver keeps
// the baud rate but forces 8 data bits without parity: nothing goes on a wire.
bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

// Input of a device whose parity is checked comes marked (PARMRK): a byte
// received with a parity or framing error (or a break) as 0xFF 0x00 byte, a
// data byte 0xFF as 0xFF 0xFF. As the serial interface the library was
// designed on aborts a read on a line error, such a byte fails the read.
class Unmarker {
public:
    explicit Unmarker(bool on) : on_(on) {}
    // Takes the n bytes just read to buf + got, removing the marks in place;
    // `got` grows by the data bytes among them. False at a marked error.
    bool take(uint8_t* buf, size_t& got, size_t n) {
        if (!on_) {
            got += n;
            return true;
        }
        const size_t end = got + n;
        for (size_t i = got; i < end; ++i) {
            const uint8_t c = buf[i];
            if (afterMark_) {
                if (c != 0xFF) return false;  // 0xFF 0x00: a byte with an error
                afterMark_ = false;
                buf[got++] = c;
            } else if (c == 0xFF) {
                afterMark_ = true;  // its second byte may come with the next read
            } else {
                buf[got++] = c;
            }
        }
        return true;
    }

private:
    bool on_;
    bool afterMark_ = false;
};

// Reads what is already queued without waiting; the new total count (0 at a
// marked error).
size_t takeQueued(Handle h, uint8_t* buf, size_t size, size_t& got, Unmarker& marks) {
    while (got < size) {
        const ssize_t n = ::read(h, buf + got, size - got);
        if (n > 0) {
            if (!marks.take(buf, got, size_t(n))) return got = 0;
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    return got;
}

// The RTS calls kept for tests, a ring of plain data like the slots.
constexpr size_t kRtsLogSize = 4096;
struct RtsLog {
    bool recording = false;
    size_t count = 0;  // calls kept since recording started, may exceed the ring
    RtsSwitch entries[kRtsLogSize];
};
RtsLog g_rtsLog;
static_assert(std::is_trivially_destructible_v<RtsLog>);

void noteRts(Handle h, bool on) {
    std::lock_guard lock(g_mutex);
    if (!g_rtsLog.recording) return;
    g_rtsLog.entries[g_rtsLog.count++ % kRtsLogSize] = {h, on, platform::tickMs()};
}

// A waiting read or write may see its device closed by another thread and
// the number given to another device: then it must not touch that one.
bool stillOpen(Handle h, uint64_t opening) {
    DeviceState now;
    return lookup(h, &now) && now.opening == opening;
}

int pollWait(uint64_t waitMs) { return waitMs >= uint64_t(INT_MAX) ? INT_MAX : int(waitMs); }

}  // namespace

std::string comDevicePath(int n) {
    const std::string var = "VRT_COM" + std::to_string(n);
    if (const char* v = std::getenv(var.c_str()); v && *v) return v;
    return "/dev/ttyS" + std::to_string(n - 1);
}

Handle open(const std::string& path) {
    if (path.empty()) return kNoHandle;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kNoHandle;
    termios t{};
    // flock keeps out every other opener, root included; TIOCEXCL keeps out
    // other users' plain opens as well.
    if (tcgetattr(fd, &t) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return kNoHandle;
    }
    (void)ioctl(fd, TIOCEXCL);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | PARMRK | IGNPAR | INPCK);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        ::close(fd);
        return kNoHandle;
    }
    DeviceState st;
    st.dcb.length = sizeof(VrtDcb);
    st.dcb.flags = VRT_DCB_F_BINARY | (1u << VRT_DCB_DTR_CONTROL_SHIFT) | (1u << VRT_DCB_RTS_CONTROL_SHIFT);
    // Opening a tty raises DTR and RTS.
    st.rts = true;
    st.dtr = true;
    st.pseudo = isPseudoTerminal(fd);
    {
        std::lock_guard lock(g_mutex);
        Slot* free = nullptr;
        for (Slot& slot : g_slots)
            if (slot.handle == kNoHandle) {
                free = &slot;
                break;
            }
        if (!free) {
            ::close(fd);
            return kNoHandle;
        }
        free->handle = fd;
        free->state = st;
        free->state.opening = ++g_openings;
    }
    return fd;
}

Handle openCom(int n) { return open(comDevicePath(n)); }

bool close(Handle h) {
    {
        std::lock_guard lock(g_mutex);
        Slot* slot = findSlot(h);
        if (!slot) return false;
        *slot = Slot{};
    }
    (void)ioctl(h, TIOCNXCL);
    ::close(h);  // also releases the flock
    return true;
}

bool isOpen(Handle h) { return lookup(h); }

bool getState(Handle h, VrtDcb& dcb) {
    DeviceState st;
    if (!lookup(h, &st)) return false;
    termios t{};
    if (tcgetattr(h, &t) != 0) return false;
    dcb = st.dcb;
    dcb.length = sizeof(VrtDcb);
    dcb.baudRate = rate::get(h);
    auto setFlag = [&](uint32_t bit, bool on) { dcb.flags = on ? (dcb.flags | bit) : (dcb.flags & ~bit); };
    setFlag(VRT_DCB_F_OUTX_CTS_FLOW, t.c_cflag & CRTSCTS);
    setFlag(VRT_DCB_F_OUTX, t.c_iflag & IXON);
    setFlag(VRT_DCB_F_INX, t.c_iflag & IXOFF);
    dcb.xonChar = char(t.c_cc[VSTART]);
    dcb.xoffChar = char(t.c_cc[VSTOP]);
    // Once set, the framing is what the device took (checked when it was set),
    // or, on a pseudo-terminal, what was asked for.
    if (st.lineSet) return true;
    switch (t.c_cflag & CSIZE) {
        case CS5: dcb.byteSize = 5; break;
        case CS6: dcb.byteSize = 6; break;
        case CS7: dcb.byteSize = 7; break;
        default: dcb.byteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        dcb.parity = 0;
    else if (t.c_cflag & CMSPAR)
        dcb.parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        dcb.parity = (t.c_cflag & PARODD) ? 1 : 2;
    if (t.c_cflag & CSTOPB)
        dcb.stopBits = dcb.byteSize == 5 ? 1 : 2;
    else
        dcb.stopBits = 0;
    return true;
}

bool setState(Handle h, const VrtDcb& dcb) {
    DeviceState st;
    if (!lookup(h, &st)) return false;
    if (dcb.baudRate == 0) return false;
    if (dcb.byteSize < 5 || dcb.byteSize > 8 || dcb.parity > 4 || dcb.stopBits > 2) return false;
    // The combinations a UART cannot make: 1.5 stop bits need 5 data bits,
    // 2 stop bits need more than 5.
    if ((dcb.stopBits == 1) != (dcb.byteSize == 5) && dcb.stopBits != 0) return false;

    rate::Line old;
    if (!rate::get(h, old)) return false;
    rate::Line t = old;
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.cflag |= kSizes[dcb.byteSize - 5] | CLOCAL | CREAD;
    switch (dcb.parity) {
        case 1: t.cflag |= PARENB | PARODD; break;
        case 2: t.cflag |= PARENB; break;
        case 3: t.cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: t.cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    if (dcb.stopBits != 0) t.cflag |= CSTOPB;
    if (dcb.flags & VRT_DCB_F_OUTX_CTS_FLOW) t.cflag |= CRTSCTS;
    t.iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR | ISTRIP);
    if (dcb.flags & VRT_DCB_F_OUTX) t.iflag |= IXON;
    if (dcb.flags & VRT_DCB_F_INX) t.iflag |= IXOFF;
    // Bytes with a parity or framing error are marked, so a read can fail
    // on them, rather than handed over as 0x00.
    const bool marked = (dcb.flags & VRT_DCB_F_PARITY) && dcb.parity != 0;
    if (marked) t.iflag |= INPCK | PARMRK;
    t.cc[VSTART] = cc_t(dcb.xonChar);
    t.cc[VSTOP] = cc_t(dcb.xoffChar);
    t.bps = dcb.baudRate;
    // The driver takes what it can of a request: read back and compare. A
    // pseudo-terminal carries no framing and always reports 8 bits, no parity.
    rate::Line back;
    const tcflag_t lineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    if (!rate::set(h, t, back) || (!st.pseudo && (back.cflag & lineBits) != (t.cflag & lineBits))) {
        rate::Line ignored;
        (void)rate::set(h, old, ignored);
        return false;
    }
    const unsigned dtrControl = (dcb.flags >> VRT_DCB_DTR_CONTROL_SHIFT) & 3u;
    const unsigned rtsControl = (dcb.flags >> VRT_DCB_RTS_CONTROL_SHIFT) & 3u;
    update(h, [&](DeviceState& s) {
        s.dcb = dcb;
        s.dcb.length = sizeof(VrtDcb);
        s.lineSet = true;
        s.marked = marked;
    });
    if (dtrControl <= 1) setDtr(h, dtrControl == 1);
    if (rtsControl <= 1) setRts(h, rtsControl == 1);
    return true;
}

bool setTimeouts(Handle h, const VrtTimeouts& t) {
    return update(h, [&](DeviceState& st) { st.timeouts = t; });
}

bool getTimeouts(Handle h, VrtTimeouts& t) {
    DeviceState st;
    if (!lookup(h, &st)) return false;
    t = st.timeouts;
    return true;
}

bool read(Handle h, uint8_t* buf, size_t size, size_t& got) { return read(h, buf, size, got, 0, {}); }

bool read(Handle h, uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
          const std::function<bool()>& keepWaiting) {
    got = 0;
    DeviceState st;
    if (!lookup(h, &st) || (!buf && size > 0)) return false;
    if (size == 0) return true;
    const VrtTimeouts& to = st.timeouts;
    const bool returnAtOnce = to.readInterval == kMaxDword && to.readTotalMultiplier == 0 && to.readTotalConstant == 0;
    const bool firstByteEnds = to.readInterval == kMaxDword && to.readTotalMultiplier == kMaxDword &&
                               to.readTotalConstant > 0 && to.readTotalConstant < kMaxDword;
    const bool hasTotal = !returnAtOnce && (to.readTotalMultiplier != 0 || to.readTotalConstant != 0);
    const uint64_t total = firstByteEnds ? to.readTotalConstant
                                         : uint64_t(to.readTotalMultiplier) * size + to.readTotalConstant;
    const uint64_t interval = firstByteEnds ? 0 : to.readInterval;
    const uint64_t start = nowMs();
    uint64_t lastByte = start;
    uint64_t lastPaced = start;
    Unmarker marks(st.marked);
    for (;;) {
        const ssize_t n = ::read(h, buf + got, size - got);
        if (n > 0) {
            if (!marks.take(buf, got, size_t(n))) {
                got = 0;
                return false;
            }
            lastByte = nowMs();
            if (got == size) return true;
            continue;  // take everything already waiting before the next wait
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return got > 0;
        if (returnAtOnce || (firstByteEnds && got > 0)) return true;

        uint64_t wait = UINT64_MAX;
        const uint64_t now = nowMs();
        if (hasTotal) {
            if (now >= start + total) return true;
            wait = start + total - now;
        }
        if (got > 0 && interval > 0) {
            if (now >= lastByte + interval) return true;
            wait = std::min(wait, lastByte + interval - now);
        }
        const bool paced = bool(keepWaiting);
        if (paced) wait = std::min<uint64_t>(wait, std::max<uint32_t>(sliceMs, 1));
        pollfd p{h, POLLIN, 0};
        const int r = poll(&p, 1, wait == UINT64_MAX ? -1 : pollWait(wait));
        if (!stillOpen(h, st.opening)) return false;
        if (r < 0 && errno != EINTR) return got > 0;
        if (paced && nowMs() - lastPaced >= sliceMs) {
            if (!keepWaiting()) return true;
            // The caller's handlers may have closed the device meanwhile, and
            // another opening may have got its number.
            if (!stillOpen(h, st.opening)) return got > 0;
            lastPaced = nowMs();
        }
        // A device that went away (an adapter unplugged, the far end of a
        // pseudo-terminal closed) polls readable for ever while read() gives
        // 0: take what is still queued and end the read as an input error.
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return takeQueued(h, buf, size, got, marks) > 0;
    }
}

bool write(Handle h, const uint8_t* buf, size_t size, size_t& written) {
    written = 0;
    DeviceState st;
    if (!lookup(h, &st) || (!buf && size > 0)) return false;
    const VrtTimeouts& to = st.timeouts;
    const bool hasTotal = to.writeTotalMultiplier != 0 || to.writeTotalConstant != 0;
    const uint64_t total = uint64_t(to.writeTotalMultiplier) * size + to.writeTotalConstant;
    const uint64_t start = nowMs();
    while (written < size) {
        const ssize_t n = ::write(h, buf + written, size - written);
        if (n > 0) {
            written += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return written > 0;
        uint64_t wait = UINT64_MAX;
        if (hasTotal) {
            const uint64_t now = nowMs();
            if (now >= start + total) return true;
            wait = start + total - now;
        }
        pollfd p{h, POLLOUT, 0};
        const int r = poll(&p, 1, wait == UINT64_MAX ? -1 : pollWait(wait));
        if (!stillOpen(h, st.opening)) return false;
        if (r < 0 && errno != EINTR) return written > 0;
        if (r > 0 && !(p.revents & POLLOUT) && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return written > 0;
    }
    return true;
}

bool purge(Handle h) { return lookup(h) && tcflush(h, TCIOFLUSH) == 0; }

int inputCount(Handle h) {
    int n = 0;
    if (!lookup(h) || ioctl(h, TIOCINQ, &n) != 0) return -1;
    return n;
}

int outputCount(Handle h) {
    int n = 0;
    if (!lookup(h) || ioctl(h, TIOCOUTQ, &n) != 0) return -1;
    return n;
}

bool transmitterEmpty(Handle h) {
    if (outputCount(h) != 0) return false;
    unsigned int lsr = 0;
    // Drivers that cannot report the shift register count as empty once the queue is.
    if (ioctl(h, TIOCSERGETLSR, &lsr) != 0) return true;
    return (lsr & TIOCSER_TEMT) != 0;
}

bool drain(Handle h, uint32_t limitMs) {
    DeviceState st;
    if (!lookup(h, &st)) return false;
    const uint64_t end = nowMs() + limitMs;
    // One character at the slowest plausible rate bounds each nap, so a short
    // queue is noticed promptly and a long one costs few wake-ups.
    const uint32_t bps = rate::get(h);
    const uint32_t charMs = bps ? std::max<uint32_t>(1, 11000u / bps) : 1;
    for (;;) {
        if (transmitterEmpty(h)) return true;
        const uint64_t now = nowMs();
        if (now >= end) return false;
        const int queued = std::max(outputCount(h), 1);
        const uint64_t nap = std::min<uint64_t>({uint64_t(queued) * charMs, 50, end - now});
        pauseMs(uint32_t(std::max<uint64_t>(nap, 1)));
    }
}

bool setRts(Handle h, bool on) {
    if (!update(h, [&](DeviceState& st) { st.rts = on; })) return false;
    noteRts(h, on);
    switchLine(h, TIOCM_RTS, on);
    return true;
}

bool setDtr(Handle h, bool on) {
    if (!update(h, [&](DeviceState& st) { st.dtr = on; })) return false;
    switchLine(h, TIOCM_DTR, on);
    return true;
}

bool rts(Handle h) {
    DeviceState st;
    return lookup(h, &st) && st.rts;
}

bool dtr(Handle h) {
    DeviceState st;
    return lookup(h, &st) && st.dtr;
}

bool setEventMask(Handle h, uint32_t mask) {
    return update(h, [&](DeviceState& st) { st.mask = mask; });
}

uint32_t eventMask(Handle h) {
    DeviceState st;
    return lookup(h, &st) ? st.mask : 0;
}

void recordRtsForTesting(bool on) {
    std::lock_guard lock(g_mutex);
    g_rtsLog.recording = on;
    g_rtsLog.count = 0;
}

std::vector<RtsSwitch> rtsSwitchesForTesting() {
    std::lock_guard lock(g_mutex);
    const size_t kept = std::min(g_rtsLog.count, kRtsLogSize);
    std::vector<RtsSwitch> out;
    out.reserve(kept);
    for (size_t i = g_rtsLog.count - kept; i < g_rtsLog.count; ++i) out.push_back(g_rtsLog.entries[i % kRtsLogSize]);
    return out;
}

}  // namespace vrt::platform::serial
