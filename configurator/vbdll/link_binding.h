#pragma once
// Run-time binding of the link library vrtCLNK: the four places it may live,
// the fifteen entry-point slots, and what happens when it is nowhere.
#include <array>
#include <functional>
#include <stdexcept>
#include <string>

#include "link/include/vrtclnk.h"
#include "vbdll/library_loader.h"

namespace vrt::cfg {

// Raised when no place holds a loadable link library.
class EDLL1LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kLinkLibraryFile = "vrtCLNK.so";

// The entry points, in slot order. Slots 14 and 15 name functions the library
// does not export, so they stay null after a successful binding.
struct LinkSlots {
    decltype(&::_vrt_about) _vrt_about = nullptr;                 // 1
    decltype(&::_vrtCL_fErr2str) _vrtCL_fErr2str = nullptr;       // 2
    decltype(&::_vrtCL_fChkErrType) _vrtCL_fChkErrType = nullptr; // 3
    decltype(&::_vrtCL_fInit) _vrtCL_fInit = nullptr;             // 4
    decltype(&::_vrtCL_fDlgSetup) _vrtCL_fDlgSetup = nullptr;     // 5
    decltype(&::_vrtCL_fClose) _vrtCL_fClose = nullptr;           // 6
    decltype(&::_vrtCL_fOpen) _vrtCL_fOpen = nullptr;             // 7
    decltype(&::_vrtCL_fSetPhone) _vrtCL_fSetPhone = nullptr;     // 8
    decltype(&::_vrtCL_fRequest) _vrtCL_fRequest = nullptr;       // 9
    decltype(&::_vrtCL_fESetParam) _vrtCL_fESetParam = nullptr;   // 10
    decltype(&::_vrtCL_fIsOpen) _vrtCL_fIsOpen = nullptr;         // 11
    decltype(&::_vrtCL_fPhase2str) _vrtCL_fPhase2str = nullptr;   // 12
    decltype(&::_vrtCL_fClose) _vrtCL_fClose2 = nullptr;          // 13
    void (*_vrtCL_fComPut)() = nullptr;                           // 14
    void (*_vrtCL_fMDMCmdOut)() = nullptr;                        // 15

    // The slots as untyped addresses, in slot order (for comparisons).
    std::array<void*, 15> addresses() const;
};

// The names looked up, in slot order.
inline constexpr std::array<const char*, 15> kLinkSlotNames = {
    "_vrt_about",      "_vrtCL_fErr2str", "_vrtCL_fChkErrType", "_vrtCL_fInit",      "_vrtCL_fDlgSetup",
    "_vrtCL_fClose",   "_vrtCL_fOpen",    "_vrtCL_fSetPhone",   "_vrtCL_fRequest",   "_vrtCL_fESetParam",
    "_vrtCL_fIsOpen",  "_vrtCL_fPhase2str", "_vrtCL_fClose",    "_vrtCL_fComPut",    "_vrtCL_fMDMCmdOut",
};

// What a slot holds when the library is missing: it tells the user that the
// library is not bound and does nothing else. The typed stand-ins in the
// slots call it and answer -49 ("function not supported") where a code is
// expected, an empty text where a text is expected.
void LinkFunctionUnavailable();

// Reads an environment variable; an unset variable gives the empty text.
using EnvironmentReader = std::function<std::string(const char* name)>;
EnvironmentReader SystemEnvironment();

// The module state of the binding: the library's handle and the slots.
class LinkBinding {
public:
    explicit LinkBinding(LibraryLoader& loader = SystemLoader(), EnvironmentReader env = SystemEnvironment());

    // Loads the library from the first place that works: the program's
    // folder, $VRT_DIR/_SYS/, the parent folder's _SYS/, the system search
    // path; then looks every slot up again. When all four fail, puts the
    // stand-ins into slots 1-9 and 12-15 (10 and 11 keep their values) and
    // raises EDLL1LoadError.
    void LoadLinkLibrary(const std::string& exeFileName);

    void* handle() const { return handle_; }
    const LinkSlots& slots() const { return slots_; }
    LinkSlots& slots() { return slots_; }

private:
    LibraryLoader& loader_;
    EnvironmentReader env_;
    void* handle_ = nullptr;
    LinkSlots slots_;
};

// The program's one binding.
LinkBinding& LinkLibrary();

}  // namespace vrt::cfg
