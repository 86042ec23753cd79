// The Qt progress window (offscreen) over the scripted port.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "gui/qt_bootstrap.h"
#include "modem_fakes.h"
#include "platform/cp1251.h"
#include <QTimer>
#include "vrtclmdm/mdm_work_form.h"
#include "vrtcltrn/codes.h"

namespace vrt::link::test {
namespace {

template <class W>
W* child(QWidget& f, const char* name) {
    W* w = f.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TFrmMDMWork* openWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TFrmMDMWork*>(w); f && f->isVisible()) return f;
    return nullptr;
}

QString utf(const char* cp) { return QString::fromStdString(cp1251::toUtf8(cp)); }

class MdmWorkFormTest : public ModemTest {
protected:
    void SetUp() override {
        ModemTest::SetUp();
        ASSERT_TRUE(gui::EnsureApplication());
        SetProgressViewFactory(&CreateQtProgressView);
    }
    // Processes Qt's events (as the library's pump does), then looks at the window.
    void pumpAndWatch(std::function<void(TFrmMDMWork&)> watch) {
        onPump = [watch] {
            QCoreApplication::processEvents();
            if (TFrmMDMWork* f = openWindow()) watch(*f);
        };
    }
};

using namespace vrt::literals;

TEST_F(MdmWorkFormTest, ShowsTheDialogueAndClosesItselfAfterSuccess) {
    QString title, caption, statusAtEnd, exitText, answer;
    bool exitVisibleWhileRunning = true, exitVisibleAtEnd = false, breakEnabledAtEnd = true;
    pumpAndWatch([&](TFrmMDMWork& f) {
        title = child<QLabel>(f, "StTxtNmFn")->text();
        caption = f.windowTitle();
        auto* exit = child<QPushButton>(f, "BitBtnExit");
        if (state().endTick == 0) {
            if (port.sent.size() == 3) {
                exitVisibleWhileRunning = exit->isVisible();
                answer = child<QLabel>(f, "LblOldAnswer")->text();
            }
        } else {
            statusAtEnd = child<QLabel>(f, "SttTxtMDMfunc")->text();
            exitText = exit->text();
            exitVisibleAtEnd = exit->isVisible();
            breakEnabledAtEnd = child<QPushButton>(f, "BitBtnBreak")->isEnabled();
        }
    });
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(sent(), DefaultDialogue());
    EXPECT_EQ(title, utf("[COM2] Установка связи"_cp));
    EXPECT_TRUE(caption.startsWith("VortanCommMDM  v0.01: ")) << caption.toStdString();
    EXPECT_FALSE(exitVisibleWhileRunning);
    EXPECT_EQ(answer, utf("OK [Порядок!]"_cp));
    EXPECT_EQ(statusAtEnd, utf(" Связь установлена!"_cp));
    EXPECT_EQ(exitText, "Ok");
    EXPECT_TRUE(exitVisibleAtEnd);
    EXPECT_FALSE(breakEnabledAtEnd);
    // Closed and freed before the call returned.
    QCoreApplication::processEvents();
    EXPECT_EQ(openWindow(), nullptr);
    EXPECT_EQ(state().form, nullptr);
    EXPECT_EQ(_FrmMDMWork, nullptr);
}

TEST_F(MdmWorkFormTest, EscAbortsTheRunningDialogue) {
    bool sentEsc = false;
    pumpAndWatch([&](TFrmMDMWork& f) {
        if (!sentEsc && port.sent.size() == 3) {
            sentEsc = true;
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&f, &esc);
        }
    });
    EXPECT_EQ(work(1), kErrAborted);
    EXPECT_TRUE(sentEsc);
    EXPECT_EQ(sent().size(), 3u + 4u);  // the answered modem got the four stop commands
    EXPECT_TRUE(port.abortFlag);
    EXPECT_EQ(openWindow(), nullptr);
}

TEST_F(MdmWorkFormTest, BreakThenExitButtons) {
    bool pressedBreak = false, pressedExit = false;
    QString statusAfterBreak;
    // After the break the window waits for its exit button; the "user" looks
    // at it from the window's own event loop.
    QTimer user;
    user.setInterval(50);
    QObject::connect(&user, &QTimer::timeout, [&] {
        TFrmMDMWork* f = openWindow();
        if (!f || pressedExit || state().endTick == 0) return;
        auto* exit = child<QPushButton>(*f, "BitBtnExit");
        if (!exit->isVisible() || !exit->isEnabled()) return;
        statusAfterBreak = child<QLabel>(*f, "SttTxtMDMfunc")->text();
        pressedExit = true;
        exit->click();
    });
    pumpAndWatch([&](TFrmMDMWork& f) {
        if (!pressedBreak && port.sent.size() == 2) {
            pressedBreak = true;
            child<QPushButton>(f, "BitBtnBreak")->click();
            user.start();
        }
    });
    EXPECT_EQ(work(1), kErrAborted);
    EXPECT_TRUE(pressedExit);
    EXPECT_EQ(statusAfterBreak, utf(" Установка связи прервана!"_cp));
    EXPECT_EQ(sent().size(), 2u + 4u);  // the answered modem got the four stop commands
}

}  // namespace
}  // namespace vrt::link::test
