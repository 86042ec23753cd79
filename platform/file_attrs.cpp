#include "platform/file_attrs.h"

#include <attr/libattr.h>
#include <sys/xattr.h>

#include <cerrno>
#include <map>
#include <optional>
#include <string>

namespace vrt::platform {
namespace {

bool skipped(const char* name) { return attr_copy_action(name, nullptr) == ATTR_ACTION_SKIP; }

// Copies all but the skipped ones; ACLs too, which the default check leaves
// to a separate ACL copy.
int copyCheck(const char* name, struct error_context*) { return skipped(name) ? 0 : 1; }

std::optional<std::string> value(int fd, const std::string& name) {
    for (int tries = 0; tries < 4; ++tries) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string v(size_t(size), '\0');
        const ssize_t n = ::fgetxattr(fd, name.c_str(), v.data(), v.size());
        if (n >= 0) {
            v.resize(size_t(n));
            return v;
        }
        if (errno != ERANGE) return std::nullopt;
    }
    return std::nullopt;
}

// The attributes that count, by name; nullopt when they cannot be listed.
std::optional<std::map<std::string, std::string>> attributes(int fd) {
    std::string names;
    for (int tries = 0;; ++tries) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) return errno == ENOTSUP ? std::make_optional<std::map<std::string, std::string>>() : std::nullopt;
        names.assign(size_t(size), '\0');
        const ssize_t n = ::flistxattr(fd, names.data(), names.size());
        if (n >= 0) {
            names.resize(size_t(n));
            break;
        }
        if (errno != ERANGE || tries == 3) return std::nullopt;
    }
    std::map<std::string, std::string> out;
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        if (name.empty() || skipped(name.c_str())) continue;
        auto v = value(fd, name);
        if (!v) return std::nullopt;
        out.emplace(name, std::move(*v));
    }
    return out;
}

}  // namespace

void CopyAllAttributes(int from, int to) {
    const auto wanted = attributes(from);
    if (const auto own = attributes(to); wanted && own)
        for (const auto& [name, v] : *own)
            if (!wanted->contains(name)) ::fremovexattr(to, name.c_str());
    if (!wanted || !wanted->empty()) (void)attr_copy_fd("", from, "", to, copyCheck, nullptr);
}

bool SameAttributes(int a, int b) {
    const auto first = attributes(a);
    return first && attributes(b) == first;
}

}  // namespace vrt::platform
