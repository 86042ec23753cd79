#include "vbdll/link_binding.h"

#include <cstdlib>
#include <string>
#include <type_traits>

#include "hardwarerw/message_sink.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;

constexpr int32_t kFunctionNotSupported = -49;

template <class F>
struct Unavailable;

template <class R, class... A>
struct Unavailable<R (*)(A...)> {
    static R call(A...) {
        LinkFunctionUnavailable();
        if constexpr (std::is_same_v<R, const char*>)
            return "";
        else if constexpr (!std::is_void_v<R>)
            return R(kFunctionNotSupported);
    }
};

template <class F>
void stub(F& slot) {
    slot = &Unavailable<F>::call;
}

template <class F>
void bind(F& slot, void* address) {
    slot = reinterpret_cast<F>(address);
}

}  // namespace

std::array<void*, 15> LinkSlots::addresses() const {
    const auto a = [](auto f) { return reinterpret_cast<void*>(f); };
    return {a(_vrt_about),       a(_vrtCL_fErr2str), a(_vrtCL_fChkErrType), a(_vrtCL_fInit),
            a(_vrtCL_fDlgSetup), a(_vrtCL_fClose),   a(_vrtCL_fOpen),       a(_vrtCL_fSetPhone),
            a(_vrtCL_fRequest),  a(_vrtCL_fESetParam), a(_vrtCL_fIsOpen),   a(_vrtCL_fPhase2str),
            a(_vrtCL_fClose2),   a(_vrtCL_fComPut),  a(_vrtCL_fMDMCmdOut)};
}

void LinkFunctionUnavailable() {
    Messages().messageBox("Вызываемая функция недоступна, т.к. библиотека \rvrtCLNK.DLL не была подключена!"_cp);
}

EnvironmentReader SystemEnvironment() {
    return [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
}

LinkBinding::LinkBinding(LibraryLoader& loader, EnvironmentReader env) : loader_(loader), env_(std::move(env)) {}

void LinkBinding::LoadLinkLibrary(const std::string& exeFileName) {
    const std::string folder = ProgramFolder(exeFileName);
    void* handle = loader_.open(folder + "/" + kLinkLibraryFile);
    if (!handle) handle = loader_.open(env_("VRT_DIR") + "/_SYS/" + kLinkLibraryFile);
    if (!handle) {
        std::string parent = folder;
        if (parent.find('/') != std::string::npos)
            while (parent.back() != '/') parent.pop_back();
        handle = loader_.open(parent + "_SYS/" + kLinkLibraryFile);
    }
    if (!handle) handle = loader_.open(kLinkLibraryFile);

    if (!handle) {
        LinkSlots& s = slots_;
        stub(s._vrt_about), stub(s._vrtCL_fErr2str), stub(s._vrtCL_fChkErrType), stub(s._vrtCL_fInit);
        stub(s._vrtCL_fDlgSetup), stub(s._vrtCL_fClose), stub(s._vrtCL_fOpen), stub(s._vrtCL_fSetPhone);
        stub(s._vrtCL_fRequest), stub(s._vrtCL_fPhase2str), stub(s._vrtCL_fClose2);
        stub(s._vrtCL_fComPut), stub(s._vrtCL_fMDMCmdOut);
        throw EDLL1LoadError("Не найдена библиотека vrtCLNK.DLL"_cp);
    }

    handle_ = handle;
    const auto look = [&](size_t slot) { return loader_.symbol(handle, kLinkSlotNames[slot]); };
    LinkSlots& s = slots_;
    bind(s._vrt_about, look(0));
    bind(s._vrtCL_fErr2str, look(1));
    bind(s._vrtCL_fChkErrType, look(2));
    bind(s._vrtCL_fInit, look(3));
    bind(s._vrtCL_fDlgSetup, look(4));
    bind(s._vrtCL_fClose, look(5));
    bind(s._vrtCL_fOpen, look(6));
    bind(s._vrtCL_fSetPhone, look(7));
    bind(s._vrtCL_fRequest, look(8));
    bind(s._vrtCL_fESetParam, look(9));
    bind(s._vrtCL_fIsOpen, look(10));
    bind(s._vrtCL_fPhase2str, look(11));
    bind(s._vrtCL_fClose2, look(12));
    bind(s._vrtCL_fComPut, look(13));
    bind(s._vrtCL_fMDMCmdOut, look(14));
}

LinkBinding& LinkLibrary() {
    static LinkBinding binding;
    return binding;
}

}  // namespace vrt::cfg
