#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/cp1251.h"
#include "platform/tests/temp_dir.h"

using namespace vrt::literals;
using vrt::platform::ProfileFile;
using vrt::platform::ReadProfileString;
using vrt::platform::WriteProfileString;
using vrt::test::readFile;
using vrt::test::TempDir;
using vrt::test::writeFile;

namespace {

ProfileFile load(const TempDir& dir, const std::string& bytes) {
    const std::string path = dir.file("p.ini");
    writeFile(path, bytes);
    return ProfileFile(path);
}

size_t filesIn(const TempDir& dir) {
    return size_t(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

}  // namespace

TEST(Profile, NamesMatchWithoutCaseLatinAndCyrillic) {
    TempDir dir;
    const std::string section = "Котёл Ї.Связь"_cp;
    auto p = load(dir, "[" + section + "]\r\n  Speed  =  9600  \r\nЖурнал=да\r\n"_cp);
    EXPECT_EQ(p.read("котЁл ї.связь"_cp, "SPEED"), "9600");
    EXPECT_EQ(p.read(" КОТЁЛ Ї.СВЯЗЬ "_cp, "журнал"_cp), std::string("да"_cp));
    EXPECT_TRUE(p.hasSection("КОТЁЛ Ї.СВЯЗЬ"_cp));
    EXPECT_FALSE(p.hasSection("Котел"_cp));
    ASSERT_EQ(p.sections().size(), 1u);
    EXPECT_EQ(p.sections()[0], section);
}

TEST(Profile, MissingEmptyAndQuotedValues) {
    TempDir dir;
    auto p = load(dir,
                  "[S]\n"
                  "empty=\n"
                  "blank=   \n"
                  "quoted=\"  a b  \"\n"
                  "pair=\"\"\n"
                  "lone=\"\n"
                  "open=\"abc\n"
                  "single='x'\n"
                  "inner=a\"b\"\n"
                  "twice=\"\"x\"\"\n"
                  "noequals\n"
                  "; comment=1\n");
    EXPECT_EQ(p.read("S", "empty"), std::optional<std::string>(""));
    EXPECT_EQ(p.read("S", "blank"), std::optional<std::string>(""));
    EXPECT_EQ(p.read("S", "missing"), std::nullopt);
    EXPECT_EQ(p.read("S", "missing", "dflt"), "dflt");
    EXPECT_EQ(p.read("S", "empty", "dflt"), "");
    EXPECT_EQ(p.read("Other", "empty", "?"), "?");
    EXPECT_EQ(p.read("S", "quoted"), "  a b  ");
    EXPECT_EQ(p.read("S", "pair"), "");
    EXPECT_EQ(p.read("S", "lone"), "\"");
    EXPECT_EQ(p.read("S", "open"), "\"abc");
    EXPECT_EQ(p.read("S", "single"), "'x'");
    EXPECT_EQ(p.read("S", "inner"), "a\"b\"");
    EXPECT_EQ(p.read("S", "twice"), "\"x\"");  // one pair only
    EXPECT_EQ(p.read("S", "noequals"), std::nullopt);
    EXPECT_EQ(p.read("S", "; comment"), std::nullopt);
    EXPECT_EQ(p.keys("S"), (std::vector<std::string>{"empty", "blank", "quoted", "pair", "lone", "open", "single",
                                                     "inner", "twice"}));
}

TEST(Profile, FirstSectionAndFirstKeyWin) {
    TempDir dir;
    auto p = load(dir,
                  "[A]\nk=1\nK=2\nm=3\n"
                  "[B]\nk=b\n"
                  "[a]\nk=4\nz=5\n");
    EXPECT_EQ(p.read("A", "k"), "1");
    EXPECT_EQ(p.read("A", "z"), std::nullopt);  // only in the repeated section
    EXPECT_EQ(p.keys("a"), (std::vector<std::string>{"k", "m"}));
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"A", "B"}));

    p.write("A", "K", "9");
    EXPECT_EQ(p.text(), "[A]\nk=9\nK=2\nm=3\n[B]\nk=b\n[a]\nk=4\nz=5\n");
}

TEST(Profile, HeadersAndKeysThatLookLikeThem) {
    TempDir dir;
    auto p = load(dir,
                  "top=1\n"
                  "[S] ; trailing comment\n"
                  "[A]=1\n"
                  "[x=2\n"
                  "[a]b]\n"
                  "k=v\n");
    EXPECT_EQ(p.read("S", "[A]"), "1");
    EXPECT_EQ(p.read("S", "[x"), "2");
    EXPECT_EQ(p.read("a]b", "k"), "v");
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"S", "a]b"}));
    EXPECT_FALSE(p.hasSection(""));  // lines before the first header belong to no section

    // A key written with a bracketed name stays a key after a save and reload.
    p.write("S", "[T]", "3");
    ASSERT_TRUE(p.save());
    ProfileFile again(p.path());
    EXPECT_EQ(again.read("S", "[T]"), "3");
    EXPECT_EQ(again.read("a]b", "k"), "v");
}

TEST(Profile, WritesKeepEveryOtherLineByteForByte) {
    TempDir dir;
    const std::string original =
        "; header comment \r\n"
        "\r\n"
        "[Main]\r\n"
        "  Name = old value ; not a comment\r\n"
        "garbage line without equals\r\n"
        "Descript=\xC0\xE1\xE2\x98\xFF\r\n"
        "\r\n"
        "\r\n"
        "[Next]   \r\n"
        "x=1\r\n";
    auto p = load(dir, original);

    p.write("main", "name", "new");           // in place, spelling and indentation kept
    p.write("Main", "Added", "\xE0\xFF");       // after the last non-blank line of Main
    p.write("Новая"_cp, "k", "v");              // new section at the end
    p.write("Next", "y", "2");
    const std::string expected =
        "; header comment \r\n"
        "\r\n"
        "[Main]\r\n"
        "  Name =new\r\n"
        "garbage line without equals\r\n"
        "Descript=\xC0\xE1\xE2\x98\xFF\r\n"
        "Added=\xE0\xFF\r\n"
        "\r\n"
        "\r\n"
        "[Next]   \r\n"
        "x=1\r\n"
        "y=2\r\n" +
        std::string("[Новая]\r\nk=v\r\n"_cp);
    EXPECT_EQ(p.text(), expected);
    ASSERT_TRUE(p.save());
    EXPECT_EQ(readFile(p.path()), expected);
    EXPECT_EQ(ProfileFile(p.path()).read("MAIN", "added"), "\xE0\xFF");
}

TEST(Profile, LineEndsFollowTheFile) {
    TempDir dir;
    {
        auto p = load(dir, "[S]\nk=1");  // LF, no final line end
        p.write("S", "j", "2");
        EXPECT_EQ(p.text(), "[S]\nk=1\nj=2\n");
    }
    {
        auto p = load(dir, "[S]\r\nk=1\n[T]\r\nx=y");  // mixed: each line keeps its own, new lines take the first
        p.write("T", "z", "3");
        p.write("S", "k", "4");
        EXPECT_EQ(p.text(), "[S]\r\nk=4\n[T]\r\nx=y\r\nz=3\r\n");
    }
    {
        auto p = load(dir, "[S]");  // header alone, no line end
        p.write("S", "k", "1");
        p.write("U", "k", "2");
        EXPECT_EQ(p.text(), "[S]\r\nk=1\r\n[U]\r\nk=2\r\n");
    }
    {
        ProfileFile p(dir.file("new.ini"));  // a new file gets CRLF
        EXPECT_FALSE(p.existed());
        p.write("S", "k", "v");
        EXPECT_EQ(p.text(), "[S]\r\nk=v\r\n");
    }
}

TEST(Profile, ControlCharactersNeverSplitALine) {
    TempDir dir;
    ProfileFile p(dir.file("c.ini"));
    p.write("S", "phone", "12\r\n[Evil]\r\nx=1\t\x01");
    p.write("S\nT", "k\r", "v");
    p.write("", "k", "ignored");
    p.write(" \t", "k", "ignored");
    p.write(" Lead.Связь"_cp, "k", "blank kept in the header");
    p.write("S", "  ", "ignored");
    ASSERT_TRUE(p.save());
    ProfileFile again(p.path());
    EXPECT_EQ(again.read("S", "phone"), "12  [Evil]  x=1");  // trailing blanks trimmed on read
    EXPECT_FALSE(again.hasSection("Evil"));
    EXPECT_EQ(again.read("S T", "k"), "v");
    EXPECT_EQ(again.sections(), (std::vector<std::string>{"S", "S T", "Lead.Связь"_cp}));
    EXPECT_NE(again.text().find("\r\n[ Lead.Связь]\r\n"_cp), std::string::npos);
    EXPECT_EQ(again.read(" Lead.Связь"_cp, "k"), "blank kept in the header");
    EXPECT_EQ(again.keys("S"), std::vector<std::string>{"phone"});
}

TEST(Profile, ReplaceSection) {
    TempDir dir;
    auto p = load(dir, "[A]\nold=1\n; note\nother=2\n\n[B]\nb=1\n");
    p.replaceSection("a", {{"x", "1"}, {"y", "line\nbreak"}, {"X", "dup"}, {"", "skipped"}});
    p.replaceSection("C", {{"c", "3"}});
    EXPECT_EQ(p.text(), "[A]\nx=1\ny=line break\nX=dup\n\n[B]\nb=1\n[C]\nc=3\n");
    EXPECT_EQ(p.read("A", "old"), std::nullopt);
    EXPECT_EQ(p.read("A", "x"), "1");
    p.write("A", "z", "4");  // the index follows the new body
    EXPECT_EQ(p.keys("A"), (std::vector<std::string>{"x", "y", "z"}));
    p.replaceSection("B", {});
    EXPECT_TRUE(p.hasSection("B"));
    EXPECT_TRUE(p.keys("B").empty());
}

TEST(Profile, SaveIsAtomicAndKeepsTheFileMode) {
    TempDir dir;
    const std::string path = dir.file("m.ini");
    writeFile(path, "[S]\nk=1\n");
    ::chmod(path.c_str(), 0640);
    ProfileFile p(path);
    p.write("S", "k", "2");
    ASSERT_TRUE(p.save());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(filesIn(dir), 1u);  // no temp file left behind
    EXPECT_EQ(ReadProfileString(path, "s", "K", ""), "2");

    // A link is followed: the file behind it changes, the link stays.
    const std::string link = dir.file("link.ini");
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(WriteProfileString(link, "S", "k", "3"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadProfileString(path, "S", "k", ""), "3");
}

TEST(Profile, UnwritableAndUnreadableFilesFailWithoutDamage) {
    TempDir dir;
    EXPECT_FALSE(WriteProfileString(dir.file("no/such/folder.ini"), "S", "k", "v"));
    EXPECT_FALSE(WriteProfileString("", "S", "k", "v"));
    EXPECT_EQ(ReadProfileString("", "S", "k", "d"), "d");

    // A folder where the file should be: reads as empty, saving refuses.
    const std::string folder = dir.file("folder.ini");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(folder + "/inner");
    ProfileFile p(folder);
    EXPECT_TRUE(p.readFailed());
    EXPECT_EQ(p.read("S", "k", "d"), "d");
    p.write("S", "k", "v");
    EXPECT_FALSE(p.save());
    EXPECT_FALSE(WriteProfileString(folder, "S", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/inner"));
    EXPECT_EQ(filesIn(dir), 1u);
}

TEST(Profile, ManyKeysRoundTrip) {
    TempDir dir;
    const std::string path = dir.file("big.tag");
    constexpr int kSections = 40, kKeys = 500;
    {
        ProfileFile p(path);
        p.write("Main", "FileVersion", "0");
        for (int s = 0; s < kSections; ++s) {
            std::vector<std::pair<std::string, std::string>> entries;
            for (int k = 0; k < kKeys; ++k)
                entries.emplace_back("Tag" + std::to_string(k), std::to_string(k) + ",L,RW");
            p.replaceSection("Dev" + std::to_string(s) + ".Переменные"_cp, entries);
            p.write("Dev" + std::to_string(s) + ".Связь"_cp, "ComNum", std::to_string(s % 4));
        }
        ASSERT_TRUE(p.save());
    }
    ProfileFile p(path);
    for (int s = 0; s < kSections; s += 7) {
        const std::string sec = "dev" + std::to_string(s) + ".ПЕРЕМЕННЫЕ"_cp;
        const auto keys = p.keys(sec);
        ASSERT_EQ(keys.size(), size_t(kKeys));
        EXPECT_EQ(keys[kKeys - 1], "Tag" + std::to_string(kKeys - 1));
        EXPECT_EQ(p.read(sec, "TAG123"), "123,L,RW");
        EXPECT_EQ(p.read("Dev" + std::to_string(s) + ".Связь"_cp, "comnum"), std::to_string(s % 4));
    }
}

// A file is held in a small multiple of its size, whatever its lines: 40 MB
// of blank lines once took 1.3 GB.
TEST(Profile, MemoryIsASmallMultipleOfTheFileSize) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own memory hides the figure";
#endif
    TempDir dir;
    const std::string path = dir.file("blank.ini");
    constexpr size_t kSize = 40u << 20;
    writeFile(path, std::string(kSize, '\n'));
    const pid_t pid = ::fork();
    if (pid == 0) {
        ProfileFile p(path);
        p.write("S", "k", "v");
        const bool whole = p.existed() && p.text().size() == kSize + 8;
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        ::_exit(whole ? int(std::min<long>(usage.ru_maxrss >> 12, 254)) : 255);  // in units of 4 MB
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 255) << "the file was not read or written whole";
    EXPECT_LE(WEXITSTATUS(status) * 4, 600) << "MB at the peak";
}
