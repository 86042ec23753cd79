#include "testing/controller_sim.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vrt::testing {
namespace {

// An RTU frame ends when the line has been quiet this long (a pseudo-terminal
// delivers a frame written at once in one piece, so a short gap suffices).
constexpr int kRtuGapMs = 4;

uint8_t asciiHigh(uint8_t b) { return uint8_t(0x50 | (b >> 4)); }
uint8_t asciiLow(uint8_t b) { return uint8_t(0x40 | (b & 0x0F)); }

// Decodes the characters between ':' and CR LF; false on bad coding or LRC.
bool decodeAscii(const Bytes& body, Bytes& payload) {
    if (body.size() % 2 != 0 || body.size() < 2) return false;
    Bytes bytes;
    uint8_t sum = 0;
    for (size_t i = 0; i < body.size(); i += 2) {
        const uint8_t hi = body[i], lo = body[i + 1];
        if (hi < 0x50 || hi > 0x5F || lo < 0x40 || lo > 0x4F) return false;
        const uint8_t b = uint8_t(((hi & 0x0F) << 4) | (lo & 0x0F));
        bytes.push_back(b);
        sum = uint8_t(sum + b);
    }
    if (sum != 0) return false;
    bytes.pop_back();
    payload = bytes;
    return true;
}

}  // namespace

uint16_t ControllerSim::crc16(const uint8_t* bytes, size_t len) {
    uint16_t reg = 0xFFFF;
    for (size_t i = 0; i < len; ++i) {
        reg ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) ? uint16_t((reg >> 1) ^ 0xA001) : uint16_t(reg >> 1);
    }
    return reg;
}

Bytes ControllerSim::frame(WireProtocol protocol, const Bytes& payload) {
    Bytes out;
    if (protocol == WireProtocol::VrtAscii) {
        out.push_back(':');
        uint8_t sum = 0;
        for (uint8_t b : payload) {
            out.push_back(asciiHigh(b));
            out.push_back(asciiLow(b));
            sum = uint8_t(sum + b);
        }
        const uint8_t lrc = uint8_t(-sum);
        out.push_back(asciiHigh(lrc));
        out.push_back(asciiLow(lrc));
        out.push_back('\r');
        out.push_back('\n');
    } else {
        out = payload;
        const uint16_t crc = crc16(payload.data(), payload.size());
        out.push_back(uint8_t(crc & 0xFF));
        out.push_back(uint8_t(crc >> 8));
    }
    return out;
}

ControllerSim::ControllerSim(int fd, WireProtocol protocol, SimBehaviour behaviour)
    : fd_(fd), protocol_(protocol), behaviour_(std::move(behaviour)) {
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

ControllerSim::~ControllerSim() {
    stopping_ = true;
    const uint64_t one = 1;
    (void)::write(stopFd_, &one, sizeof one);
    thread_.join();
    ::close(stopFd_);
}

void ControllerSim::setBehaviour(SimBehaviour behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = std::move(behaviour);
}

std::vector<Bytes> ControllerSim::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t ControllerSim::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

Bytes ControllerSim::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool ControllerSim::waitForRequests(size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

void ControllerSim::clearRecords() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    received_.clear();
}

bool ControllerSim::pause(int ms) {
    if (ms <= 0) return !stopping_;
    pollfd p{stopFd_, POLLIN, 0};
    poll(&p, 1, ms);
    return !stopping_;
}

void ControllerSim::sendAll(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size() && !stopping_) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            pause(1);
        } else {
            return;
        }
    }
}

void ControllerSim::run() {
    while (!stopping_) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const bool rtuPending = protocol_ != WireProtocol::VrtAscii && !pending_.empty();
        const int r = poll(p, 2, rtuPending ? kRtuGapMs : -1);
        if (stopping_) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) {  // the line went quiet: an RTU frame is complete
            takeRtuFrame();
            continue;
        }
        if (p[0].revents & POLLIN) {
            uint8_t buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                {
                    std::lock_guard lock(mutex_);
                    received_.insert(received_.end(), buf, buf + n);
                }
                pending_.insert(pending_.end(), buf, buf + n);
                if (protocol_ == WireProtocol::VrtAscii) takeAsciiFrames();
            }
        } else if (p[0].revents & (POLLHUP | POLLERR)) {
            // Nobody holds the other side right now; look again shortly.
            pause(5);
        }
    }
}

void ControllerSim::takeAsciiFrames() {
    for (;;) {
        size_t start = 0;
        while (start < pending_.size() && pending_[start] != ':') ++start;
        if (start == pending_.size()) {
            pending_.clear();
            return;
        }
        size_t end = start + 1;
        while (end + 1 < pending_.size() && !(pending_[end] == '\r' && pending_[end + 1] == '\n')) ++end;
        if (end + 1 >= pending_.size()) {
            pending_.erase(pending_.begin(), pending_.begin() + long(start));
            return;  // frame not complete yet
        }
        const Bytes raw(pending_.begin() + long(start), pending_.begin() + long(end) + 2);
        const Bytes body(pending_.begin() + long(start) + 1, pending_.begin() + long(end));
        pending_.erase(pending_.begin(), pending_.begin() + long(end) + 2);
        Bytes payload;
        if (decodeAscii(body, payload)) answer(payload, raw);
    }
}

void ControllerSim::takeRtuFrame() {
    const Bytes raw = pending_;
    pending_.clear();
    if (raw.size() < 4 || crc16(raw.data(), raw.size()) != 0) return;
    answer(Bytes(raw.begin(), raw.end() - 2), raw);
}

void ControllerSim::answer(const Bytes& request, const Bytes& rawFrame) {
    SimBehaviour b;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        b = behaviour_;
        if (behaviour_.silentRequests > 0) --behaviour_.silentRequests;
    }
    arrived_.notify_all();
    if (b.silent || b.silentRequests > 0) return;
    if (!pause(b.delayMs)) return;

    Bytes out;
    if (b.echo || b.echoOnly) out = rawFrame;
    if (!b.echoOnly) {
        if (!b.garbage.empty()) {
            out.insert(out.end(), b.garbage.begin(), b.garbage.end());
        } else {
            Bytes payload;
            if (b.answer) {
                payload = b.answer(request);
            } else {
                const uint8_t address = request.empty() ? 0 : request[0];
                const uint8_t command = request.size() > 1 ? request[1] : 0;
                payload.push_back(b.answerAddress >= 0 ? uint8_t(b.answerAddress) : address);
                if (b.answerCommand >= 0) {
                    payload.push_back(uint8_t(b.answerCommand));
                } else if (protocol_ == WireProtocol::ModbusRtu) {
                    payload.push_back(b.modbusException ? uint8_t(command | 0x80) : command);
                } else {
                    payload.push_back(uint8_t((b.status << 4) | (command & 0x0F)));
                }
                if (protocol_ == WireProtocol::ModbusRtu && b.modbusException)
                    payload.push_back(uint8_t(b.modbusException));
                else if (!b.data.empty())
                    payload.insert(payload.end(), b.data.begin(), b.data.end());
                else if (request.size() > 2)
                    payload.insert(payload.end(), request.begin() + 2, request.end());
            }
            const Bytes framed = frame(protocol_, payload);
            out.insert(out.end(), framed.begin(), framed.end());
        }
    }
    if (b.splitAt > 0 && b.splitAt < out.size()) {
        sendAll(Bytes(out.begin(), out.begin() + long(b.splitAt)));
        if (!pause(b.splitGapMs)) return;
        sendAll(Bytes(out.begin() + long(b.splitAt), out.end()));
    } else {
        sendAll(out);
    }
}

}  // namespace vrt::testing
