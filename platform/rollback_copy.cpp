#include "platform/rollback_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/file_lock.h"

namespace vrt::platform {
namespace {

constexpr char kMagic[] = "VRTBAK1\n";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr size_t kHeaderMax = 8192;
constexpr const char* kTag = ".bak";

// Copies `from` from `fromAt` on into `to` at `toAt`; the size copied, or
// nullopt on failure.
std::optional<off_t> copyRange(int from, off_t fromAt, int to, off_t toAt) {
    char buf[65536];
    off_t done = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buf, sizeof buf, fromAt + done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return done;
        if (!WriteAllAt(to, std::string_view(buf, size_t(n)), toAt + done)) return std::nullopt;
        done += n;
    }
}

// When the file was made, {0, 0} where the file system does not keep it. A
// file removed and made anew may get the old one's inode number; its birth
// tells the two apart.
struct Birth {
    long long sec = 0;
    long nsec = 0;
    bool operator==(const Birth&) const = default;
};

Birth birthOf(int fd) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME)) return {};
    return {sx.stx_btime.tv_sec, long(sx.stx_btime.tv_nsec)};
}

std::string header(int file, const struct stat& st, off_t size, const std::string& path) {
    std::string named = path;
    for (char& c : named)
        if (c == '\n') c = '?';
    const Birth born = birthOf(file);
    char line[128];
    std::snprintf(line, sizeof line, "%llu %llu %lld %lld %ld\n", (unsigned long long)st.st_dev,
                  (unsigned long long)st.st_ino, (long long)size, born.sec, born.nsec);
    return std::string(kMagicSize, '\0') + line + named + "\n";
}

// The group and read bits of the file, when the saver could give the copy
// the file's group; the saver keeps reading and writing it.
void shareLikeTheFile(int copy, const struct stat& st) {
    if (::geteuid() == 0) (void)::fchown(copy, st.st_uid, st.st_gid);
    else (void)::fchown(copy, -1, st.st_gid);
    struct stat made {};
    mode_t mode = 0600 | (st.st_mode & S_IROTH);
    if (::fstat(copy, &made) == 0 && made.st_gid == st.st_gid) mode |= st.st_mode & S_IRGRP;
    if (::geteuid() == 0 && made.st_uid == st.st_uid) mode = (st.st_mode & 0444) | S_IWUSR;
    (void)::fchmod(copy, mode);
}

bool fill(int copy, int file, const struct stat& st, const std::string& path, off_t& contentsAt) {
    struct stat now {};
    if (::fstat(file, &now) != 0) return false;
    const std::string head = header(file, st, now.st_size, path);
    if (!WriteAllAt(copy, head, 0)) return false;
    const auto size = copyRange(file, 0, copy, off_t(head.size()));
    if (!size || *size != now.st_size) return false;
    if (::ftruncate(copy, off_t(head.size()) + *size) != 0 || ::fsync(copy) != 0) return false;
    SaveStep("copy written");
    shareLikeTheFile(copy, st);
    if (!WriteAllAt(copy, std::string_view(kMagic, kMagicSize), 0) || ::fsync(copy) != 0) return false;
    contentsAt = off_t(head.size());
    return true;
}

struct Found {
    std::string path;
    Fd fd;
    bool complete = false;
    off_t contentsAt = 0;
};

// The file whose copies are looked for.
struct FileSeen {
    struct stat st {};
    Birth born;
};

// A copy's header: whether it is of this file, complete, and where its
// contents start.
bool readHeader(int fd, const FileSeen& file, const struct stat& copy, Found& f) {
    char buf[kHeaderMax];
    ssize_t n;
    while ((n = ::pread(fd, buf, sizeof buf, 0)) < 0 && errno == EINTR) {
    }
    if (n < ssize_t(kMagicSize) + 6) return false;
    const char* end = buf + n;
    const char* line = buf + kMagicSize;
    const char* nl = static_cast<const char*>(std::memchr(line, '\n', size_t(end - line)));
    if (!nl) return false;
    unsigned long long dev = 0, ino = 0;
    long long size = -1;
    Birth born;
    char trailing = 0;
    if (std::sscanf(std::string(line, nl).c_str(), "%llu %llu %lld %lld %ld%c", &dev, &ino, &size, &born.sec,
                    &born.nsec, &trailing) != 5 ||
        dev != (unsigned long long)file.st.st_dev || ino != (unsigned long long)file.st.st_ino || size < 0)
        return false;
    if (born != Birth{} && file.born != Birth{} && born != file.born) return false;
    const char* pathEnd = static_cast<const char*>(std::memchr(nl + 1, '\n', size_t(end - nl - 1)));
    if (!pathEnd) return false;
    f.contentsAt = off_t(pathEnd + 1 - buf);
    f.complete = std::memcmp(buf, kMagic, kMagicSize) == 0 && copy.st_size == f.contentsAt + size;
    return true;
}

// A copy of ours whose save was killed before its header was written: it
// belongs to no file, and no file was touched after it.
bool leftOverEmpty(int fd, const struct stat& copy) {
    if (copy.st_uid != ::geteuid()) return false;
    char head[kMagicSize] = {};
    ssize_t n;
    while ((n = ::pread(fd, head, sizeof head, 0)) < 0 && errno == EINTR) {
    }
    return n == 0 || (n == ssize_t(kMagicSize) && std::all_of(head, head + n, [](char c) { return c == 0; }));
}

// Whether the copy's maker could have written the file: only such a copy is
// ever put back, so a file planted by someone else changes nothing.
bool madeByAWriter(const struct stat& copy, const struct stat& file) {
    if ((copy.st_mode & (S_IWGRP | S_IWOTH)) != 0) return false;
    if (copy.st_uid == 0 || copy.st_uid == file.st_uid || copy.st_uid == ::geteuid()) return true;
    if ((file.st_mode & S_IWGRP) && copy.st_gid == file.st_gid) return true;
    return (file.st_mode & S_IWOTH) != 0;
}

// Whether this user may remove `name` from the folder `dir`.
bool mayRemove(int dir, const struct stat& entry) {
    struct stat folder {};
    if (::fstat(dir, &folder) != 0 || ::faccessat(dir, ".", W_OK | X_OK, AT_EACCESS) != 0) return false;
    if (!(folder.st_mode & S_ISVTX)) return true;
    const uid_t me = ::geteuid();
    return me == 0 || me == entry.st_uid || me == folder.st_uid;
}

std::vector<std::string> places(const Target& t) {
    std::vector<std::string> out{t.folder};
    for (std::string p : {UserCacheFolder(false), TempFolder()})
        if (!p.empty() && p != out.front() && (out.size() < 2 || p != out[1])) out.push_back(std::move(p));
    return out;
}

// Calls `seen` with every unlocked copy of this file that lies about: its
// folder, its name, the open copy and its header. Stops when `seen` says so.
template <class F>
void forEachUnfinished(const Target& t, const FileSeen& file, F seen) {
    for (const std::string& place : places(t)) {
        DIR* dir = ::opendir(place.c_str());
        if (!dir) continue;
        bool more = true;
        while (more) {
            const dirent* e = ::readdir(dir);
            if (!e) break;
            if (!IsSiblingName(t, kTag, e->d_name)) continue;
            Found f;
            f.fd.reset(::openat(::dirfd(dir), e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
            struct stat st {};
            if (!f.fd.ok() || ::fstat(f.fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            if (!TryLock(f.fd.get(), LockKind::Shared)) continue;  // its save still runs
            if (!readHeader(f.fd.get(), file, st, f) && !leftOverEmpty(f.fd.get(), st)) continue;
            f.path = place + "/" + e->d_name;
            more = seen(::dirfd(dir), e->d_name, st, f);
        }
        ::closedir(dir);
        if (!more) return;
    }
}

}  // namespace

bool MakeRollbackCopy(const Target& t, int file, const struct stat& st, RollbackCopy& copy) {
    for (int i = 0; i < 3; ++i) {
        // The cache folder is made only when the folder of the file refused the copy.
        const std::string place = i == 0 ? t.folder : i == 1 ? UserCacheFolder() : TempFolder();
        if (place.empty()) continue;
        Fd fd = CreateSibling(place, t, kTag, copy.path);
        if (!fd.ok()) continue;
        SaveStep("copy created");
        if (fill(fd.get(), file, st, t.path, copy.contentsAt) && SyncFolder(place)) {
            copy.fd = std::move(fd);
            SaveStep("copy complete");
            return true;
        }
        ::unlink(copy.path.c_str());
    }
    copy.path.clear();
    return false;
}

bool PutBack(const RollbackCopy& copy, int file) {
    const auto size = copyRange(copy.fd.get(), copy.contentsAt, file, 0);
    return size && ::ftruncate(file, *size) == 0 && ::fsync(file) == 0;
}

Recovery RecoverUnfinished(const Target& t, int file, std::string& copyPath) {
    FileSeen seen{{}, birthOf(file)};
    if (::fstat(file, &seen.st) != 0) return Recovery::None;
    const struct stat& st = seen.st;
    Recovery result = Recovery::None;
    forEachUnfinished(t, seen, [&](int dir, const char* name, const struct stat& copySt, Found& f) {
        if (!madeByAWriter(copySt, st)) return true;
        if (!mayRemove(dir, copySt)) {
            if (f.complete) {
                copyPath = f.path;
                result = Recovery::Failed;
                return false;
            }
            return true;
        }
        if (f.complete) {
            RollbackCopy copy{std::move(f.fd), f.path, f.contentsAt};
            copyPath = f.path;
            if (!PutBack(copy, file)) {
                result = Recovery::Failed;
                return false;
            }
            result = Recovery::Restored;
        }
        ::unlinkat(dir, name, 0);
        return result != Recovery::Restored;
    });
    return result;
}

std::string FindUnfinished(const Target& t, int file) {
    FileSeen seen{{}, birthOf(file)};
    if (::fstat(file, &seen.st) != 0) return {};
    const struct stat& st = seen.st;
    std::string found;
    forEachUnfinished(t, seen, [&](int, const char*, const struct stat& copySt, Found& f) {
        if (madeByAWriter(copySt, st)) found = f.path;
        return found.empty();
    });
    return found;
}

}  // namespace vrt::platform
