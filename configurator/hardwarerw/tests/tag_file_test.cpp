#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

#include "hardwarerw/tag_file.h"
#include "hardwarerw/tests/cfg_test_support.h"
#include "platform/cp1251.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using namespace std::string_literals;
using test::AddDevice;
using test::AddTag;
using test::readFile;
using test::RecordingSink;
using test::TagNames;
using test::TempDir;
using test::writeFile;

const std::string kLink = ".Связь"_cp;
const std::string kVars = ".Переменные"_cp;

// Joins lines with CR LF, the style of a new file.
std::string lines(std::initializer_list<std::string> l) {
    std::string out;
    for (const auto& s : l) out += s + "\r\n";
    return out;
}

struct Loaded {
    int32_t result;
    std::vector<SkippedTag> skipped;
};

Loaded load(TVrtNet& project, const std::string& file) {
    Loaded l;
    l.result = LoadTagFile(project, file, &l.skipped);
    return l;
}

class TagFile : public ::testing::Test {
protected:
    TempDir dir{"tagfile"};
    std::string file = dir.file("project.tag");
    RecordingSink sink;
};

TEST_F(TagFile, NewFileIsWrittenExactly) {
    TVrtNet project;
    project.ProjectName = "Тест"_cp;
    project.Description = "Описание"_cp;
    project.WorkSpoon = true;
    project.SpoonPath = "C:\\Spoon";
    const std::string name = "Прибор1"_cp;  // clang 14 crashes on a _cp literal in a reference's initializer
    TDevice& a = AddDevice(project, name);
    a.NetNumber = 5;
    a.PhoneNum.assign("123");
    AddTag(a, "T1", 17, 'F', 1, 1);
    AddTag(a, "Тэг2"_cp, 3, 'L', 0, 0);
    AddDevice(project, "Б"_cp);  // no tags: no variables section
    SaveTagFile(project, file);

    const auto link = [](const std::string& name, const std::string& phone, int net) {
        return lines({"[" + name + kLink + "]", "ComNum=0", "Speed=19200", "Chetnost=0", "StopBit=1", "DataBit=8",
                      "SpecMode=0", "BlockSize=1024", "RepNum=2", "RepPause=25", "ProtocolNum=1", "OPCSpecMode=0",
                      "tMax=200", "tMin=20", "UseModem=0", "NumDial=0", "PhoneNum=" + phone,
                      "NetNumber=" + std::to_string(net), "BlockMode=0"});
    };
    // Built step by step: clang 14 crashes on _cp literals in a braced list
    // that initializes a variable.
    std::string expected;
    expected += lines({"[Main]", "FileVersion=0", "Name="s + "Тест"_cp, "Descript="s + "Описание"_cp,
                       "SpoonPath=C:\\Spoon", "WorkSpoon=1", "ObjectsName="s + "Прибор1,Б"_cp});
    expected += link("Прибор1"_cp, "123", 5);
    expected += lines({"["s + "Прибор1"_cp + kVars + "]", "T1=17,F,RW,twmQUEUE", "Тэг2=3,L,R"_cp});
    expected += link("Б"_cp, "", 33);
    EXPECT_EQ(readFile(file), expected);
}

TEST_F(TagFile, MissingFileIsToldAndLeavesTheProject) {
    TVrtNet project;
    project.ProjectName = "kept";
    EXPECT_EQ(load(project, dir.file("nothing.tag")).result, -1);
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind, "error");
    EXPECT_EQ(sink.entries[0].text, "Не обнаружен файл с тегами!"_cp);
    EXPECT_EQ(sink.entries[0].caption, "Ошибка!"_cp);
    EXPECT_EQ(project.ProjectName, "kept");
}

// A file that is there but cannot be read is told as such, with its name
// (a character Windows-1251 lacks shows as '?'): a folder in its place, and
// a file its user may not read (root reads any, so an ordinary user tries).
TEST_F(TagFile, AnUnreadableFileIsToldWithItsName) {
    const std::string folder = dir.file("папка✓.tag");
    std::filesystem::create_directory(folder);
    const std::string shut = dir.file("shut.tag");
    writeFile(shut, "[Main]\nFileVersion=0\nName=P\n");
    ASSERT_EQ(::chmod(shut.c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    // Built step by step: clang 14 crashes on _cp literals in a braced list.
    const std::string folderShown = dir.path() + "/папка?.tag"_cp;
    const std::pair<std::string, std::string> rows[] = {{folder, folderShown}, {shut, dir.path() + "/shut.tag"}};
    for (const auto& row : rows) {
        const std::string& path = row.first;
        const std::string& shown = row.second;
        SCOPED_TRACE(path);
        const bool told = test::AsOrdinaryUser([&] {
            sink.entries.clear();
            TVrtNet project;
            project.ProjectName = "kept";
            return load(project, path).result == -1 && project.ProjectName == "kept" && sink.entries.size() == 1 &&
                   sink.entries[0].text == "Не удалось прочитать файл с тегами!\n"_cp + shown &&
                   sink.entries[0].caption == "Ошибка!"_cp;
        });
        EXPECT_TRUE(told);
    }
}

TEST_F(TagFile, FileVersionDecidesWhetherAnythingIsRead) {
    const std::string body = "Name=P\nObjectsName=A\n[A.Связь]\nSpeed=9600\n"_cp;
    for (const char* version : {"", "FileVersion=-1\n", "FileVersion=abc\n"}) {
        writeFile(file, std::string("[Main]\n") + version + body);
        TVrtNet project;
        project.ProjectName = "kept";
        EXPECT_EQ(load(project, file).result, 0) << version;
        EXPECT_EQ(project.ProjectName, "kept") << version;
        EXPECT_EQ(project.DeviceList().Count(), 0) << version;
    }
    for (const char* version : {"FileVersion=0\n", "FileVersion=5\n", "FileVersion=0x10\n"}) {
        writeFile(file, std::string("[Main]\n") + version + body);
        TVrtNet project;
        EXPECT_EQ(load(project, file).result, 0) << version;
        EXPECT_EQ(project.ProjectName, "P") << version;
        ASSERT_EQ(project.DeviceList().Count(), 1) << version;
        EXPECT_EQ(project.DeviceList().Device(0)->Speed, 9600) << version;
        EXPECT_EQ(project.FileVersion, 0) << "the project's own version is not taken from the file";
    }
    EXPECT_TRUE(sink.entries.empty());
}

TEST_F(TagFile, ObjectsNameGivesOneDevicePerPiece) {
    writeFile(file, "[Main]\nFileVersion=0\nWorkSpoon=1\nSpoonPath=S\nObjectsName=,A,, B,\n"
                    "[.Связь]\nSpeed=1200\n[ B.Связь]\nNetNumber=7\n[ B.Переменные]\nx=1,L,R\n"_cp);
    TVrtNet project;
    EXPECT_EQ(load(project, file).result, 0);
    EXPECT_TRUE(project.WorkSpoon);
    EXPECT_EQ(project.SpoonPath, "S");
    const TDeviceList& list = project.DeviceList();
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Device(0)->Name.str(), "");
    EXPECT_EQ(list.Device(1)->Name.str(), "A");
    EXPECT_EQ(list.Device(3)->Name.str(), " B");  // the blank stays
    EXPECT_EQ(list.Device(0)->Speed, 1200);        // "[.Связь]" belongs to the nameless devices
    EXPECT_EQ(list.Device(4)->Speed, 1200);
    EXPECT_EQ(list.Device(3)->NetNumber, 7);
    ASSERT_EQ(list.Device(3)->TagCount(), 1);
    EXPECT_EQ(list.Device(3)->Tag(0)->Path.str(), " B.x");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.Device(i)->Number, i + 1);
        EXPECT_EQ(list.Device(i)->IdBase, (i + 1) * 1000);
    }
    EXPECT_EQ(list.Device(3)->Tag(0)->ID, 4000);
}

// Names with a blank at an outer end, first, in the middle and last: each
// comes back exactly, with its own link settings and tags.
TEST_F(TagFile, DeviceNamesWithBlanksAtTheirEndsSurviveInEveryPosition) {
    const std::vector<std::string> names = {" A", "B ", " C ", "D"};
    for (size_t shift = 0; shift < names.size(); ++shift) {
        SCOPED_TRACE(shift);
        TVrtNet project;
        std::vector<std::string> order;
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[(i + shift) % names.size()];
            order.push_back(name);
            TDevice& d = AddDevice(project, name);
            d.NetNumber = int32_t(10 + (i + shift) % names.size());
            d.Speed = 1200 * int32_t(1 + (i + shift) % names.size());
            AddTag(d, "t" + std::to_string((i + shift) % names.size()), int32_t(i + shift), 'F', 1, 2);
        }
        RenumberDevices(project.DeviceList());
        for (int32_t i = 0; i < project.DeviceList().Count(); ++i) RenumberTags(*project.DeviceList().Device(i));
        SaveTagFile(project, file);

        TVrtNet again;
        ASSERT_EQ(load(again, file).result, 0);
        const TDeviceList& list = again.DeviceList();
        ASSERT_EQ(list.Count(), int32_t(names.size()));
        for (int32_t i = 0; i < list.Count(); ++i) {
            const TDevice& before = *project.DeviceList().Device(i);
            EXPECT_EQ(list.Device(i)->Name.str(), order[size_t(i)]);
            EXPECT_EQ(test::LinkFields(*list.Device(i)), test::LinkFields(before));
            ASSERT_EQ(list.Device(i)->TagCount(), 1);
            EXPECT_EQ(test::TagFields(*list.Device(i)->Tag(0)), test::TagFields(*before.Tag(0)));
        }
        // Saving what was read writes the same bytes.
        const std::string bytes = readFile(file);
        SaveTagFile(again, file);
        EXPECT_EQ(readFile(file), bytes);
        std::filesystem::remove(file);
    }
}

// Only a list whose outer ends a reader would strip stands in quotes.
TEST_F(TagFile, ObjectsNameIsQuotedOnlyWhenItsEndsNeedIt) {
    const auto objectsLine = [&](std::initializer_list<std::string> devices) {
        TVrtNet project;
        for (const std::string& d : devices) AddDevice(project, d);
        std::filesystem::remove(file);
        SaveTagFile(project, file);
        const std::string text = readFile(file);
        const size_t at = text.find("ObjectsName=");
        return text.substr(at, text.find("\r\n", at) - at);
    };
    EXPECT_EQ(objectsLine({" A", "B ", " C ", "D"}), "ObjectsName=\" A,B , C ,D\"");
    EXPECT_EQ(objectsLine({"D", " A", "B "}), "ObjectsName=\"D, A,B \"");
    EXPECT_EQ(objectsLine({"D", " A", "B ", "E"}), "ObjectsName=D, A,B ,E");
    EXPECT_EQ(objectsLine({"A", "B"}), "ObjectsName=A,B");
    EXPECT_EQ(objectsLine({}), "ObjectsName=");
    EXPECT_EQ(objectsLine({"\"Q\""}), "ObjectsName=\"\"Q\"\"");
    EXPECT_EQ(objectsLine({"\"A", "B\""}), "ObjectsName=\"\"A,B\"\"");
    EXPECT_EQ(objectsLine({"\"A"}), "ObjectsName=\"A");

    // Each reads back as written, quotes of the names included.
    for (const auto& devices : {std::vector<std::string>{"\"Q\""}, std::vector<std::string>{"\"A", "B\""},
                                std::vector<std::string>{"  ", " "}, std::vector<std::string>{"\"A"}}) {
        TVrtNet project;
        for (const std::string& d : devices) AddDevice(project, d);
        std::filesystem::remove(file);
        SaveTagFile(project, file);
        TVrtNet again;
        ASSERT_EQ(load(again, file).result, 0);
        ASSERT_EQ(again.DeviceList().Count(), int32_t(devices.size()));
        for (size_t i = 0; i < devices.size(); ++i)
            EXPECT_EQ(again.DeviceList().Device(int32_t(i))->Name.str(), devices[i]);
    }
}

// A tag name is its line's key, and keys lose the blanks at their ends: the
// writer keys tags as the file will, so " T1" and "T1" of one device are one
// key, never two lines of which only the first is read.
TEST_F(TagFile, TagKeysAreWrittenAsTheyWillBeRead) {
    TVrtNet project;
    TDevice& d = AddDevice(project, "A");
    AddTag(d, " T1", 1, 'L', 0, 0);
    AddTag(d, "T1 ", 2, 'F', 1, 1);
    AddTag(d, "T2", 3, 'L', 1, 2);
    RenumberTags(d);
    SaveTagFile(project, file);
    const std::string text = readFile(file);
    EXPECT_NE(text.find("\r\nT1=2,F,RW,twmQUEUE\r\nT2=3,L,RW,twmStack\r\n"), std::string::npos);
    EXPECT_EQ(text.find("T1=1"), std::string::npos);
    TVrtNet again;
    ASSERT_EQ(load(again, file).result, 0);
    EXPECT_EQ(TagNames(*again.DeviceList().Device(0)), (std::vector<std::string>{"T1", "T2"}));
    EXPECT_EQ(again.DeviceList().Device(0)->Tag(0)->NumVar, 2);
}

TEST_F(TagFile, MissingLinkKeysTakeTheReadDefaults) {
    writeFile(file, "[Main]\nFileVersion=0\nObjectsName=A,B\n"
                    "[B.Связь]\nComNum=259\nBlockMode=300\nPhoneNum=1234567890123456789012345\n"
                    "Speed=bad\nRepNum=0x0A\nUseModem=2\n"_cp);
    TVrtNet project;
    EXPECT_EQ(load(project, file).result, 0);
    const TDevice& a = *project.DeviceList().Device(0);
    EXPECT_EQ(test::LinkFields(a),
              "ComNum=3 Speed=19200 Chetnost=0 StopBit=1 DataBit=8 SpecMode=0 BlockSize=1024 RepNum=0 "
              "RepPause=20 ProtocolNum=0 OPCSpecMode=0 tMax=30 tMin=100 UseModem=0 NumDial=1 PhoneNum= "
              "NetNumber=33 BlockMode=0 ");
    EXPECT_EQ(a.TagCount(), 0);

    const TDevice& b = *project.DeviceList().Device(1);
    EXPECT_EQ(b.ComNum, 3);      // low byte of 259
    EXPECT_EQ(b.BlockMode, 44);  // low byte of 300
    EXPECT_EQ(b.PhoneNum.str(), "12345678901234567890");
    EXPECT_EQ(b.Speed, 19200);
    EXPECT_EQ(b.RepNum, 10);
    EXPECT_TRUE(b.UseModem);

    writeFile(file, "[Main]\nFileVersion=0\nObjectsName=C\n[C.Связь]\nComNum=-1\n"_cp);
    TVrtNet other;
    EXPECT_EQ(load(other, file).result, 0);
    EXPECT_EQ(other.DeviceList().Device(0)->ComNum, 255);
}

TEST_F(TagFile, ABadTagCostsOnlyItself) {
    writeFile(file, "[Main]\nFileVersion=0\nObjectsName=A,B,C\n"
                    "[A.Связь]\nSpeed=1200\n[A.Переменные]\na1=1,L,R\n"
                    "[B.Связь]\nSpeed=2400\n[B.Переменные]\nb1=2,F,RW\nb2=x,L,R\nb3=3,L\nb4=4,\nb5=5,L,RW,twmStack\n"
                    "[C.Связь]\nSpeed=4800\nNetNumber=9\n[C.Переменные]\nc1=6,F,RW,twmQUEUE\n"_cp);
    TVrtNet project;
    const Loaded l = load(project, file);
    EXPECT_EQ(l.result, -1);
    ASSERT_EQ(l.skipped.size(), 2u);
    EXPECT_EQ(l.skipped[0].device, "B");
    EXPECT_EQ(l.skipped[0].tag, "b2");
    EXPECT_EQ(l.skipped[0].value, "x,L,R");
    EXPECT_EQ(l.skipped[1].tag, "b4");
    EXPECT_TRUE(sink.entries.empty());

    const TDeviceList& list = project.DeviceList();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(TagNames(*list.Device(1)), (std::vector<std::string>{"b1", "b3", "b5"}));
    EXPECT_EQ(list.Device(1)->Tag(2)->WriteMode, 2);
    EXPECT_EQ(list.Device(1)->Tag(2)->ID, 2002);
    const TDevice& c = *list.Device(2);
    EXPECT_EQ(c.Speed, 4800);
    EXPECT_EQ(c.NetNumber, 9);
    EXPECT_EQ(c.Number, 3);
    EXPECT_EQ(c.IdBase, 3000);
    ASSERT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.Tag(0)->NumVar, 6);
    EXPECT_EQ(c.Tag(0)->WriteMode, 1);
}

TEST_F(TagFile, SectionNamesMatchWithoutRegardToCase) {
    writeFile(file, "[MAIN]\nfileversion=0\nobjectsname=Котёл\n"
                    "[КОТЁЛ.СВЯЗЬ]\nspeed=600\n[котёл.переменные]\nДавление=1,F,R\n"_cp);
    TVrtNet project;
    EXPECT_EQ(load(project, file).result, 0);
    const TDevice& d = *project.DeviceList().Device(0);
    EXPECT_EQ(d.Speed, 600);
    ASSERT_EQ(d.TagCount(), 1);
    EXPECT_EQ(d.Tag(0)->Name.str(), "Давление"_cp);
    EXPECT_EQ(d.Tag(0)->Path.str(), "Котёл.Давление"_cp);
}

TEST_F(TagFile, SaveAfterDeleteRenameAndMoveReloadsExactly) {
    writeFile(file, "[Main]\nFileVersion=0\nName=P\nObjectsName=A,B\n"
                    "[A.Связь]\nSpeed=1200\n[A.Переменные]\nt1=1,L,R\nt2=2,L,R\nt3=3,L,R\nt4=4,L,R\nt5=5,L,R\n"
                    "[B.Связь]\nSpeed=2400\n[B.Переменные]\nu1=9,F,RW\n"_cp);
    TVrtNet project;
    ASSERT_EQ(load(project, file).result, 0);
    TDevice& a = *project.DeviceList().Device(0);
    a.DeleteTag(1);                              // t2
    a.Tag(1)->Name.assign("новый"_cp);           // t3
    TTagCell* t5 = a.TagCell(3);
    a.InsertTag(0, t5);                          // t5 to the top
    a.DeleteTag(4);
    project.DeviceList().Device(1)->Name.assign("C");
    RenumberTags(a);
    SaveTagFile(project, file);

    TVrtNet again;
    ASSERT_EQ(load(again, file).result, 0);
    const TDeviceList& list = again.DeviceList();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(TagNames(*list.Device(0)), (std::vector<std::string>{"t5", "t1", "новый"_cp, "t4"}));
    EXPECT_EQ(list.Device(0)->Tag(0)->NumVar, 5);
    EXPECT_EQ(list.Device(1)->Name.str(), "C");
    EXPECT_EQ(list.Device(1)->Speed, 2400);
    EXPECT_EQ(TagNames(*list.Device(1)), (std::vector<std::string>{"u1"}));
}

TEST_F(TagFile, UnknownKeysAndLinesAreKeptByteForByte) {
    const std::string original =
        "; written by hand\r\n[Main]\r\nFileVersion=3\r\nServerOnly = \"keep me\" ;x\r\nObjectsName=A\r\n\r\n"
        "[A.Связь]\r\nSpeed=1200\r\nFoo=bar\r\n\r\n[Server]\r\nPort=5000\r\n[A.Переменные]\r\nold=1,L,R\r\n"_cp;
    writeFile(file, original);
    TVrtNet project;
    ASSERT_EQ(load(project, file).result, 0);
    TDevice& a = *project.DeviceList().Device(0);
    a.Speed = 9600;
    a.Tag(0)->Name.assign("new");
    SaveTagFile(project, file);
    const std::string saved = readFile(file);
    for (const std::string kept : {"; written by hand\r\n[Main]\r\n", "ServerOnly = \"keep me\" ;x\r\n",
                                   "Foo=bar\r\n", "\r\n[Server]\r\nPort=5000\r\n"})
        EXPECT_NE(saved.find(kept), std::string::npos) << kept;
    EXPECT_NE(saved.find("FileVersion=0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Speed=9600\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("old="), std::string::npos);
    EXPECT_NE(saved.find("new=1,L,R\r\n"), std::string::npos);
}

// Names the file cannot tell apart: the same letters in another case, or
// with blanks before them (the file finds sections without those).
TEST_F(TagFile, DevicesOfOneNameShareTheirSections) {
    const std::pair<std::string, std::string> names[] = {{"Same", "SAME"}, {"A", " A"}, {"\tb", "B"}};
    for (const auto& [firstName, secondName] : names) {
        SCOPED_TRACE(secondName);
        TVrtNet project;
        TDevice& first = AddDevice(project, firstName);
        first.Speed = 1200;
        AddTag(first, "a", 1);
        AddTag(first, "b", 2);
        TDevice& second = AddDevice(project, secondName);
        second.Speed = 4800;
        AddTag(second, "B", 20);
        AddTag(second, "c", 3);
        std::filesystem::remove(file);
        SaveTagFile(project, file);

        TVrtNet again;
        ASSERT_EQ(load(again, file).result, 0);
        ASSERT_EQ(again.DeviceList().Count(), 2);
        for (int i = 0; i < 2; ++i) {
            const TDevice& d = *again.DeviceList().Device(i);
            EXPECT_EQ(d.Speed, 4800);
            EXPECT_EQ(TagNames(d), (std::vector<std::string>{"a", "b", "c"}));
            EXPECT_EQ(d.Tag(1)->NumVar, 20);
        }
    }
}

TEST_F(TagFile, LineBreaksNeverSplitALine) {
    TVrtNet project;
    project.ProjectName = "P";
    project.Description = "first\r\n[Main]\nObjectsName=Evil\rlast";
    TDevice& d = AddDevice(project, "Dev\nice");
    d.PhoneNum.assign("12\r\n34");
    AddTag(d, "t\r\nx", 4);
    SaveTagFile(project, file);

    TVrtNet again;
    ASSERT_EQ(load(again, file).result, 0);
    EXPECT_EQ(again.Description, "first [Main] ObjectsName=Evil last");
    ASSERT_EQ(again.DeviceList().Count(), 1);
    const TDevice& back = *again.DeviceList().Device(0);
    EXPECT_EQ(back.Name.str(), "Dev ice");
    EXPECT_EQ(back.PhoneNum.str(), "12 34");
    EXPECT_EQ(TagNames(back), (std::vector<std::string>{"t x"}));
}

TEST_F(TagFile, ACommaInADeviceNameMakesTwoDevices) {
    TVrtNet project;
    AddDevice(project, "X,Y");
    SaveTagFile(project, file);
    TVrtNet again;
    ASSERT_EQ(load(again, file).result, 0);
    ASSERT_EQ(again.DeviceList().Count(), 2);
    EXPECT_EQ(again.DeviceList().Device(0)->Name.str(), "X");
    EXPECT_EQ(again.DeviceList().Device(1)->Name.str(), "Y");
}

TEST_F(TagFile, NoLengthLimits) {
    std::string longText(5000, 'd');
    std::string vars = "[A.Переменные]\n"_cp;
    for (int i = 0; i < 3000; ++i) vars += "tag_with_a_longish_name_" + std::to_string(i) + "=" + std::to_string(i) + ",L,R\n";
    writeFile(file, "[Main]\nFileVersion=0\nDescript=" + longText + "\nObjectsName=A\n" + vars);
    TVrtNet project;
    ASSERT_EQ(load(project, file).result, 0);
    EXPECT_EQ(project.Description, longText);
    ASSERT_EQ(project.DeviceList().Device(0)->TagCount(), 3000);
    EXPECT_EQ(project.DeviceList().Device(0)->Tag(2999)->NumVar, 2999);
}

TEST_F(TagFile, AFileThatCannotBeWrittenRaises) {
    TVrtNet project;
    AddDevice(project, "A");
    const std::string nowhere = dir.file("no/such/folder/p.tag");
    try {
        SaveTagFile(project, nowhere);
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + nowhere);
    }
    // A folder in the file's place is neither read nor replaced.
    std::filesystem::create_directory(dir.file("folder.tag"));
    EXPECT_THROW(SaveTagFile(project, dir.file("folder.tag")), EIniFileException);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.tag")));

    // A read-only file (no write bit: refused for root too) stays byte for byte.
    const std::string old = lines({"[Main]", "FileVersion=0", "ObjectsName=B"});
    writeFile(file, old);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    try {
        SaveTagFile(project, file);
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
    }
    EXPECT_EQ(readFile(file), old);

    // A link to a file not made yet: the file is made, the link stays.
    std::filesystem::create_symlink("made.tag", dir.file("link.tag"));
    SaveTagFile(project, dir.file("link.tag"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.tag")));
    TVrtNet again;
    ASSERT_EQ(load(again, dir.file("made.tag")).result, 0);
    EXPECT_EQ(again.DeviceList().Count(), 1);
}

// A real-size project: every field survives a save and a load, and saving
// what was loaded gives the same bytes.
TEST_F(TagFile, RoundTripOfARealSizeProject) {
    std::mt19937 rng(12345);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TVrtNet project;
    project.ProjectName = "Станция"_cp;
    project.Description = "Описание проекта"_cp;
    project.SpoonPath = "/srv/spoon";
    project.WorkSpoon = true;
    for (int d = 0; d < 20; ++d) {
        const std::string name = "Прибор №"_cp + std::to_string(d);
        TDevice& dev = AddDevice(project, name);
        dev.NetNumber = pick(0, 255);
        dev.Speed = pick(0, 1) ? 9600 : 115200;
        dev.Chetnost = pick(0, 4);
        dev.StopBit = pick(1, 2);
        dev.DataBit = pick(7, 8);
        dev.SpecMode = pick(0, 1);
        dev.BlockSize = pick(1, 4096);
        dev.RepNum = pick(0, 9);
        dev.RepPause = pick(0, 500);
        dev.ProtocolNum = pick(0, 1);
        dev.OPCSpecMode = pick(0, 1);
        dev.ComNum = uint8_t(pick(0, 3));
        dev.tMax = pick(-5, 5000);
        dev.tMin = pick(-5, 5000);
        dev.UseModem = pick(0, 1);
        dev.NumDial = pick(0, 9);
        dev.PhoneNum.assign(std::to_string(pick(100000, 999999)));
        dev.BlockMode = uint8_t(pick(0, 255));
        for (int t = 0; t < 500; ++t) {
            const uint8_t rw = uint8_t(pick(0, 1));
            AddTag(dev, "Тэг_"_cp + std::to_string(t), pick(-1000, 100000), pick(0, 1) ? 'L' : 'F', rw,
                   rw ? uint8_t(pick(0, 2)) : 0);
        }
    }
    RenumberDevices(project.DeviceList());
    for (int d = 0; d < project.DeviceList().Count(); ++d) RenumberTags(*project.DeviceList().Device(d));
    SaveTagFile(project, file);

    TVrtNet again;
    ASSERT_EQ(load(again, file).result, 0);
    EXPECT_EQ(again.ProjectName, project.ProjectName);
    EXPECT_EQ(again.Description, project.Description);
    EXPECT_EQ(again.SpoonPath, project.SpoonPath);
    EXPECT_EQ(again.WorkSpoon, project.WorkSpoon);
    const TDeviceList& l1 = project.DeviceList();
    const TDeviceList& l2 = again.DeviceList();
    ASSERT_EQ(l2.Count(), l1.Count());
    for (int d = 0; d < l1.Count(); ++d) {
        const TDevice& x = *l1.Device(d);
        const TDevice& y = *l2.Device(d);
        SCOPED_TRACE(d);
        EXPECT_EQ(y.Name.str(), x.Name.str());
        EXPECT_EQ(y.Number, d + 1);
        EXPECT_EQ(y.IdBase, (d + 1) * 1000);
        EXPECT_EQ(test::LinkFields(y), test::LinkFields(x));
        ASSERT_EQ(y.TagCount(), x.TagCount());
        for (int t = 0; t < x.TagCount(); ++t) {
            ASSERT_EQ(test::TagFields(*y.Tag(t)), test::TagFields(*x.Tag(t)));
        }
    }
    const std::string first = readFile(file);
    const std::string second = dir.file("second.tag");
    SaveTagFile(again, second);
    EXPECT_EQ(readFile(second), first);
}

// A FIFO in the file's place is never waited on: Open and Save fail at once.
TEST_F(TagFile, AFifoIsNeverWaitedOn) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0666), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);
        TVrtNet project;
        AddDevice(project, "A");
        bool refused = false;
        try {
            SaveTagFile(project, file);
        } catch (const EIniFileException&) {
            refused = true;
        }
        ::_exit(load(project, file).result == -1 && refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(std::filesystem::is_fifo(file));
}

void killMidWrite(const char* step) {
    if (std::strcmp(step, "file half written") == 0) ::raise(SIGKILL);
}

// A save killed in the middle of its in-place write: the next load puts the
// old project back, reads it whole and tells the user.
TEST_F(TagFile, AnUnfinishedSaveIsUndoneAndTold) {
    TVrtNet before;
    before.ProjectName = "old";
    AddDevice(before, "A");
    SaveTagFile(before, file);
    const std::string old = readFile(file);
    ASSERT_EQ(::link(file.c_str(), dir.file("shared.tag").c_str()), 0);  // written in place
    const pid_t pid = ::fork();
    if (pid == 0) {
        TVrtNet after;
        after.ProjectName = "a new name, longer than the old";
        vrt::platform::SetSaveStepHook(killMidWrite);
        SaveTagFile(after, file);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));

    TVrtNet project;
    std::string restored;
    EXPECT_EQ(LoadTagFile(project, file, nullptr, &restored), 0);
    EXPECT_EQ(project.ProjectName, "old");
    EXPECT_EQ(project.DeviceList().Count(), 1);
    EXPECT_EQ(readFile(file), old);
    EXPECT_FALSE(restored.empty());
    EXPECT_FALSE(std::filesystem::exists(restored));
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind, "message");
    EXPECT_NE(sink.entries[0].text.find(file), std::string::npos);
}

// A file another program keeps locked: Open and Save say so after the wait.
TEST_F(TagFile, ABusyFileIsToldOnOpenAndSave) {
    TVrtNet project;
    SaveTagFile(project, file);
    const int holder = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    vrt::platform::SetFileLockWait(std::chrono::milliseconds(100));
    EXPECT_EQ(LoadTagFile(project, file), -1);
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].text, "Файл с тегами занят другой программой!\n"_cp + file);
    try {
        SaveTagFile(project, file);
        ADD_FAILURE() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file + "; it is in use by another program");
    }
    vrt::platform::SetFileLockWait(std::chrono::milliseconds(0));
    ::close(holder);
}

}  // namespace
}  // namespace vrt::cfg
