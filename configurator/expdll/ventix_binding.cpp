#include "expdll/ventix_binding.h"

#include "hardwarerw/message_sink.h"
#include "platform/cp1251.h"

namespace vrt::cfg {

using namespace vrt::literals;

void VentixBinding::LoadVentixLibrary(const std::string& exeFileName) {
    handle_ = loader_.open(ProgramFolder(exeFileName) + "/Data/" + kVentixLibraryFile);
    if (!handle_) {
        Messages().messageBox("Ошибка подключения библиотеки OPCVentix.dll"_cp);
        return;
    }
    expShow_ = reinterpret_cast<ExpShowFn>(loader_.symbol(handle_, "ExpShow"));
}

VentixBinding& VentixLibrary() {
    static VentixBinding binding;
    return binding;
}

}  // namespace vrt::cfg
