// The failed-request log: its blocks, entries, flush rule and failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dlgset/error_log.h"
#include "dlgset/link_settings.h"
#include "platform/cp1251.h"
#include "platform/local_time.h"
#include "platform/log_file.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"
#include "vrtcltrn/port_table.h"

namespace {

namespace fs = std::filesystem;
using namespace vrt::link;
using vrt::cp1251::fromUtf8;

// Monday, 7 December 2026, 09:05:03.
vrt::platform::LocalTime g_now{2026, 12, 1, 7, 9, 5, 3, 0};
vrt::platform::LocalTime fixedNow() { return g_now; }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

const uint8_t kRequest[] = {33, 3, 0, 16, 0, 2};

class ErrLog : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "vrt_errlog_XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir = templ;
        logPath = dir / "vrtCLNK_host.err";

        savedOptions = CommonOptionsEdited;
        savedLive = livePorts;
        savedOpenCount = OpenPortCount;
        savedHook = vrt::platform::setLocalTimeHook(&fixedNow);
        g_now = {2026, 12, 1, 7, 9, 5, 3, 0};

        std::memset(ports, 0, sizeof ports);
        for (int32_t i = 0; i < VRT_PORT_COUNT; ++i) ports[i].portIndex = i;
        livePorts = ports;
        OpenPortCount = 0;
        CommonOptionsEdited.StGRegErr = 1;
        ErrLogResetForTesting();
        ErrLogSetPathForTesting(logPath.string());
    }
    void TearDown() override {
        ErrLogResetForTesting();
        ErrLogSetPathForTesting("");
        vrt::platform::setLocalTimeHook(savedHook);
        CommonOptionsEdited = savedOptions;
        livePorts = savedLive;
        OpenPortCount = savedOpenCount;
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }

    void fail(int32_t port = 1, int32_t result = -10, const uint8_t* req = kRequest, uint16_t reqLen = 6) {
        uint16_t outLen = 0;
        ErrLogRequest(port, req, reqLen, nullptr, 0, &outLen, result);
    }
    std::string log() const { return readFile(logPath); }

    fs::path dir;
    fs::path logPath;
    PortRecord ports[VRT_PORT_COUNT];
    CommonOptions savedOptions;
    PortRecord* savedLive = nullptr;
    uint32_t savedOpenCount = 0;
    vrt::platform::LocalTimeHook savedHook = nullptr;
};

TEST_F(ErrLog, BeginEntryAndEndMatchTheGoldenFile) {
    ports[1].tmRq = 1250;
    ports[1].cntRq = 5;
    ports[1].cntErrRq = 2;
    fail(1, -10);
    ports[1].tmRq = 3723004;
    ErrLogPortClosed(1, 0);
    EXPECT_FALSE(ErrLogIsOpen());

    const fs::path golden = fs::path(__FILE__).parent_path() / "error_log_golden.txt";
    const std::string expected = fromUtf8(readFile(golden));
    ASSERT_FALSE(expected.empty()) << golden;
    EXPECT_EQ(log(), expected);
}

TEST_F(ErrLog, ControllerIdComesFromRequestsLongerThanFourBytes) {
    fail(0, -10, kRequest, 4);
    fail(0, -10, kRequest, 5);
    fail(0, -10, nullptr, 6);
    const std::string text = log();
    EXPECT_EQ(countOf(text, "[Com1:ID=  0]"), 2u);
    EXPECT_EQ(countOf(text, "[Com1:ID= 33]"), 1u);
    EXPECT_EQ(countOf(text, "**BEGIN"), 1u);
}

TEST_F(ErrLog, EntryShowsCodeTextAndCounters) {
    ports[3].cntRq = 4000000000u;
    ports[3].cntErrRq = 7;
    fail(3, -51);
    const std::string text = log();
    EXPECT_NE(text.find(fromUtf8("КОД=-51:Выполнение операции прервано\n")), std::string::npos) << text;
    EXPECT_NE(text.find(fromUtf8("Запросов 4000000000, из них          7 с ошибкой.\n")), std::string::npos);
    EXPECT_NE(text.find("[Com4:ID="), std::string::npos);
}

TEST_F(ErrLog, NothingIsWrittenWhileLoggingIsOff) {
    for (int32_t off : {0, -1}) {
        CommonOptionsEdited.StGRegErr = off;
        fail(0, -10);
        fail(1, -40);
    }
    EXPECT_FALSE(fs::exists(logPath));
    EXPECT_FALSE(ErrLogIsOpen());
}

TEST_F(ErrLog, SuccessesAndBadPortsAreNotLogged) {
    fail(0, 0);
    fail(-1, -10);
    fail(4, -10);
    fail(INT32_MIN, -10);
    EXPECT_FALSE(fs::exists(logPath));
}

TEST_F(ErrLog, EveryTwentyFirstEntryIsFlushed) {
    const uint64_t before = vrt::platform::logFileFlushCount();
    for (int i = 0; i < 20; ++i) fail();
    EXPECT_EQ(vrt::platform::logFileFlushCount() - before, 0u) << "twenty entries stay unflushed";
    fail();
    EXPECT_EQ(vrt::platform::logFileFlushCount() - before, 1u) << "the 21st flushes";
    for (int i = 0; i < 20; ++i) fail();
    EXPECT_EQ(vrt::platform::logFileFlushCount() - before, 1u);
    fail();
    EXPECT_EQ(vrt::platform::logFileFlushCount() - before, 2u);
    EXPECT_EQ(countOf(log(), "[Com2:ID= 33]"), 42u);
}

TEST_F(ErrLog, EndBlockWaitsForTheLastOpenPort) {
    fail(0, -10);
    OpenPortCount = 1;
    ErrLogPortClosed(1, 0);
    EXPECT_TRUE(ErrLogIsOpen());
    OpenPortCount = 0;
    ErrLogPortClosed(0, 1);  // an open, not a close
    EXPECT_TRUE(ErrLogIsOpen());
    EXPECT_EQ(countOf(log(), "**END"), 0u);

    const uint64_t before = vrt::platform::logFileFlushCount();
    ErrLogPortClosed(0, 0);
    EXPECT_FALSE(ErrLogIsOpen());
    EXPECT_EQ(vrt::platform::logFileFlushCount() - before, 1u);
    EXPECT_EQ(countOf(log(), "**END"), 1u);

    // A later failure opens the same file again and starts a new block after the old one.
    ErrLogPortClosed(0, 0);  // nothing open: nothing written
    fail(2, -40);
    const std::string text = log();
    EXPECT_EQ(countOf(text, "**BEGIN"), 2u);
    EXPECT_LT(text.find("**END"), text.rfind("**BEGIN"));
    EXPECT_EQ(countOf(text, "   [Com"), 2u);
}

// Threads that each open, fail requests on and close their own port, over
// and over: every entry lies inside a BEGIN..END block, no block nests in
// another or ends twice, and the last close ends the last block.
TEST_F(ErrLog, ThreadsOnTheirOwnPortsKeepTheBlocksWhole) {
    constexpr int kRounds = 20, kFailures = 3;
    livePorts = nullptr;  // the library's own table
    PortRecord saved[VRT_PORT_COUNT];
    std::memcpy(saved, PortTable, sizeof saved);
    std::vector<std::unique_ptr<vrt::testing::PtyPair>> lines;
    for (int32_t port = 0; port < VRT_PORT_COUNT; ++port) {
        lines.push_back(std::make_unique<vrt::testing::PtyPair>());
        lines.back()->bindCom(port + 1);
        PortRecordDefaults(PortTable[port], port);
    }
    std::vector<std::thread> hosts;
    for (int32_t port = 0; port < VRT_PORT_COUNT; ++port)
        hosts.emplace_back([port] {
            for (int round = 0; round < kRounds; ++round) {
                if (_vrtCL_fComOpen(port) != port) return ADD_FAILURE() << "COM" << port + 1 << " did not open";
                uint8_t answer[16];
                uint16_t n = 0;
                for (int i = 0; i < kFailures; ++i) _vrtCL_fComRequest(port, nullptr, 6, answer, sizeof answer, &n);
                _vrtCL_fComClose(port);
            }
        });
    for (std::thread& t : hosts) t.join();
    for (int32_t port = 0; port < VRT_PORT_COUNT; ++port) unsetenv(("VRT_COM" + std::to_string(port + 1)).c_str());
    std::memcpy(PortTable, saved, sizeof saved);

    std::istringstream text(log());
    bool inBlock = false;
    size_t entries = 0;
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("**BEGIN", 0) == 0) {
            EXPECT_FALSE(inBlock) << "BEGIN inside a block";
            inBlock = true;
        } else if (line.rfind("**END", 0) == 0) {
            EXPECT_TRUE(inBlock) << "END outside a block";
            inBlock = false;
        } else if (line.rfind("   [Com", 0) == 0) {
            EXPECT_TRUE(inBlock) << "entry outside a block";
            ++entries;
        }
    }
    EXPECT_FALSE(inBlock) << "the last close wrote no END";
    EXPECT_EQ(entries, size_t(VRT_PORT_COUNT * kRounds * kFailures));
    EXPECT_EQ(OpenPortCount, 0u);
}

TEST_F(ErrLog, UntickingStopsEntriesButKeepsTheBlockOpen) {
    fail();
    CommonOptionsEdited.StGRegErr = 0;
    fail();
    ErrLogPortClosed(1, 0);
    EXPECT_TRUE(ErrLogIsOpen());
    CommonOptionsEdited.StGRegErr = 1;
    fail();
    const std::string text = log();
    EXPECT_EQ(countOf(text, "**BEGIN"), 1u) << "ticking again continues the block";
    EXPECT_EQ(countOf(text, "**END"), 0u);
    EXPECT_EQ(countOf(text, "   [Com"), 2u);
}

TEST_F(ErrLog, ExistingContentIsKept) {
    {
        std::ofstream old(logPath, std::ios::binary);
        old << "older blocks\n";
    }
    fail();
    const std::string text = log();
    EXPECT_EQ(text.rfind("older blocks\n\n**BEGIN", 0), 0u) << text;
}

TEST_F(ErrLog, LogFileOnDescriptorZeroStillCountsAsOpen) {
    const int savedStdin = dup(0);
    ASSERT_GE(savedStdin, 0);
    ASSERT_EQ(close(0), 0);
    fail();
    const bool openAfterFirst = ErrLogIsOpen();
    fail();
    ErrLogPortClosed(1, 0);
    const bool openAfterEnd = ErrLogIsOpen();
    ASSERT_EQ(dup2(savedStdin, 0), 0);
    close(savedStdin);

    EXPECT_TRUE(openAfterFirst);
    EXPECT_FALSE(openAfterEnd);
    const std::string text = log();
    EXPECT_EQ(countOf(text, "   [Com"), 2u);
    EXPECT_EQ(countOf(text, "**END"), 1u);
}

void expectFailedOpenKeepsLoggingOff(ErrLog& t, const fs::path& badPath, const fs::path& goodPath) {
    ErrLogSetPathForTesting(badPath.string());
    errno = 1234;
    uint16_t outLen = 0;
    ErrLogRequest(0, kRequest, 6, nullptr, 0, &outLen, -10);
    EXPECT_EQ(errno, 1234) << "the request's errno is left alone";
    EXPECT_FALSE(ErrLogIsOpen());
    ErrLogPortClosed(0, 0);

    // Even a path that works now is not tried again while the library stays loaded.
    ErrLogSetPathForTesting(goodPath.string());
    ErrLogRequest(0, kRequest, 6, nullptr, 0, &outLen, -10);
    EXPECT_FALSE(ErrLogIsOpen());
    EXPECT_FALSE(fs::exists(goodPath));
    (void)t;
}

TEST_F(ErrLog, PathThatIsADirectoryTurnsLoggingOff) {
    fs::create_directory(dir / "taken.err");
    expectFailedOpenKeepsLoggingOff(*this, dir / "taken.err", logPath);
}

TEST_F(ErrLog, MissingFolderTurnsLoggingOff) {
    expectFailedOpenKeepsLoggingOff(*this, dir / "no-such-folder" / "x.err", logPath);
}

TEST_F(ErrLog, ReadOnlyFolderTurnsLoggingOff) {
    if (geteuid() != 0) {
        const fs::path locked = dir / "locked";
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        expectFailedOpenKeepsLoggingOff(*this, locked / "x.err", logPath);
    } else {
        // Root writes into folders without write permission; /proc takes no new files from anyone.
        expectFailedOpenKeepsLoggingOff(*this, "/proc/vrt_errlog_test.err", logPath);
    }
}

TEST_F(ErrLog, WriteFailuresAreSilentAndRetried) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ErrLogSetPathForTesting("/dev/full");
    fail();
    EXPECT_TRUE(ErrLogIsOpen());
    EXPECT_FALSE(ErrLogWrite("x"));
    fail();  // tried again, still silent
    ErrLogPortClosed(1, 0);
    EXPECT_FALSE(ErrLogIsOpen());
}

TEST_F(ErrLog, ErrLogWriteNeedsAnOpenFileAndAText) {
    EXPECT_FALSE(ErrLogWrite("x")) << "nothing open";
    fail();
    ASSERT_TRUE(ErrLogIsOpen());
    EXPECT_FALSE(ErrLogWrite(nullptr));
    EXPECT_TRUE(ErrLogWrite(""));
    EXPECT_TRUE(ErrLogWrite("tail"));
    const std::string text = log();
    EXPECT_EQ(text.substr(text.size() - 4), "tail");
}

TEST(WorkTime, Formats) {
    char out[256];
    const auto fmt = [&](uint32_t ms) {
        std::memset(out, 'x', sizeof out);
        FormatWorkTime(ms, out);
        return std::string(out);
    };
    EXPECT_EQ(fmt(0), " ");
    EXPECT_EQ(fmt(1), "00:00:00 [001]");
    EXPECT_EQ(fmt(3723004), "01:02:03 [004]");
    EXPECT_EQ(fmt(3599999), "00:59:59 [999]");
    EXPECT_EQ(fmt(3600000), "01:00:00 [000]");
    EXPECT_EQ(fmt(35999999), "09:59:59 [999]");
    EXPECT_EQ(fmt(36000000), "  10:00:00 [000]");
    EXPECT_EQ(fmt(90061001), "  25:01:01 [001]");
    EXPECT_EQ(fmt(UINT32_MAX), "1193:02:47 [295]");
    FormatWorkTime(5, nullptr);  // nothing to write into: no crash
}

class LogDate : public ::testing::Test {
protected:
    void SetUp() override { saved = vrt::platform::setLocalTimeHook(&fixedNow); }
    void TearDown() override { vrt::platform::setLocalTimeHook(saved); }
    std::string date() {
        char buf[256];
        EXPECT_EQ(FormatLogDate(buf), buf);
        return vrt::cp1251::toUtf8(buf);
    }
    vrt::platform::LocalTimeHook saved = nullptr;
};

TEST_F(LogDate, Formats) {
    g_now = {2026, 12, 1, 7, 9, 5, 3, 0};
    EXPECT_EQ(date(), "Пнд 07 Дек 2026, 09:05:03 (07.12.2026)");
    g_now = {2026, 5, 0, 31, 23, 59, 59, 999};
    EXPECT_EQ(date(), "Вск 31 Май 2026, 23:59:59 (31.05.2026)");
    g_now = {2027, 1, 6, 2, 0, 0, 0, 0};
    EXPECT_EQ(date(), "Сбб 02 Янв 2027, 00:00:00 (02.01.2027)");
    EXPECT_EQ(FormatLogDate(nullptr), nullptr);
}

TEST_F(LogDate, NamesOutsideTheirTablesAreNotLookedUp) {
    g_now = {2026, 13, 7, 1, 0, 0, 0, 0};
    EXPECT_EQ(date(), "??? 01 ??? 2026, 00:00:00 (01.13.2026)");
    g_now = {65535, 0, 65535, 65535, 65535, 65535, 65535, 65535};
    EXPECT_EQ(date(), "??? 65535 ??? 65535, 65535:65535:65535 (65535.00.65535)");
}

}  // namespace
