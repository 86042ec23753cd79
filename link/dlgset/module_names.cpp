#include "dlgset/module_names.h"

#include "platform/module.h"
#include "vrtcltrn/port_table.h"

namespace vrt::link {

std::string ExtractFileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return path + ext;
    return path.substr(0, dot) + ext;
}

ModuleNames MakeModuleNames(const std::string& hostPath, const std::string& libraryPath) {
    ModuleNames n;
    n.hostPath = hostPath;
    n.libraryPath = libraryPath;
    const std::string hostFile = ExtractFileName(hostPath);
    n.hostFileText = platform::nameText(hostFile);
    n.messageCaption = "vrtCLink: " + n.hostFileText;
    if (!hostFile.empty()) {
        // vrtCLNK.so and P.exe give vrtCLNK_P.err: three changes of extension.
        const std::string logName =
            ChangeFileExt(ChangeFileExt(ChangeFileExt(ExtractFileName(libraryPath), "_"), hostFile), ".err");
        n.errLogFile = hostPath.substr(0, hostPath.size() - hostFile.size()) + logName;
    }
    return n;
}

const ModuleNames& BuildModuleNames() {
    static const ModuleNames names =
        MakeModuleNames(platform::hostPath(), LibraryInstance ? platform::modulePathOf(LibraryInstance) : "");
    return names;
}

}  // namespace vrt::link
