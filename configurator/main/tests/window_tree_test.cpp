// Start-up, the tree after Open, the selection handler and the command states.
#include "main/tests/window_test_support.h"

namespace vrt::cfg::test {
namespace {

std::string SampleFile() {
    return std::string("[Main]\r\nFileVersion=0\r\nName=Котельная\r\nDescript=Цех 2\r\nObjectsName=A,B,C\r\n"
                       "[A.Связь]\r\nComNum=1\r\nSpeed=9600\r\nNetNumber=5\r\nRepNum=3\r\n"
                       "[A.Переменные]\r\nT1=5,L,R\r\nT2=7,F,RW,twmQUEUE\r\nT3=8,L,RW\r\n"
                       "[B.Связь]\r\nComNum=0\r\n"
                       "[B.Переменные]\r\nX=1,F,R\r\n"
                       "[C.Связь]\r\nSpeed=14400\r\nBlockSize=100\r\nRepPause=20\r\nChetnost=7\r\n"_cp);
}

struct Opened : ::testing::Test {
    TempDir dir{"mainwin"};
    Window w;
    void SetUp() override {
        writeFile(dir.file("p.tag"), SampleFile());
        w.ui.openFiles.push_back(dir.file("p.tag"));
        w.c.FileOpenExecute();
    }
};

TEST(WindowStart, EmptyWorkspaceWithOnlyNewAndOpen) {
    Window w;
    EXPECT_TRUE(w.c.Tree().Empty());
    const UiState& s = w.c.Ui();
    EXPECT_TRUE(s.newEnabled && s.openEnabled && s.infoTabVisible);
    EXPECT_FALSE(s.saveEnabled || s.saveAsEnabled || s.importEnabled || s.addDeviceEnabled ||
                 s.deleteDeviceEnabled || s.addTagEnabled || s.deleteTagEnabled || s.upTagEnabled ||
                 s.downTagEnabled);
    EXPECT_FALSE(s.deviceTabVisible || s.tagTabVisible || s.projectTabVisible || s.deviceMenusMerged);
    EXPECT_EQ(w.c.CurrentPage(), Page::Info);
    EXPECT_EQ(w.c.OpenDialogFolder(), "/opt/vortan/Cfg/");

    const std::vector<std::string>& log = w.c.LogLines();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[0], "Конфигуратор для Vortan OPC Server 3.0b"_cp);
    EXPECT_EQ(log[2], "Версия 3.0 beta от 09.10.2008. "_cp);
    EXPECT_EQ(log[6], "Поддержка протоколов обмена Vortan BUS [RTU],Vortan BUS[ASCII]"_cp);
    EXPECT_EQ(log[8], std::string(113, '-'));
    EXPECT_TRUE(log[1].empty() && log[3].empty() && log[5].empty() && log[7].empty());
    EXPECT_TRUE(w.sink.entries.empty());
}

TEST_F(Opened, TreeShowsEveryDeviceAndTagWithNoSelection) {
    ExpectTreeMatchesModel(w.c);
    EXPECT_EQ(w.node(0)->Text(), "A          (COM2:  9600:5)");
    EXPECT_EQ(w.node(0, 1)->Image(), 2);
    EXPECT_EQ(w.device(0).Tag(2)->ID, 1002);  // renumbered after the load
    EXPECT_EQ(w.device(1).Tag(0)->ID, 2000);
    EXPECT_EQ(w.c.Tree().Selected(), nullptr);
    EXPECT_EQ(w.c.CurrentDevice, nullptr);
    EXPECT_EQ(w.c.CurrentTag, nullptr);
    const UiState& s = w.c.Ui();
    EXPECT_TRUE(s.deviceMenusMerged && s.addDeviceEnabled && s.saveEnabled && s.saveAsEnabled &&
                s.projectTabVisible);
    EXPECT_FALSE(s.deviceTabVisible || s.tagTabVisible || s.deleteDeviceEnabled || s.addTagEnabled);
    EXPECT_FALSE(w.c.ProjectModified);
    EXPECT_EQ(w.c.ProjectFileName, dir.file("p.tag"));
    EXPECT_EQ(w.c.LogLines().back(), "Открыт файл "_cp + dir.file("p.tag"));
    // The project page shows the opened project at once.
    EXPECT_EQ(w.c.ProjectPageValues().name, "Котельная"_cp);
    EXPECT_EQ(w.c.ProjectPageValues().description, "Цех 2"_cp);
}

TEST_F(Opened, SelectingADeviceLoadsItsFirstTagToo) {
    w.select(w.node(0));
    EXPECT_EQ(w.c.CurrentDevice, w.devices().Cell(0));
    EXPECT_EQ(w.c.CurrentTag, w.device(0).TagCell(0));
    EXPECT_EQ(w.c.DeviceNode, w.node(0));
    EXPECT_EQ(w.c.TagNode, w.node(0, 0));
    EXPECT_EQ(w.c.SelectedNode, w.node(0));
    EXPECT_EQ(w.c.CurrentPage(), Page::Device);
    EXPECT_EQ(w.c.DevicePageValues().name, "A");
    EXPECT_EQ(w.c.TagPageValues().name, "T1");
    EXPECT_FALSE(w.c.Filling);
    const UiState& s = w.c.Ui();
    EXPECT_TRUE(s.deviceTabVisible && s.tagTabVisible && s.deleteDeviceEnabled && s.addTagEnabled &&
                s.deleteTagEnabled && s.upTagEnabled && s.downTagEnabled && s.importEnabled);

    // A device without tags: no current tag; the tag page and its tab keep
    // what they had.
    w.select(w.node(2));
    EXPECT_EQ(w.c.CurrentTag, nullptr);
    EXPECT_EQ(w.c.TagNode, nullptr);
    EXPECT_EQ(w.c.TagPageValues().name, "T1");
    EXPECT_TRUE(w.c.Ui().tagTabVisible);
    EXPECT_FALSE(w.c.ProjectModified);  // looking changes nothing
}

TEST_F(Opened, SelectingATagMakesItsDeviceCurrent) {
    w.select(w.node(0));
    w.select(w.node(1, 0));
    EXPECT_EQ(w.c.CurrentDevice, w.devices().Cell(1));
    EXPECT_EQ(w.c.CurrentTag, w.device(1).TagCell(0));
    EXPECT_EQ(w.c.DeviceNode, w.node(1));
    EXPECT_EQ(w.c.TagNode, w.node(1, 0));
    EXPECT_EQ(w.c.CurrentPage(), Page::Tag);
    EXPECT_EQ(w.c.DevicePageValues().name, "B");
    EXPECT_EQ(w.c.TagPageValues().path, "B.X");
    EXPECT_EQ(w.c.TagPageValues().id, "2000");

    // Editing the device page now changes B and B's node, not A's.
    w.c.DevicePageValues().name = "Bee";
    w.c.RefPribExecute();
    EXPECT_EQ(w.device(1).Name.str(), "Bee");
    EXPECT_EQ(w.device(0).Name.str(), "A");
    EXPECT_EQ(w.node(1)->Text().substr(0, 3), "Bee");
    EXPECT_EQ(w.node(0)->Text().substr(0, 2), "A ");
    EXPECT_TRUE(w.c.ProjectModified);
}

TEST_F(Opened, ClearingTheSelectionDropsTheCurrentDevice) {
    w.select(w.node(0, 1));
    w.select(nullptr);
    EXPECT_EQ(w.c.CurrentDevice, nullptr);
    EXPECT_NE(w.c.CurrentTag, nullptr);  // kept, as the handler leaves it
    EXPECT_FALSE(w.c.Ui().deviceTabVisible || w.c.Ui().tagTabVisible || w.c.Ui().addTagEnabled);
    EXPECT_TRUE(w.c.Ui().addDeviceEnabled);
}

TEST_F(Opened, SyncBringsNodesInLineWithTheModel) {
    TDevice& a = w.device(0);
    // Change the model behind the tree's back, then sync.
    a.Tag(0)->RW = 1;                 // same text, other image
    a.Tag(1)->Name.assign("Renamed");  // other text
    a.DeleteTag(2);
    w.c.ProjectModified = false;
    w.c.SyncTagNodes(w.devices().Cell(0), w.node(0), 0);
    EXPECT_TRUE(w.c.ProjectModified);
    ExpectTreeMatchesModel(w.c);

    // Mode 1 only appends: changed texts stay as they were.
    a.Tag(0)->Name.assign("Other");
    TTagOPC* extra = NewTag();
    extra->Name.assign("New");
    extra->VarType = 'L';
    a.AddTag(NewTagCell(extra));
    w.c.SyncTagNodes(w.devices().Cell(0), w.node(0), 1);
    ASSERT_EQ(w.node(0)->ChildCount(), 3);
    EXPECT_EQ(w.node(0, 0)->Text().substr(0, 2), "T1");
    EXPECT_EQ(w.node(0, 2)->Text().substr(0, 3), "New");
    EXPECT_EQ(extra->ID, 1002);
    a.Tag(0)->Name.assign("T1");

    // Device mode 0 after the list lost its middle entry and reordered.
    w.devices().Delete(1);
    w.c.SyncDeviceNodes(0);
    ExpectTreeMatchesModel(w.c);
    EXPECT_EQ(w.device(1).Number, 2);
    EXPECT_EQ(w.device(1).IdBase, 2000);
}

TEST_F(Opened, ValuesTheListsCannotShowSurviveBrowsing) {
    // Device C: speed 14400, packet size 100, pause 20 and parity 7 are in no
    // list; selecting it and moving on must not change them.
    w.select(w.node(2));
    EXPECT_EQ(w.c.DevicePageValues().speed, -1);
    EXPECT_EQ(w.c.DevicePageValues().blockSize, -1);
    EXPECT_EQ(w.c.DevicePageValues().repPause, -1);
    EXPECT_EQ(w.c.DevicePageValues().parity, -1);
    w.c.DevicePageValues().name = "C2";  // a bound control still writes back
    w.c.RefPribExecute();
    w.select(w.node(0));
    TDevice& c = w.device(2);
    EXPECT_EQ(c.Name.str(), "C2");
    EXPECT_EQ(c.Speed, 14400);
    EXPECT_EQ(c.BlockSize, 100);
    EXPECT_EQ(c.RepPause, 20);
    EXPECT_EQ(c.Chetnost, 7);
    EXPECT_TRUE(w.ui.errors.empty());
}

TEST(WindowTree, MenusAppearWithTheFirstProjectAndStay) {
    Window w;
    w.c._NewExecute();
    EXPECT_TRUE(w.c.Ui().deviceMenusMerged);
    EXPECT_TRUE(w.c.Ui().addDeviceEnabled);
    w.ui.saveAnswers.push_back(SaveAnswer::No);
    w.c._NewExecute();
    EXPECT_TRUE(w.c.Ui().deviceMenusMerged);
}

}  // namespace
}  // namespace vrt::cfg::test
