// The library's message box: composed body, buttons, icon and answers.
#include <gtest/gtest.h>

#include <string>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QStringList>

#include "dialog_test_helpers.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/module_names.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/tests/temp_dir.h"
#include "platform/cp1251.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"

namespace {

using namespace vrt::link;
using namespace vrt::literals;
namespace th = vrt::link::testhelp;

std::string Utf8(const std::string& cp) { return vrt::cp1251::toUtf8(cp); }

TEST(LinkMessageBody, ApplyQuestion) {
    const std::string body = ComposeLinkMessage(-1, kTextDeviceWorking, "[ПРМЕНИТЬ]"_cp, "\nВЫПОЛНИТЬ ОПЕРАЦИЮ?"_cp);
    EXPECT_EQ(std::string("[ПРМЕНИТЬ]\nОбнаружено работающее устройство!\nВыполнение операции может привести\n"
                          "к сбою в работе устройства.\n\nВЫПОЛНИТЬ ОПЕРАЦИЮ?"_cp),
              body);
}

TEST(LinkMessageBody, PortPrefixAndParts) {
    EXPECT_EQ("[COM1] ", ComposeLinkMessage(0, kTextNone, "", ""));
    EXPECT_EQ("[COM1] ", ComposeLinkMessage(0, kTextNone, nullptr, nullptr));
    EXPECT_EQ(std::string("[COM2] ПОРТ УЖЕ ОТКРЫТ!\nЯ его не открывал в режиме теста.\n\nНе буду c ним работать!"_cp),
              ComposeLinkMessage(1, kTextPortNotMine, nullptr, "\nНе буду c ним работать!"_cp));
    EXPECT_EQ(std::string("[COM4] Порт закрыт!\nНадо открыть.\n"_cp), ComposeLinkMessage(3, kTextPortClosed, "", nullptr));
    EXPECT_EQ("", ComposeLinkMessage(-5, kTextNone, nullptr, nullptr));
    EXPECT_EQ(std::string(_vrtCL_fErr2str(-6)) + "\n", ComposeLinkMessage(-1, -6, nullptr, nullptr));
    EXPECT_EQ("", ComposeLinkMessage(-1, 7, nullptr, nullptr));  // no such fixed text
}

TEST(LinkMessageBody, LongPartsAreCutToTheBoxBuffer) {
    const std::string longTitle(2000, 'T');
    const std::string body = ComposeLinkMessage(2, kTextPortClosed, longTitle.c_str(), "?");
    EXPECT_EQ(kMsgBodyMax, body.size());
    EXPECT_EQ("[COM3] TTT", body.substr(0, 10));
}

TEST(LinkMessageBox, ShowsCaptionIconButtonsAndMapsAnswers) {
    ASSERT_TRUE(th::EnsureTestApp());
    std::string seen;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    th::AnswerMessageBox(QMessageBox::Yes, &seen, &icon, &buttons);
    EXPECT_EQ(kAnswerYes, ShowLinkMessage(kMsgYesNo, kIconWarning, -1, kTextDeviceWorking, "[ПРМЕНИТЬ]"_cp,
                                          "\nВЫПОЛНИТЬ ОПЕРАЦИЮ?"_cp));
    EXPECT_EQ(Utf8(ComposeLinkMessage(-1, kTextDeviceWorking, "[ПРМЕНИТЬ]"_cp, "\nВЫПОЛНИТЬ ОПЕРАЦИЮ?"_cp)), seen);
    EXPECT_EQ(QMessageBox::Warning, icon);
    EXPECT_EQ(QMessageBox::Yes | QMessageBox::No, buttons);

    th::AnswerMessageBox(QMessageBox::No);
    EXPECT_EQ(kAnswerNo, ShowLinkMessage(kMsgYesNo, kIconQuestion, 0, kTextPortNotMine, nullptr, nullptr));

    th::AnswerMessageBox(QMessageBox::Cancel, nullptr, &icon, &buttons);
    EXPECT_EQ(kAnswerCancel, ShowLinkMessage(kMsgYesNoCancel, 99, 0, kTextNone, nullptr, nullptr));
    EXPECT_EQ(QMessageBox::NoIcon, icon);
    EXPECT_EQ(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, buttons);

    th::AnswerMessageBox(QMessageBox::Ok, nullptr, &icon, &buttons);
    EXPECT_EQ(kAnswerYes, ShowLinkMessage(17, kIconInformation, 1, kTextPortClosed, nullptr, nullptr));
    EXPECT_EQ(QMessageBox::Information, icon);
    EXPECT_EQ(QMessageBox::Ok, buttons);
}

TEST(LinkMessageBox, CloseBoxOnYesNoCancelIsCancel) {
    ASSERT_TRUE(th::EnsureTestApp());
    th::WhenModal([](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();  // the close box
    });
    EXPECT_EQ(kAnswerCancel, ShowLinkMessage(kMsgYesNoCancel, kIconError, -1, kTextNone, "x", nullptr));
}

TEST(LinkMessageBox, CaptionNamesTheHost) {
    ASSERT_TRUE(th::EnsureTestApp());
    std::string caption;
    th::WhenModal([&](QWidget* w) {
        caption = w->windowTitle().toStdString();
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
    });
    ShowLinkMessage(kMsgOk, kIconNone, -1, kTextNone, "t", nullptr);
    EXPECT_EQ(Utf8(BuildModuleNames().messageCaption), caption);
    EXPECT_EQ(0u, caption.find("vrtCLink: "));
}

TEST(LinkMessageBox, ButtonsReadRussianWithoutTouchingTheApplicationsTranslators) {
    ASSERT_TRUE(th::EnsureTestApp());
    const QString hostCancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
    QStringList seen;
    th::WhenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) return;
        for (QAbstractButton* b : box->buttons()) seen << b->text();
        box->close();
    });
    ShowLinkMessage(kMsgYesNoCancel, kIconQuestion, -1, kTextNone, "t", nullptr);
    seen.sort();
    EXPECT_EQ(seen, QStringList({"Да", "Нет", "Отмена"}));

    seen.clear();
    th::WhenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) return;
        for (QAbstractButton* b : box->buttons()) seen << b->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(kAnswerYes, ShowLinkMessage(kMsgOk, kIconNone, -1, kTextNone, "t", nullptr));
    EXPECT_EQ(seen, QStringList({"ОК"}));
    EXPECT_EQ(hostCancel, QCoreApplication::translate("QPlatformTheme", "Cancel"));
}

TEST(LinkMessageBox, MissingHelpFileIsReportedWithItsPath) {
    ASSERT_TRUE(th::EnsureTestApp());
    vrt::test::TempDir dir("help");
    const std::string missing = dir.file("vrtCLNK.HLP");
    std::string seen;
    int boxes = 0;
    th::WhenModal([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            ++boxes;
            seen = box->text().toStdString();
            box->close();
        }
    });
    EXPECT_FALSE(CheckHelpFile(missing));
    EXPECT_EQ(1, boxes);
    EXPECT_EQ("Не найден файл справки\n" + missing, seen);

    th::CancelWatchers();
    vrt::test::writeFile(missing, "help");
    EXPECT_TRUE(CheckHelpFile(missing));  // handed to the viewer, no box
    EXPECT_EQ(1, boxes);
}

TEST(AnyPortOpen, FollowsTheFourPorts) {
    _vrtCL_fInit();
    _vrtCL_fComCloseAll();
    EXPECT_EQ(0, IsAnyPortOpen());
    vrt::testing::PtyPair pty;
    pty.bindCom(3);
    ASSERT_EQ(2, _vrtCL_fComOpen(2));
    EXPECT_EQ(1, IsAnyPortOpen());
    _vrtCL_fComClose(2);
    EXPECT_EQ(0, IsAnyPortOpen());
}

}  // namespace
