// Tags built by the OPCVentix double, which writes raw bytes at fixed
// offsets: what the configurator reads from them, and that it leaves every
// byte it does not own alone through import, renumbering and save.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "expdll/ventix_binding.h"
#include "hardwarerw/tag_file.h"
#include "hardwarerw/tests/cfg_test_support.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using namespace std::string_literals;
using test::AddDevice;
using test::readFile;
using test::RecordingSink;
using test::TagNames;
using test::TempDir;
using test::writeFile;

ExpShowFn doubleExpShow() {
    static VentixBinding binding;
    static const bool loaded = (binding.LoadVentixLibrary(std::string(VRT_OPCVENTIX_DOUBLE_DIR) + "/full/prog"), true);
    (void)loaded;
    return binding.ExpShow();
}

// Runs the double over `prg` and hands back its list; frees the list shell.
struct Import {
    TTagList* list = NewTagList();
    uint8_t answer = 0;
    explicit Import(const std::string& prg) { answer = doubleExpShow()(prg.c_str(), &list); }
    ~Import() { FreeTagListShell(list); }
};

using Bytes = std::array<unsigned char, sizeof(TTagOPC)>;
Bytes bytesOf(const TTagOPC* tag) {
    Bytes b;
    std::memcpy(b.data(), tag, b.size());
    return b;
}

std::string repeatName() { return std::string(100, 'N'); }

// Bytes of the fields the configurator writes: Path, ID, Index.
bool ownedByConfigurator(size_t offset) { return (offset >= 55 && offset < 207) || (offset >= 208 && offset < 216); }

class ImportedTags : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(doubleExpShow(), nullptr); }
    TempDir dir{"import"};
    RecordingSink sink;
};

TEST_F(ImportedTags, FieldsReadAtTheirOffsets) {
    writeFile(dir.file("a.prg"), "T1|5|L|1|1|3\n"s + "Тэг2"_cp + "|700|F|0|0|0\n");
    Import imp(dir.file("a.prg"));
    ASSERT_EQ(imp.answer, 1);
    ASSERT_EQ(TagCount(*imp.list), 2);
    const TTagOPC* t1 = TagAt(*imp.list, 0);
    EXPECT_EQ(t1->classRef, 0xC1A55EF0u);
    EXPECT_EQ(t1->Name.str(), "T1");
    EXPECT_EQ(t1->NumVar, 5);
    EXPECT_EQ(t1->VarType, 'L');
    EXPECT_EQ(t1->RW, 1);
    EXPECT_EQ(t1->WriteMode, 1);
    EXPECT_EQ(t1->WRepNum, 3);
    EXPECT_EQ(t1->reserved207, 0xA7);
    EXPECT_EQ(t1->reserved245, 0xE5);
    EXPECT_EQ(t1->reserved248, int32_t(0xE8E8E8E8u));
    const TTagOPC* t2 = TagAt(*imp.list, 1);
    EXPECT_EQ(t2->Name.str(), "Тэг2"_cp);
    EXPECT_EQ(t2->NumVar, 700);
    EXPECT_EQ(t2->VarType, 'F');
    EXPECT_EQ(t2->RW, 0);

    TDevice device;
    EXPECT_EQ(AppendTags(device.Tags, *imp.list), 2);
}

TEST_F(ImportedTags, ForeignBytesSurviveImportRenumberingAndSave) {
    writeFile(dir.file("a.prg"), "T1|5|L|1|1|3\nT2|6|F|1|2|0\n");
    Import imp(dir.file("a.prg"));
    ASSERT_EQ(imp.answer, 1);
    std::vector<Bytes> before;
    for (int i = 0; i < TagCount(*imp.list); ++i) before.push_back(bytesOf(TagAt(*imp.list, i)));

    TVrtNet project;
    TDevice& device = AddDevice(project, "Dev");
    test::AddTag(device, "own", 1);
    ASSERT_EQ(AppendTags(device.Tags, *imp.list), 2);
    RenumberDevices(project.DeviceList());
    RenumberTags(device);
    EXPECT_EQ(device.Tag(1)->Path.str(), "Dev.T1");
    EXPECT_EQ(device.Tag(1)->ID, 1001);
    EXPECT_EQ(device.Tag(2)->Index, 2);
    SaveTagFile(project, dir.file("p.tag"));

    for (int i = 0; i < 2; ++i) {
        const Bytes after = bytesOf(device.Tag(i + 1));
        for (size_t off = 0; off < after.size(); ++off) {
            if (ownedByConfigurator(off)) continue;
            ASSERT_EQ(after[off], before[size_t(i)][off]) << "tag " << i << " byte " << off;
        }
    }
    TVrtNet again;
    ASSERT_EQ(LoadTagFile(again, dir.file("p.tag")), 0);
    const TDevice& back = *again.DeviceList().Device(0);
    EXPECT_EQ(TagNames(back), (std::vector<std::string>{"own", "T1", "T2"}));
    EXPECT_EQ(back.Tag(2)->WriteMode, 2);
    EXPECT_EQ(back.Tag(2)->VarType, 'F');
}

TEST_F(ImportedTags, DamagedEntriesAreIgnored) {
    writeFile(dir.file("a.prg"), "!nullcell\n!nulltag\n!overlong|Long\nZ|9||1|2|1\nok|1|L|0|0|0\n");
    Import imp(dir.file("a.prg"));
    ASSERT_EQ(imp.answer, 1);
    ASSERT_EQ(TagCount(*imp.list), 5);
    TTagCell* emptyCell = TagCellAt(*imp.list, 1);

    TVrtNet project;
    TDevice& device = AddDevice(project, repeatName());
    ASSERT_EQ(AppendTags(device.Tags, *imp.list), 3);
    std::free(emptyCell);  // not taken over, so still the list maker's

    const TTagOPC* longTag = device.Tag(0);
    EXPECT_EQ(longTag->Name.len, 50);  // clamped from 255
    EXPECT_EQ(longTag->Path.len, 151);
    RenumberDevices(project.DeviceList());
    RenumberTags(device);
    EXPECT_EQ(longTag->Path.size(), 100u + 1u + 50u);
    EXPECT_EQ(device.Tag(1)->VarType, '\0');

    SaveTagFile(project, dir.file("p.tag"));
    const std::string text = readFile(dir.file("p.tag"));
    EXPECT_NE(text.find("\r\nZ=9,L,RW,twmStack\r\n"), std::string::npos) << "a zero type is written as L";
    EXPECT_EQ(text.find('\0'), std::string::npos);
    TVrtNet again;
    ASSERT_EQ(LoadTagFile(again, dir.file("p.tag")), 0);
    EXPECT_EQ(again.DeviceList().Device(0)->TagCount(), 3);
}

TEST_F(ImportedTags, AListWhoseCountExceedsItsCapacityGivesNothing) {
    writeFile(dir.file("a.prg"), "A|1|L|0|0|0\n!badcount\n");
    Import imp(dir.file("a.prg"));
    ASSERT_EQ(imp.answer, 1);
    TDevice device;
    EXPECT_EQ(AppendTags(device.Tags, *imp.list), 0);
    EXPECT_EQ(device.TagCount(), 0);
    // Released by hand: the one real entry.
    std::free(*imp.list->items[0]);
    std::free(imp.list->items[0]);
}

TEST_F(ImportedTags, AFileTheDoubleCannotReadAnswersFalse) {
    Import imp(dir.file("missing.prg"));
    EXPECT_EQ(imp.answer, 0);
    EXPECT_EQ(TagCount(*imp.list), 0);
}

}  // namespace
}  // namespace vrt::cfg
