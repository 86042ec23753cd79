#include "vrtcltrn/link_ops.h"

#include <cstring>

#include "paramtext/param_text.h"
#include "vrtclnk.h"
#include "vrtcltrn/codes.h"

using namespace vrt::link;

extern "C" VRT_API int32_t _vrtCL_fOpen(int32_t port) {
    const int32_t opened = _vrtCL_fComOpen(port);
    if (opened < 0) return opened;
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec || rec->usage == 0) return opened;
    const int32_t dialled = _vrtCL_fMDMWork(rec, 1);
    if (dialled < 0) {
        _vrtCL_fClose(port);
        return dialled;
    }
    return opened;
}

extern "C" VRT_API void _vrtCL_fClose(int32_t port) {
    if (_vrtCL_fComIsOpen(port) == 1) {
        int32_t status = 0;
        PortRecord* rec = _vrtCL_fGetAddr(port, &status);
        if (rec && rec->usage != 0) _vrtCL_fMDMWork(rec, 2);
    }
    _vrtCL_fComClose(port);
}

extern "C" VRT_API int32_t _vrtCL_fIsOpen(int32_t port) { return _vrtCL_fComIsOpen(port); }

extern "C" VRT_API int32_t _vrtCL_fClear(int32_t port) { return _vrtCL_fComClear(port); }

extern "C" VRT_API int32_t _vrtCL_fSetEvent(int32_t port, int32_t value) { return _vrtCL_fComSetEvent(port, value); }

extern "C" VRT_API int32_t _vrtCL_fWrite(int32_t port, const uint8_t* data, uint16_t len, uint16_t* written,
                                         int32_t noWait) {
    return _vrtCL_fComWrite(port, data, len, written, noWait);
}

extern "C" VRT_API int32_t _vrtCL_fRead(int32_t port, uint8_t* buf, uint16_t bufLen, uint16_t* outLen,
                                        int32_t waitMode) {
    return _vrtCL_fComRead(port, buf, bufLen, outLen, waitMode);
}

extern "C" VRT_API int32_t _vrtCL_fRequest(int32_t port, const uint8_t* req, uint16_t reqLen, uint8_t* ans,
                                           uint16_t ansLen, uint16_t* outLen) {
    return _vrtCL_fComRequest(port, req, reqLen, ans, ansLen, outLen);
}

extern "C" VRT_API int32_t _vrtCL_fSetPhone(int32_t port, const char* phone) {
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return status;
    if (!phone || !*phone) {
        std::memset(rec->phone, 0, sizeof rec->phone);
        return port;
    }
    // Counted before trimming, and never past the first character too many.
    const size_t length = strnlen(phone, kMaxPhoneLength + 1);
    if (length > kMaxPhoneLength) return kErrModemLine;
    char number[VRT_PHONE_SIZE] = {};
    std::memcpy(number, phone, length);
    StrTrim(number);
    std::memset(rec->phone, 0, sizeof rec->phone);
    std::memcpy(rec->phone, number, std::strlen(number));
    return port;
}
