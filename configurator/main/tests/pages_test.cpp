// The device, tag and project pages: fill, write-back and what they keep.
#include "main/tests/window_test_support.h"

namespace vrt::cfg::test {
namespace {

struct Pages : ::testing::Test {
    Window w;
    DevicePage& dp = w.c.DevicePageValues();
    TagPage& tp = w.c.TagPageValues();
    void SetUp() override {
        w.newProject({"A", "B"});
        w.addTags(0, {"T1", "T2"});
        for (int i = 0; i < 2; ++i) w.device(0).Tag(i)->WRepNum = 1;
        w.select(w.node(0, 0));
    }
};

TEST_F(Pages, DevicePageShowsTheDevice) {
    TDevice& b = w.device(1);
    b.ComNum = 2;
    b.Speed = 57600;
    b.Chetnost = 4;
    b.BlockSize = 256;
    b.SpecMode = true;
    b.RepPause = 500;
    b.UseModem = true;
    w.select(w.node(1));
    EXPECT_EQ(dp.name, "B");
    EXPECT_EQ(dp.port, 2);
    EXPECT_EQ(dp.parity, 4);
    // Lists of numbers select the item that reads as the value.
    EXPECT_EQ(SpeedItems()[size_t(dp.speed)], "57600");
    EXPECT_EQ(BlockSizeItems()[size_t(dp.blockSize)], "256");
    EXPECT_EQ(RepPauseItems()[size_t(dp.repPause)], "500");
    EXPECT_EQ(dp.specMode, 1);
    EXPECT_TRUE(dp.useModem && dp.modemEnabled);

    // The next device with special mode clear shows "нет" again.
    w.select(w.node(0));
    EXPECT_EQ(dp.specMode, 0);
    EXPECT_FALSE(dp.modemEnabled);
    dp.useModem = true;
    w.c.UseModemCBoxClick();
    EXPECT_TRUE(dp.modemEnabled);
    EXPECT_FALSE(w.device(0).UseModem);  // the click itself writes nothing back
}

TEST_F(Pages, EveryControlReachesTheModelAtTheNextWriteBack) {
    dp.parity = 2;
    dp.protocol = 0;
    dp.blockSize = 3;
    dp.specMode = 1;
    dp.repNum = 7;
    dp.repPause = 0;
    dp.useModem = true;
    dp.phone = std::string(25, '5');
    dp.numDial = 3;
    TDevice& a = w.device(0);
    EXPECT_EQ(a.RepNum, 2);  // not yet
    dp.netNumber = "$10";    // a bound control: write-back now
    w.c.RefPribExecute();
    EXPECT_EQ(a.NetNumber, 16);
    EXPECT_EQ(a.Chetnost, 2);
    EXPECT_EQ(a.ProtocolNum, 0);
    EXPECT_EQ(a.BlockSize, 128);
    EXPECT_TRUE(a.SpecMode);
    EXPECT_EQ(a.RepNum, 7);
    EXPECT_EQ(a.RepPause, 1);
    EXPECT_TRUE(a.UseModem);
    EXPECT_EQ(a.PhoneNum.str(), std::string(20, '5'));
    EXPECT_EQ(a.NumDial, 3);
    EXPECT_EQ(w.node(0)->Text(), DeviceNodeText(a));

    // Coming back shows what was stored.
    w.select(w.node(1));
    w.select(w.node(0));
    EXPECT_EQ(dp.repNum, 7);
}

TEST_F(Pages, SelectionWriteBackCountsAsAChange) {
    w.c.ProjectModified = false;
    dp.parity = 3;  // a control without write-back of its own
    w.select(w.node(1));
    EXPECT_EQ(w.device(0).Chetnost, 3);
    EXPECT_TRUE(w.c.ProjectModified);

    // Browsing without edits leaves the project unmodified.
    w.c.ProjectModified = false;
    w.select(w.node(0, 1));
    w.select(w.node(1));
    EXPECT_FALSE(w.c.ProjectModified);
}

TEST_F(Pages, ANetworkNumberThatIsNoNumberIsReportedAndKept) {
    dp.name = "A2";
    dp.netNumber = "";
    w.c.RefPribExecute();
    ASSERT_EQ(w.ui.errors.size(), 1u);
    EXPECT_EQ(w.ui.errors[0], "'' is not a valid integer value");
    TDevice& a = w.device(0);
    EXPECT_EQ(a.NetNumber, 33);
    EXPECT_EQ(a.Name.str(), "A2");  // the other fields are stored
    EXPECT_EQ(w.node(0)->Text().substr(0, 2), "A2");

    // Typing over it is fine; letters are reported again.
    dp.netNumber = "7";
    w.c.RefPribExecute();
    EXPECT_EQ(a.NetNumber, 7);
    dp.netNumber = "7x";
    w.select(w.node(1));  // the handler reports and still moves on
    EXPECT_EQ(w.ui.errors.back(), "'7x' is not a valid integer value");
    EXPECT_EQ(w.c.CurrentDevice, w.devices().Cell(1));
    EXPECT_EQ(dp.netNumber, "33");
    EXPECT_EQ(a.NetNumber, 7);
}

TEST_F(Pages, SpinValuesTheEditsCannotShowAreKeptUnlessChanged) {
    TDevice& b = w.device(1);
    b.RepNum = 5000;
    b.NumDial = -3;
    w.select(w.node(1));
    EXPECT_EQ(dp.repNum, kRepNumMax);
    EXPECT_EQ(dp.numDial, 0);
    w.select(w.node(0));
    EXPECT_EQ(b.RepNum, 5000);
    EXPECT_EQ(b.NumDial, -3);
    w.select(w.node(1));
    dp.repNum = 12;
    w.select(w.node(0));
    EXPECT_EQ(b.RepNum, 12);
}

TEST_F(Pages, NamesAreCutAndKeepOutWhatTheFileWouldSplit) {
    dp.name = "Котёл,1"_cp + std::string(120, 'x');
    w.c.RefPribExecute();
    EXPECT_EQ(w.device(0).Name.str(), ("Котёл1"_cp + std::string(120, 'x')).substr(0, 100));
    tp.name = "a=b" + std::string(60, 'y');
    w.c.RefTagExecute();
    EXPECT_EQ(w.device(0).Tag(0)->Name.str(), ("ab" + std::string(60, 'y')).substr(0, 50));

    // A tag name is its key in the file, and keys lose the blanks at their
    // ends: so does the name, also where the cut to 50 leaves one.
    tp.name = " \t T1  ";
    w.c.RefTagExecute();
    EXPECT_EQ(w.device(0).Tag(0)->Name.str(), "T1");
    tp.name = std::string(49, 'z') + " tail";
    w.c.RefTagExecute();
    EXPECT_EQ(w.device(0).Tag(0)->Name.str(), std::string(49, 'z'));
    // A device name keeps its blanks: the file keeps them too.
    dp.name = " A ";
    w.c.RefPribExecute();
    EXPECT_EQ(w.device(0).Name.str(), " A ");
}

// Devices whose names the file takes for one share their variables
// section: a tag of one cannot take the name of a tag of the other.
TEST_F(Pages, DevicesSharingASectionShareTheirTagNames) {
    w.device(1).Name.assign(" a");  // as a file may name them
    w.select(w.node(1));
    w.ui.inputs.push_back(std::string("t2"));
    w.c.AddTagExecute();
    EXPECT_EQ(w.device(1).TagCount(), 0);
    EXPECT_EQ(w.ui.errors, std::vector<std::string>{TakenTagNameRefusal("t2")});
    // Nor does Add tag propose such a name, in any case of its letters.
    w.select(w.node(0, 0));
    tp.name = "тэг №0"_cp;
    w.c.RefTagExecute();
    w.select(w.node(1));
    w.c.AddTagExecute();
    EXPECT_EQ(w.ui.queries.back().initial, "Тэг №1"_cp);
}

TEST_F(Pages, TagPageFillAndWriteBack) {
    TTagOPC& t2 = *w.device(0).Tag(1);
    t2.NumVar = 17;
    t2.VarType = 'F';
    t2.RW = 1;
    t2.WriteMode = 1;
    t2.WRepNum = 5;
    w.select(w.node(0, 1));
    EXPECT_EQ(tp.name, "T2");
    EXPECT_EQ(tp.numVar, 17);
    EXPECT_EQ(tp.varType, 1);
    EXPECT_EQ(tp.rwType, 1);
    EXPECT_EQ(tp.rwMode, 1);
    EXPECT_EQ(tp.wRepNum, 5);
    EXPECT_TRUE(tp.wRepNumEnabled);
    EXPECT_TRUE(tp.writeModeVisible);
    EXPECT_EQ(tp.path, "A.T2");
    EXPECT_EQ(tp.id, "1001");

    // Access changes the node's image at once; the write-mode group follows
    // only at the next fill.
    tp.rwType = 0;
    w.c.RefTagExecute();
    EXPECT_EQ(t2.RW, 0);
    EXPECT_EQ(w.node(0, 1)->Image(), 1);
    EXPECT_EQ(w.node(0, 1)->SelectedImage(), 1);
    EXPECT_TRUE(tp.writeModeVisible);
    tp.numVar = 200;
    tp.varType = 0;
    w.c.RefTagExecute();
    EXPECT_EQ(w.node(0, 1)->Text(), TagNodeText(t2));
    EXPECT_EQ(t2.VarType, 'L');
    EXPECT_EQ(t2.NumVar, 200);
    w.select(w.node(0, 0));
    w.select(w.node(0, 1));
    EXPECT_FALSE(tp.writeModeVisible);
}

TEST_F(Pages, NoWriteRepeatsShowsTwoAndDisablesTheEditForGood) {
    TTagOPC& t1 = *w.device(0).Tag(0);
    TTagOPC& t2 = *w.device(0).Tag(1);
    t1.WRepNum = 0;
    t2.WRepNum = 4;
    w.select(w.node(0, 1));
    EXPECT_TRUE(tp.wRepNumEnabled);
    w.select(w.node(0, 0));
    EXPECT_EQ(tp.wRepNum, 2);
    EXPECT_FALSE(tp.wRepNumEnabled);
    w.select(w.node(0, 1));
    EXPECT_EQ(tp.wRepNum, 4);
    EXPECT_FALSE(tp.wRepNumEnabled);
    EXPECT_EQ(t1.WRepNum, 0);  // never stored
}

TEST_F(Pages, WriteModesAndTypesTheListsLackAreKept) {
    TTagOPC& t2 = *w.device(0).Tag(1);
    t2.RW = 1;
    t2.WriteMode = 2;  // twmStack: not in the list
    t2.VarType = 'X';
    w.select(w.node(0, 1));
    EXPECT_EQ(tp.rwMode, -1);
    EXPECT_EQ(tp.varType, -1);  // not the type of the tag shown before
    tp.name = "T2b";
    w.c.RefTagExecute();
    w.select(w.node(0, 0));
    EXPECT_EQ(t2.WriteMode, 2);
    EXPECT_EQ(t2.VarType, 'X');
    EXPECT_EQ(t2.Name.str(), "T2b");
}

TEST_F(Pages, FillingIgnoresWriteBacks) {
    w.c.ProjectModified = false;
    w.c.Filling = true;
    dp.name = "zzz";
    w.c.RefPribExecute();
    w.c.RefTagExecute();
    w.c._TagNameKeyPress();
    EXPECT_FALSE(w.c.ProjectModified);
    EXPECT_EQ(w.device(0).Name.str(), "A");
    w.c.Filling = false;
    // Any key in the tag name writes back and marks the project modified.
    w.c._TagNameKeyPress();
    EXPECT_TRUE(w.c.ProjectModified);
}

TEST_F(Pages, SelectingADeviceWithoutTagsWritesNothingToTags) {
    w.select(w.node(1));
    tp.name = "ghost";
    w.c.RefTagExecute();
    EXPECT_EQ(w.device(0).Tag(0)->Name.str(), "T1");
    EXPECT_EQ(w.device(0).Tag(1)->Name.str(), "T2");
}

TEST_F(Pages, ProjectPageFillsOnShowAndStoresOnExit) {
    w.c.Project().ProjectName = "P";
    w.c.PageShown(Page::Project);
    EXPECT_EQ(w.c.ProjectPageValues().name, "P");
    EXPECT_EQ(w.c.CurrentPage(), Page::Project);
    w.c.ProjectModified = false;
    w.c.ProjectPageValues().description = "line 1\nline 2";
    w.c.StoreProjectInfo();
    EXPECT_EQ(w.c.Project().Description, "line 1\nline 2");
    EXPECT_TRUE(w.c.ProjectModified);  // so the prompts keep it
}

}  // namespace
}  // namespace vrt::cfg::test
