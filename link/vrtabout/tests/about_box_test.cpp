// The about box as a window (offscreen): _vrt_about, _FrmAbout, the hand-over.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>

#include "gui/qt_bootstrap.h"
#include "platform/cp1251.h"
#include "platform/module.h"
#include "vrtabout/about_box.h"
#include "vrtabout/about_form.h"
#include "vrtclnk.h"

using namespace vrt::literals;

namespace vrt::link {
namespace {

QDialog* box() { return static_cast<QDialog*>(_FrmAbout); }

QString text(const char* name) {
    auto* w = box()->findChild<QLabel*>(name);
    return w ? w->text() : QString("<missing>");
}

// Runs `look` once the box is up, then presses its exit button.
void whileShown(std::function<void()> look) {
    QTimer::singleShot(0, [look] {
        ASSERT_NE(box(), nullptr);
        look();
        if (box()) box()->findChild<QPushButton*>("BtBtnExit")->click();
    });
}

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gui::EnsureApplication()); }
};

TEST_F(AboutBox, CaptionAndLinesForAbsentTexts) {
    QString caption, name;
    bool frame = true;
    whileShown([&] {
        caption = box()->windowTitle();
        frame = box()->findChild<QWidget*>("BevelUser")->isVisible();
        name = text("STname");
    });
    _vrt_about(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(caption, "VORTAN [UTL]");
    EXPECT_FALSE(frame);
    EXPECT_EQ(name, " ");
    EXPECT_EQ(_FrmAbout, nullptr);
}

TEST_F(AboutBox, GivenTextsAreShownAndTheHintNamesTheHost) {
    QString caption, name, rem1, rem2, hint;
    whileShown([&] {
        caption = box()->windowTitle();
        name = text("STname");
        rem1 = text("STrem1");
        rem2 = text("STrem2");
        hint = box()->toolTip();
    });
    _vrt_about("Прибор"_cp, "1.0", "", "Автор"_cp);
    EXPECT_EQ(caption, QString::fromUtf8("VORTAN [UTL]: Прибор"));
    EXPECT_EQ(name, "1.0");
    EXPECT_EQ(rem1, "");
    EXPECT_EQ(rem2, QString::fromUtf8("Автор"));
    EXPECT_EQ(hint, QString::fromUtf8("Я здесь --> ") + QString::fromStdString(platform::hostPath()));
}

TEST_F(AboutBox, TextsAreCopiedNotReferenced) {
    std::string version = "first";
    QString after;
    whileShown([&] {
        version.assign("second, and longer than before");
        // A resize fills the lines again from what the box kept.
        QResizeEvent ev(box()->size(), box()->size());
        QApplication::sendEvent(box(), &ev);
        after = text("STname");
    });
    _vrt_about(nullptr, version.c_str(), nullptr, nullptr);
    EXPECT_EQ(after, "first");
}

TEST_F(AboutBox, FrameExitButtonAndLinesHaveEqualMarginsFromTheClientArea) {
    QRect bevel, name, exit;
    int clientWidth = 0;
    whileShown([&] {
        clientWidth = box()->width();
        bevel = box()->findChild<QWidget*>("BevelUser")->geometry();
        name = box()->findChild<QWidget*>("STname")->geometry();
        exit = box()->findChild<QWidget*>("BtBtnExit")->geometry();
    });
    _vrt_about("p", "1.0", "d", "a");
    EXPECT_EQ(clientWidth, 359);
    EXPECT_EQ(bevel.width(), 345);
    EXPECT_EQ(name.width(), 331);
    EXPECT_EQ(exit.width(), 345);
    EXPECT_EQ(exit.height(), 25);
    // The frame and the button stand as far from the right edge as from the left.
    EXPECT_LE(std::abs((clientWidth - bevel.right() - 1) - bevel.left()), 2);
    EXPECT_LE(std::abs((clientWidth - exit.right() - 1) - exit.left()), 2);
}

TEST_F(AboutBox, HandOverIsShownAndClearedOnClose) {
    QIcon icon(QPixmap(8, 8));
    AboutHandOver.path = "/usr/lib/vrtCLNK.so";
    AboutHandOver.icon = &icon;
    QString hint;
    qint64 iconKey = 0;
    whileShown([&] {
        hint = box()->toolTip();
        iconKey = box()->windowIcon().cacheKey();
    });
    _vrt_about(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(hint, QString::fromUtf8("Я здесь --> /usr/lib/vrtCLNK.so"));
    EXPECT_EQ(iconKey, icon.cacheKey());
    EXPECT_FALSE(AboutHandOver.path.has_value());
    EXPECT_EQ(AboutHandOver.icon, nullptr);
}

TEST_F(AboutBox, NestedCallWhileShownIsRefused) {
    bool nestedReturned = false;
    void* during = nullptr;
    whileShown([&] {
        during = _FrmAbout;
        _vrt_about("other", nullptr, nullptr, nullptr);  // returns at once
        nestedReturned = true;
        EXPECT_EQ(_FrmAbout, during);
        EXPECT_EQ(box()->windowTitle(), "VORTAN [UTL]: first");
    });
    _vrt_about("first", nullptr, nullptr, nullptr);
    EXPECT_TRUE(nestedReturned);
    EXPECT_NE(during, nullptr);
    EXPECT_EQ(_FrmAbout, nullptr);
}

TEST_F(AboutBox, TimerAnimatesAndContactPanelOpensAndCloses) {
    bool l1Before = false, l1After = false, panelOpen = false, panelClosed = true;
    int contactLines = 0;
    QString heading1, heading2;
    QTimer::singleShot(0, [&] {
        auto* form = static_cast<TFrmAbout*>(box());
        auto* l1 = form->findChild<QWidget*>("ImgL1");
        l1Before = l1->isVisible();
        // Two ticks of the box's timer swap the logos.
        QMetaObject::invokeMethod(&form->timer(), "timeout");
        QMetaObject::invokeMethod(&form->timer(), "timeout");
        l1After = l1->isVisible();
        // A click on the contact corner opens the panel.
        auto* contact = form->findChild<QWidget*>("STContact");
        QMouseEvent press(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(contact, &press);
        panelOpen = form->findChild<QWidget*>("PnlAddress")->isVisible();
        // Each contact line stands as far from the memo's left edge as from its right.
        auto* memo = form->findChild<QPlainTextEdit*>("MemoAddres");
        for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) {
            if (b.text().isEmpty()) continue;
            QTextCursor at(b);
            const int left = memo->cursorRect(at).left();
            at.movePosition(QTextCursor::EndOfBlock);
            const int right = memo->viewport()->width() - memo->cursorRect(at).right();
            ++contactLines;
            EXPECT_LE(std::abs(left - right), 4) << b.text().toStdString() << ": " << left << " / " << right;
        }
        QMetaObject::invokeMethod(&form->timer(), "timeout");
        heading1 = form->findChild<QLabel*>("STFirm")->text();
        QMetaObject::invokeMethod(&form->timer(), "timeout");
        heading2 = form->findChild<QLabel*>("STFirm")->text();
        form->findChild<QPushButton*>("BtnAddrOk")->click();
        panelClosed = !form->findChild<QWidget*>("PnlAddress")->isVisible();
        form->findChild<QPushButton*>("BtBtnExit")->click();
    });
    _vrt_about(nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(l1Before);
    EXPECT_FALSE(l1After);
    EXPECT_TRUE(panelOpen);
    EXPECT_EQ(contactLines, 4);
    EXPECT_NE(heading1, heading2);
    EXPECT_TRUE(panelClosed);
}

TEST_F(AboutBox, EscClosesTheBox) {
    QTimer::singleShot(0, [] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box(), &esc);
    });
    AboutHandOver.path = "x";
    _vrt_about(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(_FrmAbout, nullptr);
    EXPECT_FALSE(AboutHandOver.path.has_value());
}

}  // namespace
}  // namespace vrt::link

// Qt's font set-up leaves fontconfig's caches behind when a test process
// exits; they are not ours to free.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
