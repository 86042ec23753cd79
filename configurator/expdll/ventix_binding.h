#pragma once
// Run-time binding of the import library OPCVentix from the program's "Data"
// folder. Without it the program runs on without the tag import.
#include <string>

#include "opcventix.h"
#include "vbdll/library_loader.h"

namespace vrt::cfg {

inline constexpr const char* kVentixLibraryFile = "OPCVentix.so";

class VentixBinding {
public:
    explicit VentixBinding(LibraryLoader& loader = SystemLoader()) : loader_(loader) {}

    // Loads <program folder>/Data/OPCVentix.so and looks up "ExpShow"; a
    // missing library is told to the user once and leaves ExpShow null.
    void LoadVentixLibrary(const std::string& exeFileName);

    void* handle() const { return handle_; }
    // Null when the library or its export is missing.
    ExpShowFn ExpShow() const { return expShow_; }

private:
    LibraryLoader& loader_;
    void* handle_ = nullptr;
    ExpShowFn expShow_ = nullptr;
};

// The program's one binding.
VentixBinding& VentixLibrary();

}  // namespace vrt::cfg
