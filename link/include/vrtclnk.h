/* vrtCLNK — controller link library, the header that host programs include.
 *
 * Plain C interface. Texts crossing it are single-byte Windows-1251 and
 * zero-terminated. Port indices are 0..3 for COM1..COM4. Port operations
 * answer 0 (or the port index) on success, a negative result code otherwise;
 * _vrtCL_fErr2str turns a code into its text.
 */
#ifndef VRTCLNK_H
#define VRTCLNK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VRTCLNK_BUILDING)
#define VRT_API __attribute__((visibility("default")))
#else
#define VRT_API
#endif

#pragma pack(push, 1)

/* Device control block of an open port: 28 bytes, little-endian, in the
 * field order the original serial interface used. `flags` packs the line
 * switches listed below. */
typedef struct VrtDcb {
    uint32_t length;     /* always 28 */
    uint32_t baudRate;   /* baud rate in force on the device */
    uint32_t flags;      /* VRT_DCB_F_* bits */
    uint16_t reserved0;
    uint16_t xonLim;
    uint16_t xoffLim;
    uint8_t  byteSize;   /* data bits */
    uint8_t  parity;     /* 0 none, 1 odd, 2 even, 3 mark, 4 space */
    uint8_t  stopBits;   /* 0 one, 1 one and a half, 2 two */
    char     xonChar;
    char     xoffChar;
    char     errorChar;
    char     eofChar;
    char     evtChar;
    uint16_t reserved1;
} VrtDcb;

/* Bits of VrtDcb.flags. The two-bit fields hold their value at the shift. */
enum {
    VRT_DCB_F_BINARY            = 1u << 0,
    VRT_DCB_F_PARITY            = 1u << 1,
    VRT_DCB_F_OUTX_CTS_FLOW     = 1u << 2,
    VRT_DCB_F_OUTX_DSR_FLOW     = 1u << 3,
    VRT_DCB_DTR_CONTROL_SHIFT   = 4,          /* 2 bits */
    VRT_DCB_F_DSR_SENSITIVITY   = 1u << 6,
    VRT_DCB_F_TX_CONTINUE_XOFF  = 1u << 7,
    VRT_DCB_F_OUTX              = 1u << 8,
    VRT_DCB_F_INX               = 1u << 9,
    VRT_DCB_F_ERROR_CHAR        = 1u << 10,
    VRT_DCB_F_NULL              = 1u << 11,
    VRT_DCB_RTS_CONTROL_SHIFT   = 12,         /* 2 bits */
    VRT_DCB_F_ABORT_ON_ERROR    = 1u << 14
};

/* Time-outs of an open port in ms, in the original field order. */
typedef struct VrtTimeouts {
    uint32_t readInterval;
    uint32_t readTotalMultiplier;
    uint32_t readTotalConstant;
    uint32_t writeTotalMultiplier;
    uint32_t writeTotalConstant;
} VrtTimeouts;

#define VRT_PORT_COUNT      4
#define VRT_PHONE_SIZE      50
#define VRT_CMD_SIZE        22
#define VRT_CMD_LINES       12

/* The whole state of one port: 515 bytes, packed. Hosts read it through the
 * pointers of _vrtCL_fGetListParam and _vrtCL_fGetAddr. */
typedef struct PortRecord {
    int32_t  portIndex;        /*   0 */
    int32_t  phase;            /*   4  0 closed, 1 open, 2 ready, 3 output, 4 input */
    int32_t  abortEvent;       /*   8 */
    int32_t  repeatCount;      /*  12 */
    uint32_t baud;             /*  16 */
    uint8_t  data;             /*  20 */
    uint8_t  stop;             /*  21  0 one stop bit, 2 two */
    uint8_t  parity;           /*  22 */
    uint32_t max;              /*  23  controller response time, ms */
    int32_t  mode;             /*  27  non-zero: RS-485 line */
    int32_t  protocol;         /*  31 */
    int32_t  rptErr;           /*  35 */
    int32_t  usage;            /*  39  non-zero: through a modem */
    int32_t  request;          /*  43 */
    uint8_t  reserved47[4];    /*  47 */
    uint32_t tmAnswer;         /*  51  modem answer time, ms */
    uint32_t tmConnect;        /*  55  modem connect wait, s */
    int32_t  repeat;           /*  59 */
    char     phone[VRT_PHONE_SIZE];               /*  63 */
    char     cmdATD[VRT_CMD_SIZE];                /* 113 */
    char     cmdLines[VRT_CMD_LINES][VRT_CMD_SIZE]; /* 135 */
    int32_t  lastOp;           /* 399 */
    int32_t  opDone;           /* 403 */
    int32_t  lastResult;       /* 407 */
    int32_t  modemUsed;        /* 411 */
    uint32_t cntOut;           /* 415 */
    uint32_t cntInp;           /* 419 */
    uint32_t cntErrOut;        /* 423 */
    uint32_t cntErrInp;        /* 427 */
    uint32_t cntErrAnswer;     /* 431 */
    uint32_t cntNegAnswer;     /* 435 */
    uint32_t cntRq;            /* 439 */
    uint32_t cntErrRq;         /* 443 */
    uint32_t tmRq;             /* 447 */
    uint32_t reserved451[3];   /* 451 */
    int32_t  hCom;             /* 463  device handle (a file descriptor here) */
    VrtTimeouts timeouts;      /* 467 */
    VrtDcb   dcb;              /* 487 */
} PortRecord;

#pragma pack(pop)

/* Start-up and look-ups */
VRT_API void        _vrtCL_fInit(void);
VRT_API PortRecord* _vrtCL_fGetListParam(void);
VRT_API PortRecord* _vrtCL_fGetAddr(int32_t port, int32_t* status);
VRT_API uint32_t    _vrtCL_fParamBaud(int32_t port);

/* Frames */
VRT_API uint16_t _vrtCL_fNetFrmBufOut(const uint8_t* payload, uint8_t* frame, uint16_t len, int32_t protocol);
VRT_API int32_t  _vrtCL_fNetExtractInpData(const uint8_t* in, uint8_t* out, uint16_t inLen, uint16_t* outLen, int32_t protocol);

/* Plain-port operations */
VRT_API uint32_t _vrtCL_fCalcTimeOut(uint16_t chars, uint32_t baud);
VRT_API int32_t  _vrtCL_fComOpen(int32_t port);
VRT_API void     _vrtCL_fComClose(int32_t port);
VRT_API void     _vrtCL_fComCloseAll(void);
VRT_API int32_t  _vrtCL_fComIsOpen(int32_t port);
VRT_API int32_t  _vrtCL_fComClear(int32_t port);
VRT_API int32_t  _vrtCL_fComSetEvent(int32_t port, int32_t value);
VRT_API int32_t  _vrtCL_fComWrite(int32_t port, const uint8_t* payload, uint16_t len, uint16_t* written, int32_t noWait);
VRT_API int32_t  _vrtCL_fComRead(int32_t port, uint8_t* buf, uint16_t bufLen, uint16_t* outLen, int32_t waitMode);
VRT_API int32_t  _vrtCL_fComRequest(int32_t port, const uint8_t* req, uint16_t reqLen, uint8_t* ans, uint16_t ansLen, uint16_t* outLen);

/* Result codes and texts */
VRT_API const char* _vrtCL_fErr2str(int32_t code);
VRT_API int32_t     _vrtCL_fChkErrType(int32_t code);
VRT_API int32_t     _vrtCL_fCnvErrAnswer(int32_t status);
VRT_API int32_t     _vrtCL_fCnvErrExtractInpData(int32_t parseCode);
VRT_API const char* _vrtCL_fPhase2str(int32_t port);
VRT_API const char* _vrtCL_fOp2str(int32_t op);

/* Link port operations (modem-aware) */
VRT_API int32_t _vrtCL_fOpen(int32_t port);
VRT_API void    _vrtCL_fClose(int32_t port);
VRT_API int32_t _vrtCL_fIsOpen(int32_t port);
VRT_API int32_t _vrtCL_fClear(int32_t port);
VRT_API int32_t _vrtCL_fSetEvent(int32_t port, int32_t value);
VRT_API int32_t _vrtCL_fWrite(int32_t port, const uint8_t* data, uint16_t len, uint16_t* written, int32_t noWait);
VRT_API int32_t _vrtCL_fRead(int32_t port, uint8_t* buf, uint16_t bufLen, uint16_t* outLen, int32_t waitMode);
VRT_API int32_t _vrtCL_fRequest(int32_t port, const uint8_t* req, uint16_t reqLen, uint8_t* ans, uint16_t ansLen, uint16_t* outLen);
VRT_API int32_t _vrtCL_fSetPhone(int32_t port, const char* phone);

/* Modem */
VRT_API int32_t _vrtCL_fMDMWork(PortRecord* record, int32_t functionNo);

/* Settings */
VRT_API int32_t _vrtCL_fDlgSetup(int32_t mode, int32_t port);
VRT_API int32_t _vrtCL_fESetParam(int32_t port, int32_t baud, int32_t dataBits, int32_t stopBits, int32_t parity,
                                  int32_t respTimeMs, int32_t mode, int32_t useModem, int32_t protocol);
VRT_API int32_t _vrtCL_fEGetParam(int32_t port, int32_t* baud, int32_t* dataBits, int32_t* stopBits, int32_t* parity,
                                  int32_t* respTimeMs, int32_t* mode, int32_t* useModem, int32_t* protocol);
VRT_API int32_t _vrtCL_fGetProtocol(int32_t port, char* buffer, int32_t length);

/* About box */
VRT_API void _vrt_about(const char* product, const char* version, const char* description, const char* authorLine);

/* Window instances: non-null while the window exists. */
VRT_API extern void* _FrmDlgSet;
VRT_API extern void* _FrmMDMWork;
VRT_API extern void* _FrmAbout;

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The layout hosts rely on, checked in every C and C++ dialect a host may
 * compile with: static_assert from C++11, _Static_assert from C11, else an
 * array whose size turns negative when the check fails. */
#if defined(__cplusplus) && __cplusplus >= 201103L
#define VRT_LAYOUT_CHECK(cond, text) static_assert(cond, text)
#elif !defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define VRT_LAYOUT_CHECK(cond, text) _Static_assert(cond, text)
#else
#define VRT_LAYOUT_CHECK_NAME2(line) vrt_layout_check_##line
#define VRT_LAYOUT_CHECK_NAME(line) VRT_LAYOUT_CHECK_NAME2(line)
#define VRT_LAYOUT_CHECK(cond, text) typedef char VRT_LAYOUT_CHECK_NAME(__LINE__)[(cond) ? 1 : -1]
#endif

VRT_LAYOUT_CHECK(sizeof(VrtDcb) == 28, "DCB is 28 bytes");
VRT_LAYOUT_CHECK(sizeof(VrtTimeouts) == 20, "time-outs are 5 words");
VRT_LAYOUT_CHECK(sizeof(PortRecord) == 515, "PortRecord is 515 bytes");
VRT_LAYOUT_CHECK(offsetof(PortRecord, portIndex) == 0, "PortRecord.portIndex at 0");
VRT_LAYOUT_CHECK(offsetof(PortRecord, phase) == 4, "PortRecord.phase at 4");
VRT_LAYOUT_CHECK(offsetof(PortRecord, abortEvent) == 8, "PortRecord.abortEvent at 8");
VRT_LAYOUT_CHECK(offsetof(PortRecord, repeatCount) == 12, "PortRecord.repeatCount at 12");
VRT_LAYOUT_CHECK(offsetof(PortRecord, baud) == 16, "PortRecord.baud at 16");
VRT_LAYOUT_CHECK(offsetof(PortRecord, data) == 20, "PortRecord.data at 20");
VRT_LAYOUT_CHECK(offsetof(PortRecord, stop) == 21, "PortRecord.stop at 21");
VRT_LAYOUT_CHECK(offsetof(PortRecord, parity) == 22, "PortRecord.parity at 22");
VRT_LAYOUT_CHECK(offsetof(PortRecord, max) == 23, "PortRecord.max at 23");
VRT_LAYOUT_CHECK(offsetof(PortRecord, mode) == 27, "PortRecord.mode at 27");
VRT_LAYOUT_CHECK(offsetof(PortRecord, protocol) == 31, "PortRecord.protocol at 31");
VRT_LAYOUT_CHECK(offsetof(PortRecord, rptErr) == 35, "PortRecord.rptErr at 35");
VRT_LAYOUT_CHECK(offsetof(PortRecord, usage) == 39, "PortRecord.usage at 39");
VRT_LAYOUT_CHECK(offsetof(PortRecord, request) == 43, "PortRecord.request at 43");
VRT_LAYOUT_CHECK(offsetof(PortRecord, reserved47) == 47, "PortRecord.reserved47 at 47");
VRT_LAYOUT_CHECK(offsetof(PortRecord, tmAnswer) == 51, "PortRecord.tmAnswer at 51");
VRT_LAYOUT_CHECK(offsetof(PortRecord, tmConnect) == 55, "PortRecord.tmConnect at 55");
VRT_LAYOUT_CHECK(offsetof(PortRecord, repeat) == 59, "PortRecord.repeat at 59");
VRT_LAYOUT_CHECK(offsetof(PortRecord, phone) == 63, "PortRecord.phone at 63");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cmdATD) == 113, "PortRecord.cmdATD at 113");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cmdLines) == 135, "PortRecord.cmdLines at 135");
VRT_LAYOUT_CHECK(offsetof(PortRecord, lastOp) == 399, "PortRecord.lastOp at 399");
VRT_LAYOUT_CHECK(offsetof(PortRecord, opDone) == 403, "PortRecord.opDone at 403");
VRT_LAYOUT_CHECK(offsetof(PortRecord, lastResult) == 407, "PortRecord.lastResult at 407");
VRT_LAYOUT_CHECK(offsetof(PortRecord, modemUsed) == 411, "PortRecord.modemUsed at 411");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntOut) == 415, "PortRecord.cntOut at 415");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntInp) == 419, "PortRecord.cntInp at 419");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntErrOut) == 423, "PortRecord.cntErrOut at 423");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntErrInp) == 427, "PortRecord.cntErrInp at 427");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntErrAnswer) == 431, "PortRecord.cntErrAnswer at 431");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntNegAnswer) == 435, "PortRecord.cntNegAnswer at 435");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntRq) == 439, "PortRecord.cntRq at 439");
VRT_LAYOUT_CHECK(offsetof(PortRecord, cntErrRq) == 443, "PortRecord.cntErrRq at 443");
VRT_LAYOUT_CHECK(offsetof(PortRecord, tmRq) == 447, "PortRecord.tmRq at 447");
VRT_LAYOUT_CHECK(offsetof(PortRecord, reserved451) == 451, "PortRecord.reserved451 at 451");
VRT_LAYOUT_CHECK(offsetof(PortRecord, hCom) == 463, "PortRecord.hCom at 463");
VRT_LAYOUT_CHECK(offsetof(PortRecord, timeouts) == 467, "PortRecord.timeouts at 467");
VRT_LAYOUT_CHECK(offsetof(PortRecord, dcb) == 487, "PortRecord.dcb at 487");
VRT_LAYOUT_CHECK(offsetof(PortRecord, dcb) + offsetof(VrtDcb, baudRate) == 491, "VrtDcb.baudRate at 491 of PortRecord");
VRT_LAYOUT_CHECK(offsetof(VrtDcb, xonLim) == 14, "VrtDcb.xonLim at 14");
VRT_LAYOUT_CHECK(offsetof(VrtDcb, byteSize) == 18, "VrtDcb.byteSize at 18");
VRT_LAYOUT_CHECK(offsetof(VrtDcb, evtChar) == 25, "VrtDcb.evtChar at 25");

#endif /* VRTCLNK_H */
