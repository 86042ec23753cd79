#pragma once
// The registry of link protocols: objects that open and close a controller
// link by protocol name.
#include <cstdint>
#include <string>
#include <vector>

namespace vrt::cfg {

class TProtocol {
public:
    TProtocol(std::string name, int32_t kind) : Name(std::move(name)), ProtocolKind(kind) {}
    virtual ~TProtocol() = default;
    TProtocol(const TProtocol&) = delete;
    TProtocol& operator=(const TProtocol&) = delete;

    virtual void OpenLink() = 0;
    virtual void CloseLink() = 0;

    std::string Name;
    int32_t ProtocolKind;
};

// Holds protocols in order of registration; owns none of them.
class TProtocols {
public:
    // Adds at the end unless a protocol of that name is registered; a
    // refused one is neither added nor released.
    void AddProtocol(TProtocol* protocol);
    // The first protocol whose name equals `name` byte for byte, or nullptr.
    TProtocol* FindProtocol(const std::string& name) const;
    int32_t Count() const { return int32_t(list_.size()); }

private:
    std::vector<TProtocol*> list_;
};

// The program's registry; nullptr outside CreateProtocolRegistry /
// FreeProtocolRegistry.
TProtocols* ProtocolRegistry();
void CreateProtocolRegistry();
// Releases the registry, not the protocols in it.
void FreeProtocolRegistry();

}  // namespace vrt::cfg
