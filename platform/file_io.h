#pragma once
// Whole-file reading and saving for files users share on a multi-user system.
//
// Nothing here waits on a file: a FIFO, a device or anything else that is not
// a regular file is opened without blocking, seen for what it is and refused.
//
// Saves and loads of one file exclude each other: a save holds an exclusive
// advisory lock (flock) on the file, a load a shared one; either waits a few
// seconds for it at most (FileLockWait) and then fails, saying the file is busy.
//
// A save keeps the file's identity: owner, group, mode, extended attributes
// (ACLs among them) and hard links stay as they were. The new contents replace
// the file atomically (a temporary file in the same folder, then rename, then
// the folder synced) when the renamed file would keep all of them; otherwise
// (the file is another user's, or of a group the saver cannot give a new file,
// it has more than one link, an attribute cannot be carried over, or the
// folder does not let the saver create or rename files) the file is written in
// place, after a rollback copy of its old contents was made (rollback_copy.h):
//   beside the file, as "<name>.bak<pid>_<n>", when the folder takes it;
//   else in "$XDG_CACHE_HOME/vrt" (or "$HOME/.cache/vrt");
//   else in "$TMPDIR" (or "/tmp").
// The copy is removed once the file holds the new contents whole, or the old
// ones again after a failed write; it is kept, and named to the caller, only
// when neither could be made whole in the file. The next load or save of the
// file that finds the copy of a save that did not finish (a kill, a power
// cut, a kept copy) puts the old contents back first and removes the copy.
//
// Temporary files and copies are created readable and writable by their maker
// only; a temporary gets the file's mode, group and attributes once its
// contents are written, just before the rename. They are named
// "<name>.tmp<pid>_<n>" and "<name>.bak<pid>_<n>", the name shortened when the
// whole would pass the folder's name limit; a save removes the temporaries of
// its file that its user owns and that no running save holds (told by a lock
// each save holds on its own).
#include <string>
#include <string_view>

namespace vrt::platform {

enum class ReadResult { Read, Missing, Failed };

// What a load or save met on the way, besides its result.
struct FileNotes {
    // Another program held the file longer than the wait.
    bool busy = false;
    // The copy of an unfinished save that was put back first (and removed),
    // or, after a failure, the one that could not be.
    std::string unfinishedCopy;
    bool restored = false;
};

// Reads the regular file `path` (links followed) into `out`. Missing: neither
// it nor its folder exists. Failed: it exists but is no regular file, cannot
// be read, is busy, or holds an unfinished save that could not be undone.
ReadResult ReadRegularFile(const std::string& path, std::string& out, FileNotes* notes = nullptr);

// Makes `data` the contents of `path` (links followed; a dangling link's
// target is created). False when the file cannot be written: it is missing
// its folder, is no regular file, is read-only for its user, or has no write
// bit at all (whoever the user, root too), is busy, or a write failed. After
// a failure the file holds its old contents, or `keptCopy` names the file
// that does (the next load or save puts them back).
bool SaveWholeFile(const std::string& path, std::string_view data, std::string* keptCopy = nullptr,
                   FileNotes* notes = nullptr);

// Test hook: told each step of a save ("temp written", "renamed", "copy
// complete", "file half written", ...) as it is done; nullptr removes it.
using SaveStepHook = void (*)(const char* step);
void SetSaveStepHook(SaveStepHook hook);

}  // namespace vrt::platform
