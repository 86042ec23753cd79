#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "dlgset/link_settings.h"
#include "platform/cp1251.h"
#include "platform/file_io.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "platform/tests/temp_dir.h"
#include "vrtcltrn/port_table.h"

using namespace vrt::link;
using namespace vrt::literals;
using vrt::platform::ProfileFile;
using vrt::test::readFile;
using vrt::test::TempDir;
using vrt::test::writeFile;

namespace {

// The settings area of a record, bytes 16..398: the numbers up to `phone`
// byte for byte, the texts up to their terminators (a command line read from
// the file keeps the old bytes behind its terminator).
constexpr size_t kSettingsBegin = 16;

bool sameSettings(const PortRecord& a, const PortRecord& b) {
    const auto sameText = [](const char* x, const char* y, size_t size) { return std::strncmp(x, y, size) == 0; };
    if (std::memcmp(reinterpret_cast<const char*>(&a) + kSettingsBegin,
                    reinterpret_cast<const char*>(&b) + kSettingsBegin, offsetof(PortRecord, phone) - kSettingsBegin))
        return false;
    if (!sameText(a.phone, b.phone, VRT_PHONE_SIZE) || !sameText(a.cmdATD, b.cmdATD, VRT_CMD_SIZE)) return false;
    for (int l = 0; l < VRT_CMD_LINES; ++l)
        if (!sameText(a.cmdLines[l], b.cmdLines[l], VRT_CMD_SIZE)) return false;
    return true;
}

bool sameOptions(const CommonOptions& a, const CommonOptions& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void setText(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size));
}

// Every test runs on its own files and leaves the library's globals as found.
class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        savedNames_ = ConfigFiles();
        savedOptions_ = CommonOptionsEdited;
        savedApplied_ = CommonOptionsApplied;
        std::memcpy(savedWork_, WorkPortTable, sizeof savedWork_);
        savedLive_ = livePorts;
        savedPeriod_ = statPeriod;
        savedGlobal_ = IS_GLOBAL;

        names.local = dir.file("host.INI");
        names.global = dir.file("vrtCLNK.CFG");
        SetConfigFileNames(names);
        for (int k = 0; k < VRT_PORT_COUNT; ++k) {
            PortRecordDefaults(table[k], k);
            PortRecordDefaults(WorkPortTable[k], k);
        }
        CommonOptionsEdited = CommonOptions{};
        IS_GLOBAL = 0;
    }
    void TearDown() override {
        SetConfigFileNames(savedNames_);
        CommonOptionsEdited = savedOptions_;
        CommonOptionsApplied = savedApplied_;
        std::memcpy(WorkPortTable, savedWork_, sizeof savedWork_);
        livePorts = savedLive_;
        statPeriod = savedPeriod_;
        IS_GLOBAL = savedGlobal_;
    }

    void localFile(const std::string& keys) { writeFile(names.local, "[vrtCLink]\r\n" + keys); }
    void globalFile(const std::string& keys) { writeFile(names.global, "[vrtCLink]\r\n" + keys); }
    void init() { LinkSettingsInit(table, names); }

    TempDir dir{"vrt.cfg"};
    ConfigFileNames names;
    PortRecord table[VRT_PORT_COUNT];

private:
    ConfigFileNames savedNames_;
    CommonOptions savedOptions_, savedApplied_;
    PortRecord savedWork_[VRT_PORT_COUNT];
    PortRecord* savedLive_ = nullptr;
    uint32_t savedPeriod_ = 0;
    int32_t savedGlobal_ = 0;
};

}  // namespace

TEST_F(ConfigFile, DefaultsWithoutAnyFile) {
    CommonOptionsEdited.StGRegErr = 7;  // start-up begins from the options' defaults
    IS_GLOBAL = 1;
    init();
    for (int k = 0; k < VRT_PORT_COUNT; ++k) {
        PortRecord expected;
        PortRecordDefaults(expected, k);
        EXPECT_EQ(std::memcmp(&table[k], &expected, sizeof expected), 0) << k;
        EXPECT_EQ(std::memcmp(&WorkPortTable[k], &expected, sizeof expected), 0) << k;
    }
    EXPECT_TRUE(sameOptions(CommonOptionsEdited, CommonOptions{}));
    EXPECT_TRUE(sameOptions(CommonOptionsApplied, CommonOptions{}));
    EXPECT_EQ(CommonOptionsEdited.tmState, 250);
    EXPECT_EQ(CommonOptionsEdited.BtnCaptions, 1);
    EXPECT_EQ(IS_GLOBAL, 0);
    EXPECT_EQ(statPeriod, 250u);
    EXPECT_EQ(livePorts, table);
    EXPECT_EQ(ConfigFileInUse(), names.local);
    EXPECT_FALSE(std::filesystem::exists(names.local));  // reading creates nothing
}

TEST_F(ConfigFile, StartUpOverlaysTheFileAndAppliesTheOptions) {
    localFile("COMMON=StExtNo:1, StTop:1, StShow:0, StGRegErr:1 BtnCaptions:0,tmState:1000, TstOpen:1\r\n"
              "COM2=baud:9600, parity:N\r\n"
              "MODEM4_BASE=usage:1, phone:\"555\"\r\n");
    table[0].hCom = 77;  // run-time fields of the live table come back as they were
    init();
    EXPECT_EQ(+table[1].baud, 9600u);
    EXPECT_EQ(+table[1].parity, 0);
    EXPECT_EQ(+table[1].data, 8);
    EXPECT_EQ(+table[3].usage, 1);
    EXPECT_STREQ(table[3].phone, "555");
    EXPECT_EQ(+table[0].hCom, 77);
    EXPECT_EQ(std::memcmp(table, WorkPortTable, sizeof table), 0);
    EXPECT_EQ(statPeriod, 1000u);
    EXPECT_EQ(CommonOptionsApplied.tmState, 1000);
    EXPECT_EQ(CommonOptionsApplied.StGRegErr, 1);
    EXPECT_EQ(CommonOptionsApplied.BtnCaptions, 0);
    EXPECT_TRUE(sameOptions(CommonOptionsEdited, CommonOptionsApplied));
}

TEST_F(ConfigFile, IsGlobalChoosesTheFile) {
    globalFile("COM1=baud:9600\r\n");
    for (const char* flag : {"1", " 1 ", "\"1\""}) {
        localFile(std::string("IS_GLOBAL=") + flag + "\r\nCOM1=baud:4800\r\n");
        init();
        EXPECT_EQ(IS_GLOBAL, 1) << flag;
        EXPECT_EQ(+table[0].baud, 9600u) << flag;
        EXPECT_EQ(ConfigFileInUse(), names.global);
    }
    for (const char* flag : {"01", "yes", "2", "", "1x", "0"}) {
        PortRecordDefaults(table[0], 0);
        localFile(std::string("IS_GLOBAL=") + flag + "\r\nCOM1=baud:4800\r\n");
        init();
        EXPECT_EQ(IS_GLOBAL, 0) << flag;
        EXPECT_EQ(+table[0].baud, 4800u) << flag;
        EXPECT_EQ(ConfigFileInUse(), names.local);
    }
}

TEST_F(ConfigFile, NumbersAtTheEdgesOfTheirRanges) {
    struct Field {
        const char* key;
        const char* name;
        int64_t lo, hi;
        std::function<int64_t()> get;
    };
    PortRecord& r = WorkPortTable[0];
    const Field fields[] = {
        {"COM1", "baud", 1, 999999, [&] { return int64_t(r.baud); }},
        {"COM1", "data", 7, 8, [&] { return int64_t(r.data); }},
        {"COM1", "max", 0, 50000, [&] { return int64_t(r.max); }},
        {"COM1", "mode", 0, 9, [&] { return int64_t(r.mode); }},
        {"COM1", "protocol", 0, 2, [&] { return int64_t(r.protocol); }},
        {"COM1", "rptErr", 0, 10, [&] { return int64_t(r.rptErr); }},
        {"MODEM1_BASE", "usage", 0, 1, [&] { return int64_t(r.usage); }},
        {"MODEM1_BASE", "tmAnswer", 1, 60000, [&] { return int64_t(r.tmAnswer); }},
        {"MODEM1_BASE", "tmConnect", 1, 960, [&] { return int64_t(r.tmConnect); }},
        {"MODEM1_BASE", "repeat", 1, 5, [&] { return int64_t(r.repeat); }},
        {"MODEM1_BASE", "request", 0, 1, [&] { return int64_t(r.request); }},
        {"COMMON", "StExtNo", INT32_MIN, INT32_MAX, [] { return int64_t(CommonOptionsEdited.StExtNo); }},
        {"COMMON", "StGRegErr", INT32_MIN, INT32_MAX, [] { return int64_t(CommonOptionsEdited.StGRegErr); }},
        {"COMMON", "TstOpen", INT32_MIN, INT32_MAX, [] { return int64_t(CommonOptionsEdited.TstOpen); }},
    };
    const auto load = [&](const Field& f, const std::string& value) {
        localFile(std::string(f.key) + "=x:0, " + f.name + ":" + value + ", y:1\r\n");
        LoadLinkSettings();
        return f.get();
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(load(f, std::to_string(f.lo)), f.lo);
        EXPECT_EQ(load(f, std::to_string(f.hi)), f.hi);
        const int64_t kept = f.get();
        EXPECT_EQ(load(f, std::to_string(f.lo - 1)), kept);
        EXPECT_EQ(load(f, std::to_string(f.hi + 1)), kept);
        for (const char* bad : {"abc", "\"\"", "-", "+", "18446744073709551617", "99999999999999999999999"})
            EXPECT_EQ(load(f, bad), kept) << bad;
        EXPECT_EQ(load(f, (f.lo >= 0 ? "+" : "") + std::to_string(f.lo) + "trailing"), f.lo);
    }
    // A wrap through 32 bits never lands in range, and a minus sign is out of range.
    const Field& baud = fields[0];
    load(baud, "9600");
    EXPECT_EQ(load(baud, "4294986496"), 9600);  // 2^32 + 19200
    EXPECT_EQ(load(baud, "-4294947696"), 9600);
    EXPECT_EQ(load(baud, "-0"), 9600);
    load(fields[2], "5");
    EXPECT_EQ(load(fields[2], "-0"), 5);
}

TEST_F(ConfigFile, StopBitsParityAndPeriod) {
    PortRecord& r = WorkPortTable[1];
    const auto com2 = [&](const std::string& v) {
        localFile("COM2=" + v + "\r\n");
        LoadLinkSettings();
    };
    com2("stop:2");
    EXPECT_EQ(+r.stop, 2);
    com2("stop:3");
    EXPECT_EQ(+r.stop, 2);
    com2("stop:0");
    EXPECT_EQ(+r.stop, 2);
    com2("stop:1");
    EXPECT_EQ(+r.stop, 0);

    const std::pair<const char*, int> parities[] = {{"N", 0}, {"O", 1}, {"M", 3}, {"S", 4}, {"E", 2},
                                                    {"N", 0}, {"e", 2}, {"N", 0}, {"\"?\"", 2}, {"N", 0}};
    for (const auto& [letter, code] : parities) {
        com2(std::string("parity:") + letter);
        EXPECT_EQ(+r.parity, code) << letter;
    }
    com2("parity:NO");
    EXPECT_EQ(+r.parity, 0);
    com2("parity:");
    EXPECT_EQ(+r.parity, 0);

    for (const auto& [text, period] : std::vector<std::pair<std::string, int>>{
             {"0", 0}, {"100", 100}, {"300", 100}, {"500", 500}, {"-250", 500}, {"1000", 1000}, {"250", 250}}) {
        localFile("COMMON=tmState:" + text + "\r\n");
        LoadLinkSettings();
        EXPECT_EQ(CommonOptionsEdited.tmState, period) << text;
    }
}

TEST_F(ConfigFile, CommonInBothSeparatorStyles) {
    const char* styles[] = {
        "StExtNo:-1, StTop:2, StShow:3, StGRegErr:4 BtnCaptions:5,tmState:500, TstOpen:6",
        "StExtNo:-1, StTop:2, StShow:3, StGRegErr:4, BtnCaptions:5, tmState:500, TstOpen:6",
        "TstOpen:6 tmState:500 BtnCaptions:5 StGRegErr:4 StShow:3 StTop:2 StExtNo:-1",
    };
    for (const char* text : styles) {
        CommonOptionsEdited = CommonOptions{};
        localFile(std::string("COMMON=") + text + "\r\n");
        LoadLinkSettings();
        const CommonOptions expected{-1, 2, 3, 4, 5, 6, 500};
        EXPECT_TRUE(sameOptions(CommonOptionsEdited, expected)) << text;
    }
    localFile("COMMON=StTop:2147483648, StShow:-2147483648, tmState:250 BtnCaptions:x\r\n");
    LoadLinkSettings();
    EXPECT_EQ(CommonOptionsEdited.StTop, 2);  // beyond 32 bits: kept
    EXPECT_EQ(CommonOptionsEdited.StShow, INT32_MIN);
    EXPECT_EQ(CommonOptionsEdited.BtnCaptions, 5);
}

TEST_F(ConfigFile, PhoneNumbers) {
    PortRecord& r = WorkPortTable[2];
    const auto phone = [&](const std::string& value) {
        localFile("MODEM3_BASE=usage:1, phone:" + value + "\r\n");
        LoadLinkSettings();
        return std::string(r.phone);
    };
    const std::string p48(48, '7');
    EXPECT_EQ(phone("\"" + p48 + "\""), p48);
    EXPECT_EQ(phone("\"" + std::string(49, '8') + "\""), p48);
    EXPECT_EQ(phone("\"   " + std::string(48, '9') + "   \""), std::string(48, '9'));  // trimmed first
    EXPECT_EQ(phone("\"\""), std::string(48, '9'));  // an empty value is no value
    EXPECT_EQ(phone("\"8 (495) доб. 12\""_cp), std::string("8 (495) доб. 12"_cp));
    EXPECT_EQ(phone("123,456"), "123");
    EXPECT_EQ(phone("\"" + std::string(97, '1') + "\""), "123");  // longer than a value may be
}

TEST_F(ConfigFile, CommandLines) {
    PortRecord& r = WorkPortTable[0];
    const auto load = [&](const std::string& keys) {
        localFile(keys);
        LoadLinkSettings();
    };
    char line0[VRT_CMD_SIZE];
    std::memcpy(line0, r.cmdLines[0], sizeof line0);
    load("MODEM1_cmd1_1=\"\"\r\nMODEM1_cmd2_3=\"AT [comment]\"\r\nMODEM1_cmdATD=ATDT [tone]\r\n"
         "MODEM1_cmd1_4=\"AT&F\" [reset]\r\n");
    EXPECT_STREQ(r.cmdLines[0], "");
    EXPECT_EQ(std::memcmp(r.cmdLines[0] + 1, line0 + 1, sizeof line0 - 1), 0);  // bytes behind the terminator stay
    EXPECT_STREQ(r.cmdLines[1], "ATZ0|ATE0");  // missing key: kept
    EXPECT_STREQ(r.cmdLines[8], "AT");
    EXPECT_STREQ(r.cmdLines[3], "AT&F");
    EXPECT_STREQ(r.cmdLines[6], "ATZ0|ATE0|ATL3");
    EXPECT_STREQ(r.cmdATD, "ATDT");

    load("MODEM1_cmdATD=\"" + std::string(21, 'A') + "\"\r\nMODEM1_cmd1_2=?\r\nMODEM1_cmd2_6=\"" +
         std::string(20, 'B') + "\"\r\nMODEM1_cmd2_1=\r\n");
    EXPECT_STREQ(r.cmdATD, "ATDT");
    EXPECT_STREQ(r.cmdLines[1], "ATZ0|ATE0");
    EXPECT_EQ(std::string(r.cmdLines[11]), std::string(20, 'B'));
    EXPECT_STREQ(r.cmdLines[6], "");

    r.baud = 1234;
    load("MODEM1_BASE=\r\nCOM1=\r\nCOMMON=\r\n");  // empty groups change nothing
    PortRecord defaults;
    PortRecordDefaults(defaults, 0);
    EXPECT_EQ(+r.baud, 1234u);
    EXPECT_EQ(+r.tmConnect, +defaults.tmConnect);
}

TEST_F(ConfigFile, SavedDefaultsInTheirExactForm) {
    ASSERT_TRUE(SaveLinkSettings());
    const ProfileFile f(names.local);
    EXPECT_EQ(f.read("vrtCLink", "IS_GLOBAL"), "0");
    EXPECT_EQ(f.read("vrtCLink", "COMMON"),
              "StExtNo:0, StTop:0, StShow:0, StGRegErr:0 BtnCaptions:1,tmState:250, TstOpen:0");
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(f.read("vrtCLink", "COM" + std::to_string(n)),
                  "baud:19200, data:8, stop:1, parity:E, max:200, mode:0, protocol:0, rptErr:3");
    EXPECT_EQ(f.read("vrtCLink", "MODEM2_BASE"),
              "usage:0, tmAnswer:250, tmConnect:120, repeat:2, request:1, phone:\"\"");
    const std::string text = readFile(names.local);
    EXPECT_NE(text.find("\r\nMODEM3_cmdATD=\"ATDP\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMODEM4_cmd1_1=\"+++|+++ATZ0\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMODEM4_cmd2_3=\"AT&D0|AT&C1|AT&K0\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMODEM4_cmd2_6=\"\"\r\n"), std::string::npos);

    std::vector<std::string> order{"IS_GLOBAL", "COMMON", "COM1", "COM2", "COM3", "COM4"};
    for (int n = 1; n <= 4; ++n) {
        const std::string m = "MODEM" + std::to_string(n);
        order.push_back(m + "_BASE");
        order.push_back(m + "_cmdATD");
        for (int g = 1; g <= 2; ++g)
            for (int l = 1; l <= 6; ++l) order.push_back(m + "_cmd" + std::to_string(g) + "_" + std::to_string(l));
    }
    EXPECT_EQ(f.keys("vrtCLink"), order);
}

TEST_F(ConfigFile, SaveThenLoadGivesEverythingBack) {
    const int parities[] = {0, 1, 3, 4};
    for (int k = 0; k < VRT_PORT_COUNT; ++k) {
        PortRecord& r = WorkPortTable[k];
        r.baud = 115200 + uint32_t(k);
        r.data = 7;
        r.stop = 2;
        r.parity = uint8_t(parities[k]);
        r.max = uint32_t(k == 0 ? 0 : 50000);
        r.mode = 9;
        r.protocol = 2;
        r.rptErr = 10 - k;
        r.usage = 1;
        r.request = 0;
        r.tmAnswer = 60000;
        r.tmConnect = 960;
        r.repeat = 5;
        setText(r.phone, VRT_PHONE_SIZE, std::string("8 (495) доб. 12,"_cp) + std::string(32, char('0' + k)));
        setText(r.cmdATD, VRT_CMD_SIZE, "ATDT");
        for (int l = 0; l < VRT_CMD_LINES; ++l)
            setText(r.cmdLines[l], VRT_CMD_SIZE, l % 3 == 0 ? "" : "AT&F|ATX" + std::to_string(k * 100 + l));
        setText(r.cmdLines[5], VRT_CMD_SIZE, std::string(20, 'Z'));
    }
    CommonOptionsEdited = CommonOptions{-5, 1, 1, 1, 0, 1, 100};
    ASSERT_TRUE(SaveLinkSettings());

    PortRecord saved[VRT_PORT_COUNT];
    std::memcpy(saved, WorkPortTable, sizeof saved);
    const CommonOptions savedOptions = CommonOptionsEdited;
    for (int k = 0; k < VRT_PORT_COUNT; ++k) PortRecordDefaults(WorkPortTable[k], k);
    CommonOptionsEdited = CommonOptions{};
    LoadLinkSettings();
    for (int k = 0; k < VRT_PORT_COUNT; ++k) EXPECT_TRUE(sameSettings(WorkPortTable[k], saved[k])) << k;
    EXPECT_TRUE(sameOptions(CommonOptionsEdited, savedOptions));  // logging option included
}

TEST_F(ConfigFile, SaveWithGlobalFileSplitsTheKeys) {
    writeFile(names.local, "[Host]\nown=1\n");
    IS_GLOBAL = 1;
    WorkPortTable[0].baud = 4800;
    ASSERT_TRUE(SaveLinkSettings());
    EXPECT_EQ(readFile(names.local), "[Host]\nown=1\n[vrtCLink]\nIS_GLOBAL=1\n");
    const ProfileFile global(names.global);
    EXPECT_EQ(global.read("vrtCLink", "IS_GLOBAL"), std::nullopt);
    EXPECT_EQ(global.keys("vrtCLink").size(), 1u + 4 + 4 * 14);

    WorkPortTable[0].baud = 19200;
    init();  // the next start reads the global file
    EXPECT_EQ(IS_GLOBAL, 1);
    EXPECT_EQ(+table[0].baud, 4800u);
}

TEST_F(ConfigFile, SaveFailuresAreReportedAndChangeNothing) {
    WorkPortTable[1].baud = 2400;
    PortRecord before[VRT_PORT_COUNT];
    std::memcpy(before, WorkPortTable, sizeof before);

    SetConfigFileNames({dir.file("no/such/host.INI"), dir.file("vrtCLNK.CFG")});
    EXPECT_FALSE(SaveLinkSettings());
    EXPECT_FALSE(WriteIsGlobal());
    IS_GLOBAL = 1;  // the global file is written, the local one is not: still a failure
    EXPECT_FALSE(SaveLinkSettings());
    EXPECT_EQ(ProfileFile(dir.file("vrtCLNK.CFG")).read("vrtCLink", "COM2", ""),
              "baud:2400, data:8, stop:1, parity:E, max:200, mode:0, protocol:0, rptErr:3");

    SetConfigFileNames({"", ""});  // names that could not be built: nothing is written anywhere
    EXPECT_FALSE(SaveLinkSettings());
    IS_GLOBAL = 0;
    EXPECT_FALSE(SaveLinkSettings());
    LoadLinkSettings();
    EXPECT_EQ(std::memcmp(before, WorkPortTable, sizeof before), 0);
}

// A settings file its user may not write (here: no write bit, which holds
// for root too) is refused and stays byte for byte.
TEST_F(ConfigFile, ReadOnlyFilesAreRefusedAndKept) {
    localFile("IS_GLOBAL=0\r\nCOM1=baud:1200\r\n");
    const std::string local = readFile(names.local);
    ASSERT_EQ(::chmod(names.local.c_str(), 0444), 0);
    EXPECT_FALSE(SaveLinkSettings());
    EXPECT_FALSE(WriteIsGlobal());
    EXPECT_EQ(readFile(names.local), local);

    // A read-only global file: the local file takes IS_GLOBAL, the save still fails.
    ASSERT_EQ(::chmod(names.local.c_str(), 0644), 0);
    globalFile("COM1=baud:2400\r\n");
    const std::string global = readFile(names.global);
    ASSERT_EQ(::chmod(names.global.c_str(), 0444), 0);
    IS_GLOBAL = 1;
    std::string failed;
    EXPECT_FALSE(SaveLinkSettings(&failed));
    EXPECT_EQ(failed, names.global);
    EXPECT_EQ(readFile(names.global), global);
    EXPECT_EQ(ProfileFile(names.local).read("vrtCLink", "IS_GLOBAL", ""), "1");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST_F(ConfigFile, TextsFromHostsCannotBreakTheFile) {
    PortRecord& r = WorkPortTable[0];
    setText(r.phone, VRT_PHONE_SIZE, "12\r\nCOM2=baud:300");
    std::memset(WorkPortTable[1].phone, '5', VRT_PHONE_SIZE);  // no terminator at all
    std::memset(WorkPortTable[1].cmdATD, 'D', VRT_CMD_SIZE);
    ASSERT_TRUE(SaveLinkSettings());
    const std::string text = readFile(names.local);
    EXPECT_EQ(text.find("\nCOM2=baud:300"), std::string::npos);

    LoadLinkSettings();
    EXPECT_STREQ(r.phone, "12  COM2=baud:300");
    EXPECT_EQ(+WorkPortTable[1].baud, 19200u);
    EXPECT_EQ(ProfileFile(names.local).read("vrtCLink", "MODEM2_cmdATD"), std::string(22, 'D'));
}

TEST_F(ConfigFile, LoadChangesOnlyTheWorkingCopy) {
    init();
    localFile("COM1=baud:1200\r\nCOMMON=tmState:0\r\n");
    LoadLinkSettings();
    EXPECT_EQ(+WorkPortTable[0].baud, 1200u);
    EXPECT_EQ(CommonOptionsEdited.tmState, 0);
    EXPECT_EQ(+table[0].baud, 19200u);
    EXPECT_EQ(CommonOptionsApplied.tmState, 250);
    EXPECT_EQ(statPeriod, 250u);
}

// A save that fails midway and cannot even put the old contents back names
// the copy that holds them, in the dialog's message too; the next load puts
// them back.
TEST_F(ConfigFile, AFailedSaveNamesTheKeptCopy) {
    localFile("IS_GLOBAL=0\r\nCOM1=baud:1200\r\n");
    const std::string old = readFile(names.local);
    ASSERT_EQ(::link(names.local.c_str(), dir.file("other.INI").c_str()), 0);  // written in place
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The file size limit falls while the new contents are written.
        vrt::platform::SetSaveStepHook([](const char* step) {
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 1;
            if (std::strcmp(step, "file half written") == 0) ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        std::string failed, kept;
        const bool named = !SaveLinkSettings(&failed, &kept) && failed == names.local && !kept.empty() &&
                           readFile(kept).ends_with(old) &&
                           SaveFailureText(failed, kept).find(vrt::platform::nameText(kept)) != std::string::npos;
        ::_exit(named ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ProfileFile(names.local).read("vrtCLink", "COM1", ""), "baud:1200");
    EXPECT_EQ(readFile(names.local), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}
