#include "vbdll/library_loader.h"

#include <dlfcn.h>

namespace vrt::cfg {
namespace {

class DlLoader final : public LibraryLoader {
public:
    void* open(const std::string& path) override { return dlopen(path.c_str(), RTLD_NOW); }
    void* symbol(void* handle, const char* name) override {
        dlerror();
        return dlsym(handle, name);
    }
};

}  // namespace

LibraryLoader& SystemLoader() {
    static DlLoader loader;
    return loader;
}

std::string ProgramFolder(const std::string& exeFileName) {
    const size_t slash = exeFileName.rfind('/');
    if (slash == std::string::npos) return {};
    std::string folder = exeFileName.substr(0, slash + 1);
    if (folder.size() > 1) folder.pop_back();
    return folder;
}

}  // namespace vrt::cfg
