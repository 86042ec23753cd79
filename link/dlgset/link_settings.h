#pragma once
// The library's configuration: display options, the working copy of the port
// table, and the INI file they are read from and saved to.
#include <cstdint>
#include <string>

#include "vrtclnk.h"

namespace vrt::platform {
class ProfileFile;
}

namespace vrt::link {

struct CommonOptions {
    int32_t StExtNo = 0;
    int32_t StTop = 0;
    int32_t StShow = 0;
    int32_t StGRegErr = 0;
    int32_t BtnCaptions = 1;
    int32_t TstOpen = 0;
    int32_t tmState = 250;
};

extern CommonOptions CommonOptionsEdited;   // what the dialog shows and the features read
extern CommonOptions CommonOptionsApplied;  // set at start-up and by the dialog's apply
extern PortRecord WorkPortTable[VRT_PORT_COUNT];
extern PortRecord* livePorts;               // the live PortTable, null until start-up
extern uint32_t statPeriod;                 // statistics refresh period in ms
extern int32_t IS_GLOBAL;                   // 1: the global file is in use

// The section every key of the configuration lives in.
inline constexpr const char* kConfigSection = "vrtCLink";

struct ConfigFileNames {
    std::string local;   // host path with ".INI"; "" when the host path is unknown
    std::string global;  // library path with ".CFG", else /etc/vrtCLink.CFG
};
// The names for a given host, library and system folder.
ConfigFileNames MakeConfigFileNames(const std::string& hostPath, const std::string& libraryPath,
                                    const std::string& systemFolder);
// Builds the two names from the module names.
void BuildConfigFileNames();
// Puts other names in place (tests run the configuration on their own files).
void SetConfigFileNames(const ConfigFileNames& names);
const ConfigFileNames& ConfigFiles();
// The file in use: global when IS_GLOBAL is 1, else local.
const std::string& ConfigFileInUse();

// Start-up, once from _vrtCL_fInit: defaults of the options, the file names,
// IS_GLOBAL from the local file, then the configuration overlaid on `table`
// (through WorkPortTable) and the options applied.
void LinkSettingsInit(PortRecord* table);
// The same on the given file names.
void LinkSettingsInit(PortRecord* table, const ConfigFileNames& names);

// IS_GLOBAL from the local file, as loaded: "0" or "1" exactly, anything else keeps it.
void ReadIsGlobal(const platform::ProfileFile& localFile);
// IS_GLOBAL into the local file; false when it cannot be written.
bool WriteIsGlobal();

// Reads the file in use into CommonOptionsEdited and WorkPortTable; every value
// missing, not a number or out of range leaves its field as it was.
void LoadLinkSettings();
// Writes IS_GLOBAL into the local file and every setting into the file in use.
// False when a file cannot be written; `failedFile` (when given) then names it,
// the file in use when both failed, and `keptCopy` the copy that holds its old
// contents when the failed write could not even put them back. The settings
// in memory never change.
bool SaveLinkSettings(std::string* failedFile = nullptr, std::string* keptCopy = nullptr);
// The save-failure message for the library's message box (Windows-1251):
// the file, and the copy of its old contents when one was kept.
std::string SaveFailureText(const std::string& failedFile, const std::string& keptCopy);

}  // namespace vrt::link
