#pragma once
// The library's configuration: display options, the working copy of the port
// table, and the INI file they are read from and saved to.
#include <cstdint>
#include <string>

#include "vrtclnk.h"

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

struct ConfigFileNames {
    std::string local;   // host path with ".INI"
    std::string global;  // library path with ".CFG", else /etc/vrtCLink.CFG
};
// Builds the two names from the module names.
void BuildConfigFileNames();
const ConfigFileNames& ConfigFiles();
// The file in use: global when IS_GLOBAL is 1, else local.
const std::string& ConfigFileInUse();

void LinkSettingsInit(PortRecord* table);
void LoadLinkSettings();
void SaveLinkSettings();

}  // namespace vrt::link
