// The host's way to set and read a port's main settings without the dialog.
// All three work on the live port table, never on the dialog's working copy.
#include <cstring>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/settings_pages.h"
#include "vrtclnk.h"

namespace {

using namespace vrt::link;

constexpr int32_t kErrPortOpen = -52;   // "Нельзя менять параметры открытого устройства!"
constexpr int32_t kErrBadValue = -53;   // "Неверно задаано значение одного из параметров!"

// The record's eight settings in the setter's storage form.
struct MainSettings {
    uint32_t baud;
    uint8_t data;
    uint8_t stop;
    uint8_t parity;
    uint32_t max;
    int32_t mode;
    int32_t usage;
    int32_t protocol;

    bool operator==(const MainSettings&) const = default;
};

MainSettings ReadMain(const PortRecord& r) {
    return {r.baud, r.data, r.stop, r.parity, r.max, r.mode, r.usage, r.protocol};
}

void WriteMain(PortRecord& r, const MainSettings& s) {
    r.baud = s.baud;
    r.data = s.data;
    r.stop = s.stop;
    r.parity = s.parity;
    r.max = s.max;
    r.mode = s.mode;
    r.usage = s.usage;
    r.protocol = s.protocol;
}

const char* const kProtocolNames[3] = {"VortanBus [ASCII] 5040h", "VortanBus [RTU]", "MODBUS [RTU]"};

}  // namespace

extern "C" VRT_API int32_t _vrtCL_fESetParam(int32_t port, int32_t baud, int32_t dataBits, int32_t stopBits,
                                             int32_t parity, int32_t respTimeMs, int32_t mode, int32_t useModem,
                                             int32_t protocol) {
    _vrtCL_fInit();
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (status < 0 || rec == nullptr) return status < 0 ? status : -4;
    if (rec->phase != 0) return kErrPortOpen;

    MainSettings s = ReadMain(*rec);
    // Checked in this order; the first refused value ends the call, nothing stored.
    if (baud != 0) {
        if (uint32_t(baud) >= 1000000u) return kErrBadValue;
        s.baud = uint32_t(baud);
    }
    if (dataBits != 0) {
        if (dataBits != 7 && dataBits != 8) return kErrBadValue;
        s.data = uint8_t(dataBits);
    }
    if (stopBits != 0) {
        if (stopBits != 1 && stopBits != 2) return kErrBadValue;
        s.stop = stopBits == 1 ? 0 : 2;
    }
    if (parity != 0) {
        if (parity < 0 || parity > kParityEntries) return kErrBadValue;
        s.parity = kParityListCodes[parity - 1];
    }
    if (respTimeMs != 0) {
        if (uint32_t(respTimeMs) > 20000u) return kErrBadValue;
        s.max = uint32_t(respTimeMs);
    }
    if (mode != 0) {
        if (mode < 0 || mode > 2) return kErrBadValue;
        s.mode = mode - 1;
    }
    if (protocol != 0) {
        if (protocol < 0 || protocol > 3) return kErrBadValue;
        s.protocol = protocol - 1;
    }
    if (useModem != 0) {
        if (useModem < 0 || useModem > 2) return kErrBadValue;
        s.usage = useModem - 1;
    }

    // The dialog shows the live table changed under its working copy.
    if (!(s == ReadMain(*rec))) dialogState.settingsMarks |= kMarkPort;
    WriteMain(*rec, s);
    return status;
}

extern "C" VRT_API int32_t _vrtCL_fEGetParam(int32_t port, int32_t* baud, int32_t* dataBits, int32_t* stopBits,
                                             int32_t* parity, int32_t* respTimeMs, int32_t* mode,
                                             int32_t* useModem, int32_t* protocol) {
    _vrtCL_fInit();
    int32_t status = 0;
    const PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (status < 0 || rec == nullptr) return status < 0 ? status : -4;

    if (baud) *baud = int32_t(rec->baud);
    if (dataBits) *dataBits = rec->data;
    if (stopBits) *stopBits = rec->stop == 0 ? 1 : rec->stop == 2 ? 2 : 0;
    if (parity) {
        int32_t entry = kParityEntries;  // 6 when the code is not in the list
        for (int32_t i = 0; i < kParityEntries; ++i)
            if (kParityListCodes[i] == rec->parity) {
                entry = i;
                break;
            }
        *parity = entry + 1;
    }
    if (respTimeMs) *respTimeMs = int32_t(rec->max);
    if (mode) *mode = rec->mode + 1;
    if (useModem) *useModem = rec->usage + 1;
    if (protocol) *protocol = rec->protocol + 1;
    return status;
}

extern "C" VRT_API int32_t _vrtCL_fGetProtocol(int32_t port, char* buffer, int32_t length) {
    _vrtCL_fInit();
    if (buffer) buffer[0] = '\0';
    int32_t status = 0;
    const PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (status < 0 || rec == nullptr) return status < 0 ? status : -4;

    const int32_t index = rec->protocol;
    // Only a host writing the record directly can leave an index without a
    // name; it gets the "value not allowed" code rather than a stray pointer.
    if (index < 0 || index > 2) return kErrBadValue;
    if (buffer == nullptr) return index;

    const char* name = kProtocolNames[index];
    const int32_t nameLen = int32_t(std::strlen(name));
    const int32_t count = length == 0 ? nameLen : length < 0 ? 0 : (length < nameLen ? length : nameLen);
    if (count <= 0) return kErrBadValue;
    std::memcpy(buffer, name, size_t(count));
    buffer[count] = '\0';
    return index;
}
