#include "hardwarerw/project_model.h"

#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "hardwarerw/message_sink.h"
#include "platform/cp1251.h"
#include "vbdll/link_binding.h"

namespace vrt::cfg {

using namespace vrt::literals;

namespace {

// Sorted, without repeats and nulls.
template <class T>
std::vector<T*> distinct(std::vector<T*> items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    if (!items.empty() && !items.front()) items.erase(items.begin());
    return items;
}

}  // namespace

TDevice::~TDevice() {
    // A moved tag is inserted again before its old entry is removed, so a
    // cell may be both live and removed: free each cell and tag once.
    std::vector<TTagCell*> cells(removed_);
    const int32_t count = TagCount();
    cells.insert(cells.end(), Tags.items, Tags.items + count);
    cells = distinct(std::move(cells));
    std::vector<TTagOPC*> tags;
    tags.reserve(cells.size());
    for (TTagCell* cell : cells) tags.push_back(*cell);
    for (TTagOPC* tag : distinct(std::move(tags))) std::free(tag);
    for (TTagCell* cell : cells) std::free(cell);
    std::free(Tags.items);
}

bool TDevice::DeleteTag(int32_t index) {
    TTagCell* cell = TagCell(index);
    if (!TagListDelete(Tags, index)) return false;
    removed_.push_back(cell);
    return true;
}

TDeviceCell* NewDeviceCell(TDevice* device) { return new TDeviceCell(device); }

TDeviceList::~TDeviceList() {
    std::vector<TDeviceCell*> cells(removed_);
    cells.insert(cells.end(), items_.begin(), items_.end());
    cells = distinct(std::move(cells));
    std::vector<TDevice*> devices;
    devices.reserve(cells.size());
    for (TDeviceCell* cell : cells) devices.push_back(*cell);
    for (TDevice* device : distinct(std::move(devices))) delete device;
    for (TDeviceCell* cell : cells) delete cell;
}

TDeviceCell* TDeviceList::Cell(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[size_t(index)];
}

TDevice* TDeviceList::Device(int32_t index) const {
    TDeviceCell* cell = Cell(index);
    return cell ? *cell : nullptr;
}

void TDeviceList::Insert(int32_t index, TDeviceCell* cell) {
    if (index < 0 || index > Count()) index = Count();
    items_.insert(items_.begin() + index, cell);
}

bool TDeviceList::Delete(int32_t index) {
    if (index < 0 || index >= Count()) return false;
    removed_.push_back(items_[size_t(index)]);
    items_.erase(items_.begin() + index);
    return true;
}

void TDeviceList::Clear() {
    removed_.insert(removed_.end(), items_.begin(), items_.end());
    items_.clear();
}

TVrtNet::TVrtNet(LinkBinding* binding, std::string exeFileName)
    : binding_(binding), exeFileName_(std::move(exeFileName)) {
    Create();
}

void TVrtNet::Create() {
    if (binding_) {
        try {
            binding_->LoadLinkLibrary(exeFileName_);
        } catch (const EDLL1LoadError&) {
            Messages().errorBox("Не удалось найти vrtCLNK.DLL. Приложение будет закрыто!"_cp, "Ошибка!"_cp);
            Messages().requestQuit();
        }
    }
    lists_.push_back(std::make_unique<TDeviceList>());
}

void SetDeviceDefaults(TDevice& d) {
    d.NetNumber = 33;
    d.Speed = 19200;
    d.Chetnost = 0;
    d.StopBit = 1;
    d.DataBit = 8;
    d.SpecMode = false;
    d.BlockSize = 1024;
    d.RepNum = 2;
    d.RepPause = 25;
    d.ProtocolNum = 1;
    d.OPCSpecMode = false;
    d.ComNum = 0;
    d.tMax = 200;
    d.tMin = 20;
    d.UseModem = false;
    d.PhoneNum.assign("");
}

int32_t IdBaseOf(int32_t number) { return int32_t(uint32_t(number) * 1000u); }

void InsertDevice(TDeviceList& list, TDeviceCell* cell) { list.Add(cell); }

void RenumberDevices(TDeviceList& list) {
    for (int32_t i = 0; i < list.Count(); ++i) {
        TDevice* device = list.Device(i);
        if (!device) continue;
        device->Number = i + 1;
        device->IdBase = IdBaseOf(device->Number);
    }
}

void RenumberTags(TDevice& device) {
    const std::string_view name = device.Name.view();
    const int32_t count = device.TagCount();
    for (int32_t i = 0; i < count; ++i) {
        TTagOPC* tag = device.Tag(i);
        if (!tag) continue;
        tag->ID = int32_t(uint32_t(device.IdBase) + uint32_t(i));  // wraps, never traps
        tag->Index = i;
        // At most 100 + 1 + 50 characters: the path is never cut.
        char path[kTagPathMax];
        const std::string_view tagName = tag->Name.view();
        std::memcpy(path, name.data(), name.size());
        path[name.size()] = '.';
        std::memcpy(path + name.size() + 1, tagName.data(), tagName.size());
        tag->Path.assign(std::string_view(path, name.size() + 1 + tagName.size()));
    }
}

}  // namespace vrt::cfg
