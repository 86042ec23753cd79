// The settings entry points of the built vrtCLNK.so, loaded with dlopen as a
// host loads them, and the unload of a library whose modeless window is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <cstring>
#include <dlfcn.h>
#include <filesystem>

#include "dialog_test_helpers.h"
#include "vrtclnk.h"

namespace {

namespace th = vrt::link::testhelp;

// vrtCLNK.so is built beside the test programs.
std::string LibraryPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vrtCLNK.so").string();
}

template <class F>
F Sym(void* lib, const char* name) {
    return reinterpret_cast<F>(dlsym(lib, name));
}

TEST(DlgSetupLibrary, SettingsEntryPointsOfTheBuiltLibrary) {
    const std::string path = LibraryPath();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "vrtCLNK.so not built";
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, lib) << dlerror();

    auto set = Sym<decltype(&_vrtCL_fESetParam)>(lib, "_vrtCL_fESetParam");
    auto get = Sym<decltype(&_vrtCL_fEGetParam)>(lib, "_vrtCL_fEGetParam");
    auto protocol = Sym<decltype(&_vrtCL_fGetProtocol)>(lib, "_vrtCL_fGetProtocol");
    auto setup = Sym<decltype(&_vrtCL_fDlgSetup)>(lib, "_vrtCL_fDlgSetup");
    auto frm = Sym<void**>(lib, "_FrmDlgSet");
    ASSERT_TRUE(set && get && protocol && setup && frm);

    EXPECT_EQ(1, set(1, 9600, 7, 2, 2, 500, 1, 1, 3));
    int32_t baud = 0, data = 0, stop = 0, parity = 0, max = 0, mode = 0, modem = 0, proto = 0;
    EXPECT_EQ(1, get(1, &baud, &data, &stop, &parity, &max, &mode, &modem, &proto));
    EXPECT_EQ(9600, baud);
    EXPECT_EQ(7, data);
    EXPECT_EQ(2, stop);
    EXPECT_EQ(2, parity);
    EXPECT_EQ(500, max);
    EXPECT_EQ(1, mode);
    EXPECT_EQ(1, modem);
    EXPECT_EQ(3, proto);
    char name[24];
    EXPECT_EQ(2, protocol(1, name, 0));
    EXPECT_STREQ("MODBUS [RTU]", name);
    EXPECT_EQ(-4, set(4, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-1, setup(7, 0));

    // A modeless statistics window is open when the host unloads the library:
    // the window goes with the library instead of being left without its code.
    ASSERT_TRUE(th::EnsureTestApp());
    EXPECT_EQ(2, setup(3, 2));
    QPointer<QWidget> window = static_cast<QWidget*>(*frm);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(0, dlclose(lib));
    EXPECT_FALSE(window);
    th::Spin(50);  // the application goes on without it
}

}  // namespace
