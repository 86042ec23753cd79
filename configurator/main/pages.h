#pragma once
// The device, tag and project pages as values: what each control shows, and
// the rules that fill a page from its object and store it back. The Qt form
// keeps these values in step with its controls; everything here is Qt-free.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardwarerw/project_model.h"

namespace vrt::cfg {

// The items of the drop-down lists, in Windows-1251.
const std::vector<std::string>& PortItems();
const std::vector<std::string>& SpeedItems();
const std::vector<std::string>& ParityItems();
const std::vector<std::string>& ProtocolItems();
const std::vector<std::string>& BlockSizeItems();
const std::vector<std::string>& SpecModeItems();
const std::vector<std::string>& RepPauseItems();
const std::vector<std::string>& VarTypeItems();
const std::vector<std::string>& RWTypeItems();
const std::vector<std::string>& RWModeItems();
// The three-line hint of the write-mode list.
const std::string& RWModeHint();

// Ranges of the spin edits.
inline constexpr int kRepNumMax = 1000;
inline constexpr int kNumDialMax = 1000;
inline constexpr int kNumVarMax = 256;
inline constexpr int kWRepNumMax = 256;

// List indexes are 0-based; -1 means no selection.
struct DevicePage {
    std::string name;       // _Name
    int port = -1;          // PortCBox
    int speed = -1;         // SpeedCBox
    int parity = -1;        // ChetnCBox
    std::string dataBits;   // _Bits (read only)
    std::string stopBits;   // _StopBit (read only)
    std::string netNumber;  // _NetNum
    int protocol = -1;      // ProtocolCBox
    int blockSize = -1;     // BlockSizeCBox
    int specMode = -1;      // UseSpecMCBox
    int repNum = 0;         // RepNumEdit
    int repPause = -1;      // RepPauseCBox
    bool useModem = false;  // UseModemCBox
    std::string phone;      // TelNumEdit
    int numDial = 0;        // _NumDial
    bool modemEnabled = false;  // the modem panel's labels and controls
};

struct TagPage {
    std::string name;       // _TagName
    int numVar = 0;         // NumVars
    int varType = -1;       // _VarType
    int rwType = -1;        // _RWType
    int rwMode = -1;        // _RWMode
    int wRepNum = 0;        // _WRepNum (shown, never stored)
    bool wRepNumEnabled = true;
    bool writeModeVisible = false;  // the group "Режим записи"
    std::string path;       // _VarPath
    std::string id;         // _VarID
};

struct ProjectPage {
    std::string name;         // _projectName
    std::string description;  // _projectDesc
};

// The index of the item whose text is `value` in decimal, -1 when none is.
int IndexOfNumber(const std::vector<std::string>& items, int32_t value);

// Fills every device control, then the modem controls.
void FillDeviceControls(DevicePage& page, const TDevice& device);
// The modem panel is usable exactly when the modem box is ticked.
void UpdateModemControls(DevicePage& page);
// Stores the page into the device. A list without a selection, and a spin
// edit that still shows the value its field was clamped to, leave their field
// as it is, so browsing never changes a value the controls cannot show. A
// whole-number text that does not convert leaves its field too; the first
// such text is returned, so the caller can report it.
struct StoreResult {
    bool changed = false;                   // some field took a new value
    std::optional<std::string> badNumber;  // the first text that is no whole number
    std::optional<std::string> badName;    // why a new name was refused
    // The refused name is one that typing passes through (an edit emptied
    // to be retyped, a name that a further letter makes unique): it is kept
    // out of the model at once, but told only when the edit is left.
    bool badNameMayWait = false;
};

// A new name that DeviceNameRefusal refuses, or that `taken` says the file
// would take for another device's (their sections would be one), leaves the
// name as it was.
using NameTaken = std::function<bool(std::string_view name)>;
StoreResult StoreDeviceControls(const DevicePage& page, TDevice& device, const NameTaken& taken = {});

// Fills the tag controls. Once a tag with no write repeats was shown, the
// write-repeat spin edit shows 2 and stays disabled (`wRepNumDisabled`
// carries that across fills).
void FillTagControls(TagPage& page, const TTagOPC& tag, bool& wRepNumDisabled);
// Stores name, variable number, type, access and write mode, with the same
// rules for lists without a selection and clamped spin values as above. A new
// name that TagNameRefusal refuses, or that `taken` says another tag of its
// variables section holds, leaves the name as it was.
StoreResult StoreTagControls(const TagPage& page, TTagOPC& tag, const NameTaken& taken = {});

// The conversion error for a text that is not a whole number.
std::string ConversionErrorText(std::string_view text);

// Names keep out the characters their ".tag" file would split them at: ','
// in a device name (the device list is comma separated) and '=' in a tag
// name (the tag's key ends at it). A tag name is a key, and keys are read
// without blanks at their ends, so it loses those blanks (and control
// characters) here, after the cut to its 50 characters.
std::string CleanDeviceName(std::string_view text);
std::string CleanTagName(std::string_view text);
// A tag name that CleanTagName left and that its key in the file could not
// hold: an empty key is never written, a line that starts with ';' is a
// comment and one that starts with '[' may read as a section header. The
// message that refuses it, or nothing for a name the file holds.
std::optional<std::string> TagNameRefusal(std::string_view name);

// How the file tells tag keys and variables sections apart: the text as it
// is written (on one line), without the blanks at its ends and without
// regard to letter case, Cyrillic included. Two tags whose keys match in one
// section are one key of the file; devices whose sections match share them.
std::string TagKey(std::string_view tagName);
std::string VarsSectionKey(std::string_view deviceName);
// The message that refuses a tag name another tag of the section holds.
std::string TakenTagNameRefusal(std::string_view name);

// A device name (after CleanDeviceName) that the file could not bring back
// as it is: a blank name (as the only device it leaves the device list
// empty), and a name with a control character (a tab or a line break is
// written as a blank). The message that refuses it, or nothing.
std::optional<std::string> DeviceNameRefusal(std::string_view name);
// The message that refuses a device name whose sections another device's are.
std::string TakenDeviceNameRefusal(std::string_view name);

}  // namespace vrt::cfg
