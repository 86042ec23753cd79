// The append-only log file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/log_file.h"

namespace {

namespace fs = std::filesystem;
using vrt::platform::LogFile;

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "vrt_logfile_XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir = templ;
        path = dir / "a.log";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string content() const {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    fs::path dir;
    fs::path path;
};

TEST_F(LogFileTest, CreatesAppendsAndKeepsContent) {
    {
        LogFile f;
        EXPECT_FALSE(f.isOpen());
        ASSERT_TRUE(f.open(path.string()));
        EXPECT_TRUE(f.write("one\n", 4));
        EXPECT_TRUE(f.write("", 0));
    }  // closed by the destructor
    EXPECT_EQ(content(), "one\n");

    LogFile f;
    ASSERT_TRUE(f.open(path.string()));
    const std::string big(100000, 'z');
    EXPECT_TRUE(f.write(big.data(), big.size()));
    EXPECT_TRUE(f.write("\xE0\xFF\n", 3));
    f.close();
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(content(), "one\n" + big + "\xE0\xFF\n");
}

TEST_F(LogFileTest, FlushIsCountedAndClosedFileRefusesWork) {
    LogFile f;
    const uint64_t before = vrt::platform::logFileFlushCount();
    EXPECT_FALSE(f.flush());
    EXPECT_FALSE(f.write("x", 1));
    EXPECT_EQ(vrt::platform::logFileFlushCount(), before) << "nothing open, nothing flushed";
    ASSERT_TRUE(f.open(path.string()));
    EXPECT_TRUE(f.flush());
    EXPECT_TRUE(f.flush());
    EXPECT_EQ(vrt::platform::logFileFlushCount() - before, 2u);
    f.close();
    f.close();
    EXPECT_FALSE(f.write("x", 1));
}

TEST_F(LogFileTest, OpenFailsForDirectoriesAndMissingFolders) {
    LogFile f;
    EXPECT_FALSE(f.open(dir.string()));
    EXPECT_FALSE(f.isOpen());
    EXPECT_FALSE(f.open((dir / "missing" / "a.log").string()));
    EXPECT_FALSE(f.isOpen());
}

TEST_F(LogFileTest, DescriptorZeroIsAnOpenFile) {
    const int saved = dup(0);
    ASSERT_GE(saved, 0);
    ASSERT_EQ(close(0), 0);
    LogFile f;
    const bool opened = f.open(path.string());
    const bool isOpen = f.isOpen();
    const bool wrote = f.write("z", 1);
    f.close();
    ASSERT_EQ(dup2(saved, 0), 0);
    close(saved);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(isOpen);
    EXPECT_TRUE(wrote);
    EXPECT_EQ(content(), "z");
}

TEST_F(LogFileTest, ShortWritesReportFailure) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    LogFile f;
    ASSERT_TRUE(f.open("/dev/full"));
    EXPECT_FALSE(f.write("abc", 3));
}

TEST_F(LogFileTest, FifoDoesNotBlock) {
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LogFile f;
    // Without a reader the open is refused at once instead of waiting for one.
    EXPECT_FALSE(f.open(fifo.string()));
}

// A link at the log's name is followed only when it is the user's or the
// folder owner's: in a folder others may write, a link they planted is not.
TEST_F(LogFileTest, OnlyTrustedLinksAreFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make links of other users";
    constexpr uid_t kUser = 65534, kOther = 1111;
    ASSERT_EQ(::chown(dir.c_str(), kUser, kUser), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    const fs::path victim = dir / "victim", own = dir / "own", ownLink = dir / "b.log";
    std::ofstream(victim) << "v";
    std::ofstream(own) << "o";
    ASSERT_EQ(::chmod(victim.c_str(), 0666) | ::chmod(own.c_str(), 0666), 0);
    fs::create_symlink("victim", path);
    fs::create_symlink("own", ownLink);
    ASSERT_EQ(::lchown(path.c_str(), kOther, kOther) | ::lchown(ownLink.c_str(), kUser, kUser), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(kUser) != 0 || ::setuid(kUser) != 0) ::_exit(2);
        LogFile planted, mine;
        ::_exit(!planted.open(path.string()) && mine.open(ownLink.string()) && mine.write("+", 1) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream v(victim), o(own);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(v), {}), "v");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(o), {}), "o+");
}

}  // namespace
