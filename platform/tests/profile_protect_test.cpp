// What a save may replace: files its user may not write stay byte for byte,
// and links stay links while the files they name are written.
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/profile.h"
#include "platform/tests/save_children.h"
#include "platform/tests/temp_dir.h"

using vrt::platform::ProfileFile;
using vrt::platform::ReadProfileString;
using vrt::platform::WriteProfileString;
using vrt::test::AsOrdinaryUser;
using vrt::test::filesIn;
using vrt::test::InChild;
using vrt::test::readFile;
using vrt::test::TempDir;
using vrt::test::writeFile;

namespace fs = std::filesystem;

namespace {

const std::string kOld = "[S]\r\nk=1\r\n; kept\r\n";

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

// Nothing waits on a FIFO: it reads as a file that cannot be read, and a save
// over it, even one that first found no file there, is refused.
TEST(ProfileProtect, AFifoIsNeverWaitedOn) {
    TempDir dir;
    const std::string fifo = dir.file("p.ini");
    const std::string later = dir.file("later.ini");
    fs::create_symlink("p.ini", dir.file("link.ini"));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_TRUE(InChild([&] {
        ProfileFile p(fifo);
        ProfileFile viaLink(dir.file("link.ini"));
        ProfileFile missing(later);
        if (!p.readFailed() || !viaLink.readFailed() || missing.readFailed()) return false;
        p.write("S", "k", "v");
        missing.write("S", "k", "v");
        if (::mkfifo(later.c_str(), 0666) != 0) return false;
        return !p.save() && !missing.save() && !WriteProfileString(dir.file("link.ini"), "S", "k", "v") &&
               ReadProfileString(fifo, "S", "k", "d") == "d";
    }));
    EXPECT_TRUE(fs::is_fifo(fifo) && fs::is_fifo(later));
    EXPECT_EQ(filesIn(dir.path()), 3u);
}

// Saves by a user who is not the file's owner, or whose folder does not take
// a rename, keep the file's owner, group, mode and links.
TEST(ProfileProtect, SavesKeepOwnerGroupModeAndLinks) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make the files of other users";
    constexpr uid_t kUser = 3333, kOther = 1111;
    constexpr gid_t kUserGroup = 3333, kShared = 2222;
    struct Case {
        const char* what;
        mode_t folderMode;
        uid_t uid;
        gid_t gid;
        mode_t mode;
        bool twoLinks;
        bool byRoot = false;
    };
    const Case cases[] = {
        {"shared file", 0777, kOther, kShared, 0664, false},
        {"sticky folder", 01777, kOther, kShared, 0664, false},
        {"folder the user may not write", 0755, kUser, kShared, 0640, false},
        {"two links", 0777, kUser, kUserGroup, 0600, true},
        {"own file of a group of the user's", 0777, kUser, kShared, 02640, false},
        {"another user's file saved by root", 0700, kOther, kShared, 0664, false, true},
    };
    const std::string old = "[S]\r\nk=1000000\r\n; kept\r\n";
    const std::string saved = "[S]\r\nk=2\r\n; kept\r\n";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string cache = dir.file("cache");
    fs::create_directory(cache);
    ASSERT_EQ(::chmod(cache.c_str(), 0777), 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string folder = dir.file("f" + std::to_string(i));
        const std::string path = folder + "/p.ini";
        const std::string other = folder + "/other.ini";
        fs::create_directory(folder);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        writeFile(path, old);
        ASSERT_EQ(::chown(path.c_str(), c.uid, c.gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        if (c.twoLinks) {
            ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
        }
        const bool ok = InChild(
            [&] {
                ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
                return WriteProfileString(path, "S", "k", "2");
            },
            c.byRoot ? 0 : kUser, kUserGroup, {kUserGroup, kShared});
        EXPECT_TRUE(ok);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, c.uid);
        EXPECT_EQ(st.st_gid, c.gid);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(st.st_nlink, c.twoLinks ? 2u : 1u);
        EXPECT_EQ(readFile(path), saved);
        if (c.twoLinks) {
            EXPECT_EQ(readFile(other), saved);
        }
        EXPECT_EQ(filesIn(folder), c.twoLinks ? 2u : 1u);  // no temporary file or copy left
    }
    EXPECT_TRUE(!fs::exists(cache + "/vrt") || filesIn(cache + "/vrt") == 0);
}

// A write cut short by the file size limit is reported, and the old contents
// stay whole: in the file, or in the copy the save names.
TEST(ProfileProtect, AWriteCutShortLeavesTheOldContentsWhole) {
    for (const bool twoLinks : {false, true}) {  // replaced by rename, written in place
        SCOPED_TRACE(twoLinks);
        TempDir dir;
        const std::string path = dir.file("p.ini");
        writeFile(path, kOld);
        if (twoLinks) {
            ASSERT_EQ(::link(path.c_str(), dir.file("other.ini").c_str()), 0);
        }
        EXPECT_TRUE(InChild([&] {
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = kOld.size() + 100;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
            ProfileFile p(path);
            p.write("S", "k", std::string(8192, 'x'));
            if (p.save()) return false;
            return readFile(path) == kOld || (!p.keptCopy().empty() && readFile(p.keptCopy()) == kOld);
        }));
        EXPECT_EQ(readFile(path), kOld);
        EXPECT_EQ(filesIn(dir.path()), twoLinks ? 2u : 1u);
    }
}

// Temporary files of a save that was killed go with the next save of the same
// file; those of running saves (told by their lock, whatever their process
// id says), of other files, of other users and look-alikes stay. A name that
// fits the folder can always be saved, however long.
TEST(ProfileProtect, StaleTemporariesGoAndLongNamesSave) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::string deadTag = ".tmp" + std::to_string(dead) + "_3";

    const std::string longName(250, 'n');
    const std::string cutStale = longName.substr(0, 255 - deadTag.size()) + deadTag;
    const std::string running = "p.ini.tmp" + std::to_string(dead) + "_4";  // a save in another PID namespace
    const std::string othersTemp = "p.ini.tmp" + std::to_string(dead) + "_5";
    const std::vector<std::string> stale{"p.ini" + deadTag, cutStale};
    std::vector<std::string> kept{running, "q.ini" + deadTag, "p.ini.tmpx_1", "p.ini.tmp20240101_1"};
    for (const auto& name : stale) writeFile(dir.file(name), "x");
    for (const auto& name : kept) writeFile(dir.file(name), "x");
    if (::geteuid() == 0) {
        writeFile(dir.file(othersTemp), "x");
        ASSERT_EQ(::chown(dir.file(othersTemp).c_str(), 1111, 1111), 0);
        kept.push_back(othersTemp);
    }
    const int runningFd = ::open(dir.file(running).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(runningFd, LOCK_EX), 0);

    ASSERT_TRUE(WriteProfileString(dir.file("p.ini"), "S", "k", "1"));
    ASSERT_TRUE(WriteProfileString(dir.file(longName), "S", "k", "1"));
    ASSERT_TRUE(WriteProfileString(dir.file(longName), "S", "k", "2"));
    ::close(runningFd);
    EXPECT_EQ(ReadProfileString(dir.file(longName), "S", "k", ""), "2");
    for (const auto& name : stale) EXPECT_FALSE(fs::exists(dir.file(name))) << name;
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir.file(name))) << name;
    EXPECT_EQ(filesIn(dir.path()), kept.size() + 2);
}

namespace {

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

}  // namespace

// An owner's save keeps the ACL that shares the file and its user attributes.
TEST(ProfileProtect, AnOwnersSaveKeepsAclAndAttributes) {
    if (std::system("command -v setfacl && command -v getfattr && command -v setfattr >/dev/null") != 0)
        GTEST_SKIP() << "needs the acl and attr tools";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const std::string path = dir.file("p.tag");
    writeFile(path, kOld);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(std::system(("setfacl -m u:1111:rw,g::r,m::rw " + path + " && setfattr -n user.origin -v plant " + path)
                              .c_str()),
              0);
    const std::string show = "cd " + dir.path() + " && getfacl -n p.tag && getfattr -d -m - p.tag";
    const std::string before = commandOutput(show);
    ASSERT_NE(before.find("user:1111:rw-"), std::string::npos);

    EXPECT_TRUE(AsOrdinaryUser([&] { return WriteProfileString(path, "S", "k", "2"); }));
    EXPECT_EQ(commandOutput(show), before);
    EXPECT_EQ(ReadProfileString(path, "S", "k", ""), "2");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

namespace {

std::vector<std::string>* modesSeen = nullptr;
std::string modesFolder;

void recordModes(const char* step) {
    for (const auto& e : fs::directory_iterator(modesFolder)) {
        struct stat st {};
        if (::lstat(e.path().c_str(), &st) == 0 && (st.st_mode & 0077) != 0)
            modesSeen->push_back(std::string(step) + ": " + e.path().filename().string() + " " +
                                 std::to_string(st.st_mode & 07777));
    }
}

}  // namespace

// Under umask 000 no file a save makes, temporary or copy, lets anyone but
// its maker in while the file itself is private.
TEST(ProfileProtect, FilesASaveMakesArePrivateUnderAnOpenUmask) {
    TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(::link(path.c_str(), dir.file("q.ini").c_str()), 0);
    std::vector<std::string> seen;
    modesSeen = &seen;
    modesFolder = dir.path();
    const mode_t oldMask = ::umask(0);
    vrt::platform::SetSaveStepHook(recordModes);
    EXPECT_TRUE(WriteProfileString(path, "S", "k", "in place"));  // two links: written in place after a copy
    ASSERT_EQ(::unlink(dir.file("q.ini").c_str()), 0);
    EXPECT_TRUE(WriteProfileString(path, "S", "k", "renamed"));  // one link: a temporary renamed over it
    vrt::platform::SetSaveStepHook(nullptr);
    ::umask(oldMask);
    EXPECT_EQ(seen, std::vector<std::string>{});
    EXPECT_EQ(ReadProfileString(path, "S", "k", ""), "renamed");
}
