#include "dlgset/module_names.h"

#include <gtest/gtest.h>

#include "dlgset/link_settings.h"
#include "platform/module.h"

using namespace vrt::link;

TEST(ModuleNames, ChangeFileExtWorksOnTheFileNameOnly) {
    EXPECT_EQ(ChangeFileExt("/opt/app/host.exe", ".INI"), "/opt/app/host.INI");
    EXPECT_EQ(ChangeFileExt("/opt/app/host", ".INI"), "/opt/app/host.INI");
    EXPECT_EQ(ChangeFileExt("/opt/my.app/host", ".INI"), "/opt/my.app/host.INI");
    EXPECT_EQ(ChangeFileExt("/opt/a.b/c.d.e", ".CFG"), "/opt/a.b/c.d.CFG");
    EXPECT_EQ(ChangeFileExt("vrtCLNK.so", "_"), "vrtCLNK_");
    EXPECT_EQ(ChangeFileExt("vrtCLNK_", "P.exe"), "vrtCLNK_P.exe");
    EXPECT_EQ(ChangeFileExt("", ".INI"), ".INI");
    EXPECT_EQ(ExtractFileName("/a.b/host"), "host");
    EXPECT_EQ(ExtractFileName("host"), "host");
    EXPECT_EQ(ExtractFileName("/a/"), "");
}

TEST(ModuleNames, CaptionAndLogName) {
    auto n = MakeModuleNames("/srv/plant/P.exe", "/usr/lib/vrt/vrtCLNK.so");
    EXPECT_EQ(n.messageCaption, "vrtCLink: P.exe");
    EXPECT_EQ(n.errLogFile, "/srv/plant/vrtCLNK_P.err");
    EXPECT_EQ(n.libraryPath, "/usr/lib/vrt/vrtCLNK.so");

    n = MakeModuleNames("/srv/my.plant/scada", "/srv/my.plant/vrtCLNK.so");
    EXPECT_EQ(n.messageCaption, "vrtCLink: scada");
    EXPECT_EQ(n.errLogFile, "/srv/my.plant/vrtCLNK_scada.err");

    n = MakeModuleNames("/srv/p/host.bin", "");  // library path unknown
    EXPECT_EQ(n.errLogFile, "/srv/p/_host.err");

    n = MakeModuleNames("", "/x/vrtCLNK.so");  // host unknown: no log file anywhere
    EXPECT_EQ(n.messageCaption, "vrtCLink: ");
    EXPECT_EQ(n.errLogFile, "");
}

TEST(ModuleNames, ConfigFileNames) {
    auto c = MakeConfigFileNames("/srv/my.plant/scada", "/srv/lib/vrtCLNK.so", "/etc");
    EXPECT_EQ(c.local, "/srv/my.plant/scada.INI");
    EXPECT_EQ(c.global, "/srv/lib/vrtCLNK.CFG");

    c = MakeConfigFileNames("/srv/p/P.exe", "", "/etc");
    EXPECT_EQ(c.local, "/srv/p/P.INI");
    EXPECT_EQ(c.global, "/etc/vrtCLink.CFG");
    EXPECT_EQ(MakeConfigFileNames("/p/h", "", "/etc/").global, "/etc/vrtCLink.CFG");

    c = MakeConfigFileNames("", "", "");  // nothing known: no file to write at all
    EXPECT_EQ(c.local, "");
    EXPECT_EQ(c.global, "");
}

TEST(ModuleNames, PathsAreNeverCut) {
    const std::string folder = "/" + std::string(1500, 'd') + ".x";
    const auto n = MakeModuleNames(folder + "/host", folder + "/vrtCLNK.so");
    EXPECT_EQ(n.errLogFile, folder + "/vrtCLNK_host.err");
    EXPECT_EQ(MakeConfigFileNames(folder + "/host", folder + "/vrtCLNK.so", "/etc").local, folder + "/host.INI");
}

TEST(ModuleNames, BuiltOnceFromTheRunningProgram) {
    const ModuleNames& n = BuildModuleNames();
    EXPECT_EQ(&n, &BuildModuleNames());
    EXPECT_EQ(n.hostPath, vrt::platform::hostPath());
    // Linked into this test program, the library's code lives in the program.
    EXPECT_EQ(n.libraryPath, n.hostPath);
    EXPECT_EQ(n.messageCaption, "vrtCLink: " + ExtractFileName(n.hostPath));
}
