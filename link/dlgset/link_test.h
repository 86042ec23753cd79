#pragma once
// The settings dialog's link test: open or close the selected port for the
// test, send one test request, receive one answer, or run the automatic test
// as master (requests) or slave (answers like a controller), all through the
// library's exported port operations on the live port table.
//
// LinkTest holds the state machine, Qt-free; what it needs from the dialog
// (message boxes, refreshes, message processing) comes through LinkTestUi.
// LinkTestBinder attaches it to the dialog's test page widgets, found by
// object name under the dialog's root widget.
#include <cstdint>
#include <memory>
#include <string>

#include "statistics.h"
#include "vrtclnk.h"

class QWidget;

namespace vrt::link {

// The test page's parameters; kept from one dialog call to the next.
struct LinkTestParams {
    uint8_t netAddr = 33;        // byte 0 of every test request; the slave's own address; 1..254
    uint16_t startAddr = 0;      // bytes 2..3 of the request
    uint16_t reqSize = 1024;     // bytes 4..5: data size (VortanBus) or register count (MODBUS); 1..1024
    uint16_t slaveMinTime = 30;  // slave: ms between reading a request and writing the reply; 1..50000
    int32_t master = 1;          // 1 master, 0 slave
    int32_t autoMode = 0;        // CBTpAuto index: 0 continuous, 1 until error, 2.. a count
    uint32_t autoCount = 0;      // requests of the automatic test when autoMode >= 2
};
extern LinkTestParams TestParams;

inline constexpr uint16_t kTestFrameSize = 6;
inline constexpr uint16_t kTestAnswerSize = 1039;

// The 6-byte test request for a port's protocol (0, 1 VortanBus; 2 and above MODBUS).
void BuildTestFrame(const LinkTestParams& params, int32_t protocol, uint8_t frame[kTestFrameSize]);

// Builds, in place in `buf` (kTestAnswerSize bytes), the slave's reply to the
// request of `received` bytes it holds; `testFrame` is the page's own test
// request. Returns the reply's length.
uint16_t BuildSlaveReply(uint8_t* buf, uint16_t received, const uint8_t testFrame[kTestFrameSize]);

// Field rules of the test page: the text is trimmed; empty or beginning with
// '-' keeps `stored`; else the leading digits (saturating at 2^32-1) are
// checked against the field's range.
uint8_t ParseNetAddr(const char* text, uint8_t stored);        // 1..254, else stored
uint16_t ParseMsgSize(const char* text, uint16_t stored);      // 0 or no digits: 1; above 1024: 1024
uint16_t ParseSlaveTime(const char* text, uint16_t stored);    // 1..50000, else stored
std::string FormatNetAddr(uint8_t value);                       // "%4lu"
std::string FormatMsgSize(uint16_t value);                      // "%5lu"
std::string FormatSlaveTime(uint16_t value);                    // "%7lu"

// CBTpAuto's choice: sets autoMode and, for a count item, autoCount. Returns
// the index to show (0 when nothing was chosen).
int32_t ChooseAutoMode(int32_t index, const char* itemText, LinkTestParams& params);

// The test button's look and its panel's colour.
struct TestButtonLook {
    int32_t glyph;      // image of ImgLst: 10 running, 8 port open, 9 closed
    const char* hint;   // Windows-1251
};
TestButtonLook ComputeTestButton(bool testRunning, bool portOpen);
DlgColour TestPanelColour(bool testButtonBusy, bool stopRequest, bool testRunning);
// Hint of the size field CBSzMsg for a protocol (Windows-1251).
const char* MsgSizeHint(int32_t protocol);

// What the test needs from the dialog.
class LinkTestUi {
public:
    virtual ~LinkTestUi() = default;
    // ShowLinkMessage without a title; returns its answer (0 OK/Yes).
    virtual int32_t Message(int32_t buttons, int32_t icon, int32_t port, int32_t textCode,
                            const char* question) = 0;
    virtual void EnableDialogControls() = 0;
    virtual void ShowPageHelp() = 0;
    virtual void ShowStatistics() = 0;
    virtual void ShowPortState() = 0;
    virtual void ShowTestButton() = 0;
    virtual void ShowTestPanelColour() = 0;
    virtual void ProcessMessages() = 0;
};

// The test's state machine over the dialog state (selPort, testOpened,
// openAtCall, testRunning, stopRequest, testOp, testPort, testButtonBusy) and
// TestParams.
class LinkTest {
public:
    explicit LinkTest(LinkTestUi& ui) : ui_(ui) {}

    void RunTest(int32_t op);             // 1 automatic, 2 send one request, 3 receive one answer
    void OpenCloseTestPort(bool open);
    void TestButtonClick();               // stop a running test, else close or open the port
    void RequestStop();

    const uint8_t* testFrame() const { return frame_; }
    const uint8_t* testAnswer() const { return answer_; }

private:
    void AutoLoop(int32_t port);
    void AbortListeningSlave();
    // The test is asked to stop, or its run was abandoned (AbandonRunningTest).
    bool StopAsked() const;
    // Waits `ms` processing messages; false (at once) when the test is asked to stop.
    bool WaitProcessing(uint32_t ms);
    LinkTestUi& ui_;
    uint32_t run_ = 0;  // number of the run in progress
    uint8_t frame_[kTestFrameSize] = {};
    uint8_t answer_[kTestAnswerSize] = {};
};

// Binds the link test to a dialog's test page. Construct it after the form's
// widgets exist; it connects BtnAuto, BtnOutMsg, BtnInpMsg, SBtnTstG,
// ChkBMaster, CBTpAuto, EdIDNet, CBSzMsg and CBSlaveTmMin. The newest living
// binder serves the free functions below. Destroy it before the form's
// widgets (for instance as a member of the form class). `ui` replaces the
// dialog's own routines (tests); null uses them.
class LinkTestBinder {
public:
    explicit LinkTestBinder(QWidget* root, LinkTestUi* ui = nullptr);
    ~LinkTestBinder();
    LinkTestBinder(const LinkTestBinder&) = delete;
    LinkTestBinder& operator=(const LinkTestBinder&) = delete;

    LinkTest& test();
    void ShowTestButton();
    void ShowTestPanelColour();
    void ReadNetAddrEdit();
    void ReadMsgSizeEdit();
    void ReadSlaveTimeEdit();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Hooks the dialog frame calls; without a bound dialog they change only the
// state (RequestStop) or nothing.
void RunTest(int32_t op);
void OpenCloseTestPort(bool open);
void RequestStop();          // exit button: ask a running test to stop, process messages
// Ends, for good, the test operation running further up the stack when its
// dialog goes (closed, or replaced by a new call): the run stops even though
// the new call resets the dialog's test state, the request or read in
// progress ends as a host's abort ends it, and the port the test page opened
// is closed now rather than when the call returns, so no frame goes out after
// the dialog has gone. Processes no messages of its own; does nothing when no
// test runs.
void AbandonRunningTest();
void ShowTestButton();       // glyph and hint of SBtnTstG, hint of CBSzMsg, panel colour
void ShowTestPanelColour();  // colour of PnlBG
void ReadNetAddrEdit();      // EdIDNet -> TestParams.netAddr
void ReadMsgSizeEdit();      // CBSzMsg -> TestParams.reqSize
void ReadSlaveTimeEdit();    // CBSlaveTmMin -> TestParams.slaveMinTime

}  // namespace vrt::link
