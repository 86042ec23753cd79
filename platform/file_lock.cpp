#include "platform/file_lock.h"

#include <sys/file.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

namespace vrt::platform {
namespace {

constexpr std::chrono::milliseconds kDefaultWait{5000};
std::atomic<long long> waitMs{kDefaultWait.count()};

enum class Try { Locked, Held, Unsupported };

Try attempt(int fd, LockKind kind) {
    const int op = (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    for (;;) {
        if (::flock(fd, op) == 0) return Try::Locked;
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? Try::Held : Try::Unsupported;
    }
}

}  // namespace

bool LockWithinWait(int fd, LockKind kind) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + FileLockWait();
    std::chrono::milliseconds pause{1};
    for (;;) {
        const Try t = attempt(fd, kind);
        if (t != Try::Held) return true;
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

bool TryLock(int fd, LockKind kind) { return attempt(fd, kind) != Try::Held; }

void Unlock(int fd) { ::flock(fd, LOCK_UN); }

std::chrono::milliseconds FileLockWait() { return std::chrono::milliseconds(waitMs.load()); }

void SetFileLockWait(std::chrono::milliseconds wait) {
    waitMs = wait.count() > 0 ? wait.count() : kDefaultWait.count();
}

}  // namespace vrt::platform
