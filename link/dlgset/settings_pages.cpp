#include "link/dlgset/settings_pages.h"

#include <cstdio>
#include <cstring>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/statistics.h"
#include "link/paramtext/param_text.h"
#include "platform/cp1251.h"

namespace vrt::link {

using namespace vrt::literals;

namespace {

constexpr uint32_t kDefaultBaud = 19200;
constexpr int32_t kPhoneMax = 48;
constexpr int32_t kCmdMax = 20;

unsigned char* Bytes(PortRecord& rec) { return reinterpret_cast<unsigned char*>(&rec); }

std::string Format(const char* format, uint32_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, static_cast<unsigned long>(value));
    return buf;
}

// A text field of a record as a string; stops at the field's end when a host
// left it without a terminator.
std::string FieldText(const char* field, size_t size) { return std::string(field, ::strnlen(field, size)); }

// Trims a record's text field in place (bytes behind the new end keep their
// values, as the raw-byte change marks expect). A field without a terminator
// is cut at its last byte first, so trimming cannot run past it.
void TrimField(char* field, size_t size) {
    if (std::memchr(field, 0, size) == nullptr) field[size - 1] = '\0';
    StrTrim(field);
}

// The control's text trimmed, in a buffer the paramtext routines may change.
std::string Trimmed(std::string_view text) {
    std::string buf(text);
    StrTrim(buf.data());
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

std::string ReadNumber(uint32_t& field, std::string_view text, uint32_t min, uint32_t max, const char* format) {
    if (auto v = AcceptFieldNumber(text, min, max)) field = *v;
    return Format(format, field);
}

int32_t ClampPort(int32_t port) { return port < 0 || port >= VRT_PORT_COUNT ? 0 : port; }

}  // namespace

int32_t ParityIndex(int32_t code) {
    for (int32_t i = 0; i < kParityEntries; ++i)
        if (kParityListCodes[i] == code) return i;
    return 1;
}

FieldNumber ParseFieldNumber(std::string_view text) {
    const std::string t = Trimmed(text);
    FieldNumber r;
    if (t.empty() || t[0] == '-') return r;  // Keep
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(t[0])) {
        r.kind = FieldNumber::NoDigits;
        return r;
    }
    r.kind = FieldNumber::Number;
    uint64_t v = 0;
    for (size_t i = 0; i < t.size() && digit(t[i]); ++i) {
        v = v * 10 + uint64_t(t[i] - '0');
        if (v > UINT32_MAX) {
            r.overflow = true;
            v = UINT32_MAX;
            break;
        }
    }
    r.value = uint32_t(v);
    return r;
}

std::optional<uint32_t> AcceptFieldNumber(std::string_view text, uint32_t min, uint32_t max) {
    const FieldNumber n = ParseFieldNumber(text);
    if (n.kind != FieldNumber::Number || n.overflow || n.value < min || n.value > max) return std::nullopt;
    return n.value;
}

std::string FormatBaud(uint32_t baud) { return Format("%7lu", baud); }
std::string FormatRespTime(uint32_t ms) { return Format("%7lu", ms); }
std::string FormatAnswerTime(uint32_t ms) { return Format("%6lu", ms); }
std::string FormatConnectTime(uint32_t seconds) { return Format("%4lu", seconds); }

std::string ReadBaudText(PortRecord& rec, std::string_view text) {
    if (auto v = AcceptFieldNumber(text, 1, 999999))
        rec.baud = *v;
    else if (rec.baud == 0)
        rec.baud = kDefaultBaud;
    return FormatBaud(rec.baud);
}

std::string ReadRespTimeText(PortRecord& rec, std::string_view text) {
    uint32_t v = rec.max;
    std::string shown = ReadNumber(v, text, 1, 50000, "%7lu");
    rec.max = v;
    return shown;
}

std::string ReadAnswerTimeText(PortRecord& rec, std::string_view text) {
    uint32_t v = rec.tmAnswer;
    std::string shown = ReadNumber(v, text, 1, 60000, "%6lu");
    rec.tmAnswer = v;
    return shown;
}

std::string ReadConnectTimeText(PortRecord& rec, std::string_view text) {
    uint32_t v = rec.tmConnect;
    std::string shown = ReadNumber(v, text, 1, 960, "%4lu");
    rec.tmConnect = v;
    return shown;
}

std::string ReadPhoneText(PortRecord& rec, std::string_view text) {
    const std::string t = Trimmed(text);
    StrCopyN(rec.phone, t.c_str(), kPhoneMax);
    return FieldText(rec.phone, sizeof rec.phone);
}

std::string ReadDialCmdText(PortRecord& rec, std::string_view text) {
    const std::string t = Trimmed(text);
    StrCopyN(rec.cmdATD, t.c_str(), kCmdMax);
    return FieldText(rec.cmdATD, sizeof rec.cmdATD);
}

std::string BaudEntryText(PortRecord& rec) {
    if (rec.baud == 0) rec.baud = kDefaultBaud;
    return FormatBaud(rec.baud);
}

std::string PhoneEntryText(PortRecord& rec) {
    TrimField(rec.phone, sizeof rec.phone);
    return FieldText(rec.phone, sizeof rec.phone);
}

std::string DialCmdEntryText(const PortRecord& rec) { return FieldText(rec.cmdATD, sizeof rec.cmdATD); }

int32_t ModemCmdLine(int32_t column, int32_t row) {
    if (column < 0 || column > 1 || row < 1 || row > 6) return -1;
    return column * 6 + row - 1;
}

std::string ModemCmdEditText(PortRecord& rec, int32_t line) {
    if (line < 0 || line >= VRT_CMD_LINES) return {};
    TrimField(rec.cmdLines[line], VRT_CMD_SIZE);
    return FieldText(rec.cmdLines[line], VRT_CMD_SIZE);
}

std::string ReadModemCmdText(PortRecord& rec, int32_t line, std::string_view text) {
    if (line < 0 || line >= VRT_CMD_LINES) return {};
    std::string src(text);
    ParseCfgText('?', src.data(), rec.cmdLines[line], kCmdMax);
    return FieldText(rec.cmdLines[line], VRT_CMD_SIZE);
}

std::string ModemCmdLineText(const PortRecord& rec, int32_t line) {
    if (line < 0 || line >= VRT_CMD_LINES) return {};
    return FieldText(rec.cmdLines[line], VRT_CMD_SIZE);
}

int32_t NormalizeListIndex(int32_t index, int32_t maxIndex) { return index < 0 || index > maxIndex ? 0 : index; }

void SetDataEntry(PortRecord& rec, int32_t entry) { rec.data = entry == 0 ? 7 : 8; }
void SetStopEntry(PortRecord& rec, int32_t entry) { rec.stop = entry == 0 ? 0 : 2; }
void SetParityEntry(PortRecord& rec, int32_t entry) {
    rec.parity = kParityListCodes[NormalizeListIndex(entry, kParityEntries - 1)];
}
void SetProtocolEntry(PortRecord& rec, int32_t entry) { rec.protocol = NormalizeListIndex(entry, 2); }
void SetRptErrEntry(PortRecord& rec, int32_t entry) { rec.rptErr = NormalizeListIndex(entry, 10); }
void SetModemRepeatEntry(PortRecord& rec, int32_t entry) { rec.repeat = NormalizeListIndex(entry, 4) + 1; }

PortSettingsView BuildPortSettingsView(PortRecord& rec, CommonOptions& edited) {
    PortSettingsView v;
    v.extStateOnly = edited.StExtNo != 0;
    v.stateIsTop = edited.StTop != 0;
    v.stateShow = edited.StShow != 0;
    v.stateGRegErr = edited.StGRegErr != 0;
    v.btnCaptions = edited.BtnCaptions != 0;
    v.tstCOpen = edited.TstOpen != 0;

    v.tmStateEntry = RefreshPeriodIndex(uint32_t(edited.tmState));
    if (edited.tmState < 0 || kRefreshPeriods[v.tmStateEntry] != uint32_t(edited.tmState)) {
        v.tmStateEntry = 2;
        edited.tmState = 250;
    }

    v.baud = FormatBaud(rec.baud);
    v.stopEntry = rec.stop == 2 ? 1 : 0;
    v.dataEntry = rec.data == 7 ? 0 : 1;
    v.rptErrEntry = rec.rptErr;
    v.parityEntry = ParityIndex(rec.parity);
    v.comMode = rec.mode != 0;
    v.respTime = FormatRespTime(rec.max);
    v.protocolEntry = rec.protocol;

    v.modemYes = rec.usage != 0;
    v.modemRequest = rec.request != 0;
    v.phone = FieldText(rec.phone, sizeof rec.phone);
    v.dialCmd = FieldText(rec.cmdATD, sizeof rec.cmdATD);
    for (int32_t i = 0; i < VRT_CMD_LINES; ++i) v.cmdLines[i] = FieldText(rec.cmdLines[i], VRT_CMD_SIZE);
    v.answerTime = FormatAnswerTime(rec.tmAnswer);
    v.connectTime = FormatConnectTime(rec.tmConnect);
    if (rec.repeat < 1) rec.repeat = 1;
    v.repeatEntry = rec.repeat - 1;
    return v;
}

PortRecord& SelectedWorkRecord() { return WorkPortTable[ClampPort(dialogState.selPort)]; }

bool BlockDiffers(const void* a, const void* b, uint16_t count) {
    if (a == nullptr || b == nullptr || count == 0) return true;
    return std::memcmp(a, b, count) != 0;
}

void CopyLinkSettings(int32_t direction) {
    const bool apply = direction == kCopyApply;
    if (apply)
        CommonOptionsApplied = CommonOptionsEdited;
    else
        CommonOptionsEdited = CommonOptionsApplied;
    if (livePorts == nullptr) return;
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) {
        unsigned char* to = Bytes(apply ? livePorts[k] : WorkPortTable[k]);
        const unsigned char* from = Bytes(apply ? WorkPortTable[k] : livePorts[k]);
        std::memcpy(to + kPortBlockOffset, from + kPortBlockOffset, kPortBlockSize);
        std::memcpy(to + kModemBlockOffset, from + kModemBlockOffset, kModemBlockSize);
        std::memset(to + kRunAreaOffset, 0, kRunAreaSize);
    }
}

void CompareLinkSettings() {
    int32_t marks = 0;
    const auto scan = [&](size_t offset, size_t size, int32_t mark) {
        for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) {
            const void* live = livePorts ? Bytes(livePorts[k]) + offset : nullptr;
            if (BlockDiffers(live, Bytes(WorkPortTable[k]) + offset, uint16_t(size))) {
                marks |= mark;
                return;
            }
        }
    };
    scan(kPortBlockOffset, kPortBlockSize, kMarkPort);
    scan(kModemBlockOffset, kModemBlockSize, kMarkModem);
    dialogState.settingsMarks = marks;
    dialogState.optionMarks =
        BlockDiffers(&CommonOptionsEdited, &CommonOptionsApplied, sizeof(CommonOptions)) ? kMarkOptions : 0;
}

ChangeMarksView ChangeMarksState() {
    ChangeMarksView v;
    v.applyRaised = dialogState.settingsMarks != 0;
    v.othersRaised = dialogState.settingsMarks != 0 || dialogState.optionMarks != 0;
    v.highlighted = v.othersRaised;
    return v;
}

bool ApplyNeedsQuestion() { return dialogState.settingsMarks != 0 && IsAnyPortOpen() != 0; }

ConfigFileView ConfigFileState() {
    ConfigFileView v;
    v.global = IS_GLOBAL != 0;
    v.image = v.global ? 2 : 3;
    v.path = ConfigFileInUse();
    const char* from = v.global ? "глобальную"_cp : "локальную"_cp;
    const char* to = v.global ? "локальную"_cp : "глобальную"_cp;
    v.buttonHint = std::string("Сменить "_cp) + from + " конфигурацию на "_cp + to + " ";
    v.editHint = std::string("Используется файл \""_cp) + (v.global ? "ГЛОБАЛЬНОЙ"_cp : "Локальной"_cp) +
                 "\" конфигурации"_cp;
    return v;
}

void ToggleConfigFile() { IS_GLOBAL = IS_GLOBAL == 0 ? 1 : 0; }

}  // namespace vrt::link
