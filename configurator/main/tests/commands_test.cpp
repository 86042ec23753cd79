// New, Open, Save, Save as, the close prompt and the structure commands.
#include <filesystem>

#include "main/tests/window_test_support.h"
#include "vbdll/link_binding.h"

namespace vrt::cfg::test {
namespace {

const std::string kSaved = "Сохранен файл :"_cp;

struct Commands : ::testing::Test {
    TempDir dir{"maincmd"};
    Window w;
    size_t logSize() const { return w.c.LogLines().size(); }
    std::string lastLog() const { return w.c.LogLines().back(); }
};

TEST_F(Commands, NewAsksOnlyWhenThereAreChanges) {
    w.c._NewExecute();
    EXPECT_TRUE(w.ui.prompts.empty());
    EXPECT_TRUE(w.c.ProjectOpen);
    EXPECT_TRUE(w.c.ProjectModified);  // a new project counts as changed
    EXPECT_EQ(lastLog(), "Создан новый проект."_cp);
    EXPECT_EQ(w.c.CurrentPage(), Page::Project);

    // Cancel leaves everything as it was.
    w.ui.inputs.push_back("A");
    w.c.AddDeviceExecute();
    w.c.ProjectPageValues().name = "Котельная"_cp;
    const size_t before = logSize();
    w.ui.saveAnswers.push_back(SaveAnswer::Cancel);
    w.c._NewExecute();
    EXPECT_EQ(w.ui.prompts.back(), "Сохранить изменения Котельная ?"_cp);
    EXPECT_EQ(w.devices().Count(), 1);
    EXPECT_EQ(logSize(), before);

    // No drops the changes without saving; the project texts stay.
    w.ui.saveAnswers.push_back(SaveAnswer::No);
    w.c._NewExecute();
    EXPECT_EQ(w.devices().Count(), 0);
    EXPECT_TRUE(w.c.Tree().Empty());
    EXPECT_EQ(w.c.ProjectPageValues().name, "Котельная"_cp);
    EXPECT_EQ(w.ui.saveDialogs, 0);
}

TEST_F(Commands, NewKeepsChangesThatCouldNotBeSaved) {
    w.newProject({"A"});
    // Yes, then the save-as dialog is cancelled: nothing is dropped.
    w.ui.saveAnswers.push_back(SaveAnswer::Yes);
    w.c._NewExecute();
    EXPECT_EQ(w.ui.saveDialogs, 1);
    EXPECT_EQ(w.devices().Count(), 1);

    // Yes with a file: saved, then the new project.
    w.ui.saveAnswers.push_back(SaveAnswer::Yes);
    w.ui.saveFiles.push_back(dir.file("one"));
    w.c._NewExecute();
    EXPECT_TRUE(std::filesystem::exists(dir.file("one.tag")));
    EXPECT_EQ(w.devices().Count(), 0);
    EXPECT_TRUE(w.c.ProjectFileName.empty());
}

TEST_F(Commands, SaveOfANewProjectGoesThroughSaveAs) {
    w.newProject({"A"});
    // Cancelled: nothing saved, still modified, no log line.
    const size_t before = logSize();
    EXPECT_FALSE(w.c.SaveExecute());
    EXPECT_TRUE(w.c.ProjectModified);
    EXPECT_EQ(logSize(), before);

    // "proj" without extension is written and remembered as proj.tag; the
    // log shows the line from Save as and from Save.
    w.ui.saveFiles.push_back(dir.file("proj"));
    EXPECT_TRUE(w.c.SaveExecute());
    EXPECT_EQ(w.c.ProjectFileName, dir.file("proj.tag"));
    EXPECT_FALSE(w.c.ProjectModified);
    ASSERT_EQ(logSize(), before + 2);
    EXPECT_EQ(lastLog(), kSaved + dir.file("proj.tag"));
    EXPECT_EQ(w.c.LogLines()[before], kSaved + dir.file("proj.tag"));
    EXPECT_NE(readFile(dir.file("proj.tag")).find("ObjectsName=A"), std::string::npos);

    // A name with an extension keeps it; later saves write to the file.
    w.ui.saveFiles.push_back(dir.file("other.cfg"));
    EXPECT_TRUE(w.c.FileSaveAs1Execute());
    EXPECT_EQ(w.c.ProjectFileName, dir.file("other.cfg"));
    EXPECT_TRUE(w.c.SaveExecute());
    EXPECT_EQ(w.ui.saveDialogs, 3);
    // The dialog opens in the project's folder once it has one.
    EXPECT_EQ(w.ui.saveFolders, (std::vector<std::string>{"", "", dir.file("")}));
}

TEST_F(Commands, SaveWritesWhatThePagesShow) {
    w.newProject({"A"});
    w.ui.saveFiles.push_back(dir.file("p.tag"));
    w.c.SaveExecute();
    w.select(w.node(0));
    w.c.DevicePageValues().parity = 2;  // no write-back of its own
    w.c.ProjectPageValues().name = "Name";
    EXPECT_TRUE(w.c.SaveExecute());
    EXPECT_EQ(w.device(0).Chetnost, 2);
    const std::string text = readFile(dir.file("p.tag"));
    EXPECT_NE(text.find("Chetnost=2"), std::string::npos);
    EXPECT_NE(text.find("Name=Name"), std::string::npos);
}

TEST_F(Commands, AFailedSaveIsReportedAndKeepsTheChanges) {
    w.newProject({"A"});
    const size_t before = logSize();
    w.ui.saveFiles.push_back(dir.file("no/such/folder/p.tag"));
    EXPECT_FALSE(w.c.SaveExecute());
    ASSERT_EQ(w.ui.errors.size(), 1u);
    EXPECT_EQ(w.ui.errors[0], "Unable to write to " + dir.file("no/such/folder/p.tag"));
    EXPECT_TRUE(w.c.ProjectModified);
    EXPECT_EQ(logSize(), before);

    // Closing then asks; Yes with a save that fails keeps the window open.
    w.ui.saveAnswers.push_back(SaveAnswer::Yes);
    EXPECT_FALSE(w.c.FormCloseQuery());
    EXPECT_EQ(w.ui.errors.size(), 2u);
}

TEST_F(Commands, ClosePrompt) {
    EXPECT_TRUE(w.c.FormCloseQuery());  // nothing to lose
    w.newProject({"A"});
    w.ui.saveAnswers = {SaveAnswer::Cancel, SaveAnswer::No};
    EXPECT_FALSE(w.c.FormCloseQuery());
    EXPECT_TRUE(w.c.FormCloseQuery());
    w.ui.saveAnswers = {SaveAnswer::Yes};
    w.ui.saveFiles.push_back(dir.file("c.tag"));
    EXPECT_TRUE(w.c.FormCloseQuery());
    EXPECT_TRUE(std::filesystem::exists(dir.file("c.tag")));
    EXPECT_EQ(w.ui.prompts.size(), 3u);

    // An edited project name alone is a change worth asking about.
    w.c.ProjectPageValues().name = "renamed";
    w.ui.saveAnswers = {SaveAnswer::Cancel};
    EXPECT_FALSE(w.c.FormCloseQuery());
}

TEST_F(Commands, OpenAsksBeforeReplacingChanges) {
    writeFile(dir.file("x.tag"), "[Main]\r\nFileVersion=0\r\nObjectsName=X\r\n");
    w.newProject({"A"});
    w.ui.saveAnswers.push_back(SaveAnswer::Cancel);
    w.c.FileOpenExecute();
    EXPECT_TRUE(w.ui.openFolders.empty());  // the dialog never came
    EXPECT_EQ(w.device(0).Name.str(), "A");

    w.ui.saveAnswers.push_back(SaveAnswer::No);
    w.ui.openFiles.push_back(dir.file("x.tag"));
    w.c.FileOpenExecute();
    EXPECT_EQ(w.ui.openFolders.back(), "/opt/vortan/Cfg/");
    ASSERT_EQ(w.devices().Count(), 1);
    EXPECT_EQ(w.device(0).Name.str(), "X");
    EXPECT_FALSE(w.c.ProjectModified);

    // Cancelling the dialog changes nothing.
    w.c.FileOpenExecute();
    EXPECT_EQ(w.device(0).Name.str(), "X");
}

TEST_F(Commands, OpenOfAMissingFileShowsWhatWasRead) {
    w.ui.openFiles.push_back(dir.file("none.tag"));
    w.c.FileOpenExecute();
    ASSERT_EQ(w.sink.entries.size(), 1u);
    EXPECT_EQ(w.sink.entries[0].text, "Не обнаружен файл с тегами!"_cp);
    EXPECT_EQ(lastLog(), "Открыт файл "_cp + dir.file("none.tag"));
    EXPECT_TRUE(w.c.ProjectOpen);
    EXPECT_EQ(w.c.ProjectFileName, dir.file("none.tag"));
}

TEST_F(Commands, OpenTellsWhichTagsItCouldNotRead) {
    writeFile(dir.file("bad.tag"),
              "[Main]\r\nFileVersion=0\r\nObjectsName=D\r\n[D.Переменные]\r\nok=1,L,R\r\nbad=x,L\r\n"_cp);
    w.ui.openFiles.push_back(dir.file("bad.tag"));
    w.c.FileOpenExecute();
    EXPECT_EQ(lastLog(), "Тэг не прочитан, неверное значение: D.bad=x,L"_cp);
    EXPECT_EQ(w.device(0).TagCount(), 1);
}

TEST_F(Commands, AddDeviceProposesAFreeNameAndAppends) {
    w.newProject({"A", "B"});
    ASSERT_EQ(w.ui.queries.size(), 2u);
    EXPECT_EQ(w.ui.queries[0].caption, "Введите Имя прибора"_cp);
    EXPECT_EQ(w.ui.queries[0].prompt, "");
    EXPECT_EQ(w.ui.queries[0].initial, "Прибор №0"_cp);

    w.c.AddDeviceExecute();  // cancelled
    EXPECT_EQ(w.devices().Count(), 2);
    w.ui.inputs.push_back(std::string("C,D"));
    w.c.AddDeviceExecute();
    ASSERT_EQ(w.devices().Count(), 3);
    TDevice& c = w.device(2);
    EXPECT_EQ(c.Name.str(), "CD");  // a comma would split it in the file
    EXPECT_EQ(c.Number, 3);
    EXPECT_EQ(c.IdBase, 3000);
    EXPECT_EQ(c.Speed, 19200);
    EXPECT_EQ(c.RepNum, 2);
    EXPECT_EQ(c.NumDial, 0);
    ExpectTreeMatchesModel(w.c);
    EXPECT_EQ(w.c.Tree().Selected(), nullptr);  // not selected
    EXPECT_EQ(w.c.CurrentDevice, nullptr);

    w.ui.inputs.push_back(std::string(120, 'n'));
    w.c.AddDeviceExecute();
    EXPECT_EQ(w.device(3).Name.size(), 100u);
    EXPECT_EQ(w.device(3).Number, 4);
    EXPECT_EQ(w.ui.queries.back().initial, "Прибор №0"_cp);
    // Nor a name another device holds in other letter case.
    w.ui.inputs.push_back("пРИБОР №0"_cp);
    w.c.AddDeviceExecute();
    w.c.AddDeviceExecute();
    EXPECT_EQ(w.ui.queries.back().initial, "Прибор №1"_cp);
}

// Device names the file could not bring back as they are (a blank name,
// alone, saves as an empty device list; a name whose sections are another
// device's, which would share its settings and tags): refused by Add device,
// which adds nothing, and by the device page, which keeps and shows the old
// name.
TEST_F(Commands, DeviceNamesTheFileCannotBringBackAreRefused) {
    w.newProject({"A", "Котёл"_cp});
    const std::string empty = "Имя прибора не может быть пустым!"_cp;
    const std::string control =
        "Имя прибора не может содержать табуляцию, перевод строки и другие управляющие символы!"_cp;
    const std::string taken = "Прибор с таким именем уже есть в проекте (большие и малые буквы не различаются): "_cp;
    const struct {
        std::string typed, refusal;
    } rows[] = {{"", empty},         {" , ", empty},  {"\t", empty},         {"A\tB", control},
                {"A\r\nB", control}, {" B ", ""},      {"b ", taken + "b "}, {" кОТЁЛ"_cp, taken + " кОТЁЛ"_cp}};
    DevicePage& dp = w.c.DevicePageValues();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        const size_t errors = w.ui.errors.size();
        const int32_t count = w.devices().Count();
        w.select(w.node(0));
        dp.name = r.typed;
        w.c.RefPribExecute();
        if (r.refusal.empty()) {
            EXPECT_EQ(w.device(0).Name.str(), r.typed);
            dp.name = "A";
            w.c.RefPribExecute();
        }
        w.ui.inputs.push_back(r.typed);
        w.c.AddDeviceExecute();
        EXPECT_EQ(w.devices().Count(), count + (r.refusal.empty() ? 1 : 0));
        if (r.refusal.empty()) {
            EXPECT_EQ(w.device(count).Name.str(), r.typed);
            EXPECT_EQ(w.ui.errors.size(), errors);
        } else {
            ASSERT_EQ(w.ui.errors.size(), errors + 2);
            EXPECT_EQ(w.ui.errors[errors], r.refusal);
            EXPECT_EQ(w.ui.errors.back(), r.refusal);
            EXPECT_EQ(w.device(0).Name.str(), "A");
            EXPECT_EQ(dp.name, "A");
        }
    }
    ExpectTreeMatchesModel(w.c);
}

TEST_F(Commands, DeleteDeviceKeepsTreeAndListInStep) {
    w.newProject({"A", "B", "C"});
    w.addTags(1, {"b1"});
    w.select(w.node(1));
    w.c.DeleteDeviceExecute();
    ASSERT_EQ(w.devices().Count(), 2);
    EXPECT_EQ(w.device(1).Name.str(), "C");
    EXPECT_EQ(w.device(1).Number, 2);
    EXPECT_EQ(w.c.CurrentDevice, w.devices().Cell(1));  // the device now at the position
    EXPECT_EQ(w.c.DeviceNode, w.node(1));
    EXPECT_EQ(w.c.Tree().Selected(), w.node(1));
    ExpectTreeMatchesModel(w.c);

    // The last of two: the one before becomes current.
    w.c.DeleteDeviceExecute();
    EXPECT_EQ(w.c.CurrentDevice, w.devices().Cell(0));
    EXPECT_EQ(w.c.DevicePageValues().name, "A");

    // The only one: nothing left, nothing current, and the project changed.
    w.c.ProjectModified = false;
    w.c.DeleteDeviceExecute();
    EXPECT_TRUE(w.c.Tree().Empty());
    EXPECT_EQ(w.c.CurrentDevice, nullptr);
    EXPECT_EQ(w.c.DeviceNode, nullptr);
    EXPECT_EQ(w.c.SelectedNode, nullptr);
    EXPECT_FALSE(w.c.Ui().deleteDeviceEnabled);
    EXPECT_TRUE(w.c.ProjectModified);
}

TEST_F(Commands, DeletingTheOnlyDeviceIsNeverLostOnClose) {
    writeFile(dir.file("one.tag"), "[Main]\r\nFileVersion=0\r\nObjectsName=A\r\n[A.Связь]\r\nComNum=1\r\n"_cp);
    w.ui.openFiles.push_back(dir.file("one.tag"));
    w.c.FileOpenExecute();
    ASSERT_FALSE(w.c.ProjectModified);
    w.select(w.node(0));
    w.c.DeleteDeviceExecute();
    ASSERT_EQ(w.devices().Count(), 0);

    // Closing asks, and Yes saves the empty project.
    w.ui.saveAnswers.push_back(SaveAnswer::Yes);
    EXPECT_TRUE(w.c.FormCloseQuery());
    EXPECT_EQ(w.ui.prompts.size(), 1u);
    EXPECT_NE(readFile(dir.file("one.tag")).find("ObjectsName=\r\n"), std::string::npos);
    Window again;
    again.ui.openFiles.push_back(dir.file("one.tag"));
    again.c.FileOpenExecute();
    EXPECT_EQ(again.devices().Count(), 0);
}

// A name read from the middle of the list with a blank at its end, then
// made the last one: it comes back with its settings and tags.
TEST_F(Commands, ADeviceNameWithABlankAtItsEndSurvivesAtTheEnd) {
    writeFile(dir.file("p.tag"), "[Main]\r\nFileVersion=0\r\nObjectsName=A,B ,C\r\n"
                                 "[B .Связь]\r\nComNum=1\r\nNetNumber=7\r\n[B .Переменные]\r\nT1=5,F,RW\r\n"
                                 "[A.Связь]\r\nNetNumber=3\r\n"_cp);
    w.ui.openFiles.push_back(dir.file("p.tag"));
    w.c.FileOpenExecute();
    w.select(w.node(2));
    w.c.DeleteDeviceExecute();
    ASSERT_TRUE(w.c.SaveExecute());
    EXPECT_NE(readFile(dir.file("p.tag")).find("ObjectsName=\"A,B \"\r\n"), std::string::npos);

    Window again;
    again.ui.openFiles.push_back(dir.file("p.tag"));
    again.c.FileOpenExecute();
    ASSERT_EQ(again.devices().Count(), 2);
    EXPECT_EQ(again.device(0).Name.str(), "A");
    EXPECT_EQ(again.device(0).NetNumber, 3);
    EXPECT_EQ(again.device(1).Name.str(), "B ");
    EXPECT_EQ(again.device(1).ComNum, 1);
    EXPECT_EQ(again.device(1).NetNumber, 7);
    EXPECT_EQ(TagNames(again.device(1)), (std::vector<std::string>{"T1"}));
}

TEST_F(Commands, DeleteDeviceNeedsASelectedDeviceNode) {
    w.newProject({"A"});
    w.addTags(0, {"t"});
    w.select(w.node(0, 0));
    w.c.DeleteDeviceExecute();
    EXPECT_EQ(w.devices().Count(), 1);
}

TEST_F(Commands, AddTagGoesToTheDeviceOfTheSelection) {
    w.newProject({"A", "B"});
    w.addTags(1, {"b0"});
    w.select(w.node(0));
    w.select(w.node(1, 0));
    w.ui.inputs.push_back(std::nullopt);
    w.c.AddTagExecute();
    EXPECT_EQ(w.device(1).TagCount(), 1);
    w.ui.inputs.push_back("t=1");
    w.c.AddTagExecute();
    EXPECT_EQ(w.ui.queries.back().caption, "Введите Имя переменной"_cp);
    EXPECT_EQ(w.ui.queries.back().prompt, "Добавить в B"_cp);
    EXPECT_EQ(w.ui.queries.back().initial, "Тэг №0"_cp);
    ASSERT_EQ(w.device(1).TagCount(), 2);
    const TTagOPC& t = *w.device(1).Tag(1);
    EXPECT_EQ(t.Name.str(), "t1");  // '=' would end the tag's key in the file
    EXPECT_EQ(t.VarType, 'L');
    EXPECT_EQ(t.RW, 0);
    EXPECT_EQ(t.ID, 2001);
    EXPECT_EQ(t.Path.str(), "B.t1");
    EXPECT_EQ(w.device(0).TagCount(), 0);
    ExpectTreeMatchesModel(w.c);
    EXPECT_EQ(w.c.Tree().Selected(), w.node(1, 0));  // the new tag is not selected

    // Nor may a key have blanks at its ends.
    w.ui.inputs.push_back(" \tt2 ");
    w.c.AddTagExecute();
    EXPECT_EQ(w.device(1).Tag(2)->Name.str(), "t2");
    EXPECT_EQ(w.device(1).Tag(2)->Path.str(), "B.t2");
}

TEST_F(Commands, DeleteTagLeavesNoStaleCurrentTag) {
    w.newProject({"A"});
    w.addTags(0, {"a", "b", "c"});
    w.select(w.node(0, 0));
    w.c.DeleteTagExecute();
    EXPECT_EQ(TagNames(w.device(0)), (std::vector<std::string>{"b", "c"}));
    ExpectTreeMatchesModel(w.c);
    // The selected node now shows "b", and "b" is the current tag.
    EXPECT_EQ(w.c.CurrentTag, w.device(0).TagCell(0));
    EXPECT_EQ(w.c.TagPageValues().name, "b");
    EXPECT_EQ(w.device(0).Tag(0)->ID, 1000);
    w.c.TagPageValues().name = "bb";
    w.c.RefTagExecute();
    EXPECT_EQ(w.device(0).Tag(0)->Name.str(), "bb");
    EXPECT_EQ(w.node(0, 0)->Text().substr(0, 3), "bb ");

    // Deleting the last tag moves the selection to the one before.
    w.select(w.node(0, 1));
    w.c.DeleteTagExecute();
    EXPECT_EQ(w.c.Tree().Selected(), w.node(0, 0));
    EXPECT_EQ(w.c.CurrentTag, w.device(0).TagCell(0));
    w.c.DeleteTagExecute();
    EXPECT_EQ(w.device(0).TagCount(), 0);
    EXPECT_EQ(w.c.Tree().Selected(), w.node(0));  // then to the device
    EXPECT_EQ(w.c.CurrentTag, nullptr);
    EXPECT_EQ(w.c.TagNode, nullptr);
    w.c.DeleteTagExecute();  // a device node selected: nothing happens
    ExpectTreeMatchesModel(w.c);
}

TEST_F(Commands, UpAndDownMoveTheCurrentTagAndSelectIt) {
    w.newProject({"A", "B"});
    w.addTags(1, {"t0", "t1", "t2"});
    w.select(w.node(1, 2));
    w.c.UpTagExecute();
    w.c.UpTagExecute();
    EXPECT_EQ(TagNames(w.device(1)), (std::vector<std::string>{"t2", "t0", "t1"}));
    EXPECT_EQ(w.device(1).Tag(0)->ID, 2000);
    EXPECT_EQ(w.device(1).Tag(1)->ID, 2001);
    EXPECT_EQ(w.c.Tree().Selected(), w.node(1, 0));
    EXPECT_EQ(w.c.CurrentTag, w.device(1).TagCell(0));
    ExpectTreeMatchesModel(w.c);

    w.c.ProjectModified = false;
    w.c.UpTagExecute();  // already at the top
    EXPECT_EQ(TagNames(w.device(1)), (std::vector<std::string>{"t2", "t0", "t1"}));
    EXPECT_FALSE(w.c.ProjectModified);

    w.c.DownTagExecute();
    w.c.DownTagExecute();
    w.c.DownTagExecute();  // already at the bottom
    EXPECT_EQ(TagNames(w.device(1)), (std::vector<std::string>{"t0", "t1", "t2"}));
    EXPECT_EQ(w.c.Tree().Selected(), w.node(1, 2));
    EXPECT_EQ(w.c.TagPageValues().name, "t2");
    ExpectTreeMatchesModel(w.c);

    w.select(w.node(1));  // a device node: Up and Down do nothing
    w.c.DownTagExecute();
    EXPECT_EQ(TagNames(w.device(1)), (std::vector<std::string>{"t0", "t1", "t2"}));
}

TEST_F(Commands, SavedMovesAndDeletesReloadAsShown) {
    w.newProject({"A"});
    w.addTags(0, {"a", "b", "c"});
    w.select(w.node(0, 2));
    w.c.UpTagExecute();
    w.select(w.node(0, 0));
    w.c.DeleteTagExecute();
    w.ui.saveFiles.push_back(dir.file("m.tag"));
    ASSERT_TRUE(w.c.SaveExecute());

    Window other;
    other.ui.openFiles.push_back(dir.file("m.tag"));
    other.c.FileOpenExecute();
    EXPECT_EQ(TagNames(other.device(0)), (std::vector<std::string>{"c", "b"}));
}

// The link library refuses to load: reported, and the program is asked to end.
struct NoLibrary final : LibraryLoader {
    void* open(const std::string&) override { return nullptr; }
    void* symbol(void*, const char*) override { return nullptr; }
};

TEST(CommandsLink, AMissingLinkLibraryEndsTheProgram) {
    NoLibrary loader;
    LinkBinding binding(loader, [](const char*) { return std::string(); });
    Window w(&binding);
    ASSERT_EQ(w.sink.entries.size(), 1u);
    EXPECT_EQ(w.sink.entries[0].kind, "error");
    EXPECT_EQ(w.sink.entries[0].text, "Не удалось найти vrtCLNK.DLL. Приложение будет закрыто!"_cp);
    EXPECT_EQ(w.sink.entries[0].caption, "Ошибка!"_cp);
    EXPECT_EQ(w.sink.quits, 1);
    // New binds again and meets the same end, after doing its work.
    w.c._NewExecute();
    EXPECT_EQ(w.sink.quits, 2);
    EXPECT_TRUE(w.c.ProjectOpen);
}

}  // namespace
}  // namespace vrt::cfg::test
