#pragma once
// Names the library derives from its host and from its own file.
#include <string>

namespace vrt::link {

struct ModuleNames {
    std::string hostPath;        // full path of the host program ("" when unknown)
    std::string libraryPath;     // full path of this library ("" when unknown)
    std::string hostFileText;    // the host's file name in Windows-1251, for captions
    std::string messageCaption;  // "vrtCLink: <host file name>" in Windows-1251
    // <host folder>/vrtCLNK_<host file name with ".err" for its extension>,
    // the name on disk; "" when the host path is unknown, so nothing is
    // written to a guessed place.
    std::string errLogFile;
};

// Builds the names on the first call; later calls return the same object.
const ModuleNames& BuildModuleNames();

// The names for a given host and library path.
ModuleNames MakeModuleNames(const std::string& hostPath, const std::string& libraryPath);

// Replaces the extension of the file name at the end of `path` (from its last
// dot on) with `ext`, or appends `ext` when the file name has no dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// The file name of `path` without its folder.
std::string ExtractFileName(const std::string& path);

}  // namespace vrt::link
