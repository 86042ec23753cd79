#include <gtest/gtest.h>

#include "expdll/ventix_binding.h"
#include "hardwarerw/tag_list.h"
#include "hardwarerw/tests/cfg_test_support.h"
#include "platform/cp1251.h"
#include "vbdll/tests/recording_loader.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using test::RecordingLoader;
using test::RecordingSink;

const std::string kDoubles = VRT_OPCVENTIX_DOUBLE_DIR;

TEST(VentixBinding, LooksInTheProgramsDataFolder) {
    RecordingSink sink;
    RecordingLoader loader;
    loader.present = {"/opt/cfg/Data/OPCVentix.so"};
    loader.exported = {"ExpShow"};
    VentixBinding binding(loader);
    binding.LoadVentixLibrary("/opt/cfg/VortanOPCCfg");
    EXPECT_EQ(loader.opened, std::vector<std::string>{"/opt/cfg/Data/OPCVentix.so"});
    EXPECT_EQ(loader.looked, std::vector<std::string>{"ExpShow"});
    EXPECT_EQ(reinterpret_cast<void*>(binding.ExpShow()), &loader.addresses["ExpShow"]);
    EXPECT_TRUE(sink.entries.empty());
}

TEST(VentixBinding, AMissingLibraryIsToldOnceAndLeavesNoEntryPoint) {
    RecordingSink sink;
    test::TempDir dir("ventix");
    VentixBinding binding;
    binding.LoadVentixLibrary(dir.file("VortanOPCCfg"));
    EXPECT_EQ(binding.handle(), nullptr);
    EXPECT_EQ(binding.ExpShow(), nullptr);
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind, "message");
    EXPECT_EQ(sink.entries[0].text, "Ошибка подключения библиотеки OPCVentix.dll"_cp);
}

TEST(VentixBinding, ALibraryWithoutExpShowLoadsSilently) {
    RecordingSink sink;
    VentixBinding binding;
    binding.LoadVentixLibrary(kDoubles + "/noexport/VortanOPCCfg");
    EXPECT_NE(binding.handle(), nullptr);
    EXPECT_EQ(binding.ExpShow(), nullptr);
    EXPECT_TRUE(sink.entries.empty());
}

TEST(VentixBinding, TheEntryPointIsCalledThroughItsSlot) {
    RecordingSink sink;
    VentixBinding full;
    full.LoadVentixLibrary(kDoubles + "/full/VortanOPCCfg");
    ASSERT_NE(full.ExpShow(), nullptr);
    test::TempDir dir("ventix");
    test::writeFile(dir.file("a.prg"), "A|1|L|0|0|0\n");
    TTagList* list = NewTagList();
    EXPECT_EQ(full.ExpShow()(dir.file("a.prg").c_str(), &list), 1);
    ASSERT_EQ(TagCount(*list), 1);
    std::free(*list->items[0]);
    std::free(list->items[0]);
    FreeTagListShell(list);

    VentixBinding refusing;
    refusing.LoadVentixLibrary(kDoubles + "/false/VortanOPCCfg");
    ASSERT_NE(refusing.ExpShow(), nullptr);
    list = NewTagList();
    EXPECT_EQ(refusing.ExpShow()(dir.file("a.prg").c_str(), &list), 0);
    EXPECT_EQ(TagCount(*list), 0);
    FreeTagListShell(list);
    EXPECT_TRUE(sink.entries.empty());
}

}  // namespace
}  // namespace vrt::cfg
