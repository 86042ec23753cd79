#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

namespace vrt::platform {
namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes, reporting a failed close (a late write error on some file systems).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// Writing past the file size limit raises SIGXFSZ, whose default ends the
// process (the host of the library too). While this lives the signal is held
// for this thread, the write fails with EFBIG instead, and a signal our
// writes raised is dropped before the thread's mask is restored.
class FileSizeSignalHeld {
public:
    FileSizeSignalHeld() {
        ::sigemptyset(&set_);
        ::sigaddset(&set_, SIGXFSZ);
        ::pthread_sigmask(SIG_BLOCK, &set_, &old_);
        pendingBefore_ = pending();
    }
    ~FileSizeSignalHeld() {
        if (!pendingBefore_ && pending()) {
            const timespec now{};
            while (::sigtimedwait(&set_, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
    FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

private:
    static bool pending() {
        sigset_t p;
        return ::sigpending(&p) == 0 && ::sigismember(&p, SIGXFSZ) == 1;
    }
    sigset_t set_{}, old_{};
    bool pendingBefore_ = false;
};

bool writeAt(int fd, std::string_view data, off_t offset) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, offset + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Copies all of `from` into `to` from its start and cuts `to` to that size.
bool copyWhole(int from, int to) {
    char buf[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        if (!writeAt(to, std::string_view(buf, size_t(n)), at)) return false;
        at += n;
    }
    return ::ftruncate(to, at) == 0 && ::fsync(to) == 0;
}

// The file a save writes: a link is followed, through a chain of links, to
// the file it names, which need not exist yet; nullopt for a loop or an
// unreadable link.
std::optional<std::string> followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size()) return std::nullopt;
        target.resize(size_t(n));
        if (target.front() != '/') {
            const size_t slash = path.rfind('/');
            if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
        }
        path = std::move(target);
    }
    return std::nullopt;
}

// Whether the user may write the existing file `st` describes. Besides what
// the system allows, a file without any write bit counts as read-only for
// everyone, root included (whom the system lets write anything), as the
// read-only attribute does on the original platform.
bool mayWrite(const std::string& path, const struct stat& st) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool sameIdentity(const struct stat& a, const struct stat& b) {
    return a.st_uid == b.st_uid && a.st_gid == b.st_gid && (a.st_mode & 07777) == (b.st_mode & 07777);
}

// The file being saved: where it is and how long a name its folder takes.
struct Target {
    std::string path, folder, name;
    size_t nameMax = NAME_MAX;

    explicit Target(std::string p) : path(std::move(p)) {
        const size_t slash = path.rfind('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        name = slash == std::string::npos ? path : path.substr(slash + 1);
        const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
        if (max > 0) nameMax = size_t(max);
    }
};

// "<name><tag><pid>_<n>", the name cut so the whole fits the folder's limit.
std::string siblingName(const Target& t, const char* tag, unsigned n) {
    const std::string suffix = tag + std::to_string(::getpid()) + "_" + std::to_string(n);
    const size_t keep = t.nameMax > suffix.size() ? t.nameMax - suffix.size() : 0;
    return t.name.substr(0, keep) + suffix;
}

// The process that made `entry` when it is one of our temporary files of this
// target, cut or whole; else nullopt.
std::optional<pid_t> tempOwner(const Target& t, std::string_view entry) {
    const size_t at = entry.rfind(".tmp");
    if (at == std::string_view::npos || at == 0) return std::nullopt;
    const std::string_view stem = entry.substr(0, at);
    const bool whole = stem == t.name;
    const bool cut = stem.size() < t.name.size() && std::string_view(t.name).starts_with(stem) &&
                     entry.size() == t.nameMax;
    if (!whole && !cut) return std::nullopt;
    const std::string_view rest = entry.substr(at + 4);
    const size_t underscore = rest.find('_');
    if (underscore == 0 || underscore == std::string_view::npos || underscore > 9 ||
        underscore + 1 == rest.size())
        return std::nullopt;
    long pid = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (i == underscore) continue;
        if (rest[i] < '0' || rest[i] > '9') return std::nullopt;
        if (i < underscore) pid = pid * 10 + (rest[i] - '0');
    }
    if (pid <= 0) return std::nullopt;
    return pid_t(pid);
}

// A save killed between making its temporary file and the rename left it
// behind; once its process is gone nobody will finish or remove it.
void removeStaleTemps(const Target& t) {
    DIR* dir = ::opendir(t.folder.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
        const auto pid = tempOwner(t, e->d_name);
        if (!pid || *pid == ::getpid()) continue;
        if (::kill(*pid, 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(::dirfd(dir), e->d_name, 0);
    }
    ::closedir(dir);
}

std::atomic<unsigned> counter{0};

// A new file of our own in `folder`; its name in `name`.
Fd createIn(const std::string& folder, const Target& t, const char* tag, mode_t mode, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/" + siblingName(t, tag, counter++);
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | kOpenFlags, mode);
        if (fd >= 0) return Fd(fd);
        if (errno != EEXIST) break;
    }
    name.clear();
    return Fd();
}

// A folder of the user's own for copies: "$XDG_CACHE_HOME/vrt" or
// "$HOME/.cache/vrt", made when missing.
std::string userCacheFolder() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') base = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/') base = std::string(home) + "/.cache";
    else return {};
    ::mkdir(base.c_str(), 0700);
    base += "/vrt";
    ::mkdir(base.c_str(), 0700);
    return base;
}

// The copy of the old contents an in-place write makes first; readable by
// its maker only.
Fd createBackup(const Target& t, std::string& name) {
    std::vector<std::string> folders{t.folder, userCacheFolder()};
    const char* tmp = std::getenv("TMPDIR");
    folders.push_back(tmp && tmp[0] == '/' ? tmp : "/tmp");
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        Fd fd = createIn(folder, t, ".bak", 0600, name);
        if (fd.ok()) return fd;
    }
    return Fd();
}

// Writes the existing file itself, so it keeps its owner, group, mode and
// links. The old contents are copied first; a write that fails midway puts
// them back, and when even that fails the copy stays and is named.
bool writeInPlace(const Target& t, const struct stat& st, std::string_view data, std::string* keptCopy) {
    Fd fd(::open(t.path.c_str(), O_RDWR | O_NOFOLLOW | kOpenFlags));
    struct stat now {};
    if (!fd.ok() || ::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != st.st_dev ||
        now.st_ino != st.st_ino)
        return false;
    std::string backupName;
    Fd backup = createBackup(t, backupName);
    if (!backup.ok()) return false;
    if (!copyWhole(fd.get(), backup.get())) {
        ::unlink(backupName.c_str());
        return false;
    }
    if (writeAt(fd.get(), data, 0) && ::ftruncate(fd.get(), off_t(data.size())) == 0 && ::fsync(fd.get()) == 0) {
        backup.reset();
        ::unlink(backupName.c_str());
        return true;
    }
    if (copyWhole(backup.get(), fd.get())) {
        backup.reset();
        ::unlink(backupName.c_str());
    } else if (keptCopy) {
        *keptCopy = backupName;
    }
    return false;
}

}  // namespace

ReadResult ReadRegularFile(const std::string& path, std::string& out) {
    Fd fd(::open(path.c_str(), O_RDONLY | kOpenFlags));
    if (!fd.ok()) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Failed;
    out.clear();
    out.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadResult::Failed;
        if (n == 0) break;
        out.append(buf, size_t(n));
    }
    return ReadResult::Read;
}

bool SaveWholeFile(const std::string& path, std::string_view data, std::string* keptCopy) {
    if (keptCopy) keptCopy->clear();
    const std::optional<std::string> resolved = followLinks(path);
    if (!resolved) return false;
    const Target t(*resolved);
    struct stat st {};
    const bool exists = ::stat(t.path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    // Replacing by rename needs only the folder's permission; the file's own
    // is asked here, so a file its user may not write stays as it is.
    if (exists && (!S_ISREG(st.st_mode) || !mayWrite(t.path, st))) return false;

    const FileSizeSignalHeld held;
    removeStaleTemps(t);
    std::string tmp;
    Fd fd = createIn(t.folder, t, ".tmp", 0666, tmp);
    if (!fd.ok()) return exists && writeInPlace(t, st, data, keptCopy);

    // The renamed file must be the old one in all but its contents.
    bool renameKeeps = true;
    if (exists) {
        struct stat made {};
        if (::fstat(fd.get(), &made) == 0 && (made.st_uid != st.st_uid || made.st_gid != st.st_gid))
            (void)::fchown(fd.get(), st.st_uid, st.st_gid);
        (void)::fchmod(fd.get(), st.st_mode & 07777);  // after fchown, which may clear set-id bits
        renameKeeps = st.st_nlink == 1 && ::fstat(fd.get(), &made) == 0 && sameIdentity(made, st);
    }
    bool ok = renameKeeps && writeAt(fd.get(), data, 0) && ::fsync(fd.get()) == 0;
    if (!fd.close()) ok = false;
    if (ok && ::rename(tmp.c_str(), t.path.c_str()) == 0) return true;
    const bool renameRefused = ok && (errno == EPERM || errno == EACCES);
    ::unlink(tmp.c_str());
    if (exists && (!renameKeeps || renameRefused)) return writeInPlace(t, st, data, keptCopy);
    return false;
}

}  // namespace vrt::platform
