// _vrtCL_fDlgSetup: modes, the remembered port, the dialog's life and the
// ports the test page opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "dialog_fixture_helpers.h"
#include "dialog_test_helpers.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/cp1251.h"
#include "testing/controller_sim.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"

namespace {

using namespace vrt::link;
using namespace vrt::literals;
namespace th = vrt::link::testhelp;
using th::Ctl;

class DlgSetup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(th::EnsureTestApp());
        th::ResetDialogWorld();
    }
    void TearDown() override {
        th::CancelWatchers();
        th::DropModeless();
        _vrtCL_fComCloseAll();
    }
};

TEST_F(DlgSetup, BadModeReturnsMinusOneAndKeepsTheModelessWindow) {
    EXPECT_EQ(-1, _vrtCL_fDlgSetup(5, 0));
    EXPECT_EQ(-1, _vrtCL_fDlgSetup(-1, 0));
    EXPECT_EQ(nullptr, _FrmDlgSet);

    EXPECT_EQ(2, _vrtCL_fDlgSetup(3, 2));
    TFrmDlgSet* window = CurrentDialog();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(-1, _vrtCL_fDlgSetup(4, 0));
    EXPECT_EQ(window, CurrentDialog());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(DlgSetup, RememberedPort) {
    EXPECT_EQ(0, th::RunDialog(0, -1, [](TFrmDlgSet&) {}));
    EXPECT_EQ(3, th::RunDialog(2, 3, [](TFrmDlgSet&) {}));
    int32_t shown = -1;
    EXPECT_EQ(3, th::RunDialog(0, 17, [&](TFrmDlgSet&) { shown = dialogState.selPort; }));
    EXPECT_EQ(3, shown);
}

TEST_F(DlgSetup, DeviceSelectionReturnsTheChosenPort) {
    // Left by cancel, exit or the close box: the port passed in.
    EXPECT_EQ(1, th::RunDialog(1, 1, [](TFrmDlgSet& d) {
                  Ctl<QRadioButton>(&d, "RBtnCOM4")->click();
                  Ctl<QPushButton>(&d, "BtnPSelCancel")->click();
              }));
    EXPECT_EQ(1, th::RunDialog(1, -1, [](TFrmDlgSet& d) {
                  Ctl<QRadioButton>(&d, "RBtnCOM4")->click();
                  Ctl<QToolButton>(&d, "SBtnExit")->click();
              }));
    EXPECT_EQ(1, th::RunDialog(1, -1, [](TFrmDlgSet& d) {
                  Ctl<QRadioButton>(&d, "RBtnCOM4")->click();
                  d.close();
              }));

    std::string caption;
    EXPECT_EQ(2, th::RunDialog(1, 0, [&](TFrmDlgSet& d) {
                  Ctl<QRadioButton>(&d, "RBtnCOM3")->click();
                  caption = Ctl<QPushButton>(&d, "BtnPSelOk")->text().toStdString();
                  Ctl<QPushButton>(&d, "BtnPSelOk")->click();
              }));
    EXPECT_EQ("COM3", caption);
    bool com3 = false;
    EXPECT_EQ(2, th::RunDialog(1, -1, [&](TFrmDlgSet& d) { com3 = Ctl<QRadioButton>(&d, "RBtnCOM3")->isChecked(); }));
    EXPECT_TRUE(com3);
}

TEST_F(DlgSetup, DeviceSelectionShowsOnlyThePortBox) {
    bool ran = false;
    th::RunDialog(1, 0, [](TFrmDlgSet& d) {
        for (const char* shown : {"GrBPort", "RBtnCOM1", "RBtnCOM4", "BtnPSelOk", "BtnPSelCancel", "STxtMode",
                                  "SBtnAbout", "SBtnHelp", "SBtnExit"})
            EXPECT_TRUE(Ctl<QWidget>(&d, shown)->isVisible()) << shown;
        for (const char* hidden : {"PnlSetup", "PgCtrlSet", "PnlMinState", "PnlSetBtn", "ImgLnk", "ImgIsModem",
                                   "SBtnStateSz"})
            EXPECT_FALSE(Ctl<QWidget>(&d, hidden)->isVisible()) << hidden;
        EXPECT_EQ("COM1", Ctl<QPushButton>(&d, "BtnPSelOk")->text().toStdString());
        EXPECT_EQ(std::string("Отмена"), Ctl<QPushButton>(&d, "BtnPSelCancel")->text().toStdString());
        const QWidget* line = Ctl<QWidget>(&d, "STxtMode");
        EXPECT_EQ(250, line->width());
        for (const char* b : {"SBtnAbout", "SBtnHelp", "SBtnExit"}) {
            const QWidget* w = Ctl<QWidget>(&d, b);
            EXPECT_EQ(line->x() + line->width() - 8, w->x() + w->width()) << b;
        }
        EXPECT_FALSE(d.TmStateVi->isActive());
        EXPECT_EQ(std::string(" Выбор устройства"_cp), dialogState.modeTitle);
        // The window shrinks to what is shown.
        EXPECT_LT(d.width(), 300);
    }, &ran);
    EXPECT_TRUE(ran);
}

TEST_F(DlgSetup, ModelessWindowLivesUntilTheNextCall) {
    EXPECT_EQ(0, _vrtCL_fDlgSetup(3, 0));
    QPointer<TFrmDlgSet> first = CurrentDialog();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->TmStateVi->isActive());
    EXPECT_EQ(250, first->TmStateVi->interval());
    first->close();  // the close box only hides it
    EXPECT_TRUE(first);
    EXPECT_EQ(first.data(), CurrentDialog());

    bool ran = false;
    th::RunDialog(0, -1, [&](TFrmDlgSet& d) { EXPECT_NE(first.data(), &d); }, &ran);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(first);  // destroyed by the call
    EXPECT_EQ(nullptr, _FrmDlgSet);
}

TEST_F(DlgSetup, StatisticsModeTwoIsModelessOnceTheOptionIsTicked) {
    bool ran = false;
    th::RunDialog(2, 0, [](TFrmDlgSet&) {}, &ran);
    EXPECT_TRUE(ran);  // modal
    EXPECT_EQ(nullptr, _FrmDlgSet);

    th::RunDialog(0, 0, [](TFrmDlgSet& d) {
        Ctl<QCheckBox>(&d, "ChkBStateShow")->click();  // ticked, not applied
    });
    EXPECT_EQ(1, CommonOptionsEdited.StShow);
    EXPECT_EQ(0, CommonOptionsApplied.StShow);

    EXPECT_EQ(0, _vrtCL_fDlgSetup(2, -1));
    ASSERT_NE(nullptr, CurrentDialog());
    EXPECT_TRUE(CurrentDialog()->isVisible());
    EXPECT_FALSE(CurrentDialog()->isModal());
}

TEST_F(DlgSetup, PortsTheTestPageOpenedAreClosedAfterTheModalDialog) {
    vrt::testing::PtyPair com1, com2;
    com1.bindCom(1);
    com2.bindCom(2);
    ASSERT_EQ(0, _vrtCL_fOpen(0));  // the host's port

    bool opened = false;
    th::RunDialog(0, 0, [&](TFrmDlgSet& d) {
        EXPECT_EQ(1, dialogState.openAtCall[0]);
        EXPECT_EQ(0, dialogState.openAtCall[1]);
        Ctl<QRadioButton>(&d, "RBtnCOM2")->click();
        OpenCloseTestPort(true);
        opened = dialogState.testOpened[1] == 1 && _vrtCL_fIsOpen(1) == 1;
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(0, _vrtCL_fIsOpen(1));
    EXPECT_EQ(0, dialogState.testOpened[1]);
    EXPECT_EQ(1, _vrtCL_fIsOpen(0));  // the host's port stays open

    // A port the host closed between two calls is not marked at the next.
    _vrtCL_fClose(0);
    th::RunDialog(0, 0, [](TFrmDlgSet&) { EXPECT_EQ(0, dialogState.openAtCall[0]); });
}

TEST_F(DlgSetup, RememberedPortIsUnderlinedForTheDialogsLife) {
    th::RunDialog(0, 2, [](TFrmDlgSet& d) {
        auto* com3 = Ctl<QRadioButton>(&d, "RBtnCOM3");
        EXPECT_TRUE(com3->font().underline());
        EXPECT_TRUE(com3->isChecked());
        Ctl<QRadioButton>(&d, "RBtnCOM1")->click();
        EXPECT_EQ(0, dialogState.selPort);
        EXPECT_TRUE(com3->font().underline());
        EXPECT_FALSE(Ctl<QRadioButton>(&d, "RBtnCOM1")->font().underline());
    });
}

TEST_F(DlgSetup, CaptionHintsAndTimerOfTheCall) {
    statPeriod = 500;
    th::RunDialog(0, 0, [](TFrmDlgSet& d) {
        EXPECT_EQ(0, d.windowTitle().indexOf(QStringLiteral("VortanCommLink: ")));
        EXPECT_TRUE(d.windowTitle().endsWith(QStringLiteral("link_dlgset_tests")));
        EXPECT_EQ(500, d.TmStateVi->interval());
        EXPECT_TRUE(d.TmStateVi->isActive());
        EXPECT_TRUE(Ctl<QWidget>(&d, "ChkBStateGRegErr")->toolTip().endsWith(QStringLiteral(".err")));
        EXPECT_EQ(std::string("Число повторения запросов\nпри серьезных ошибках:\n  Ошибка ввода и т.д. "),
                  Ctl<QWidget>(&d, "CBRptRqErr")->toolTip().toStdString());
        EXPECT_EQ(std::string("Телефонный номер (MAX=47 символов)."),
                  Ctl<QWidget>(&d, "EdMdmPhone")->toolTip().toStdString());
    });
}

TEST_F(DlgSetup, NoRefreshWithAPeriodOfZero) {
    statPeriod = 0;
    th::RunDialog(0, 0, [](TFrmDlgSet& d) { EXPECT_FALSE(d.TmStateVi->isActive()); });
}

TEST_F(DlgSetup, HostCallingAgainFromInsideAModalDialogReplacesIt) {
    bool ran = false;
    th::RunDialog(0, 0, [](TFrmDlgSet& d) {
        QPointer<TFrmDlgSet> outer(&d);
        EXPECT_EQ(1, _vrtCL_fDlgSetup(3, 1));  // a host timer during the modal loop
        EXPECT_TRUE(outer);                      // still on the stack: closed, not destroyed
        EXPECT_FALSE(outer->isVisible());
        EXPECT_NE(outer.data(), CurrentDialog());
    }, &ran);
    EXPECT_TRUE(ran);
    ASSERT_NE(nullptr, CurrentDialog());  // the modeless window of the inner call lives on
    EXPECT_TRUE(CurrentDialog()->isVisible());
}

TEST_F(DlgSetup, ClosingDuringARunningSlaveTestEndsItsWait) {
    vrt::testing::PtyPair com3;
    com3.bindCom(3);
    ASSERT_EQ(2, _vrtCL_fComOpen(2));
    th::RunDialog(0, 2, [](TFrmDlgSet& d) {
        // As if a listening slave test were running further up the stack.
        dialogState.testRunning = 1;
        dialogState.testOp = kTestAuto;
        dialogState.testPort = 2;
        TestParams.master = 0;
        d.close();
        EXPECT_EQ(1, dialogState.stopRequest);
        EXPECT_EQ(1, +PortTable[2].abortEvent);
        dialogState.testRunning = 0;
    });
}

// The test page's automatic test running inside the dialog, on COM1 over a
// pseudo-terminal.
class DlgSetupTestRun : public DlgSetup {
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override {
        DlgSetup::SetUp();
        com1.bindCom(1);
        TestParams = LinkTestParams{};
        TestParams.reqSize = 1;
    }
    void TearDown() override {
        TestParams = LinkTestParams{};
        DlgSetup::TearDown();
    }
    // Opens COM1 for the test page and presses "Авто"; `everyTick` runs every
    // 10 ms of the dialog's event processing meanwhile and gets the time
    // since its last run.
    void RunAutoTest(TFrmDlgSet& d, const std::function<void(Clock::duration sinceLast)>& everyTick) {
        OpenCloseTestPort(true);
        ASSERT_EQ(1, _vrtCL_fIsOpen(0));
        QTimer ticker;
        Clock::time_point last = Clock::now();
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            everyTick(now - last);
            last = now;
        });
        ticker.start(10);
        Ctl<QAbstractButton>(&d, "BtnAuto")->click();
    }

    vrt::testing::PtyPair com1;
};

TEST_F(DlgSetupTestRun, ClosingDuringAMasterTestEndsItAfterTheRequestInProgress) {
    vrt::testing::ControllerSim sim(com1.masterFd(), vrt::testing::WireProtocol::VrtAscii);
    TestParams.autoMode = 0;  // continuous
    Clock::time_point closedAt{}, returnedAt{};
    size_t requestsAtClose = 0;
    th::RunDialog(0, 0, [&](TFrmDlgSet& d) {
        RunAutoTest(d, [&](Clock::duration) {
            if (closedAt == Clock::time_point{} && sim.requestCount() >= 2) {
                closedAt = Clock::now();
                requestsAtClose = sim.requestCount();
                d.close();
            } else if (closedAt != Clock::time_point{} && Clock::now() - closedAt > std::chrono::seconds(10)) {
                Ctl<QAbstractButton>(&d, "SBtnTstG")->click();  // a test the close failed to stop
            }
        });
        returnedAt = Clock::now();
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_NE(Clock::time_point{}, closedAt);
    EXPECT_LT(returnedAt - closedAt, std::chrono::seconds(3));
    EXPECT_LE(sim.requestCount(), requestsAtClose + 1);
    EXPECT_EQ(0, dialogState.testRunning);
    EXPECT_EQ(0, _vrtCL_fIsOpen(0));  // the dialog closed the port its test page opened
}

// A controller that never answers: when each burst of bytes reached it.
class SilentLine {
public:
    explicit SilentLine(int fd) : reader_([this, fd] {
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            uint8_t buf[4096];
            if (read(fd, buf, sizeof buf) <= 0) continue;
            const std::lock_guard<std::mutex> lock(mutex_);
            arrivals_.push_back(std::chrono::steady_clock::now());
        }
    }) {}
    ~SilentLine() {
        stop_ = true;
        reader_.join();
    }
    size_t count() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_.size();
    }
    size_t countAfter(std::chrono::steady_clock::time_point t) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return size_t(std::count_if(arrivals_.begin(), arrivals_.end(), [t](auto a) { return a > t; }));
    }

private:
    std::mutex mutex_;
    std::vector<std::chrono::steady_clock::time_point> arrivals_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// The dialog of a master test against a silent controller goes while a
// request waits for its answer: closed by the user, replaced by a host's
// call, or both. The test ends with that request, no frame goes out after,
// and every call returns. A port the host opened after its call stays open,
// so only the abort flag ends the request there.
TEST_F(DlgSetupTestRun, MasterTestEndsWithItsDialogAgainstASilentController) {
    struct Case {
        const char* name;
        bool userCloses;
        int32_t secondMode;  // the host's call from a timer: its mode, or -1 for none
        bool hostsPort = false;
    };
    for (const Case c : {Case{"closed", true, -1}, Case{"replaced", false, 3}, Case{"closed-then-replaced", true, 3},
                         Case{"replaced-by-a-modal-call", false, 0}, Case{"host's port, closed", true, -1, true}}) {
        SCOPED_TRACE(c.name);
        PortTable[0].max = 2000;  // an unanswered attempt takes seconds
        SilentLine line(com1.masterFd());
        TestParams.autoMode = 0;
        Clock::time_point goneAt{}, returnedAt{};
        int32_t secondResult = -2;
        bool forced = false;
        th::RunDialog(0, 0, [&](TFrmDlgSet& d) {
            if (c.hostsPort) ASSERT_EQ(0, _vrtCL_fOpen(0));
            RunAutoTest(d, [&](Clock::duration) {
                if (goneAt == Clock::time_point{} && line.count() >= 1) {
                    goneAt = Clock::now();
                    if (c.userCloses) d.close();
                    if (c.secondMode >= 0) secondResult = th::RunDialog(c.secondMode, 1, [](TFrmDlgSet&) {});
                } else if (goneAt != Clock::time_point{} && Clock::now() - goneAt > std::chrono::seconds(20)) {
                    forced = true;  // still running: stop it so the case ends
                    dialogState.stopRequest = 1;
                }
            });
        });
        returnedAt = Clock::now();  // the call has returned
        ASSERT_NE(Clock::time_point{}, goneAt);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(returnedAt - goneAt).count();
        const size_t after = line.countAfter(goneAt);
        std::printf("%s: the call returned %lld ms after the dialog went; %zu frames after\n", c.name,
                    static_cast<long long>(ms), after);
        EXPECT_FALSE(forced);
        EXPECT_LT(ms, 2500);  // well short of the repeats' ~9 s
        EXPECT_EQ(0u, after);
        EXPECT_EQ(0, dialogState.testRunning);
        EXPECT_EQ(c.hostsPort ? 1 : 0, _vrtCL_fIsOpen(0));
        if (c.secondMode >= 0) EXPECT_EQ(1, secondResult);
        if (c.secondMode == 3) {
            ASSERT_NE(nullptr, CurrentDialog());
            EXPECT_TRUE(CurrentDialog()->isVisible());
        }
        th::DropModeless();
        _vrtCL_fComCloseAll();
    }
}

TEST_F(DlgSetupTestRun, SlaveKeepsTheDialogLiveThroughItsMinimumTime) {
    TestParams.master = 0;
    TestParams.slaveMinTime = 5000;
    std::atomic<bool> replied{false};
    vrt::testing::Bytes reply;
    std::thread master([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the slave listens by then
        com1.write(vrt::testing::ControllerSim::frame(vrt::testing::WireProtocol::VrtAscii, {33, 2, 0, 0, 1, 0}));
        reply = com1.read(100, 10000);
        replied = true;
    });
    Clock::duration longestGap{};
    th::RunDialog(0, 0, [&](TFrmDlgSet& d) {
        RunAutoTest(d, [&](Clock::duration sinceLast) {
            longestGap = std::max(longestGap, sinceLast);
            if (replied && dialogState.testRunning && !dialogState.testButtonBusy)
                Ctl<QAbstractButton>(&d, "SBtnTstG")->click();
        });
    });
    master.join();
    const auto gapMs = std::chrono::duration_cast<std::chrono::milliseconds>(longestGap).count();
    std::printf("longest time without processing events: %lld ms\n", static_cast<long long>(gapMs));
    EXPECT_EQ(reply, vrt::testing::ControllerSim::frame(vrt::testing::WireProtocol::VrtAscii, {33, 0x12, 0, 0, 1, 0, 0}));
    EXPECT_LT(gapMs, 1000);  // not the 5 s minimum time
}

}  // namespace
