#pragma once
// Run-time library loading, behind an interface so that tests can record or
// refuse loads.
#include <string>

namespace vrt::cfg {

class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // The library's handle, nullptr when it cannot be loaded. A path without
    // '/' leaves the search to the system.
    virtual void* open(const std::string& path) = 0;
    // The address of an exported name, nullptr when the library lacks it.
    virtual void* symbol(void* handle, const char* name) = 0;
};

// dlopen(RTLD_NOW) and dlsym. Libraries are never unloaded.
LibraryLoader& SystemLoader();

// The folder part of a program's file name without a trailing '/'; the root
// keeps its '/'.
std::string ProgramFolder(const std::string& exeFileName);

}  // namespace vrt::cfg
