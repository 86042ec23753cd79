#include "vrtcltrn/port_table.h"

#include <cstring>

#include "dlgset/link_settings.h"

namespace vrt::link {

PortRecord PortTable[VRT_PORT_COUNT];
std::atomic<uint32_t> OpenPortCount{0};

std::mutex& OpenCountLock() {
    // Never destroyed: the library's unload closes its ports after the C++
    // globals are gone.
    static std::mutex* const lock = new std::mutex;
    return *lock;
}
const void* LibraryInstance = nullptr;

namespace {
bool g_initDone = false;

void setText(char* field, size_t size, const char* text) {
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}
}  // namespace

void PortRecordDefaults(PortRecord& r, int32_t index) {
    std::memset(&r, 0, sizeof r);
    r.portIndex = index;
    r.baud = 19200;
    r.data = 8;
    r.stop = 0;
    r.parity = 2;
    r.max = 200;
    r.rptErr = 3;
    r.request = 1;
    r.tmAnswer = 250;
    r.tmConnect = 120;
    r.repeat = 2;
    setText(r.cmdATD, VRT_CMD_SIZE, "ATDP");
    setText(r.cmdLines[0], VRT_CMD_SIZE, "+++|+++ATZ0");
    setText(r.cmdLines[1], VRT_CMD_SIZE, "ATZ0|ATE0");
    setText(r.cmdLines[6], VRT_CMD_SIZE, "ATZ0|ATE0|ATL3");
    setText(r.cmdLines[8], VRT_CMD_SIZE, "AT&D0|AT&C1|AT&K0");
}

void PortSetDefaults() {
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) PortRecordDefaults(PortTable[k], k);
}

}  // namespace vrt::link

using namespace vrt::link;

extern "C" VRT_API void _vrtCL_fInit(void) {
    if (g_initDone) return;
    g_initDone = true;
    PortSetDefaults();
    try {
        LinkSettingsInit(PortTable);
    } catch (...) {
        // Out of memory while reading the configuration: the defaults stay.
    }
}

extern "C" VRT_API PortRecord* _vrtCL_fGetListParam(void) {
    _vrtCL_fInit();
    return PortTable;
}

extern "C" VRT_API PortRecord* _vrtCL_fGetAddr(int32_t port, int32_t* status) {
    int32_t code = port;
    PortRecord* record = nullptr;
    if (port < 0 || port >= VRT_PORT_COUNT) {
        code = -4;
    } else if (PortTable[port].portIndex != port) {
        code = -3;
    } else {
        record = &PortTable[port];
    }
    if (status) *status = code;
    return record;
}

extern "C" VRT_API uint32_t _vrtCL_fParamBaud(int32_t port) {
    int32_t status = 0;
    const PortRecord* record = _vrtCL_fGetAddr(port, &status);
    return record ? record->dcb.baudRate : 0;
}
