#include "platform/module.h"

#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/cp1251.h"

namespace vrt::platform {
namespace {

struct Search {
    uintptr_t address = 0;
    bool found = false;
    bool isProgram = false;
    std::string name;
};

int visit(dl_phdr_info* info, size_t, void* data) {
    auto* s = static_cast<Search*>(data);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (s->address >= start && s->address < start + ph.p_memsz) {
            s->found = true;
            // The program itself is listed without a name.
            s->isProgram = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
            if (!s->isProgram) s->name = info->dlpi_name;
            return 1;
        }
    }
    return 0;
}

// The loader keeps the name a library was opened by; a relative one is made
// absolute now, while the working folder is still the one it was opened from.
std::string absolute(std::string path) {
    if (path.empty() || path.front() == '/') return path;
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE || buf.size() > (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
    std::string dir(buf.data());
    while (path.rfind("./", 0) == 0) path.erase(0, 2);
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir + path;
}

}  // namespace

std::string hostPath() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (size_t(n) < buf.size()) return std::string(buf.data(), size_t(n));
        if (buf.size() > (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
}

std::string modulePathOf(const void* addressInside) {
    if (!addressInside) return {};
    Search s;
    s.address = reinterpret_cast<uintptr_t>(addressInside);
    dl_iterate_phdr(visit, &s);
    if (!s.found) return {};
    return s.isProgram ? hostPath() : absolute(s.name);
}

std::string systemFolder() { return "/etc"; }

std::string nameText(std::string_view systemName) { return cp1251::fromUtf8(systemName); }

}  // namespace vrt::platform
