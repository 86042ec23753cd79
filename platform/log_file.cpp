#include "platform/log_file.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vrt::platform {
namespace {
std::atomic<uint64_t> g_flushes{0};
}

LogFile::~LogFile() { close(); }

bool LogFile::open(const std::string& path) {
    close();
    // O_NONBLOCK: a log path that names a FIFO or a device must not hang the
    // caller; regular files ignore it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    fd_ = fd;
    return true;
}

bool LogFile::write(const void* data, size_t size) {
    if (fd_ < 0) return false;
    const auto* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= size_t(n);
    }
    return true;
}

bool LogFile::flush() {
    if (fd_ < 0) return false;
    ++g_flushes;
    return ::fsync(fd_) == 0;
}

void LogFile::close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

uint64_t logFileFlushCount() { return g_flushes.load(); }

}  // namespace vrt::platform
