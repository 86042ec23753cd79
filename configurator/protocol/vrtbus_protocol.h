#pragma once
// The link protocol "VrtBus": opens and closes a COM port through the link
// library and counts its opens, so several users share one open port.
#include <cstdint>
#include <string>

#include "protocol/protocol.h"
#include "vbdll/link_binding.h"

namespace vrt::cfg {

// The settings OpenLink takes its port and phone number from. Nothing in the
// program assigns them, so they stay empty.
struct VrtBusSettings {
    std::string portName;  // "COM1".."COM4"; anything else keeps ComPort
    std::string phone;
};
VrtBusSettings& VrtBusLinkSettings();

class TProtocol_VrtBus : public TProtocol {
public:
    // Calls go through `slots`, which must outlive the object.
    explicit TProtocol_VrtBus(const LinkSlots& slots, const VrtBusSettings& settings = VrtBusLinkSettings());
    // Closes until no open is left, so the last close reaches the port.
    ~TProtocol_VrtBus() override;

    void OpenLink() override;
    void CloseLink() override;

    int32_t OpenCount = 0;
    int32_t ComPort = 0;

private:
    const LinkSlots& slots_;
    const VrtBusSettings& settings_;
};

// Makes one TProtocol_VrtBus over the program's link binding and registers
// it; it lives until the program ends and is never closed there.
void RegisterVrtBusProtocol();

}  // namespace vrt::cfg
