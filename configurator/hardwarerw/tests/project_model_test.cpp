#include <gtest/gtest.h>

#include <cstring>

#include "hardwarerw/tests/cfg_test_support.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using test::AddDevice;
using test::AddTag;
using test::TagNames;

std::string repeat(const char* unit, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += unit;
    return s;
}

TEST(ProjectModel, NewTagIsZeroExceptItsUnsignedByteValue) {
    TTagOPC* tag = NewTag();
    const auto* bytes = reinterpret_cast<const unsigned char*>(tag);
    for (size_t i = 0; i < sizeof(TTagOPC); ++i) {
        if (i == 224) continue;
        ASSERT_EQ(bytes[i], 0u) << "byte " << i;
    }
    EXPECT_EQ(bytes[224], 17u);  // VT_UI1, value 0
    std::free(tag);
}

TEST(ProjectModel, LongTextsKeepTheirFirstCharacters) {
    TDevice device;
    device.Name.assign(repeat("Ж"_cp, 120));
    device.PhoneNum.assign(repeat("9", 25));
    TTagOPC* tag = NewTag();
    tag->Name.assign(repeat("я"_cp, 60));
    EXPECT_EQ(device.Name.str(), repeat("Ж"_cp, 100));
    EXPECT_EQ(device.PhoneNum.str(), repeat("9", 20));
    EXPECT_EQ(tag->Name.str(), repeat("я"_cp, 50));
    // A foreign object whose length byte exceeds the field reads as the field.
    tag->Name.len = 255;
    EXPECT_EQ(tag->Name.size(), 50u);
    std::free(tag);
}

TEST(ProjectModel, TheLongestPathIsNeverCut) {
    TVrtNet project;
    const std::string name = repeat("Д"_cp, 100);
    TDevice& device = AddDevice(project, name);
    AddTag(device, repeat("т"_cp, 50));
    RenumberDevices(project.DeviceList());
    RenumberTags(device);
    EXPECT_EQ(device.Tag(0)->Path.str(), repeat("Д"_cp, 100) + "." + repeat("т"_cp, 50));
    EXPECT_EQ(device.Tag(0)->Path.size(), 151u);
}

TEST(ProjectModel, IdsAndPathsFollowPositions) {
    TVrtNet project;
    // Names first: clang 14 crashes on a _cp literal inside a reference's initializer.
    const std::string boiler = "Котельная"_cp, pumps = "Насосная"_cp;
    TDevice& a = AddDevice(project, boiler);
    TDevice& b = AddDevice(project, pumps);
    AddTag(a, "T0");
    for (const char* n : {"P0", "P1", "P2"}) AddTag(b, n);
    RenumberDevices(project.DeviceList());
    RenumberTags(a);
    RenumberTags(b);
    EXPECT_EQ(a.Number, 1);
    EXPECT_EQ(a.IdBase, 1000);
    EXPECT_EQ(a.Tag(0)->ID, 1000);
    EXPECT_EQ(a.Tag(0)->Index, 0);
    EXPECT_EQ(b.Tag(2)->ID, 2002);
    EXPECT_EQ(b.Tag(2)->Path.str(), "Насосная.P2"_cp);

    // Up, twice, as the main window moves a tag: insert above, drop the old entry.
    TTagCell* third = b.TagCell(2);
    b.InsertTag(1, third);
    b.DeleteTag(3);
    b.InsertTag(0, third);
    b.DeleteTag(2);
    RenumberTags(b);
    EXPECT_EQ(TagNames(b), (std::vector<std::string>{"P2", "P0", "P1"}));
    EXPECT_EQ(b.Tag(0)->ID, 2000);
    EXPECT_EQ(b.Tag(0)->Index, 0);
    EXPECT_EQ(b.Tag(1)->ID, 2001);

    // Deleting keeps the IDs consecutive; the removed tag stays readable.
    TTagOPC* removed = b.Tag(1);
    ASSERT_TRUE(b.DeleteTag(1));
    RenumberTags(b);
    EXPECT_EQ(b.Tag(1)->Name.str(), "P1");
    EXPECT_EQ(b.Tag(1)->ID, 2001);
    EXPECT_EQ(removed->Name.str(), "P0");
    EXPECT_FALSE(b.DeleteTag(5));

    // A fourth device joins at the end; the others keep their numbers.
    AddDevice(project, "C");
    AddDevice(project, "D");
    RenumberDevices(project.DeviceList());
    EXPECT_EQ(project.DeviceList().Device(3)->Number, 4);
    EXPECT_EQ(project.DeviceList().Device(3)->IdBase, 4000);
    EXPECT_EQ(b.Number, 2);
    // Renumbering devices alone leaves tag IDs as they were.
    project.DeviceList().Delete(0);
    RenumberDevices(project.DeviceList());
    EXPECT_EQ(b.IdBase, 1000);
    EXPECT_EQ(b.Tag(0)->ID, 2000);
    EXPECT_EQ(a.Name.str(), "Котельная"_cp);  // the removed device stays valid
}

TEST(ProjectModel, A1001stTagSharesTheNextDevicesFirstId) {
    TVrtNet project;
    TDevice& a = AddDevice(project, "A");
    TDevice& b = AddDevice(project, "B");
    for (int i = 0; i < 1001; ++i) AddTag(a, "t" + std::to_string(i));
    AddTag(b, "first");
    RenumberDevices(project.DeviceList());
    RenumberTags(a);
    RenumberTags(b);
    EXPECT_EQ(a.Tag(1000)->ID, b.Tag(0)->ID);
}

TEST(ProjectModel, NewDeviceDefaultsLeaveNameDialsAndBlockMode) {
    TDevice device;
    device.Name.assign("X");
    device.NumDial = 7;
    device.BlockMode = 9;
    device.PhoneNum.assign("123");
    SetDeviceDefaults(device);
    EXPECT_EQ(device.Name.str(), "X");
    EXPECT_EQ(test::LinkFields(device),
              "ComNum=0 Speed=19200 Chetnost=0 StopBit=1 DataBit=8 SpecMode=0 BlockSize=1024 RepNum=2 "
              "RepPause=25 ProtocolNum=1 OPCSpecMode=0 tMax=200 tMin=20 UseModem=0 NumDial=7 PhoneNum= "
              "NetNumber=33 BlockMode=9 ");
    TDevice fresh;
    SetDeviceDefaults(fresh);
    EXPECT_EQ(fresh.NumDial, 0);
    EXPECT_EQ(fresh.BlockMode, 0);
}

TEST(ProjectModel, ReconstructionKeepsFieldsAndOldDevicesAlive) {
    TVrtNet project;
    project.ProjectName = "P";
    TDevice& old = AddDevice(project, "Old");
    TDeviceList* before = &project.DeviceList();
    project.Create();
    EXPECT_NE(&project.DeviceList(), before);
    EXPECT_EQ(project.DeviceList().Count(), 0);
    EXPECT_EQ(project.ProjectName, "P");
    EXPECT_EQ(old.Name.str(), "Old");  // a stale reference still reads
}

TEST(TagList, InsertDeleteAndDamagedLists) {
    TTagList* list = NewTagList();
    TTagOPC* tags[3];
    for (int i = 0; i < 3; ++i) {
        tags[i] = NewTag();
        TagListInsert(*list, 0, NewTagCell(tags[i]));  // each goes first
    }
    EXPECT_EQ(TagCount(*list), 3);
    EXPECT_EQ(TagAt(*list, 0), tags[2]);
    EXPECT_EQ(TagAt(*list, 2), tags[0]);
    EXPECT_EQ(TagAt(*list, 3), nullptr);
    EXPECT_EQ(TagAt(*list, -1), nullptr);
    TTagCell* middle = TagCellAt(*list, 1);
    EXPECT_TRUE(TagListDelete(*list, 1));
    EXPECT_FALSE(TagListDelete(*list, 2));
    EXPECT_EQ(TagAt(*list, 1), tags[0]);
    TagListInsert(*list, 99, middle);  // out of range appends
    EXPECT_EQ(TagCellAt(*list, 2), middle);

    // A list whose count exceeds its capacity is read as empty.
    const int32_t count = list->count;
    list->count = list->capacity + 1;
    EXPECT_EQ(TagCount(*list), 0);
    EXPECT_EQ(TagAt(*list, 0), nullptr);
    list->count = count;
    for (int i = 0; i < TagCount(*list); ++i) {
        std::free(*list->items[i]);
        std::free(list->items[i]);
    }
    FreeTagListShell(list);
}

}  // namespace
}  // namespace vrt::cfg
