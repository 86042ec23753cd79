#include "hardwarerw/tag_file.h"

#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "hardwarerw/message_sink.h"
#include "hardwarerw/tag_value.h"
#include "platform/cp1251.h"
#include "platform/profile.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using platform::ProfileFile;

constexpr std::string_view kMain = "Main";
const std::string kLinkSuffix = ".Связь"_cp;
const std::string kVarsSuffix = ".Переменные"_cp;

int32_t readInt(const ProfileFile& ini, std::string_view section, std::string_view key, int32_t fallback) {
    return IniInteger(ini.read(section, key), fallback);
}

bool readBool(const ProfileFile& ini, std::string_view section, std::string_view key, bool fallback) {
    return readInt(ini, section, key, fallback ? 1 : 0) != 0;
}

void readLinkSettings(const ProfileFile& ini, const std::string& section, TDevice& d) {
    d.ComNum = uint8_t(readInt(ini, section, "ComNum", 3));
    d.Speed = readInt(ini, section, "Speed", 19200);
    d.Chetnost = readInt(ini, section, "Chetnost", 0);
    d.StopBit = readInt(ini, section, "StopBit", 1);
    d.DataBit = readInt(ini, section, "DataBit", 8);
    d.SpecMode = readBool(ini, section, "SpecMode", false);
    d.BlockSize = readInt(ini, section, "BlockSize", 1024);
    d.RepNum = readInt(ini, section, "RepNum", 0);
    d.RepPause = readInt(ini, section, "RepPause", 20);
    d.ProtocolNum = readInt(ini, section, "ProtocolNum", 0);
    d.OPCSpecMode = readBool(ini, section, "OPCSpecMode", false);
    d.tMax = readInt(ini, section, "tMax", 30);
    d.tMin = readInt(ini, section, "tMin", 100);
    d.UseModem = readBool(ini, section, "UseModem", false);
    d.NumDial = readInt(ini, section, "NumDial", 1);
    d.PhoneNum.assign(ini.read(section, "PhoneNum", ""));
    d.NetNumber = readInt(ini, section, "NetNumber", 33);
    d.BlockMode = uint8_t(readInt(ini, section, "BlockMode", 0));
}

void readTags(const ProfileFile& ini, const std::string& section, TDevice& device,
              std::vector<SkippedTag>& skipped) {
    for (const std::string& key : ini.keys(section)) {
        const std::string value = ini.read(section, key, "");
        TTagOPC* tag = NewTag();
        tag->Name.assign(key);
        if (!ParseTagValue(value, *tag)) {
            std::free(tag);
            skipped.push_back({device.Name.str(), key, value});
            continue;
        }
        try {
            device.AddTag(NewTagCell(tag));
        } catch (...) {
            std::free(tag);
            throw;
        }
    }
}

// A value is read trimmed and without one pair of surrounding double quotes,
// so a device list that starts or ends with a blank (a name with a blank at
// its outer end) or that stands in quotes itself is written in quotes; every
// other list is written as it is.
std::string quotedWhenNeeded(std::string value) {
    if (value.empty()) return value;
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (blank(value.front()) || blank(value.back()) || quoted) value = '"' + value + '"';
    return value;
}

std::string decimal(int64_t v) { return std::to_string(v); }
std::string flag(bool v) { return v ? "1" : "0"; }

void writeLinkSettings(ProfileFile& ini, const std::string& section, const TDevice& d) {
    ini.write(section, "ComNum", decimal(d.ComNum));
    ini.write(section, "Speed", decimal(d.Speed));
    ini.write(section, "Chetnost", decimal(d.Chetnost));
    ini.write(section, "StopBit", decimal(d.StopBit));
    ini.write(section, "DataBit", decimal(d.DataBit));
    ini.write(section, "SpecMode", flag(d.SpecMode));
    ini.write(section, "BlockSize", decimal(d.BlockSize));
    ini.write(section, "RepNum", decimal(d.RepNum));
    ini.write(section, "RepPause", decimal(d.RepPause));
    ini.write(section, "ProtocolNum", decimal(d.ProtocolNum));
    ini.write(section, "OPCSpecMode", flag(d.OPCSpecMode));
    ini.write(section, "tMax", decimal(d.tMax));
    ini.write(section, "tMin", decimal(d.tMin));
    ini.write(section, "UseModem", flag(d.UseModem));
    ini.write(section, "NumDial", decimal(d.NumDial));
    ini.write(section, "PhoneNum", OneLine(d.PhoneNum.view()));
    ini.write(section, "NetNumber", decimal(d.NetNumber));
    ini.write(section, "BlockMode", decimal(d.BlockMode));
}

// The name under which the file finds a section: without the blanks and
// control characters at its ends, without regard to case. Devices whose
// sections the file cannot tell apart ("A", "a", " A") share one.
std::string sectionKey(std::string_view section) { return cp1251::upper(TrimControls(section)); }

// The tag keys of one variables section. Devices that share it write the
// union of their tags: a later tag of a name already present takes that
// key's place, a new name is added at the end.
struct VarsSection {
    std::vector<std::pair<std::string, std::string>> entries;
    std::unordered_map<std::string, size_t> byKey;

    void add(const TTagOPC& tag) {
        // The key as the file will hold it: its line loses the blanks at its ends.
        std::string key = OneLine(tag.Name.view());
        const size_t first = key.find_first_not_of(' ');
        key = first == std::string::npos ? std::string() : key.substr(first, key.find_last_not_of(' ') - first + 1);
        std::string value = FormatTagValue(tag);
        auto [it, fresh] = byKey.try_emplace(cp1251::upper(key), entries.size());
        if (fresh)
            entries.emplace_back(std::move(key), std::move(value));
        else
            entries[it->second].second = std::move(value);
    }
};

}  // namespace

int32_t LoadTagFile(TVrtNet& project, const std::string& fileName, std::vector<SkippedTag>* skipped,
                    std::string* restoredCopy) {
    std::vector<SkippedTag> bad;
    if (restoredCopy) restoredCopy->clear();
    try {
        const ProfileFile ini(fileName);
        const platform::FileNotes& notes = ini.notes();
        // File names are the file system's UTF-8; the boxes show Windows-1251.
        if (ini.readFailed()) {
            std::string text = (notes.busy ? "Файл с тегами занят другой программой!\n"_cp
                                           : "Не удалось прочитать файл с тегами!\n"_cp) +
                               cp1251::fromUtf8(fileName);
            if (!notes.unfinishedCopy.empty())
                text += "\nЕго сохранение не было закончено; прежнее содержимое в файле\n"_cp +
                        cp1251::fromUtf8(notes.unfinishedCopy);
            Messages().errorBox(text, "Ошибка!"_cp);
            return -1;
        }
        if (notes.restored) {
            Messages().messageBox("Сохранение файла с тегами не было закончено, восстановлено его прежнее содержимое:\n"_cp +
                                  cp1251::fromUtf8(fileName));
            if (restoredCopy) *restoredCopy = notes.unfinishedCopy;
        }
        if (!ini.existed()) {
            Messages().errorBox("Не обнаружен файл с тегами!"_cp, "Ошибка!"_cp);
            return -1;
        }
        if (readInt(ini, kMain, "FileVersion", -1) < 0) return 0;

        project.ProjectName = ini.read(kMain, "Name", "");
        project.Description = ini.read(kMain, "Descript", "");
        project.WorkSpoon = readBool(ini, kMain, "WorkSpoon", false);
        project.SpoonPath = ini.read(kMain, "SpoonPath", "");
        const std::string objects = ini.read(kMain, "ObjectsName", "");
        if (objects.empty()) return 0;

        // Every piece is a device, empty pieces included; nothing is trimmed.
        TDeviceList& list = project.DeviceList();
        const int32_t first = list.Count();
        for (size_t start = 0;;) {
            const size_t comma = objects.find(',', start);
            const std::string_view piece =
                std::string_view(objects).substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            auto device = std::make_unique<TDevice>();
            device->Name.assign(piece);
            InsertDevice(list, NewDeviceCell(device.get()));
            device.release();
            if (comma == std::string::npos) break;
            start = comma + 1;
        }

        for (int32_t i = first; i < list.Count(); ++i) {
            TDevice& device = *list.Device(i);
            const std::string name = device.Name.str();
            readLinkSettings(ini, name + kLinkSuffix, device);
            device.Number = i + 1;
            device.IdBase = IdBaseOf(device.Number);
            readTags(ini, name + kVarsSuffix, device, bad);
            RenumberTags(device);
        }
    } catch (...) {
        // The reader keeps what it had read and never lets an error out.
        if (skipped) *skipped = std::move(bad);
        return -1;
    }
    const bool complete = bad.empty();
    if (skipped) *skipped = std::move(bad);
    return complete ? 0 : -1;
}

void SaveTagFile(const TVrtNet& project, const std::string& fileName) {
    // A file that exists but cannot be read refuses to save, so what it holds
    // is never overwritten unseen.
    ProfileFile ini(fileName);

    const TDeviceList& list = project.DeviceList();
    std::vector<std::string> names;
    names.reserve(size_t(list.Count()));
    std::string objects;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const TDevice* device = list.Device(i);
        names.push_back(device ? OneLine(device->Name.view()) : std::string());
        if (i) objects += ',';
        objects += names.back();
    }

    ini.write(kMain, "FileVersion", decimal(project.FileVersion));
    ini.write(kMain, "Name", OneLine(project.ProjectName));
    ini.write(kMain, "Descript", OneLine(project.Description));
    ini.write(kMain, "SpoonPath", OneLine(project.SpoonPath));
    ini.write(kMain, "WorkSpoon", flag(project.WorkSpoon));
    ini.write(kMain, "ObjectsName", quotedWhenNeeded(objects));

    std::unordered_map<std::string, VarsSection> sections;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const TDevice* device = list.Device(i);
        if (!device) continue;
        const std::string& name = names[size_t(i)];
        writeLinkSettings(ini, name + kLinkSuffix, *device);
        const std::string varsName = name + kVarsSuffix;
        VarsSection& vars = sections[sectionKey(varsName)];
        for (int32_t t = 0; t < device->TagCount(); ++t)
            if (const TTagOPC* tag = device->Tag(t)) vars.add(*tag);
        // A device without tags adds no section, as writing key by key would not.
        if (!vars.entries.empty() || ini.hasSection(varsName)) ini.replaceSection(varsName, vars.entries);
    }

    if (!ini.save())
        throw EIniFileException("Unable to write to " + fileName +
                                (ini.notes().busy ? "; it is in use by another program" : "") +
                                (ini.keptCopy().empty() ? "" : "; its old contents are in " + ini.keptCopy()));
}

}  // namespace vrt::cfg
