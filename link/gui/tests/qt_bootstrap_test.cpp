// Where the library may create its QApplication and where it must not. Each
// case runs in a child process of its own, since an application object lives
// until the process ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <thread>

#include "gui/qt_bootstrap.h"
#include "platform/pump.h"
#include "vrtclnk.h"

namespace vrt::link::gui {
namespace {

void noDisplay() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
}


[[noreturn]] void OffscreenPlatformGetsAnApplicationAndItsPumpChild() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!EnsureApplication() || !qobject_cast<QApplication*>(QCoreApplication::instance())) std::exit(2);
    if (!EnsureApplication()) std::exit(3);  // the second call finds it
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    platform::processMessages();  // the library's waits serve the host's events
    std::exit(ran ? 0 : 4);
}

[[noreturn]] void NoDisplayMeansNoApplicationAndNoWindowChild() {
    noDisplay();
    if (DisplayUsable() || EnsureApplication()) std::exit(2);
    _vrt_about("p", "v", "d", "a");  // returns at once
    std::exit(QCoreApplication::instance() == nullptr && _FrmAbout == nullptr ? 0 : 3);
}

[[noreturn]] void UnreachableServersAreNotUsableChild() {
    noDisplay();
    setenv("DISPLAY", ":97", 1);
    setenv("WAYLAND_DISPLAY", "no-such-wayland-socket", 1);
    setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
    if (DisplayUsable()) std::exit(2);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (DisplayUsable()) std::exit(3);
    setenv("QT_QPA_PLATFORM", "xcb;offscreen", 1);
    if (!DisplayUsable()) std::exit(4);
    setenv("QT_QPA_PLATFORM", "minimal:enable_fonts", 1);
    if (!DisplayUsable()) std::exit(5);
    // A plugin that is not installed would end the process inside Qt.
    setenv("QT_QPA_PLATFORM", "no-such-plugin", 1);
    std::exit(DisplayUsable() ? 6 : 0);
}

[[noreturn]] void HostWithoutWidgetsKeepsItsApplicationChild() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "host";
    char* argv[] = {name, nullptr};
    QCoreApplication host(argc, argv);
    if (EnsureApplication()) std::exit(2);
    _vrt_about("p", nullptr, nullptr, nullptr);
    std::exit(QCoreApplication::instance() == &host ? 0 : 3);
}

[[noreturn]] void OtherThreadGetsNoWindowChild() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    bool fromThreadBeforeApp = true, fromThreadAfterApp = true;
    std::thread([&] { fromThreadBeforeApp = EnsureApplication(); }).join();
    if (!EnsureApplication()) std::exit(2);
    std::thread([&] {
        fromThreadAfterApp = EnsureApplication();
        _vrt_about(nullptr, nullptr, nullptr, nullptr);  // returns at once
        platform::processMessages();                     // does nothing off the GUI thread
    }).join();
    std::exit(!fromThreadBeforeApp && !fromThreadAfterApp ? 0 : 3);
}

class QtBootstrap : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};


TEST_F(QtBootstrap, OffscreenPlatformGetsAnApplicationAndItsPump) { EXPECT_EXIT(OffscreenPlatformGetsAnApplicationAndItsPumpChild(), ::testing::ExitedWithCode(0), ""); }

TEST_F(QtBootstrap, NoDisplayMeansNoApplicationAndNoWindow) { EXPECT_EXIT(NoDisplayMeansNoApplicationAndNoWindowChild(), ::testing::ExitedWithCode(0), ""); }

TEST_F(QtBootstrap, UnreachableServersAreNotUsable) { EXPECT_EXIT(UnreachableServersAreNotUsableChild(), ::testing::ExitedWithCode(0), ""); }

TEST_F(QtBootstrap, HostWithoutWidgetsKeepsItsApplication) { EXPECT_EXIT(HostWithoutWidgetsKeepsItsApplicationChild(), ::testing::ExitedWithCode(0), ""); }

TEST_F(QtBootstrap, OtherThreadGetsNoWindow) { EXPECT_EXIT(OtherThreadGetsNoWindowChild(), ::testing::ExitedWithCode(0), ""); }

}  // namespace
}  // namespace vrt::link::gui
