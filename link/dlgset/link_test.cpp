// The link test's rules and state machine: the test request, the slave's
// reply, the test page's fields, and the master and slave loops over the
// exported port operations.
#include "link/dlgset/link_test.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/settings_pages.h"
#include "link/paramtext/param_text.h"
#include "platform/clock.h"
#include "platform/cp1251.h"

namespace vrt::link {

using namespace vrt::literals;

LinkTestParams TestParams;

namespace {

constexpr uint8_t kCmdRead = 2;      // VortanBus: read data
constexpr uint8_t kFnReadRegs = 3;   // MODBUS: read holding registers
constexpr uint16_t kMaxReqSize = 1024;
constexpr uint32_t kMaxAutoCount = 100000;

// The test's own waits sleep in slices this short, processing messages
// between them, so the dialog stays live and a stop is seen at once.
constexpr uint32_t kWaitSliceMs = 10;

// Controller statuses a slave reply carries in the high nibble of byte 1.
constexpr uint8_t kStatusOk = 0x10;
constexpr uint8_t kStatusBadCommand = 0x40;
constexpr uint8_t kStatusBadAddress = 0x50;
constexpr uint8_t kStatusBadSize = 0x80;

// Runs are numbered as they start; every run up to runsAbandoned stops.
uint32_t runsStarted = 0;
uint32_t runsAbandoned = 0;

std::string FormatUnsigned(const char* fmt, uint32_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, static_cast<unsigned long>(value));
    return buf;
}

}  // namespace

void BuildTestFrame(const LinkTestParams& p, int32_t protocol, uint8_t frame[kTestFrameSize]) {
    frame[0] = p.netAddr;
    if (protocol >= 2) {
        // MODBUS sends its words high byte first.
        frame[1] = kFnReadRegs;
        frame[2] = static_cast<uint8_t>(p.startAddr >> 8);
        frame[3] = static_cast<uint8_t>(p.startAddr);
        frame[4] = static_cast<uint8_t>(p.reqSize >> 8);
        frame[5] = static_cast<uint8_t>(p.reqSize);
    } else {
        frame[1] = kCmdRead;
        frame[2] = static_cast<uint8_t>(p.startAddr);
        frame[3] = static_cast<uint8_t>(p.startAddr >> 8);
        frame[4] = static_cast<uint8_t>(p.reqSize);
        frame[5] = static_cast<uint8_t>(p.reqSize >> 8);
    }
}

uint16_t BuildSlaveReply(uint8_t* buf, uint16_t received, const uint8_t testFrame[kTestFrameSize]) {
    // A request shorter than the test request must not be judged by what an
    // earlier one left in the buffer: its missing bytes count as zero.
    if (received < kTestFrameSize) std::memset(buf + received, 0, kTestFrameSize - received);

    // The size is read little-endian whatever the protocol, as the slave of
    // the original test did.
    const uint32_t size = buf[4] + 256u * buf[5];
    uint8_t status;
    if (buf[1] != testFrame[1]) {
        status = kStatusBadCommand;
    } else if (buf[2] != testFrame[2] || buf[3] != testFrame[3]) {
        status = kStatusBadAddress;
    } else if (size == 0 || size > kMaxReqSize) {
        status = kStatusBadSize;
    } else {
        buf[1] = static_cast<uint8_t>(buf[1] | kStatusOk);
        std::memset(buf + kTestFrameSize, 0, size);
        return static_cast<uint16_t>(kTestFrameSize + size);
    }
    buf[1] = static_cast<uint8_t>(buf[1] | status);
    return 4;
}

uint8_t ParseNetAddr(const char* text, uint8_t stored) {
    const auto v = AcceptFieldNumber(text ? text : "", 1, 254);
    return v ? static_cast<uint8_t>(*v) : stored;
}

uint16_t ParseMsgSize(const char* text, uint16_t stored) {
    const FieldNumber n = ParseFieldNumber(text ? text : "");
    switch (n.kind) {
        case FieldNumber::Keep: return stored;
        case FieldNumber::NoDigits: return 1;
        case FieldNumber::Number: break;
    }
    if (n.value == 0) return 1;
    if (n.overflow || n.value > kMaxReqSize) return kMaxReqSize;
    return static_cast<uint16_t>(n.value);
}

uint16_t ParseSlaveTime(const char* text, uint16_t stored) {
    const auto v = AcceptFieldNumber(text ? text : "", 1, 50000);
    return v ? static_cast<uint16_t>(*v) : stored;
}

std::string FormatNetAddr(uint8_t value) { return FormatUnsigned("%4lu", value); }
std::string FormatMsgSize(uint16_t value) { return FormatUnsigned("%5lu", value); }
std::string FormatSlaveTime(uint16_t value) { return FormatUnsigned("%7lu", value); }

int32_t ChooseAutoMode(int32_t index, const char* itemText, LinkTestParams& params) {
    if (index < 0) index = 0;
    params.autoMode = index;
    if (index >= 2 && itemText) {
        // The count items are written with digit groups (" 100 000").
        std::vector<char> digits(itemText, itemText + std::strlen(itemText) + 1);
        StrRemoveBlanks(digits.data());
        uint64_t value = 0;
        bool number = digits[0] != '\0';
        for (const char* c = digits.data(); *c && number; ++c) {
            const auto u = static_cast<unsigned char>(*c);
            if (u < '0' || u > '9' || value > kMaxAutoCount) number = false;
            else value = value * 10 + (u - '0');
        }
        if (number && value >= 1 && value <= kMaxAutoCount) params.autoCount = static_cast<uint32_t>(value);
    }
    return index;
}

TestButtonLook ComputeTestButton(bool testRunning, bool portOpen) {
    if (testRunning) return {10, "Остановить тест"_cp};
    if (portOpen) return {8, "Закрыть порт"_cp};
    return {9, "Открыть порт"_cp};
}

DlgColour TestPanelColour(bool testButtonBusy, bool stopRequest, bool testRunning) {
    if (testButtonBusy || stopRequest) return DlgColour::InfoBk;
    if (testRunning) return DlgColour::Lime;
    return DlgColour::BtnFace;
}

const char* MsgSizeHint(int32_t protocol) {
    return protocol >= 2 ? "Число регистров для чтения [2..64] "_cp : "Размер запрашиваемых данных [1..1024] "_cp;
}

// State machine ----------------------------------------------------------

namespace {

// The port's record, or null with `status` set to the look-up's negative code.
PortRecord* LookUp(int32_t port, int32_t& status) {
    status = 0;
    PortRecord* r = _vrtCL_fGetAddr(port, &status);
    if (r == nullptr && status >= 0) status = -4;
    if (status < 0) return nullptr;
    return r;
}

}  // namespace

void LinkTest::RunTest(int32_t op) {
    DialogState& st = dialogState;
    if (st.testRunning) {
        ui_.ShowTestPanelColour();
        ui_.ProcessMessages();
        return;
    }
    const int32_t port = st.selPort;
    int32_t status = 0;
    PortRecord* rec = LookUp(port, status);
    st.testPort = port;

    bool run = false;
    if (rec) {
        if (_vrtCL_fIsOpen(port) > 0 && st.openAtCall[port]) {
            // The host's port: the test never touches it.
            ui_.Message(kMsgOk, kIconWarning, port, kTextPortNotMine, "\nНе буду c ним работать!"_cp);
        } else {
            if (_vrtCL_fIsOpen(port) <= 0 && CommonOptionsEdited.TstOpen) OpenCloseTestPort(true);
            if (_vrtCL_fIsOpen(port) <= 0) ui_.Message(kMsgOk, kIconInformation, port, kTextPortClosed, nullptr);
            else run = op >= kTestAuto && op <= kTestReceive;
        }
    } else {
        ui_.Message(kMsgOk, kIconWarning, port, status, nullptr);
    }

    if (run) {
        run_ = ++runsStarted;
        st.testRunning = 1;
        st.testOp = op;
        st.stopRequest = 0;
        ui_.ShowPageHelp();
        ui_.EnableDialogControls();
        ui_.ProcessMessages();

        BuildTestFrame(TestParams, rec->protocol, frame_);
        uint16_t written = 0;
        uint16_t length = 0;
        switch (op) {
            case kTestAuto:
                _vrtCL_fClear(port);
                AutoLoop(port);
                ui_.ShowStatistics();
                // An abandoned run's port was closed, and its number may be
                // another opening's by now.
                if (run_ > runsAbandoned) _vrtCL_fClear(port);
                break;
            case kTestSend:
                _vrtCL_fClear(port);
                _vrtCL_fWrite(port, frame_, kTestFrameSize, &written, 0);
                ui_.ShowStatistics();
                break;
            case kTestReceive:
                _vrtCL_fRead(port, answer_, kTestAnswerSize, &length, 0);
                ui_.ShowStatistics();
                break;
        }
        // The outcome stays in the port record, which the status group shows.
    }

    st.testRunning = 0;
    st.testOp = kTestNone;
    st.stopRequest = 0;
    ui_.EnableDialogControls();
    ui_.ShowPageHelp();
    ui_.ShowTestPanelColour();
    ui_.ProcessMessages();
}

void LinkTest::AutoLoop(int32_t port) {
    DialogState& st = dialogState;
    uint32_t n = 0;
    while (!StopAsked()) {
        ui_.ProcessMessages();
        // A stop asked for while messages were processed: the next read would
        // clear the abort flag the test button has just set, and a listening
        // slave would then wait for a frame that may never come. A master's
        // request is bounded by its time-outs and goes out as usual, unless
        // the dialog has gone meanwhile.
        if (StopAsked() && (!TestParams.master || run_ <= runsAbandoned)) break;
        if (TestParams.master) {
            uint16_t length = 0;
            const int32_t r = _vrtCL_fRequest(port, frame_, kTestFrameSize, answer_, kTestAnswerSize, &length);
            if (TestParams.autoMode == 1) {
                if (r != 0) {
                    st.stopRequest = 1;
                    break;
                }
            } else if (TestParams.autoMode >= 2) {
                ++n;
                if (n >= TestParams.autoCount) {
                    st.stopRequest = 1;
                    break;
                }
            }
            if (r < 0 && !WaitProcessing(32)) break;
            if (!WaitProcessing(50)) break;
        } else {
            uint16_t length = 0;
            const int32_t r = _vrtCL_fRead(port, answer_, kTestAnswerSize, &length, 1);
            ui_.ShowStatistics();
            ui_.ProcessMessages();
            if (r == 0 && answer_[0] == TestParams.netAddr) {
                const uint16_t replyLength = BuildSlaveReply(answer_, length, frame_);
                // Up to 50 s: a stop (the test button, the dialog closing)
                // ends the wait at once and no reply goes out.
                uint16_t written = 0;
                if (WaitProcessing(TestParams.slaveMinTime)) _vrtCL_fWrite(port, answer_, replyLength, &written, 1);
            }
        }
    }
}

bool LinkTest::StopAsked() const { return dialogState.stopRequest != 0 || run_ <= runsAbandoned; }

bool LinkTest::WaitProcessing(uint32_t ms) {
    return platform::waitInSlices(ms, kWaitSliceMs, [this] {
        ui_.ProcessMessages();
        return !StopAsked();
    });
}

void LinkTest::TestButtonClick() {
    DialogState& st = dialogState;
    if (!st.testButtonBusy) {
        st.testButtonBusy = 1;
        ui_.ShowTestPanelColour();
        ui_.ProcessMessages();
        if (st.testRunning) {
            st.stopRequest = 1;
            ui_.ProcessMessages();
            AbortListeningSlave();
        }
        const int32_t port = st.selPort;
        int32_t status = 0;
        PortRecord* rec = LookUp(port, status);
        if (!rec) {
            ui_.Message(kMsgOk, kIconWarning, port, status, nullptr);
        } else if (st.testRunning) {
            st.stopRequest = 1;
            ui_.ProcessMessages();
        } else {
            OpenCloseTestPort(rec->phase == 0);
        }
        ui_.ShowPortState();
        ui_.ShowTestButton();
        st.testButtonBusy = 0;
    }
    ui_.ShowTestPanelColour();
    ui_.ProcessMessages();
}

void LinkTest::AbortListeningSlave() {
    const DialogState& st = dialogState;
    if (st.testRunning && st.testOp == kTestAuto && TestParams.master == 0) {
        // A listening read waits without a time limit: only the abort flag ends it.
        _vrtCL_fComSetEvent(st.testPort, 1);
        ui_.ProcessMessages();
    }
}

void LinkTest::OpenCloseTestPort(bool open) {
    DialogState& st = dialogState;
    const int32_t port = st.selPort;
    int32_t status = 0;
    PortRecord* rec = LookUp(port, status);
    bool act = true;
    if (!rec) {
        ui_.Message(kMsgOk, kIconWarning, port, status, nullptr);
        act = false;
    }
    const int32_t wasOpen = act ? _vrtCL_fIsOpen(port) : 0;
    if (act && st.openAtCall[port]) {
        const int32_t answer =
            ui_.Message(kMsgYesNo, kIconQuestion, port, kTextPortNotMine, "\nБудем его использовать?"_cp);
        if (answer == kAnswerYes) {
            // The test page takes the host's port over.
            _vrtCL_fClose(port);
            st.openAtCall[port] = 0;
            st.testOpened[port] = 0;
        } else {
            act = false;
        }
    }
    if (act) {
        if (open) {
            if (wasOpen == 0) {
                const int32_t r = _vrtCL_fOpen(port);
                if (r >= 0) st.testOpened[port] = 1;
                else ui_.Message(kMsgOk, kIconWarning, port, r, nullptr);
            }
        } else {
            if (_vrtCL_fIsOpen(port) > 0) _vrtCL_fClose(port);
            st.openAtCall[port] = 0;
            st.testOpened[port] = 0;
        }
    }
    ui_.ShowPortState();
    ui_.ShowTestButton();
}

void AbandonRunningTest() {
    DialogState& st = dialogState;
    if (!st.testRunning) return;
    runsAbandoned = runsStarted;
    st.stopRequest = 1;
    const int32_t port = st.testPort;
    _vrtCL_fComSetEvent(port, 1);
    // The request engine gives up at its next wait once the port has closed;
    // an abort flag alone would be cleared by the read that follows, and the
    // request would go on repeating.
    if (port >= 0 && port < VRT_PORT_COUNT && st.testOpened[port]) {
        st.testOpened[port] = 0;
        _vrtCL_fClose(port);
    }
}

void LinkTest::RequestStop() {
    dialogState.stopRequest = 1;
    // Leaving the dialog must not wait for a frame that may never come.
    AbortListeningSlave();
    ui_.ProcessMessages();
}

}  // namespace vrt::link
