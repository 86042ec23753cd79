#include "platform/log_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vrt::platform {
namespace {
std::atomic<uint64_t> g_flushes{0};

// O_NONBLOCK: a log path that names a FIFO or a device must not hang the
// caller; regular files ignore it.
constexpr int kOpenFlags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Opens the log at `path`. A symbolic link there is followed only when it
// belongs to the user or to its folder's owner, as the kernel does in sticky
// world-writable folders: anyone else who may write the folder could point
// the log at a file of their choosing. Each link of a chain is checked.
int openFollowingTrustedLinks(const std::string& path, int hops) {
    const int fd = ::open(path.c_str(), kOpenFlags | O_NOFOLLOW, 0644);
    if (fd >= 0 || errno != ELOOP || hops >= 40) return fd;
    const int link = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return -1;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat linkSt {}, folderSt {};
    char target[PATH_MAX];
    ssize_t n = -1;
    if (::fstat(link, &linkSt) == 0 && S_ISLNK(linkSt.st_mode) && ::stat(folder.c_str(), &folderSt) == 0 &&
        (linkSt.st_uid == ::geteuid() || linkSt.st_uid == folderSt.st_uid))
        n = ::readlinkat(link, "", target, sizeof target);  // the very link checked, not one put there since
    ::close(link);
    if (n <= 0 || size_t(n) >= sizeof target) {
        errno = EACCES;
        return -1;
    }
    std::string next(target, size_t(n));
    if (next.front() != '/') next = folder + "/" + next;
    return openFollowingTrustedLinks(next, hops + 1);
}

}  // namespace

LogFile::~LogFile() { close(); }

bool LogFile::open(const std::string& path) {
    close();
    const int fd = openFollowingTrustedLinks(path, 0);
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
