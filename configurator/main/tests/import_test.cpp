// The tag import through the OPCVentix doubles, and the real link library's
// binding at start-up.
#include "main/tests/window_test_support.h"
#include "vbdll/link_binding.h"

namespace vrt::cfg::test {
namespace {

std::string DoubleProgram(const char* variant) {
    return std::string(VRT_OPCVENTIX_DOUBLE_DIR) + "/" + variant + "/VortanOPCCfg";
}

struct Import : ::testing::Test {
    TempDir dir{"mainimp"};
    VentixBinding ventix;
    std::unique_ptr<Window> w;

    void start(const char* variant) {
        w.reset();  // one recording sink at a time
        w = std::make_unique<Window>(nullptr, &ventix, DoubleProgram(variant));
        w->newProject({"A", "B"});
        w->addTags(1, {"t0", "t1", "t2"});
    }
    std::string prg(const std::string& lines) {
        const std::string file = dir.file("p.prg");
        writeFile(file, lines);
        return file;
    }
};

TEST_F(Import, AppendsTheTagsToTheCurrentDevice) {
    start("full");
    EXPECT_TRUE(w->sink.entries.empty());
    ASSERT_NE(ventix.ExpShow(), nullptr);
    w->select(w->node(1, 1));  // a tag node: its device takes the import
    w->c.ProjectModified = false;
    w->ui.prgFiles.push_back(prg("In1|12|F|1|1|3\nt0|4|L|0|0|0\n"));
    w->c._ImportPRJExecute();

    TDevice& b = w->device(1);
    ASSERT_EQ(b.TagCount(), 4);  // not t0 again: the device has it
    const TTagOPC& in1 = *b.Tag(3);
    EXPECT_EQ(in1.Name.str(), "In1");
    EXPECT_EQ(in1.NumVar, 12);
    EXPECT_EQ(in1.VarType, 'F');
    EXPECT_EQ(in1.RW, 1);
    EXPECT_EQ(in1.WriteMode, 1);
    EXPECT_EQ(in1.WRepNum, 3);
    EXPECT_EQ(in1.ID, 2003);
    EXPECT_EQ(in1.Index, 3);
    EXPECT_EQ(in1.Path.str(), "B.In1");
    EXPECT_EQ(w->ui.errors, std::vector<std::string>{"Тэги с недопустимыми именами не импортированы:\n\"t0\""_cp});
    EXPECT_EQ(w->device(0).TagCount(), 0);
    EXPECT_TRUE(w->node(1)->Expanded());
    EXPECT_TRUE(w->c.ProjectModified);
    EXPECT_EQ(w->c.PrgFileName, dir.file("p.prg"));
    ExpectTreeMatchesModel(w->c);

    // Imported tags save and read back like any other.
    w->ui.saveFiles.push_back(dir.file("i.tag"));
    ASSERT_TRUE(w->c.SaveExecute());
    Window other;
    other.ui.openFiles.push_back(dir.file("i.tag"));
    other.c.FileOpenExecute();
    EXPECT_EQ(TagNames(other.device(1)), (std::vector<std::string>{"t0", "t1", "t2", "In1"}));
    EXPECT_EQ(other.device(1).Tag(3)->WriteMode, 1);
}

TEST_F(Import, DamagedListsGiveOnlyTheUsableTags) {
    start("full");
    w->select(w->node(0));
    w->ui.prgFiles.push_back(prg("!nullcell\n!nulltag\n!overlong|Long\nok|1|L|0|0|0\n"));
    w->c._ImportPRJExecute();
    ASSERT_EQ(w->device(0).TagCount(), 2);
    EXPECT_EQ(w->device(0).Tag(1)->Name.str(), "ok");
    ExpectTreeMatchesModel(w->c);
}

// Imported names become keys of the file like every other tag name: no
// blanks at their ends, no '='.
TEST_F(Import, ImportedNamesAreTakenAsKeys) {
    start("full");
    w->select(w->node(0));
    w->ui.prgFiles.push_back(prg(" In1 |12|F|1|1|3\nx=y|1|L|0|0|0\n" + std::string(49, 'n') + " m|2|L|0|0|0\n"));
    w->c._ImportPRJExecute();
    ASSERT_EQ(w->device(0).TagCount(), 3);
    EXPECT_EQ(TagNames(w->device(0)), (std::vector<std::string>{"In1", "xy", std::string(49, 'n')}));
    EXPECT_EQ(w->device(0).Tag(0)->Path.str(), "A.In1");
    ExpectTreeMatchesModel(w->c);
}

// A name whose key the file could not hold (none, a comment, a section
// header, the key of another tag of the device) is refused wherever a name
// is entered: the tag page keeps the old name and shows it again, Add tag
// adds nothing, the import leaves the tag out. Names that only need
// cleaning pass.
TEST_F(Import, TagNamesNoKeyCanHoldAreRefusedWhereverEntered) {
    start("full");
    w->addTags(0, {"t1", "Темп"_cp});
    w->addTags(1, {"Темп"_cp});
    const std::string empty = "Имя тэга не может быть пустым!"_cp;
    const std::string start = "Имя тэга не может начинаться с \";\" или \"[\": "_cp;
    const std::string taken = "Тэг с таким именем уже есть в приборе (большие и малые буквы не различаются): "_cp;
    struct Row {
        std::string typed, name, refusal;
    };
    const Row rows[] = {{"", "", empty},          {" \t ", "", empty},         {";c", ";c", start + ";c"},
                        {" ;c ", ";c", start + ";c"}, {"[a];b", "[a];b", start + "[a];b"}, {"=[x", "[x", start + "[x"},
                        {"t1", "t1", taken + "t1"}, {"T1 ", "T1", taken + "T1"}, {"тЕМП"_cp, "тЕМП"_cp, taken + "тЕМП"_cp},
                        {"a;b", "a;b", ""},       {"a[b]", "a[b]", ""}};
    std::vector<std::string> accepted;
    std::string prgLines, importRefusal = "Тэги с недопустимыми именами не импортированы:"_cp;
    std::vector<std::string> imported;
    for (const Row& r : rows) {
        if (r.refusal.empty()) accepted.push_back(r.name);
        if (r.typed.empty()) continue;  // the double skips a line without a name; blanks stand for it
        if (r.refusal.empty()) imported.push_back(r.name);
        else importRefusal += "\n\"" + r.name + "\"";
        prgLines += r.typed + "|1|L|0|0|0\n";
    }
    // Two of one name in the import: the first is taken.
    prgLines += "A;B|1|L|0|0|0\n";
    importRefusal += "\n\"A;B\"";

    TagPage& tp = w->c.TagPageValues();
    w->select(w->node(1, 0));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        const size_t errors = w->ui.errors.size();
        tp.name = r.typed;
        w->c.RefTagExecute();
        if (r.refusal.empty()) {
            EXPECT_EQ(w->device(1).Tag(0)->Name.str(), r.name);
            tp.name = "t0";
            w->c.RefTagExecute();
            EXPECT_EQ(w->ui.errors.size(), errors);
        } else {
            ASSERT_EQ(w->ui.errors.size(), errors + 1);
            EXPECT_EQ(w->ui.errors.back(), r.refusal);
            EXPECT_EQ(w->device(1).Tag(0)->Name.str(), "t0");
            EXPECT_EQ(tp.name, "t0");
        }
    }
    EXPECT_EQ(w->node(1, 0)->Text().substr(0, 3), "t0 ");

    // A name the file already holds stays when another field changes.
    w->device(1).Tag(1)->Name.assign("[t1");
    w->select(w->node(1, 1));
    tp.numVar = 9;
    const size_t errors = w->ui.errors.size();
    w->c.RefTagExecute();
    EXPECT_EQ(w->device(1).Tag(1)->Name.str(), "[t1");
    EXPECT_EQ(w->device(1).Tag(1)->NumVar, 9);
    EXPECT_EQ(w->ui.errors.size(), errors);
    tp.name = "t1";
    w->c.RefTagExecute();

    w->select(w->node(0));
    for (const Row& r : rows) {
        w->ui.inputs.push_back(r.typed);
        w->c.AddTagExecute();
        if (!r.refusal.empty()) {
            EXPECT_EQ(w->ui.errors.back(), r.refusal) << r.typed;
        }
    }
    accepted.insert(accepted.begin(), {"t1", "Темп"_cp});
    EXPECT_EQ(TagNames(w->device(0)), accepted);

    w->select(w->node(1));
    w->ui.prgFiles.push_back(prg(prgLines));
    w->c._ImportPRJExecute();
    imported.insert(imported.begin(), {"t0", "t1", "t2", "Темп"_cp});
    EXPECT_EQ(TagNames(w->device(1)), imported);
    EXPECT_EQ(w->ui.errors.back(), importRefusal);
    ExpectTreeMatchesModel(w->c);
}

TEST_F(Import, NothingIsImportedWithoutAnAnswer) {
    start("full");
    w->select(w->node(1));
    // The dialog cancelled, also after an earlier import.
    w->ui.prgFiles.push_back(prg("x|1|L|0|0|0\n"));
    w->c._ImportPRJExecute();
    w->c._ImportPRJExecute();
    EXPECT_EQ(w->device(1).TagCount(), 4);
    EXPECT_EQ(w->ui.prgDialogs, 2);
    // A file the library cannot read: it answers false.
    w->ui.prgFiles.push_back(dir.file("missing.prg"));
    w->c._ImportPRJExecute();
    EXPECT_EQ(w->device(1).TagCount(), 4);
    // No current device: the command does nothing, not even its dialog.
    w->select(nullptr);
    EXPECT_FALSE(w->c.Ui().importEnabled);
    w->c._ImportPRJExecute();
    EXPECT_EQ(w->ui.prgDialogs, 3);
}

TEST_F(Import, LibrariesThatCannotImport) {
    for (const char* variant : {"false", "noexport"}) {
        start(variant);
        EXPECT_TRUE(w->sink.entries.empty()) << variant;
        w->select(w->node(1));
        w->c.ProjectModified = false;
        w->ui.prgFiles.push_back(prg("x|1|L|0|0|0\n"));
        w->c._ImportPRJExecute();
        EXPECT_EQ(w->device(1).TagCount(), 3) << variant;
        EXPECT_FALSE(w->c.ProjectModified) << variant;
    }
}

TEST_F(Import, AMissingLibraryIsToldOnceAndTheProgramGoesOn) {
    w = std::make_unique<Window>(nullptr, &ventix, dir.file("VortanOPCCfg"));
    ASSERT_EQ(w->sink.entries.size(), 1u);
    EXPECT_EQ(w->sink.entries[0].kind, "message");
    EXPECT_EQ(w->sink.entries[0].text, "Ошибка подключения библиотеки OPCVentix.dll"_cp);
    EXPECT_EQ(w->sink.quits, 0);
    w->newProject({"A"});
    w->select(w->node(0));
    w->ui.prgFiles.push_back(prg("x|1|L|0|0|0\n"));
    w->c._ImportPRJExecute();
    EXPECT_EQ(w->device(0).TagCount(), 0);
    EXPECT_EQ(w->sink.entries.size(), 1u);
}

TEST(LinkAtStart, TheLinkLibraryBesideTheProgramIsBound) {
    LinkBinding binding(SystemLoader(), [](const char*) { return std::string(); });
    Window w(&binding, nullptr, std::string(VRT_LINK_LIBRARY_DIR) + "/VortanOPCCfg");
    EXPECT_TRUE(w.sink.entries.empty());
    EXPECT_EQ(w.sink.quits, 0);
    ASSERT_NE(binding.handle(), nullptr);
    EXPECT_NE(binding.slots()._vrtCL_fOpen, nullptr);
    EXPECT_EQ(binding.slots()._vrtCL_fComPut, nullptr);
    // New binds it again: the same library, the same slots.
    const auto before = binding.slots().addresses();
    w.c._NewExecute();
    EXPECT_EQ(binding.slots().addresses(), before);
    EXPECT_EQ(w.sink.quits, 0);
}

}  // namespace
}  // namespace vrt::cfg::test
