#pragma once
// The copy of a file's old contents that an in-place save makes first, kept
// as a database keeps its rollback journal: it is complete and on the disk
// before the file is touched, it names the file it belongs to, and its saver
// holds a lock on it while the save runs. A complete copy found unlocked is
// the copy of a save that did not finish: the file may be torn, and the copy
// holds the whole version that was there before.
//
// Layout: "VRTBAK1\n", "<device> <inode> <size> <birth s> <birth ns>\n",
// "<path>\n", then the old contents. The file's birth time (0 0 where the file
// system keeps none) tells it from a later file that got its inode number.
// The first line is written last, once the rest is on the disk: a copy
// without it was never complete, so its file was never touched.
#include <sys/stat.h>

#include <string>

#include "platform/save_names.h"
#include "platform/unique_fd.h"

namespace vrt::platform {

struct RollbackCopy {
    Fd fd;  // locked while the save runs
    std::string path;
    off_t contentsAt = 0;
};

// Copies the old contents of the open file `file` (described by `st`): beside
// it, else in the user's cache folder, else in the temp folder; a place that
// refuses the copy or its contents (a full disk) passes to the next. The copy
// is readable by those who may read the file (its group and read bits), by
// nobody else. False when no place took it.
bool MakeRollbackCopy(const Target& t, int file, const struct stat& st, RollbackCopy& copy);

// Writes the copy's contents into `file` from its start, cuts it to them and
// syncs it.
bool PutBack(const RollbackCopy& copy, int file);

enum class Recovery { None, Restored, Failed };

// Looks for the copy of an unfinished save of `file` (open for writing, its
// exclusive lock held) and, when one is found, puts its contents back and
// removes it. Copies of saves that never touched the file are removed too.
// Failed: a copy was found but could not be put back and removed. `copyPath`
// names the copy found.
Recovery RecoverUnfinished(const Target& t, int file, std::string& copyPath);

// The copy of an unfinished save of the open file `file`, or of a save that
// never touched it, when one lies about; else empty. Cheap enough for every
// load.
std::string FindUnfinished(const Target& t, int file);

}  // namespace vrt::platform
