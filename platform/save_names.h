#pragma once
// Where a save puts its own files and how it names them:
// "<name><tag><pid>_<n>" beside the file (".tmp" temporaries, ".bak" copies
// of the old contents), the name cut so the whole fits the folder's limit.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace vrt::platform {

// The file being saved or loaded: where it is and how long a name its
// folder takes.
struct Target {
    std::string path, folder, name;
    size_t nameMax;
    explicit Target(std::string p);
};

// Whether `entry` is named as one of the files `tag` names for this target,
// cut or whole, with a number that can be a process id.
bool IsSiblingName(const Target& t, const char* tag, std::string_view entry);

// A new file "<name><tag><pid>_<n>" in `folder`, readable and writable by its
// maker only and locked by it; its path in `path`.
Fd CreateSibling(const std::string& folder, const Target& t, const char* tag, std::string& path);

// Pushes a folder's entries (a rename, a new file) to the disk.
bool SyncFolder(const std::string& folder);

// Writes all of `data` at `offset`, going on after short writes and signals.
bool WriteAllAt(int fd, std::string_view data, off_t offset);

// The user's own folder for copies, "$XDG_CACHE_HOME/vrt" or
// "$HOME/.cache/vrt", made when missing and `make`; empty when there is none.
std::string UserCacheFolder(bool make = true);
// "$TMPDIR", else "/tmp".
std::string TempFolder();

// Test hook: told each step of a save as it is done.
void SaveStep(const char* step);

}  // namespace vrt::platform
