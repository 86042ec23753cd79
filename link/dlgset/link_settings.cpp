#include "dlgset/link_settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dlgset/module_names.h"
#include "paramtext/param_text.h"
#include "platform/cp1251.h"
#include "platform/module.h"
#include "platform/profile.h"

namespace vrt::link {

using namespace vrt::literals;

CommonOptions CommonOptionsEdited;
CommonOptions CommonOptionsApplied;
PortRecord WorkPortTable[VRT_PORT_COUNT];
PortRecord* livePorts = nullptr;
uint32_t statPeriod = 250;
int32_t IS_GLOBAL = 0;

namespace {

constexpr int32_t kValueMax = 32;   // longest value of a named number
constexpr int32_t kPhoneRead = 96;  // longest phone value read before trimming
constexpr size_t kPhoneMax = 48;
constexpr uint16_t kCmdMax = 20;

ConfigFileNames& fileNames() {
    static ConfigFileNames names;
    return names;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, again);
    va_end(again);
    return out;
}

// A text field of a record, which a host may have left without its terminator.
std::string fieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

void storeText(char* field, size_t size, const char* text) {
    std::memset(field, 0, size);
    std::memcpy(field, text, strnlen(text, size - 1));
}

// The named values of one key, such as "baud:19200, data:8".
class NamedValues {
public:
    explicit NamedValues(std::string text) : text_(std::move(text)) {}

    bool text(const char* name, std::string& out, int32_t max = kValueMax) const {
        std::vector<char> buf(size_t(max) + 1);
        if (!StrFindParam(text_.c_str(), name, buf.data(), max)) return false;
        out = buf.data();
        return true;
    }

    // A decimal number that begins the value, within [lo, hi]. Read into 64
    // bits with overflow caught, so no value wraps into range; a minus sign on
    // an unsigned field is out of range.
    bool number(const char* name, bool isSigned, int64_t lo, int64_t hi, int64_t& out) const {
        std::string v;
        if (!text(name, v)) return false;
        const char* p = v.c_str();
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (negative && !isSigned) return false;
        if (*p < '0' || *p > '9') return false;
        int64_t value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (value > (INT64_MAX - 9) / 10) return false;
            value = value * 10 + (*p - '0');
        }
        if (negative) value = -value;
        if (value < lo || value > hi) return false;
        out = value;
        return true;
    }

    template <typename Field>
    void set(const char* name, bool isSigned, int64_t lo, int64_t hi, Field& field) const {
        int64_t v = 0;
        if (number(name, isSigned, lo, hi, v)) field = static_cast<Field>(v);
    }

private:
    std::string text_;
};

// Packed fields cannot bind to references; these go through a local.
template <typename Field>
void setPacked(const NamedValues& values, const char* name, int64_t lo, int64_t hi, Field* field) {
    Field v;
    std::memcpy(&v, field, sizeof v);
    values.set(name, false, lo, hi, v);
    std::memcpy(field, &v, sizeof v);
}

void readCommon(const NamedValues& values, CommonOptions& o) {
    const std::pair<const char*, int32_t*> options[] = {{"StExtNo", &o.StExtNo},         {"StTop", &o.StTop},
                                                        {"StShow", &o.StShow},           {"StGRegErr", &o.StGRegErr},
                                                        {"BtnCaptions", &o.BtnCaptions}, {"TstOpen", &o.TstOpen}};
    for (const auto& [name, field] : options) values.set(name, true, INT32_MIN, INT32_MAX, *field);
    int64_t period = 0;
    if (values.number("tmState", true, 0, 1000, period) &&
        (period == 0 || period == 100 || period == 250 || period == 500 || period == 1000))
        o.tmState = int32_t(period);
}

void readPort(const NamedValues& values, PortRecord& r) {
    setPacked(values, "baud", 1, 999999, &r.baud);
    values.set("data", false, 7, 8, r.data);
    int64_t stop = 0;
    if (values.number("stop", false, 1, 2, stop)) r.stop = stop == 2 ? 2 : 0;
    std::string parity;
    if (values.text("parity", parity) && parity.size() == 1) {
        switch (parity[0]) {
            case 'N': r.parity = 0; break;
            case 'O': r.parity = 1; break;
            case 'M': r.parity = 3; break;
            case 'S': r.parity = 4; break;
            default: r.parity = 2; break;
        }
    }
    setPacked(values, "max", 0, 50000, &r.max);
    setPacked(values, "mode", 0, 9, &r.mode);
    setPacked(values, "protocol", 0, 2, &r.protocol);
    setPacked(values, "rptErr", 0, 10, &r.rptErr);
}

void readModem(const NamedValues& values, PortRecord& r) {
    setPacked(values, "usage", 0, 1, &r.usage);
    setPacked(values, "tmAnswer", 1, 60000, &r.tmAnswer);
    setPacked(values, "tmConnect", 1, 960, &r.tmConnect);
    setPacked(values, "repeat", 1, 5, &r.repeat);
    setPacked(values, "request", 0, 1, &r.request);
    std::string phone;
    if (values.text("phone", phone, kPhoneRead)) {
        StrTrim(phone.data());
        phone.resize(std::strlen(phone.c_str()));
        if (phone.size() <= kPhoneMax) storeText(r.phone, VRT_PHONE_SIZE, phone.c_str());
    }
}

std::string cmdKey(int n, int group, int line) { return format("MODEM%i_cmd%i_%i", n, group, line); }

void readCommandText(const platform::ProfileFile& file, const std::string& key, char* field) {
    std::string value = file.read(kConfigSection, key, "?");
    ParseCfgText('?', value.data(), field, kCmdMax);
}

char parityLetter(uint8_t code) {
    switch (code) {
        case 0: return 'N';
        case 1: return 'O';
        case 3: return 'M';
        case 4: return 'S';
        default: return 'E';
    }
}

std::string quoted(const char* field, size_t size) { return "\"" + fieldText(field, size) + "\""; }

void writeSettings(platform::ProfileFile& file) {
    const CommonOptions& o = CommonOptionsEdited;
    file.write(kConfigSection, "COMMON",
               format("StExtNo:%i, StTop:%i, StShow:%i, StGRegErr:%i BtnCaptions:%i,tmState:%u, TstOpen:%i",
                      o.StExtNo, o.StTop, o.StShow, o.StGRegErr, o.BtnCaptions, uint32_t(o.tmState), o.TstOpen));
    for (int n = 1; n <= VRT_PORT_COUNT; ++n) {
        const PortRecord& r = WorkPortTable[n - 1];
        file.write(kConfigSection, format("COM%i", n),
                   format("baud:%u, data:%i, stop:%i, parity:%c, max:%u, mode:%i, protocol:%i, rptErr:%i",
                          uint32_t(r.baud), r.data == 7 ? 7 : 8, r.stop == 2 ? 2 : 1, parityLetter(r.parity),
                          uint32_t(r.max), int32_t(r.mode), int32_t(r.protocol), int32_t(r.rptErr)));
    }
    for (int n = 1; n <= VRT_PORT_COUNT; ++n) {
        const PortRecord& r = WorkPortTable[n - 1];
        file.write(kConfigSection, format("MODEM%i_BASE", n),
                   format("usage:%i, tmAnswer:%u, tmConnect:%u, repeat:%u, request:%i, phone:", int32_t(r.usage),
                          uint32_t(r.tmAnswer), uint32_t(r.tmConnect), uint32_t(r.repeat), int32_t(r.request)) +
                       quoted(r.phone, VRT_PHONE_SIZE));
        file.write(kConfigSection, format("MODEM%i_cmdATD", n), quoted(r.cmdATD, VRT_CMD_SIZE));
        for (int g = 1; g <= 2; ++g)
            for (int l = 1; l <= 6; ++l)
                file.write(kConfigSection, cmdKey(n, g, l), quoted(r.cmdLines[(g - 1) * 6 + (l - 1)], VRT_CMD_SIZE));
    }
}

void loadSettingsFrom(const platform::ProfileFile& file) {
    const auto values = [&file](const std::string& key) { return NamedValues(file.read(kConfigSection, key, "")); };

    readCommon(values("COMMON"), CommonOptionsEdited);
    for (int n = 1; n <= VRT_PORT_COUNT; ++n) readPort(values(format("COM%i", n)), WorkPortTable[n - 1]);
    for (int n = 1; n <= VRT_PORT_COUNT; ++n) {
        PortRecord& r = WorkPortTable[n - 1];
        readModem(values(format("MODEM%i_BASE", n)), r);
        readCommandText(file, format("MODEM%i_cmdATD", n), r.cmdATD);
        for (int g = 1; g <= 2; ++g)
            for (int l = 1; l <= 6; ++l) readCommandText(file, cmdKey(n, g, l), r.cmdLines[(g - 1) * 6 + (l - 1)]);
    }
}

// The host's own file is read once at start: it holds IS_GLOBAL and, unless
// that names the global file, the settings too.
void loadAtStart() {
    {
        const platform::ProfileFile local(fileNames().local);
        ReadIsGlobal(local);
        if (IS_GLOBAL != 1) {
            loadSettingsFrom(local);
            return;
        }
    }
    loadSettingsFrom(platform::ProfileFile(fileNames().global));
}

void startFromNames(PortRecord* table) {
    livePorts = table;
    if (table) std::memcpy(WorkPortTable, table, sizeof WorkPortTable);
    loadAtStart();
    if (table) std::memcpy(table, WorkPortTable, sizeof WorkPortTable);
    CommonOptionsApplied = CommonOptionsEdited;
    statPeriod = uint32_t(CommonOptionsApplied.tmState);
}

}  // namespace

ConfigFileNames MakeConfigFileNames(const std::string& hostPath, const std::string& libraryPath,
                                    const std::string& systemFolder) {
    ConfigFileNames n;
    if (!ExtractFileName(hostPath).empty()) n.local = ChangeFileExt(hostPath, ".INI");
    if (!libraryPath.empty()) {
        n.global = ChangeFileExt(libraryPath, ".CFG");
    } else if (!systemFolder.empty()) {
        n.global = systemFolder + (systemFolder.back() == '/' ? "" : "/") + "vrtCLink.CFG";
    }
    return n;
}

void BuildConfigFileNames() {
    const ModuleNames& m = BuildModuleNames();
    fileNames() = MakeConfigFileNames(m.hostPath, m.libraryPath, platform::systemFolder());
}

void SetConfigFileNames(const ConfigFileNames& names) { fileNames() = names; }

const ConfigFileNames& ConfigFiles() { return fileNames(); }

const std::string& ConfigFileInUse() { return IS_GLOBAL == 1 ? fileNames().global : fileNames().local; }

void LinkSettingsInit(PortRecord* table) {
    BuildModuleNames();
    CommonOptionsEdited = CommonOptions{};
    IS_GLOBAL = 0;
    BuildConfigFileNames();
    startFromNames(table);
}

void LinkSettingsInit(PortRecord* table, const ConfigFileNames& names) {
    BuildModuleNames();
    CommonOptionsEdited = CommonOptions{};
    IS_GLOBAL = 0;
    SetConfigFileNames(names);
    startFromNames(table);
}

void ReadIsGlobal(const platform::ProfileFile& localFile) {
    const std::string v = localFile.read(kConfigSection, "IS_GLOBAL", "");
    if (v == "0") IS_GLOBAL = 0;
    else if (v == "1") IS_GLOBAL = 1;
}

bool WriteIsGlobal() {
    return platform::WriteProfileString(fileNames().local, kConfigSection, "IS_GLOBAL", format("%i", IS_GLOBAL));
}

void LoadLinkSettings() { loadSettingsFrom(platform::ProfileFile(ConfigFileInUse())); }

bool SaveLinkSettings(std::string* failedFile, std::string* keptCopy) {
    if (failedFile) failedFile->clear();
    if (keptCopy) keptCopy->clear();
    const ConfigFileNames& names = fileNames();
    const std::string& inUse = ConfigFileInUse();
    platform::ProfileFile local(names.local);
    local.write(kConfigSection, "IS_GLOBAL", format("%i", IS_GLOBAL));
    const auto report = [&](const platform::ProfileFile& failed) {
        if (failedFile) *failedFile = failed.path();
        if (keptCopy) *keptCopy = failed.keptCopy();
    };
    if (inUse == names.local) {
        writeSettings(local);
        const bool saved = local.save();
        if (!saved) report(local);
        return saved;
    }
    const bool localSaved = local.save();
    platform::ProfileFile target(inUse);
    writeSettings(target);
    const bool targetSaved = target.save();
    // The settings' own file comes first: when it was written, only the flag was lost.
    if (!targetSaved) report(target);
    else if (!localSaved) report(local);
    return localSaved && targetSaved;
}

std::string SaveFailureText(const std::string& failedFile, const std::string& keptCopy) {
    std::string text = "\nНе удалось записать файл конфигурации:\n"_cp + platform::nameText(failedFile);
    if (!keptCopy.empty()) text += "\nЕго прежнее содержимое сохранено в файле:\n"_cp + platform::nameText(keptCopy);
    return text;
}

}  // namespace vrt::link
