// Saves that are interrupted or run at once: every load gives one whole
// version, and the file on disk is whole again after the next load.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/profile.h"
#include "platform/tests/save_children.h"
#include "platform/tests/temp_dir.h"

using vrt::platform::ProfileFile;
using vrt::platform::ReadRegularFile;
using vrt::platform::ReadResult;
using vrt::platform::SaveWholeFile;
using vrt::platform::SetSaveStepHook;
using vrt::test::filesIn;
using vrt::test::readFile;
using vrt::test::TempDir;
using vrt::test::writeFile;

namespace fs = std::filesystem;

namespace {

const std::string kOld = "[S]\r\nk=old\r\n; kept\r\n";
const std::string kNew = "[S]\r\nk=new, and longer than the old value\r\n; kept\r\n";

std::vector<std::string> stepsSeen;
void recordStep(const char* step) { stepsSeen.emplace_back(step); }

const char* killStep = nullptr;
void killAtStep(const char* step) {
    if (std::strcmp(step, killStep) == 0) ::raise(SIGKILL);
}

// Saves kNew over `path` in a child that is killed at `step`; true when the
// kill ended it.
bool saveKilledAt(const std::string& path, const char* step) {
    killStep = step;
    const pid_t pid = ::fork();
    if (pid == 0) {
        SetSaveStepHook(killAtStep);
        SaveWholeFile(path, kNew);
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status);
}

// Makes a file that a save writes in place (it has a second link) or
// replaces by a rename.
std::string makeFile(const TempDir& dir, bool inPlace) {
    const std::string path = dir.file("p.ini");
    fs::remove(path);
    fs::remove(dir.file("q.ini"));
    writeFile(path, kOld);
    ::chmod(path.c_str(), 0640);
    if (inPlace) ::link(path.c_str(), dir.file("q.ini").c_str());
    return path;
}

const std::vector<std::string> kRenameSteps{"temp created", "temp written", "temp ready", "renamed", "folder synced"};
const std::vector<std::string> kInPlaceSteps{"copy created",      "copy written", "copy complete",
                                             "file half written", "file written", "copy removed"};

}  // namespace

// A save renamed into place is on the disk once reported: the folder is
// synced after the rename. An in-place write starts only once its copy is
// complete, and the copy goes only after the file is written whole.
TEST(ProfileInterrupt, StepsOfASave) {
    TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    for (const bool inPlace : {false, true}) {
        const std::string path = makeFile(dir, inPlace);
        stepsSeen.clear();
        SetSaveStepHook(recordStep);
        EXPECT_TRUE(SaveWholeFile(path, kNew));
        SetSaveStepHook(nullptr);
        EXPECT_EQ(stepsSeen, inPlace ? kInPlaceSteps : kRenameSteps);
    }
    ::unsetenv("XDG_CACHE_HOME");
}

// A save killed at any step leaves one whole version: the old one until the
// save was done, the new one after. The next load puts back the old contents
// of an in-place write cut short, says so, and removes the copy; the next
// save removes what a killed rename left.
TEST(ProfileInterrupt, ASaveKilledAtAnyStepLeavesOneWholeVersion) {
    TempDir dir;
    const std::string cache = dir.file("cache");
    fs::create_directory(cache);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    for (const bool inPlace : {false, true}) {
        for (const std::string& step : inPlace ? kInPlaceSteps : kRenameSteps) {
            SCOPED_TRACE(step);
            const std::string path = makeFile(dir, inPlace);
            EXPECT_TRUE(saveKilledAt(path, step.c_str()));
            const bool done = step == "renamed" || step == "folder synced" || step == "copy removed";
            const bool torn = step == "copy complete" || step == "file half written" || step == "file written";
            if (torn) {
                // The copy may be read by those who may read the file.
                for (const auto& e : fs::directory_iterator(dir.path())) {
                    if (e.path().filename().string().starts_with("p.ini.bak")) {
                        EXPECT_EQ(fs::status(e.path()).permissions(), fs::perms(0640));
                    }
                }
            }

            const ProfileFile loaded(path);
            EXPECT_FALSE(loaded.readFailed());
            EXPECT_EQ(loaded.text(), done ? kNew : kOld);
            EXPECT_EQ(readFile(path), loaded.text());
            EXPECT_EQ(loaded.notes().restored, torn);
            EXPECT_EQ(!loaded.notes().unfinishedCopy.empty(), torn);
            ASSERT_TRUE(SaveWholeFile(path, kOld));
            EXPECT_EQ(filesIn(dir.path()), inPlace ? 3u : 2u);  // p.ini, q.ini, cache
            EXPECT_TRUE(!fs::exists(cache + "/vrt") || filesIn(cache + "/vrt") == 0);
        }
    }
    ::unsetenv("XDG_CACHE_HOME");
}

// The copy of a killed save stays beside a file that was then removed; a new
// file made at its name may get the old one's inode number (simulated here by
// giving the copy the new file's). Its contents are never taken for torn.
TEST(ProfileInterrupt, ACopyOfARemovedFileIsNotPutBackOverANewOne) {
    TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    const std::string path = makeFile(dir, true);
    ASSERT_TRUE(saveKilledAt(path, "file half written"));
    fs::remove(path);
    fs::remove(dir.file("q.ini"));
    ::usleep(50000);  // born a clock tick later at least
    writeFile(path, kNew);
    struct statx born {};
    ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &born), 0);
    if (!(born.stx_mask & STATX_BTIME)) GTEST_SKIP() << "the file system keeps no birth times";
    struct stat made {};
    ASSERT_EQ(::stat(path.c_str(), &made), 0);
    for (const auto& e : fs::directory_iterator(dir.path())) {
        if (!e.path().filename().string().starts_with("p.ini.bak")) continue;
        std::string copy = readFile(e.path());
        const size_t line = copy.find('\n') + 1, afterIno = copy.find(' ', copy.find(' ', line) + 1);
        copy.replace(line, afterIno - line, std::to_string(made.st_dev) + " " + std::to_string(made.st_ino));
        writeFile(e.path(), copy);
    }
    const ProfileFile loaded(path);
    EXPECT_EQ(loaded.text(), kNew);
    EXPECT_FALSE(loaded.notes().restored);
    EXPECT_EQ(readFile(path), kNew);
    ::unsetenv("XDG_CACHE_HOME");
}

namespace {

std::string version(char fill, int lines) {
    std::string text = "[S]\r\n";
    for (int i = 0; i < lines; ++i) text += "k" + std::to_string(i) + "=" + std::string(12, fill) + "\r\n";
    return text;
}

}  // namespace

// Two savers writing one file in place and a loader, each a process, started
// at once: every load, and the file after every round, is one whole version.
TEST(ProfileInterrupt, TwoSaversAndALoaderNeverMix) {
    const char* env = std::getenv("VRT_SAVE_ROUNDS");
    const int rounds = env ? std::atoi(env) : 20;
    const std::string a = version('A', 30000), b = version('B', 20000);
    TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, a);
    ASSERT_EQ(::link(path.c_str(), dir.file("q.ini").c_str()), 0);
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);

    int loads = 0, mixedLoads = 0, mixedFiles = 0, failedSaves = 0;
    for (int round = 0; round < rounds; ++round) {
        int gate[2], stop[2], report[2];
        ASSERT_EQ(::pipe(gate) | ::pipe(stop) | ::pipe(report), 0);
        // Each child waits at the gate, then ends with its failures, or for
        // the loader, writes its loads and mixed loads into `report`.
        const auto child = [&](auto body) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::alarm(60);
                ::close(gate[1]);
                ::close(stop[1]);
                char c;
                (void)::read(gate[0], &c, 1);
                ::_exit(body());
            }
            return pid;
        };
        const pid_t savers[2] = {child([&] { return SaveWholeFile(path, a) ? 0 : 1; }),
                                 child([&] { return SaveWholeFile(path, b) ? 0 : 1; })};
        const pid_t loader = child([&] {
            int counts[2] = {0, 0};
            pollfd stopped{stop[0], POLLIN, 0};
            do {
                std::string text;
                ++counts[0];
                if (ReadRegularFile(path, text) != ReadResult::Read || (text != a && text != b)) ++counts[1];
            } while (::poll(&stopped, 1, 1) == 0);
            return ::write(report[1], counts, sizeof counts) == sizeof counts ? 0 : 1;
        });
        ::close(gate[0]);
        ::close(gate[1]);
        for (const pid_t pid : savers) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            failedSaves += WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        }
        ::close(stop[1]);
        int status = 0, counts[2] = {0, 0};
        ASSERT_EQ(::waitpid(loader, &status, 0), loader);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(::read(report[0], counts, sizeof counts), ssize_t(sizeof counts));
        for (const int fd : {stop[0], report[0], report[1]}) ::close(fd);
        loads += counts[0];
        mixedLoads += counts[1];
        const std::string text = readFile(path);
        if (text != a && text != b) ++mixedFiles;
    }
    std::printf("%d rounds: %d failed saves, %d of %d loads mixed, %d files mixed\n", rounds, failedSaves,
                mixedLoads, loads, mixedFiles);
    EXPECT_EQ(failedSaves, 0);
    EXPECT_EQ(mixedLoads, 0);
    EXPECT_EQ(mixedFiles, 0);
    EXPECT_EQ(filesIn(dir.path()), 2u);  // p.ini, q.ini: no copy or temporary left
    ::unsetenv("XDG_CACHE_HOME");
}

// A file another program keeps locked fails a save and a load after the wait,
// saying so, and changes nothing.
TEST(ProfileInterrupt, ABusyFileFailsAfterTheWait) {
    TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, kOld);
    const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    vrt::platform::SetFileLockWait(std::chrono::milliseconds(200));
    const ProfileFile loaded(path);
    EXPECT_TRUE(loaded.readFailed());
    EXPECT_TRUE(loaded.notes().busy);
    ASSERT_EQ(::flock(holder, LOCK_SH), 0);  // a load may read beside it, a save may not write
    ProfileFile reader(path);
    EXPECT_FALSE(reader.readFailed());
    reader.write("S", "k", "2");
    EXPECT_FALSE(reader.save());
    EXPECT_TRUE(reader.notes().busy);
    vrt::platform::SetFileLockWait(std::chrono::milliseconds(0));
    ::close(holder);
    EXPECT_EQ(readFile(path), kOld);
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

// A full folder still takes an in-place save of smaller contents: the copy
// that does not fit beside the file goes to the user's cache folder.
TEST(ProfileInterrupt, AFullFolderCopiesElsewhere) {
    TempDir dir;
    const std::string full = dir.file("full");
    fs::create_directory(full);
    const std::string cache = dir.file("cache");
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A small file system of its own, seen by this child only.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        const std::string path = full + "/p.ini";
        const std::string old = version('O', 400);
        writeFile(path, old);
        if (::link(path.c_str(), (full + "/q.ini").c_str()) != 0) ::_exit(2);
        writeFile(full + "/filler", std::string(1 << 20, 'f'));  // cut short where the space ends
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        const std::string smaller = version('N', 300);
        if (!SaveWholeFile(path, smaller) || readFile(path) != smaller) ::_exit(3);
        if (filesIn(full) != 3 || filesIn(cache + "/vrt") != 0) ::_exit(4);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "needs to mount a small file system";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
