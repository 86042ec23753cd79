#pragma once
// Where the running program and this library live.
#include <string>

namespace vrt::platform {

// Full path of the running program (from /proc/self/exe), "" when unknown.
std::string hostPath();
// Full path of the shared object that contains `addressInside` (the program's
// own path when the address lies in the program), "" when unknown.
std::string modulePathOf(const void* addressInside);
// The system folder for global settings files: "/etc".
std::string systemFolder();

}  // namespace vrt::platform
