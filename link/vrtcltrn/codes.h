#pragma once
// The library's result codes and the texts of codes, port phases and
// operations (_vrtCL_fErr2str, _vrtCL_fChkErrType, _vrtCL_fCnvErrAnswer,
// _vrtCL_fCnvErrExtractInpData, _vrtCL_fPhase2str, _vrtCL_fOp2str).
#include <cstdint>

#include "vrtclnk.h"

namespace vrt::link {

// Result codes: 0 (or a port index) is success, -1..-55 failures.
enum ResultCode : int32_t {
    kOk = 0,
    kErrInternal = -1,
    kErrGeneral = -2,
    kErrDevice = -3,          // record does not belong to the port
    kErrPortRange = -4,
    kErrNoDevice = -5,
    kErrOpen = -6,
    kErrSetParams = -7,
    kErrClosed = -8,
    kErrOutput = -9,
    kErrInput = -10,
    kErrOutputTimeout = -11,
    kErrInputTimeout = -12,
    kErrBusy = -13,
    kErrDataDescription = -14,
    kErrBufferSize = -15,
    kErrAnswerCut = -16,
    kErrAnswerEmpty = -17,
    kErrOtherController = -18,
    kErrOtherCommand = -19,
    kErrBadAnswer = -20,
    kErrCtlDeferred = -21,     // controller status 2; statuses 2..15 map to -21..-34
    kErrCtlBusy = -22,
    kErrCtlLast = -34,
    kErrParseArguments = -35,  // parse codes 1..7 map to -35..-41
    kErrParseTooShort = -41,
    kErrModemLine = -42,
    kErrModemSilent = -43,
    kErrModemNotFound = -44,
    kErrModemConnect = -45,
    kErrModemParams = -46,
    kErrNoWorkData = -47,
    kErrNotImplemented = -48,
    kErrNotSupported = -49,
    kErrFunctionNo = -50,
    kErrAborted = -51,
    kErrPortOpenParams = -52,
    kErrBadParam = -53,
    kErrLogOpen = -54,
    kErrLogWrite = -55,
};

inline constexpr int32_t kLowestResultCode = -55;

// PortRecord::lastOp values.
enum PortOperation : int32_t {
    kOpNone = 0,
    kOpOpen = 1,
    kOpClose = 2,
    kOpWrite = 3,
    kOpRead = 4,
    kOpAnalysis = 5,
};

// PortRecord::phase values (texts exist up to 8; the library enters 0..4).
enum PortPhase : int32_t {
    kPhaseClosed = 0,
    kPhaseOpen = 1,
    kPhaseReady = 2,
    kPhaseOutput = 3,
    kPhaseInput = 4,
    kPhaseError = 8,
};

}  // namespace vrt::link
