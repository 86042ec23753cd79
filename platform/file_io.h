#pragma once
// Whole-file reading and saving for files users share on a multi-user system.
//
// Nothing here waits on a file: a FIFO, a device or anything else that is not
// a regular file is opened without blocking, seen for what it is and refused.
//
// A save keeps the file's identity: owner, group, mode and hard links stay as
// they were. The new contents replace the file atomically (a temporary file in
// the same folder, then rename) when the renamed file would keep all of them;
// otherwise (the file is another user's, or of a group the saver cannot give a
// new file, it has more than one link, or the folder does not let the saver
// create or rename files) the file is written in place, after a copy of its
// old contents was made:
//   beside the file, as "<name>.bak<pid>_<n>", when the folder lets the saver
//   create files there; else in "$XDG_CACHE_HOME/vrt" (or "$HOME/.cache/vrt");
//   else in "$TMPDIR" (or "/tmp").
// The copy is removed once the file holds the new contents whole, or the old
// ones again after a failed write; it is kept, and named to the caller, only
// when neither could be made whole in the file.
//
// Temporary files are named "<name>.tmp<pid>_<n>", the name shortened when
// the whole would pass the folder's name limit; a save removes those of its
// file left by processes that no longer run.
#include <string>
#include <string_view>

namespace vrt::platform {

enum class ReadResult { Read, Missing, Failed };

// Reads the regular file `path` (links followed) into `out`. Missing: neither
// it nor its folder exists. Failed: it exists but is no regular file or
// cannot be read.
ReadResult ReadRegularFile(const std::string& path, std::string& out);

// Makes `data` the contents of `path` (links followed; a dangling link's
// target is created). False when the file cannot be written: it is missing
// its folder, is no regular file, is read-only for its user, or has no write
// bit at all (whoever the user, root too), or a write failed. After a failure
// the file holds its old contents, or `keptCopy` names the file that does.
bool SaveWholeFile(const std::string& path, std::string_view data, std::string* keptCopy = nullptr);

}  // namespace vrt::platform
