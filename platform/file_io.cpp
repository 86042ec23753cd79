#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "platform/file_attrs.h"
#include "platform/file_lock.h"
#include "platform/rollback_copy.h"
#include "platform/save_names.h"
#include "platform/unique_fd.h"

namespace vrt::platform {
namespace {

constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
constexpr const char* kTempTag = ".tmp";

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

enum class Opened { Locked, Missing, NotRegular, Failed, Busy };

// Opens `path` and locks it, making sure the lock is on the file the path
// names once the wait is over: a save that renamed a new file into place
// meanwhile leaves the lock on a file nobody reads again. `st` describes the
// file as it is under the lock.
Opened openLocked(const std::string& path, int flags, LockKind kind, Fd& fd, struct stat& st) {
    for (int tries = 0; tries < 20; ++tries) {
        fd.reset(::open(path.c_str(), flags | kOpenFlags));
        if (!fd.ok()) return errno == ENOENT || errno == ENOTDIR ? Opened::Missing : Opened::Failed;
        if (::fstat(fd.get(), &st) != 0) return Opened::Failed;
        if (!S_ISREG(st.st_mode)) return Opened::NotRegular;
        if (!LockWithinWait(fd.get(), kind)) return Opened::Busy;
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            return ::fstat(fd.get(), &st) == 0 ? Opened::Locked : Opened::Failed;
    }
    return Opened::Busy;
}

// Puts back what a save that did not finish left, before this load or save.
Recovery recover(const Target& t, int file, struct stat& st, FileNotes& notes) {
    std::string copy;
    const Recovery r = RecoverUnfinished(t, file, copy);
    if (r != Recovery::None) {
        notes.unfinishedCopy = copy;
        notes.restored = r == Recovery::Restored;
        (void)::fstat(file, &st);
    }
    return r;
}

// A save killed between making its temporary file and the rename left it
// behind. Only the user's own go, and only those no running save holds: a
// save keeps its temporary locked, in whatever process namespace it runs.
void removeStaleTemps(const Target& t) {
    DIR* dir = ::opendir(t.folder.c_str());
    if (!dir) return;
    const uid_t me = ::geteuid();
    while (const dirent* e = ::readdir(dir)) {
        if (!IsSiblingName(t, kTempTag, e->d_name)) continue;
        const Fd fd(::openat(::dirfd(dir), e->d_name, O_RDONLY | O_NOFOLLOW | kOpenFlags));
        struct stat st {};
        if (!fd.ok() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != me) continue;
        if (TryLock(fd.get(), LockKind::Exclusive)) ::unlinkat(::dirfd(dir), e->d_name, 0);
    }
    ::closedir(dir);
}

mode_t currentUmask() {
    mode_t mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &value) == 1) mask = mode_t(value);
        std::fclose(f);
    }
    return mask;
}

// Gives the written temporary the old file's owner, group, attributes and
// mode; true when the renamed file would keep all of them and the links.
bool takeIdentity(int temp, int file, const struct stat& st) {
    struct stat made {};
    if (::fstat(temp, &made) != 0) return false;
    if (made.st_uid != st.st_uid || made.st_gid != st.st_gid) (void)::fchown(temp, st.st_uid, st.st_gid);
    CopyAllAttributes(file, temp);
    // Last: fchown may clear set-id bits, and an ACL sets the mode too.
    (void)::fchmod(temp, st.st_mode & 07777);
    return st.st_nlink == 1 && ::fstat(temp, &made) == 0 && sameIdentity(made, st) && SameAttributes(file, temp);
}

// Writes the existing file itself, so it keeps its owner, group, mode,
// attributes and links. The old contents are copied first; a write that
// fails midway puts them back, and when even that fails the copy stays and
// is named (the next load or save puts it back).
bool writeInPlace(const Target& t, int file, const struct stat& st, std::string_view data, std::string* keptCopy) {
    RollbackCopy copy;
    if (!MakeRollbackCopy(t, file, st, copy)) return false;
    const size_t half = data.size() / 2;
    bool ok = WriteAllAt(file, data.substr(0, half), 0);
    if (ok) SaveStep("file half written");
    ok = ok && WriteAllAt(file, data.substr(half), off_t(half)) && ::ftruncate(file, off_t(data.size())) == 0 &&
         ::fsync(file) == 0;
    if (ok) SaveStep("file written");
    if (!ok && !PutBack(copy, file)) {
        if (keptCopy) *keptCopy = copy.path;
        return false;
    }
    // Once the copy is gone for good the save is done: a copy that came back
    // after a power cut would undo it.
    ::unlink(copy.path.c_str());
    if (SyncFolder(Target(copy.path).folder)) SaveStep("copy removed");
    return ok;
}

}  // namespace

ReadResult ReadRegularFile(const std::string& path, std::string& out, FileNotes* notes) {
    FileNotes ignored;
    FileNotes& n = notes ? *notes : ignored;
    n = FileNotes{};
    Fd fd;
    struct stat st {};
    switch (openLocked(path, O_RDONLY, LockKind::Shared, fd, st)) {
        case Opened::Locked: break;
        case Opened::Missing: return ReadResult::Missing;
        case Opened::Busy: n.busy = true; return ReadResult::Failed;
        default: return ReadResult::Failed;
    }
    if (const auto resolved = followLinks(path)) {
        const Target t(*resolved);
        if (std::string copy = FindUnfinished(t, fd.get()); !copy.empty()) {
            // Putting it back needs the file to itself.
            fd.reset();
            switch (openLocked(t.path, O_RDWR | O_NOFOLLOW, LockKind::Exclusive, fd, st)) {
                case Opened::Locked: break;
                case Opened::Missing: return ReadResult::Missing;
                case Opened::Busy: n.busy = true; return ReadResult::Failed;
                default: n.unfinishedCopy = std::move(copy); return ReadResult::Failed;
            }
            const FileSizeSignalHeld held;
            if (recover(t, fd.get(), st, n) == Recovery::Failed) return ReadResult::Failed;
        }
    }
    out.clear();
    out.reserve(size_t(st.st_size));
    char buf[65536];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd.get(), buf, sizeof buf, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return ReadResult::Failed;
        if (got == 0) break;
        out.append(buf, size_t(got));
        at += got;
    }
    return ReadResult::Read;
}

bool SaveWholeFile(const std::string& path, std::string_view data, std::string* keptCopy, FileNotes* notes) {
    if (keptCopy) keptCopy->clear();
    FileNotes ignored;
    FileNotes& n = notes ? *notes : ignored;
    n = FileNotes{};
    const std::optional<std::string> resolved = followLinks(path);
    if (!resolved) return false;
    const Target t(*resolved);
    struct stat st {};
    bool exists = ::stat(t.path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    // Replacing by rename needs only the folder's permission; the file's own
    // is asked here, so a file its user may not write stays as it is.
    if (exists && (!S_ISREG(st.st_mode) || !mayWrite(t.path, st))) return false;

    const FileSizeSignalHeld held;
    Fd file;
    if (exists) {
        switch (openLocked(t.path, O_RDWR | O_NOFOLLOW, LockKind::Exclusive, file, st)) {
            case Opened::Locked: break;
            case Opened::Missing: exists = false; break;
            case Opened::Busy: n.busy = true; return false;
            default: return false;
        }
    }
    if (exists && (!mayWrite(t.path, st) || recover(t, file.get(), st, n) == Recovery::Failed)) return false;

    removeStaleTemps(t);
    // A renamed file would leave the other links with the old contents.
    if (exists && st.st_nlink != 1) return writeInPlace(t, file.get(), st, data, keptCopy);
    std::string tmp;
    Fd temp = CreateSibling(t.folder, t, kTempTag, tmp);
    if (!temp.ok()) return exists && writeInPlace(t, file.get(), st, data, keptCopy);
    SaveStep("temp created");
    bool ok = WriteAllAt(temp.get(), data, 0);
    if (ok) SaveStep("temp written");
    // Only now, with its contents whole, may the others the file lets in
    // open the temporary.
    bool renameKeeps = true;
    if (ok && exists) renameKeeps = takeIdentity(temp.get(), file.get(), st);
    if (ok && !exists) (void)::fchmod(temp.get(), 0666 & ~currentUmask());
    ok = ok && renameKeeps && ::fsync(temp.get()) == 0;
    if (ok) SaveStep("temp ready");
    if (ok && ::rename(tmp.c_str(), t.path.c_str()) == 0) {
        SaveStep("renamed");
        if (SyncFolder(t.folder)) SaveStep("folder synced");
        return true;
    }
    const bool renameRefused = ok && (errno == EPERM || errno == EACCES);
    ::unlink(tmp.c_str());
    if (exists && (!renameKeeps || renameRefused)) return writeInPlace(t, file.get(), st, data, keptCopy);
    return false;
}

}  // namespace vrt::platform
