#include <gtest/gtest.h>

#include <dlfcn.h>

#include "hardwarerw/tests/cfg_test_support.h"
#include "platform/cp1251.h"
#include "vbdll/link_binding.h"
#include "vbdll/tests/recording_loader.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using test::RecordingLoader;
using test::RecordingSink;

using Paths = std::vector<std::string>;

// An environment that records which variables were read.
struct FakeEnvironment {
    std::map<std::string, std::string> values;
    std::vector<std::string> reads;
    EnvironmentReader reader() {
        return [this](const char* name) {
            reads.push_back(name);
            const auto it = values.find(name);
            return it == values.end() ? std::string() : it->second;
        };
    }
};

class LinkBindingPlaces : public ::testing::Test {
protected:
    RecordingLoader loader;
    FakeEnvironment env;
    RecordingSink sink;
    LinkBinding binding{loader, env.reader()};
};

TEST_F(LinkBindingPlaces, BesideTheProgramWinsWithoutReadingTheEnvironment) {
    loader.present = {"/opt/Scada/Cfg/vrtCLNK.so"};
    loader.exported.insert(kLinkSlotNames.begin(), kLinkSlotNames.begin() + 13);
    binding.LoadLinkLibrary("/opt/Scada/Cfg/VortanOPCCfg");
    EXPECT_EQ(loader.opened, Paths{"/opt/Scada/Cfg/vrtCLNK.so"});
    EXPECT_TRUE(env.reads.empty());
    EXPECT_EQ(binding.handle(), &loader.handle);
    EXPECT_EQ(loader.looked, Paths(kLinkSlotNames.begin(), kLinkSlotNames.end()));

    const auto slots = binding.slots().addresses();
    for (size_t i = 0; i < 13; ++i) EXPECT_EQ(slots[i], &loader.addresses[kLinkSlotNames[i]]) << "slot " << i + 1;
    EXPECT_EQ(slots[5], slots[12]);  // two slots of one name
    EXPECT_EQ(slots[13], nullptr);
    EXPECT_EQ(slots[14], nullptr);
    EXPECT_TRUE(sink.entries.empty());
}

TEST_F(LinkBindingPlaces, TheParentsSysFolderAfterAnUnsetVrtDir) {
    loader.present = {"/srv/Scada/_SYS/vrtCLNK.so"};
    binding.LoadLinkLibrary("/srv/Scada/Cfg/VortanOPCCfg");
    EXPECT_EQ(loader.opened,
              (Paths{"/srv/Scada/Cfg/vrtCLNK.so", "/_SYS/vrtCLNK.so", "/srv/Scada/_SYS/vrtCLNK.so"}));
    EXPECT_EQ(env.reads, Paths{"VRT_DIR"});
}

TEST_F(LinkBindingPlaces, VrtDirComesSecond) {
    env.values["VRT_DIR"] = "/data/vrt";
    loader.present = {"/data/vrt/_SYS/vrtCLNK.so", "/srv/Scada/_SYS/vrtCLNK.so"};
    binding.LoadLinkLibrary("/srv/Scada/Cfg/VortanOPCCfg");
    EXPECT_EQ(loader.opened, (Paths{"/srv/Scada/Cfg/vrtCLNK.so", "/data/vrt/_SYS/vrtCLNK.so"}));
}

TEST_F(LinkBindingPlaces, TheSystemSearchPathComesLast) {
    env.values["VRT_DIR"] = "/v";
    loader.present = {"vrtCLNK.so"};
    binding.LoadLinkLibrary("/a/b/prog");
    EXPECT_EQ(loader.opened, (Paths{"/a/b/vrtCLNK.so", "/v/_SYS/vrtCLNK.so", "/a/_SYS/vrtCLNK.so", "vrtCLNK.so"}));
    EXPECT_EQ(binding.handle(), &loader.handle);
}

TEST_F(LinkBindingPlaces, AProgramInTheRootKeepsItsSlash) {
    loader.present = {"vrtCLNK.so"};
    binding.LoadLinkLibrary("/prog");
    EXPECT_EQ(loader.opened, (Paths{"//vrtCLNK.so", "/_SYS/vrtCLNK.so", "/_SYS/vrtCLNK.so", "vrtCLNK.so"}));
}

TEST_F(LinkBindingPlaces, NowhereFillsStandInsAndRaises) {
    int kept10 = 0, kept11 = 0;
    binding.slots()._vrtCL_fESetParam = reinterpret_cast<decltype(&_vrtCL_fESetParam)>(&kept10);
    binding.slots()._vrtCL_fIsOpen = reinterpret_cast<decltype(&_vrtCL_fIsOpen)>(&kept11);
    try {
        binding.LoadLinkLibrary("/x/y/prog");
        FAIL() << "no error";
    } catch (const EDLL1LoadError& e) {
        EXPECT_EQ(std::string(e.what()), "Не найдена библиотека vrtCLNK.DLL"_cp);
    }
    EXPECT_EQ(loader.opened.size(), 4u);
    EXPECT_TRUE(loader.looked.empty());
    EXPECT_EQ(binding.handle(), nullptr);

    const auto slots = binding.slots().addresses();
    for (size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14}) EXPECT_NE(slots[i], nullptr) << "slot " << i + 1;
    EXPECT_EQ(slots[9], &kept10);
    EXPECT_EQ(slots[10], &kept11);
    EXPECT_TRUE(sink.entries.empty()) << "nothing is shown until a stand-in is called";

    const LinkSlots& s = binding.slots();
    s._vrtCL_fInit();
    EXPECT_EQ(s._vrtCL_fOpen(0), -49);
    EXPECT_STREQ(s._vrtCL_fErr2str(-1), "");
    s._vrtCL_fMDMCmdOut();
    ASSERT_EQ(sink.entries.size(), 4u);
    for (const auto& e : sink.entries) {
        EXPECT_EQ(e.kind, "message");
        EXPECT_EQ(e.text, "Вызываемая функция недоступна, т.к. библиотека \rvrtCLNK.DLL не была подключена!"_cp);
    }
}

TEST_F(LinkBindingPlaces, AProjectWithoutTheLibraryTellsOnceAndAsksToQuit) {
    TVrtNet project(&binding, "/x/y/prog");
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind, "error");
    EXPECT_EQ(sink.entries[0].text, "Не удалось найти vrtCLNK.DLL. Приложение будет закрыто!"_cp);
    EXPECT_EQ(sink.entries[0].caption, "Ошибка!"_cp);
    EXPECT_EQ(sink.quits, 1);
    EXPECT_EQ(project.DeviceList().Count(), 0);  // the device list is still made

    test::AddDevice(project, "A");
    project.Create();  // New
    EXPECT_EQ(sink.entries.size(), 2u);
    EXPECT_EQ(project.DeviceList().Count(), 0);
}

// The real link library: three bindings (start, New, Open) leave one library
// in the process and the same slots.
TEST(LinkBindingReal, BindingThreeTimesGivesOneHandle) {
    RecordingSink sink;
    const std::string library = VRT_LINK_LIBRARY;
    const std::string program = library.substr(0, library.rfind('/')) + "/VortanOPCCfg";
    LinkBinding binding;
    TVrtNet project(&binding, program);
    void* first = binding.handle();
    ASSERT_NE(first, nullptr) << dlerror();
    const auto slots = binding.slots().addresses();
    project.Create();
    project.Create();
    EXPECT_EQ(binding.handle(), first);
    EXPECT_EQ(binding.slots().addresses(), slots);
    EXPECT_TRUE(sink.entries.empty());
    EXPECT_EQ(sink.quits, 0);

    for (size_t i = 0; i < 13; ++i) EXPECT_NE(slots[i], nullptr) << kLinkSlotNames[i];
    EXPECT_EQ(slots[13], nullptr);
    EXPECT_EQ(slots[14], nullptr);
    void* again = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(again, first);
    if (again) dlclose(again);
    EXPECT_EQ(slots[3], dlsym(first, "_vrtCL_fInit"));
}

}  // namespace
}  // namespace vrt::cfg
