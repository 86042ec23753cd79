#include "protocol/protocol.h"

#include <memory>

namespace vrt::cfg {
namespace {

std::unique_ptr<TProtocols> gRegistry;

}  // namespace

void TProtocols::AddProtocol(TProtocol* protocol) {
    if (!protocol || FindProtocol(protocol->Name)) return;
    list_.push_back(protocol);
}

TProtocol* TProtocols::FindProtocol(const std::string& name) const {
    for (TProtocol* p : list_)
        if (p->Name == name) return p;
    return nullptr;
}

TProtocols* ProtocolRegistry() { return gRegistry.get(); }

void CreateProtocolRegistry() { gRegistry = std::make_unique<TProtocols>(); }

void FreeProtocolRegistry() { gRegistry.reset(); }

}  // namespace vrt::cfg
