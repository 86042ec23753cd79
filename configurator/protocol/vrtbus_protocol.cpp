#include "protocol/vrtbus_protocol.h"

namespace vrt::cfg {

VrtBusSettings& VrtBusLinkSettings() {
    static VrtBusSettings settings;
    return settings;
}

TProtocol_VrtBus::TProtocol_VrtBus(const LinkSlots& slots, const VrtBusSettings& settings)
    : TProtocol("VrtBus", 1), slots_(slots), settings_(settings) {}

TProtocol_VrtBus::~TProtocol_VrtBus() {
    while (OpenCount > 0) CloseLink();
}

void TProtocol_VrtBus::OpenLink() {
    if (OpenCount > 0) {
        ++OpenCount;
        return;
    }
    // Before any binding the slots are empty: the link stays closed.
    if (!slots_._vrtCL_fInit || !slots_._vrtCL_fSetPhone || !slots_._vrtCL_fOpen) return;
    slots_._vrtCL_fInit();
    static const char* const kPorts[] = {"COM1", "COM2", "COM3", "COM4"};
    for (int32_t i = 0; i < 4; ++i)
        if (settings_.portName == kPorts[i]) ComPort = i;
    slots_._vrtCL_fSetPhone(ComPort, settings_.phone.c_str());
    if (slots_._vrtCL_fOpen(ComPort) == ComPort) OpenCount = 1;
}

void TProtocol_VrtBus::CloseLink() {
    if (OpenCount > 0) --OpenCount;
    if (OpenCount == 0 && slots_._vrtCL_fClose) slots_._vrtCL_fClose(ComPort);
}

void RegisterVrtBusProtocol() {
    // Reachable for the whole run; the program never destroys it.
    static TProtocol_VrtBus* const protocol = new TProtocol_VrtBus(LinkLibrary().slots());
    if (ProtocolRegistry()) ProtocolRegistry()->AddProtocol(protocol);
}

}  // namespace vrt::cfg
