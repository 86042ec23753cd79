// What a save may replace: files its user may not write stay byte for byte,
// and links stay links while the files they name are written.
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile.h"
#include "platform/tests/temp_dir.h"

using vrt::platform::ProfileFile;
using vrt::platform::ReadProfileString;
using vrt::platform::WriteProfileString;
using vrt::test::readFile;
using vrt::test::TempDir;
using vrt::test::writeFile;

namespace fs = std::filesystem;

namespace {

const std::string kOld = "[S]\r\nk=1\r\n; kept\r\n";

size_t filesIn(const std::string& folder) {
    return size_t(std::distance(fs::directory_iterator(folder), {}));
}

// Runs `body` as an ordinary user: in a child that drops root, when the
// tests run as root, else here. True when `body` returned true.
template <class F>
bool AsOrdinaryUser(F body) {
    if (::geteuid() != 0) return body();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && body() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// A file without any write bit is read-only for every user, root included.
TEST(ProfileProtect, FileWithoutWriteBitsIsRefused) {
    TempDir dir;
    for (const mode_t mode : {0444, 0400, 0555}) {
        SCOPED_TRACE(mode);
        const std::string path = dir.file("ro.tag");
        fs::remove(path);
        writeFile(path, kOld);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ProfileFile p(path);
        ASSERT_TRUE(p.existed());
        p.write("S", "k", "2");
        EXPECT_FALSE(p.save());
        EXPECT_FALSE(WriteProfileString(path, "S", "new", "v"));
        EXPECT_EQ(readFile(path), kOld);
        EXPECT_EQ(filesIn(dir.path()), 1u);  // no temporary file left
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
}

// Write bits that are not the user's: the folder would let a rename replace
// the file, the file's own mode does not.
TEST(ProfileProtect, FileTheUserMayNotWriteIsRefused) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const std::string path = dir.file("theirs.ini");
    writeFile(path, kOld);
    // Readable by everyone, writable by the group alone.
    ASSERT_EQ(::chmod(path.c_str(), 0464), 0);
    const bool refused = AsOrdinaryUser([&] {
        ProfileFile p(path);
        if (!p.existed()) return false;
        p.write("S", "k", "2");
        return !p.save() && !WriteProfileString(path, "S", "k", "3");
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(readFile(path), kOld);
    EXPECT_EQ(filesIn(dir.path()), 1u);

    // The same file with its owner's write bit is written, as before.
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    EXPECT_TRUE(WriteProfileString(path, "S", "k", "4"));
    EXPECT_EQ(ReadProfileString(path, "S", "k", ""), "4");
}

TEST(ProfileProtect, LinksStayAndTheirTargetsAreWritten) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));

    // A dangling link: its target is created beside where it points.
    const std::string dangling = dir.file("dangling.ini");
    fs::create_symlink("sub/new.ini", dangling);
    ASSERT_TRUE(WriteProfileString(dangling, "S", "k", "1"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("sub/new.ini"))));
    EXPECT_EQ(readFile(dir.file("sub/new.ini")), "[S]\r\nk=1\r\n");
    EXPECT_EQ(filesIn(dir.file("sub")), 1u);

    // A live link, through a second link: the file at the end changes.
    const std::string chain = dir.file("chain.ini");
    fs::create_symlink("dangling.ini", chain);
    ASSERT_TRUE(WriteProfileString(chain, "S", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(chain) && fs::is_symlink(dangling));
    EXPECT_EQ(ReadProfileString(dir.file("sub/new.ini"), "S", "k", ""), "2");
    EXPECT_EQ(filesIn(dir.path()), 3u);  // sub, and the two links
    EXPECT_EQ(filesIn(dir.file("sub")), 1u);

    // A link to a read-only file: nothing changes, neither link nor file.
    ASSERT_EQ(::chmod(dir.file("sub/new.ini").c_str(), 0444), 0);
    EXPECT_FALSE(WriteProfileString(chain, "S", "k", "3"));
    EXPECT_TRUE(fs::is_symlink(chain));
    EXPECT_EQ(ReadProfileString(dir.file("sub/new.ini"), "S", "k", ""), "2");

    // A link that names itself round a loop is refused.
    fs::create_symlink("loop2.ini", dir.file("loop1.ini"));
    fs::create_symlink("loop1.ini", dir.file("loop2.ini"));
    EXPECT_FALSE(WriteProfileString(dir.file("loop1.ini"), "S", "k", "1"));
    EXPECT_TRUE(fs::is_symlink(dir.file("loop1.ini")) && fs::is_symlink(dir.file("loop2.ini")));

    // A dangling link into a missing folder fails and stays.
    const std::string nowhere = dir.file("nowhere.ini");
    fs::create_symlink("no/such/folder.ini", nowhere);
    EXPECT_FALSE(WriteProfileString(nowhere, "S", "k", "1"));
    EXPECT_TRUE(fs::is_symlink(nowhere));
}
