#include "platform/save_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/file_io.h"
#include "platform/file_lock.h"

namespace vrt::platform {
namespace {

// The largest process id the system can give (PID_MAX_LIMIT): a number above
// it marks a file that only looks like ours.
constexpr long kPidLimit = 4194304;

std::atomic<unsigned> counter{0};
std::atomic<SaveStepHook> stepHook{nullptr};

std::string siblingName(const Target& t, const char* tag, unsigned n) {
    const std::string suffix = tag + std::to_string(::getpid()) + "_" + std::to_string(n);
    const size_t keep = t.nameMax > suffix.size() ? t.nameMax - suffix.size() : 0;
    return t.name.substr(0, keep) + suffix;
}

}  // namespace

Target::Target(std::string p) : path(std::move(p)), nameMax(NAME_MAX) {
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (max > 0) nameMax = size_t(max);
}

bool IsSiblingName(const Target& t, const char* tag, std::string_view entry) {
    const std::string_view tagText(tag);
    const size_t at = entry.rfind(tagText);
    if (at == std::string_view::npos || at == 0) return false;
    const std::string_view stem = entry.substr(0, at);
    const bool whole = stem == t.name;
    const bool cut =
        stem.size() < t.name.size() && std::string_view(t.name).starts_with(stem) && entry.size() == t.nameMax;
    if (!whole && !cut) return false;
    const std::string_view rest = entry.substr(at + tagText.size());
    const size_t underscore = rest.find('_');
    if (underscore == 0 || underscore == std::string_view::npos || underscore > 7 || underscore + 1 == rest.size())
        return false;
    long pid = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (i == underscore) continue;
        if (rest[i] < '0' || rest[i] > '9') return false;
        if (i < underscore) pid = pid * 10 + (rest[i] - '0');
    }
    return pid > 0 && pid <= kPidLimit;
}

Fd CreateSibling(const std::string& folder, const Target& t, const char* tag, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + "/" + siblingName(t, tag, counter++);
        Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
        if (fd.ok()) {
            // Until it is unlocked, nobody takes it for the leftover of a killed save.
            (void)TryLock(fd.get(), LockKind::Exclusive);
            // The umask may keep bits from 0600; the maker's access alone is wanted.
            (void)::fchmod(fd.get(), 0600);
            return fd;
        }
        if (errno != EEXIST) break;
    }
    path.clear();
    return Fd();
}

bool WriteAllAt(int fd, std::string_view data, off_t offset) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, offset + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    const Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.ok() && ::fsync(fd.get()) == 0;
}

std::string UserCacheFolder(bool make) {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') base = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/') base = std::string(home) + "/.cache";
    else return {};
    if (make) ::mkdir(base.c_str(), 0700);
    base += "/vrt";
    if (make) ::mkdir(base.c_str(), 0700);
    return base;
}

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && tmp[0] == '/' ? tmp : "/tmp";
}

void SaveStep(const char* step) {
    if (const SaveStepHook hook = stepHook.load()) hook(step);
}

void SetSaveStepHook(SaveStepHook hook) { stepHook = hook; }

}  // namespace vrt::platform
