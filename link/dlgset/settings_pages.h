#pragma once
// The settings pages' rules, Qt-free: how each control's text or entry is
// read into the working copy (WorkPortTable, edited CommonOptions), what the
// controls show, the apply/undo copies and the change marks.
//
// Texts are Windows-1251. Every reader stores what it accepts into the record
// it is given and returns the text the control shows afterwards.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/dlgset/link_settings.h"
#include "vrtclnk.h"

namespace vrt::link {

// Parity list: entry 0..4 (none, even, odd, mark, space) to the parity code.
inline constexpr int32_t kParityEntries = 5;
inline constexpr uint8_t kParityListCodes[kParityEntries] = {0, 2, 1, 3, 4};
// List entry of a parity code; 1 (even) when the code is not in the list.
int32_t ParityIndex(int32_t code);

// Blocks of a PortRecord that the dialog copies and compares as raw bytes.
inline constexpr size_t kPortBlockOffset = 16;    // baud .. rptErr
inline constexpr size_t kPortBlockSize = 23;
inline constexpr size_t kModemBlockOffset = 39;   // usage .. cmdLines
inline constexpr size_t kModemBlockSize = 360;
inline constexpr size_t kRunAreaOffset = 399;     // lastOp .. reserved words
inline constexpr size_t kRunAreaSize = 64;

// The numeric rule of the dialog's fields: trimmed; empty or '-' first keeps
// the stored value; otherwise the leading decimal digits as an unsigned
// 32-bit number (text after them ignored).
struct FieldNumber {
    enum Kind { Keep, NoDigits, Number } kind = Keep;
    uint32_t value = 0;     // saturated at UINT32_MAX when overflow is set
    bool overflow = false;  // the digits did not fit 32 bits
};
FieldNumber ParseFieldNumber(std::string_view text);
// The number when the text gives one within [min, max] without overflow.
std::optional<uint32_t> AcceptFieldNumber(std::string_view text, uint32_t min, uint32_t max);

// Fixed-width texts the numeric controls show.
std::string FormatBaud(uint32_t baud);                // "%7lu"
std::string FormatRespTime(uint32_t ms);              // "%7lu"
std::string FormatAnswerTime(uint32_t ms);            // "%6lu"
std::string FormatConnectTime(uint32_t seconds);      // "%4lu"

// Free-text readers (the controls' click/leave handlers).
std::string ReadBaudText(PortRecord& rec, std::string_view text);         // 1..999999; a stored 0 becomes 19200
std::string ReadRespTimeText(PortRecord& rec, std::string_view text);     // max 1..50000
std::string ReadAnswerTimeText(PortRecord& rec, std::string_view text);   // tmAnswer 1..60000
std::string ReadConnectTimeText(PortRecord& rec, std::string_view text);  // tmConnect 1..960
std::string ReadPhoneText(PortRecord& rec, std::string_view text);        // first 48 characters
std::string ReadDialCmdText(PortRecord& rec, std::string_view text);      // first 20 characters

// Entry handlers: the stored value shown again. Baud replaces a stored 0 by
// 19200; the phone entry trims the stored number in place.
std::string BaudEntryText(PortRecord& rec);
std::string PhoneEntryText(PortRecord& rec);
std::string DialCmdEntryText(const PortRecord& rec);

// Modem command grid: cell (column, row), row 1..6, holds cmdLines entry
// column * 6 + row - 1. -1 for a cell that holds no command line.
int32_t ModemCmdLine(int32_t column, int32_t row);
// The cell editor's text: the stored line, trimmed in place.
std::string ModemCmdEditText(PortRecord& rec, int32_t line);
// Stores a cell's text (ParseCfgText, keep mark '?', limit 20) and returns the stored line.
std::string ReadModemCmdText(PortRecord& rec, int32_t line, std::string_view text);
// The stored line as the grid shows it.
std::string ModemCmdLineText(const PortRecord& rec, int32_t line);

// Selection lists. A negative index (nothing chosen), or one above maxIndex,
// becomes 0; the caller selects that entry.
int32_t NormalizeListIndex(int32_t index, int32_t maxIndex);
void SetDataEntry(PortRecord& rec, int32_t entry);         // CBPData: 7, 8
void SetStopEntry(PortRecord& rec, int32_t entry);         // CBPStop: 1, 2
void SetParityEntry(PortRecord& rec, int32_t entry);       // CBPParity
void SetProtocolEntry(PortRecord& rec, int32_t entry);     // CBProtocol
void SetRptErrEntry(PortRecord& rec, int32_t entry);       // CBRptRqErr: 0..10
void SetModemRepeatEntry(PortRecord& rec, int32_t entry);  // CBMLnkRepeat: 1..5

// What ShowPortSettings puts into the controls of pages 0, 1 and 3. Building
// it repairs the working copy where the controls cannot show a value: an
// unknown edited tmState becomes 250, a repeat below 1 becomes 1.
struct PortSettingsView {
    // page 3 options
    bool extStateOnly = false, stateIsTop = false, stateShow = false, stateGRegErr = false;
    bool btnCaptions = false, tstCOpen = false;
    int32_t tmStateEntry = 2;
    // page 0
    std::string baud;
    int32_t stopEntry = 0, dataEntry = 1, rptErrEntry = 0, parityEntry = 1, protocolEntry = 0;
    bool comMode = false;
    std::string respTime;
    // page 1
    bool modemYes = false, modemRequest = false;
    std::string phone, dialCmd;
    std::array<std::string, VRT_CMD_LINES> cmdLines;
    std::string answerTime, connectTime;
    int32_t repeatEntry = 0;
};
PortSettingsView BuildPortSettingsView(PortRecord& rec, CommonOptions& edited);

// Working copy ------------------------------------------------------------

// The record of the selected port in WorkPortTable.
PortRecord& SelectedWorkRecord();

// True when the blocks differ, either is missing or count is 0.
bool BlockDiffers(const void* a, const void* b, uint16_t count);

enum CopyDirection : int32_t { kCopyApply = 0, kCopyUndo = 1 };
// Apply: working copy to the live table (run-time areas zeroed), edited
// options to applied. Undo: the reverse (the working records' run-time areas zeroed).
void CopyLinkSettings(int32_t direction);

// Recomputes dialogState.settingsMarks and optionMarks from the data.
void CompareLinkSettings();

// The change indicator after CompareLinkSettings: yellow and raised buttons.
struct ChangeMarksView {
    bool highlighted = false;   // indicator yellow (else button face)
    bool applyRaised = false;   // SBtnPSet stands out
    bool othersRaised = false;  // SBtnPUndo, SBtnPLoad, SBtnPSave stand out
};
ChangeMarksView ChangeMarksState();

// Apply must ask first: port settings changed while some port is open.
bool ApplyNeedsQuestion();

// Which configuration file is in use, as the page shows it.
struct ConfigFileView {
    bool global = false;
    int32_t image = 3;       // image of ImgLst: 2 global, 3 local
    std::string path;        // EdFNCfg
    std::string buttonHint;  // SBtnFNCfgChg
    std::string editHint;    // EdFNCfg
};
ConfigFileView ConfigFileState();
// Switches between the local and the global file; nothing is read or written.
void ToggleConfigFile();

}  // namespace vrt::link
