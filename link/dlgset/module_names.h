#pragma once
// Names the library derives from its host and from its own file.
#include <string>

namespace vrt::link {

struct ModuleNames {
    std::string hostPath;        // full path of the host program ("" when unknown)
    std::string libraryPath;     // full path of this library ("" when unknown)
    std::string messageCaption;  // "vrtCLink: <host file name>"
    std::string errLogFile;      // <host folder>/vrtCLNK_<host file name>.err
};

// Builds the names on the first call; later calls return the same object.
const ModuleNames& BuildModuleNames();

// Replaces the extension of the file name at the end of `path` (from its last
// dot on) with `ext`, or appends `ext` when the file name has no dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

}  // namespace vrt::link
