#pragma once
// The project model: the project, its devices and their tags, and the
// routines that give devices and tags their numbers, IDs and OPC paths.
//
// Lists hold cells: small heap blocks that hold one object's address. A device
// or tag is identified by its cell everywhere (tree nodes, current device and
// tag). Removing an entry from a list keeps its cell and object alive until
// the list's owner goes, so references that still point at one stay valid.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardwarerw/tag_list.h"
#include "opcventix.h"

namespace vrt::cfg {

class LinkBinding;

inline constexpr size_t kDeviceNameMax = 100;
inline constexpr size_t kPhoneNumMax = 20;

// A controller with its link settings and its tags.
class TDevice {
public:
    // TDevice.Create: every field zero, false or empty; an empty tag list.
    TDevice() = default;
    // Releases every tag and cell the device ever held, removed ones included.
    ~TDevice();
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    ShortString<kDeviceNameMax> Name{};
    int32_t Number = 0;      // position in the device list + 1
    int32_t IdBase = 0;      // Number * 1000
    int32_t NetNumber = 0;
    int32_t Speed = 0;
    int32_t Chetnost = 0;    // 0 none, 1 even, 2 odd, 3 mark, 4 space
    int32_t StopBit = 0;
    int32_t DataBit = 0;
    bool SpecMode = false;
    int32_t BlockSize = 0;
    int32_t RepNum = 0;
    int32_t RepPause = 0;
    int32_t ProtocolNum = 0; // 0 VortanBus (ASCII), 1 VortanBus (RTU)
    bool OPCSpecMode = false;
    uint8_t ComNum = 0;      // 0..3 = COM1..COM4
    int32_t tMax = 0;
    int32_t tMin = 0;
    bool UseModem = false;
    int32_t NumDial = 0;
    ShortString<kPhoneNumMax> PhoneNum{};
    TTagList Tags{};         // change it through the operations below
    uint8_t BlockMode = 0;

    int32_t TagCount() const { return vrt::cfg::TagCount(Tags); }
    TTagCell* TagCell(int32_t index) const { return TagCellAt(Tags, index); }
    TTagOPC* Tag(int32_t index) const { return TagAt(Tags, index); }
    void AddTag(TTagCell* cell) { TagListAdd(Tags, cell); }
    void InsertTag(int32_t index, TTagCell* cell) { TagListInsert(Tags, index, cell); }
    // Removes the entry; its cell and tag live on until the device goes.
    bool DeleteTag(int32_t index);

private:
    std::vector<TTagCell*> removed_;
};

using TDeviceCell = TDevice*;  // a device cell holds one device's address

// A cell holding `device` (which it then owns).
TDeviceCell* NewDeviceCell(TDevice* device);

// The project's devices, in device order.
class TDeviceList {
public:
    TDeviceList() = default;
    // Releases every cell and device the list ever held, removed ones included.
    ~TDeviceList();
    TDeviceList(const TDeviceList&) = delete;
    TDeviceList& operator=(const TDeviceList&) = delete;

    int32_t Count() const { return int32_t(items_.size()); }
    TDeviceCell* Cell(int32_t index) const;
    TDevice* Device(int32_t index) const;
    void Add(TDeviceCell* cell) { items_.push_back(cell); }
    // Inserts before `index`; out of range appends.
    void Insert(int32_t index, TDeviceCell* cell);
    // Removes the entry; its cell and device live on until the list goes.
    bool Delete(int32_t index);
    void Clear();

private:
    std::vector<TDeviceCell*> items_;
    std::vector<TDeviceCell*> removed_;
};

// The project.
class TVrtNet {
public:
    // Runs Create(). With no binding the link library is not bound (tests,
    // tools).
    explicit TVrtNet(LinkBinding* binding = nullptr, std::string exeFileName = {});
    TVrtNet(const TVrtNet&) = delete;
    TVrtNet& operator=(const TVrtNet&) = delete;

    // TVrtNet.Create, also run again for New and Open: binds the link library
    // (a missing library is told to the user and ends the application), then
    // makes a new, empty device list. The project fields keep their values.
    void Create();

    std::string ProjectName;
    std::string Description;
    int32_t FileVersion = 0;
    bool WorkSpoon = false;
    std::string SpoonPath;

    TDeviceList& DeviceList() { return *lists_.back(); }
    const TDeviceList& DeviceList() const { return *lists_.back(); }

private:
    LinkBinding* binding_;
    std::string exeFileName_;
    // The current list is the last; replaced ones stay alive for the run.
    std::vector<std::unique_ptr<TDeviceList>> lists_;
};

// The link settings of a device the user creates.
void SetDeviceDefaults(TDevice& device);
// Number * 1000, the first ID of a device's block.
int32_t IdBaseOf(int32_t number);
// Appends a device cell at the end of the list.
void InsertDevice(TDeviceList& list, TDeviceCell* cell);
// Number := position + 1, IdBase := Number * 1000 for every device.
void RenumberDevices(TDeviceList& list);
// ID := IdBase + position, Index := position, Path := device name "." tag name.
void RenumberTags(TDevice& device);

}  // namespace vrt::cfg
