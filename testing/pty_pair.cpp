#include "testing/pty_pair.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace vrt::testing {

PtyPair::PtyPair() {
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    slaveKeep_ = slave;
    slavePath_ = name;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slaveKeep_, F_SETFD, FD_CLOEXEC);
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
}

PtyPair::~PtyPair() {
    if (master_ >= 0) close(master_);
    if (slaveKeep_ >= 0) close(slaveKeep_);
}

void PtyPair::hangUp() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyPair::bindCom(int n) const {
    const std::string var = "VRT_COM" + std::to_string(n);
    setenv(var.c_str(), slavePath_.c_str(), 1);
}

void PtyPair::write(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            throw std::runtime_error("pty write failed");
        }
        done += size_t(n);
    }
}

std::vector<uint8_t> PtyPair::read(int quietMs, int totalMs) const {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(totalMs);
    std::vector<uint8_t> out;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - clock::now()).count();
        if (left <= 0) break;
        const int wait = out.empty() ? int(left) : int(std::min<long long>(left, quietMs));
        pollfd p{master_, POLLIN, 0};
        const int r = poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (!out.empty()) break;
            continue;
        }
        uint8_t buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

}  // namespace vrt::testing
