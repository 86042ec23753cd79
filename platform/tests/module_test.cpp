#include "platform/module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

TEST(Module, HostPathIsTheRunningProgram) {
    const std::string host = vrt::platform::hostPath();
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(host.front(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(host, "/proc/self/exe"));
}

TEST(Module, ModulePathOfAnAddress) {
    static int insideProgram = 0;
    EXPECT_EQ(vrt::platform::modulePathOf(&insideProgram), vrt::platform::hostPath());
    EXPECT_EQ(vrt::platform::modulePathOf(reinterpret_cast<const void*>(&vrt::platform::hostPath)),
              vrt::platform::hostPath());

    // A function no sanitizer runtime stands in for.
    void* libm = ::dlopen("libm.so.6", RTLD_NOW);
    ASSERT_NE(libm, nullptr);
    const std::string path = vrt::platform::modulePathOf(::dlsym(libm, "cos"));
    EXPECT_EQ(path.front(), '/');
    EXPECT_NE(path.find("libm"), std::string::npos) << path;
    ::dlclose(libm);

    EXPECT_EQ(vrt::platform::modulePathOf(nullptr), "");
    int onTheStack = 0;
    EXPECT_EQ(vrt::platform::modulePathOf(&onTheStack), "");
}

TEST(Module, SystemFolder) { EXPECT_EQ(vrt::platform::systemFolder(), "/etc"); }
