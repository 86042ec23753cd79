// Qt's Russian catalogue: loaded into the application the library creates,
// never into a host's. Each case runs in a child process of its own, since an
// application object lives until the process ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>

#include <cstdlib>

#include "gui/qt_bootstrap.h"
#include "gui/qt_catalogue.h"

namespace vrt::link::gui {
namespace {

QString QtCancel() { return QCoreApplication::translate("QPlatformTheme", "Cancel"); }

[[noreturn]] void OwnApplicationSpeaksRussianChild() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!EnsureApplication()) std::exit(2);
    if (QtCancel() != QString::fromUtf8("Отмена")) std::exit(3);
    if (!LoadQtCatalogue()) std::exit(4);  // a second load adds nothing
    std::exit(QtCancel() == QString::fromUtf8("Отмена") ? 0 : 5);
}

[[noreturn]] void HostApplicationKeepsItsLanguageChild() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "host";
    char* argv[] = {name, nullptr};
    QApplication host(argc, argv);
    if (!EnsureApplication()) std::exit(2);
    std::exit(QtCancel() == "Cancel" ? 0 : 3);
}

class QtCatalogue : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(QtCatalogue, OwnApplicationSpeaksRussian) {
    EXPECT_EXIT(OwnApplicationSpeaksRussianChild(), ::testing::ExitedWithCode(0), "");
}

TEST_F(QtCatalogue, HostApplicationKeepsItsLanguage) {
    EXPECT_EXIT(HostApplicationKeepsItsLanguageChild(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vrt::link::gui
