#pragma once
// Where the running program and this library live.
#include <string>
#include <string_view>

namespace vrt::platform {

// Full path of the running program (from /proc/self/exe), "" when unknown.
std::string hostPath();
// Full path of the shared object that contains `addressInside` (the program's
// own path when the address lies in the program), "" when unknown.
std::string modulePathOf(const void* addressInside);
// The system folder for global settings files: "/etc".
std::string systemFolder();

// A file name or path as the system gives it (UTF-8) made Windows-1251, for
// the texts that show or write it; what is not UTF-8 or not in the code page
// becomes '?'. Files are opened by the system's own name, never by this text.
std::string nameText(std::string_view systemName);

}  // namespace vrt::platform
