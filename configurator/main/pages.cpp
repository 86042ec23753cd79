#include "main/pages.h"

#include <algorithm>

#include "hardwarerw/tag_value.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;

int Clamp(int32_t value, int lo, int hi) { return int(std::clamp<int32_t>(value, lo, hi)); }

bool InList(int index, const std::vector<std::string>& items) { return index >= 0 && index < int(items.size()); }

// The number a list item stands for; its texts are all plain decimals.
int32_t ItemNumber(const std::vector<std::string>& items, int index) {
    int32_t value = 0;
    StrToInt(items[size_t(index)], value);
    return value;
}

std::string Without(std::string_view text, char banned) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != banned) out += c;
    return out;
}

}  // namespace

const std::vector<std::string>& PortItems() {
    static const std::vector<std::string> items = {"COM1", "COM2", "COM3", "COM4"};
    return items;
}

const std::vector<std::string>& SpeedItems() {
    static const std::vector<std::string> items = {"110",   "300",   "600",    "1200",   "2400",   "4800",
                                                   "9600",  "19200", "38400",  "57600",  "115200", "128000",
                                                   "230400", "256600", "460800", "921600"};
    return items;
}

const std::vector<std::string>& ParityItems() {
    static const std::vector<std::string> items = {"Нет (none)"_cp, "Чет (even)"_cp, "Нечет (odd)"_cp,
                                                   "Маркер (mark)"_cp, "Пробел (space)"_cp};
    return items;
}

const std::vector<std::string>& ProtocolItems() {
    static const std::vector<std::string> items = {"VortanBus (ASCII)", "VortanBus (RTU)"};
    return items;
}

const std::vector<std::string>& BlockSizeItems() {
    static const std::vector<std::string> items = {"16", "32", "64", "128", "256", "512", "1024"};
    return items;
}

const std::vector<std::string>& SpecModeItems() {
    static const std::vector<std::string> items = {"нет"_cp, "да"_cp};
    return items;
}

const std::vector<std::string>& RepPauseItems() {
    static const std::vector<std::string> items = {"1",   "5",   "10",  "25",  "50",  "100",
                                                   "150", "200", "250", "500", "1000"};
    return items;
}

const std::vector<std::string>& VarTypeItems() {
    static const std::vector<std::string> items = {"LongInt", "Float"};
    return items;
}

const std::vector<std::string>& RWTypeItems() {
    static const std::vector<std::string> items = {"Чтение"_cp, "Чтение\\Запись"_cp};
    return items;
}

const std::vector<std::string>& RWModeItems() {
    static const std::vector<std::string> items = {"Запись последнего пришедшего"_cp, "Запись списка пришедших"_cp};
    return items;
}

const std::string& RWModeHint() {
    static const std::string hint = std::string("Речь идет о переменных пришедших  от SCADA системы. "_cp) + "\n" +
                                    "Либо запись последнего пришедшего значения,либо запись "_cp + "\n" +
                                    "последовательности значений. Глубина очереди 10."_cp;
    return hint;
}

int IndexOfNumber(const std::vector<std::string>& items, int32_t value) {
    const std::string text = std::to_string(value);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == text) return int(i);
    return -1;
}

void UpdateModemControls(DevicePage& page) { page.modemEnabled = page.useModem; }

void FillDeviceControls(DevicePage& page, const TDevice& d) {
    const auto index = [](int32_t value, const std::vector<std::string>& items) {
        return value >= 0 && value < int32_t(items.size()) ? int(value) : -1;
    };
    page.name = d.Name.str();
    page.port = index(d.ComNum, PortItems());
    page.netNumber = std::to_string(d.NetNumber);
    page.dataBits = std::to_string(d.DataBit);
    page.stopBits = std::to_string(d.StopBit);
    page.speed = IndexOfNumber(SpeedItems(), d.Speed);
    page.specMode = d.SpecMode ? 1 : 0;
    page.blockSize = IndexOfNumber(BlockSizeItems(), d.BlockSize);
    page.repNum = Clamp(d.RepNum, 0, kRepNumMax);
    page.repPause = IndexOfNumber(RepPauseItems(), d.RepPause);
    page.protocol = index(d.ProtocolNum, ProtocolItems());
    page.useModem = d.UseModem;
    page.parity = index(d.Chetnost, ParityItems());
    page.phone = d.PhoneNum.str();
    page.numDial = Clamp(d.NumDial, 0, kNumDialMax);
    UpdateModemControls(page);
}

namespace {

// Assignments that remember whether anything changed.
struct Store {
    bool changed = false;

    template <class F, class V>
    void set(F& field, V value) {
        if (field == F(value)) return;
        field = F(value);
        changed = true;
    }
    template <size_t N>
    void text(ShortString<N>& field, std::string_view value) {
        const std::string before = field.str();
        field.assign(value);
        if (field.view() != before) changed = true;
    }
};

}  // namespace

StoreResult StoreDeviceControls(const DevicePage& page, TDevice& d, const NameTaken& taken) {
    Store s;
    StoreResult result;
    const auto number = [&](const std::string& t, int32_t& field) {
        int32_t value = 0;
        if (StrToInt(t, value))
            s.set(field, value);
        else if (!result.badNumber)
            result.badNumber = t;
    };
    // A name the file could not bring back is refused; one that is already
    // the device's (read from a file as it stands) is kept.
    const std::string name = CleanDeviceName(page.name);
    if (name != d.Name.view()) {
        result.badName = DeviceNameRefusal(name);
        result.badNameMayWait = TrimControls(name).empty();
        if (!result.badName && taken && taken(name)) {
            result.badName = TakenDeviceNameRefusal(name);
            result.badNameMayWait = true;
        }
        if (!result.badName) s.text(d.Name, name);
    }
    if (InList(page.port, PortItems())) s.set(d.ComNum, page.port);
    number(page.netNumber, d.NetNumber);
    number(page.dataBits, d.DataBit);
    number(page.stopBits, d.StopBit);
    if (InList(page.speed, SpeedItems())) s.set(d.Speed, ItemNumber(SpeedItems(), page.speed));
    if (InList(page.specMode, SpecModeItems())) s.set(d.SpecMode, page.specMode == 1);
    if (InList(page.blockSize, BlockSizeItems())) s.set(d.BlockSize, ItemNumber(BlockSizeItems(), page.blockSize));
    if (page.repNum != Clamp(d.RepNum, 0, kRepNumMax)) s.set(d.RepNum, page.repNum);
    if (InList(page.repPause, RepPauseItems())) s.set(d.RepPause, ItemNumber(RepPauseItems(), page.repPause));
    if (InList(page.protocol, ProtocolItems())) s.set(d.ProtocolNum, page.protocol);
    s.set(d.UseModem, page.useModem);
    if (InList(page.parity, ParityItems())) s.set(d.Chetnost, page.parity);
    s.text(d.PhoneNum, page.phone);
    if (page.numDial != Clamp(d.NumDial, 0, kNumDialMax)) s.set(d.NumDial, page.numDial);
    result.changed = s.changed;
    return result;
}

void FillTagControls(TagPage& page, const TTagOPC& tag, bool& wRepNumDisabled) {
    page.name = tag.Name.str();
    page.numVar = Clamp(tag.NumVar, 0, kNumVarMax);
    // Only the two known letters select an item; any other shows none, so
    // the type is not taken over from the tag shown before.
    page.varType = tag.VarType == 'F' ? 1 : tag.VarType == 'L' ? 0 : -1;
    page.rwType = InList(tag.RW, RWTypeItems()) ? int(tag.RW) : -1;
    page.rwMode = InList(tag.WriteMode, RWModeItems()) ? int(tag.WriteMode) : -1;
    page.wRepNum = Clamp(tag.WRepNum, 0, kWRepNumMax);
    if (page.wRepNum == 0) {
        page.wRepNum = 2;
        wRepNumDisabled = true;
    }
    page.wRepNumEnabled = !wRepNumDisabled;
    page.writeModeVisible = page.rwType != 0;
    page.path = tag.Path.str();
    page.id = std::to_string(tag.ID);
}

StoreResult StoreTagControls(const TagPage& page, TTagOPC& tag, const NameTaken& taken) {
    Store s;
    StoreResult result;
    // A name the file could not hold is refused; one that is already the
    // tag's (read from a file as it stands) is kept.
    const std::string name = CleanTagName(page.name);
    if (name != tag.Name.view()) {
        result.badName = TagNameRefusal(name);
        result.badNameMayWait = name.empty();
        if (!result.badName && taken && taken(name)) {
            result.badName = TakenTagNameRefusal(name);
            result.badNameMayWait = true;
        }
        if (!result.badName) s.text(tag.Name, name);
    }
    if (page.numVar != Clamp(tag.NumVar, 0, kNumVarMax)) s.set(tag.NumVar, page.numVar);
    if (page.varType == 0) s.set(tag.VarType, 'L');
    if (page.varType == 1) s.set(tag.VarType, 'F');
    if (InList(page.rwType, RWTypeItems())) s.set(tag.RW, page.rwType);
    if (InList(page.rwMode, RWModeItems())) s.set(tag.WriteMode, page.rwMode);
    result.changed = s.changed;
    return result;
}

std::string ConversionErrorText(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

std::string CleanDeviceName(std::string_view text) { return Without(text, ','); }

std::string CleanTagName(std::string_view text) {
    std::string name = Without(text, '=');
    // Cut first, so the cut cannot leave a blank at the end.
    if (name.size() > kTagNameMax) name.resize(kTagNameMax);
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t b = 0, e = name.size();
    while (b < e && blank(name[b])) ++b;
    while (e > b && blank(name[e - 1])) --e;
    return name.substr(b, e - b);
}

std::optional<std::string> TagNameRefusal(std::string_view name) {
    if (name.empty()) return "Имя тэга не может быть пустым!"_cp;
    if (name.front() == ';' || name.front() == '[')
        return "Имя тэга не может начинаться с \";\" или \"[\": "_cp + std::string(name);
    return std::nullopt;
}

std::string TagKey(std::string_view tagName) { return cp1251::upper(TrimControls(OneLine(tagName))); }

std::string VarsSectionKey(std::string_view deviceName) {
    return cp1251::upper(TrimControls(OneLine(deviceName) + ".Переменные"_cp));
}

std::string TakenTagNameRefusal(std::string_view name) {
    return "Тэг с таким именем уже есть в приборе (большие и малые буквы не различаются): "_cp + std::string(name);
}

std::string TakenDeviceNameRefusal(std::string_view name) {
    return "Прибор с таким именем уже есть в проекте (большие и малые буквы не различаются): "_cp + std::string(name);
}

std::optional<std::string> DeviceNameRefusal(std::string_view name) {
    if (TrimControls(name).empty()) return "Имя прибора не может быть пустым!"_cp;
    for (char c : name)
        if (static_cast<unsigned char>(c) < ' ')
            return "Имя прибора не может содержать табуляцию, перевод строки и другие управляющие символы!"_cp;
    return std::nullopt;
}

}  // namespace vrt::cfg
