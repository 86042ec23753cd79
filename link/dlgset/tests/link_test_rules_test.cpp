// The link test's rules: the test request per protocol, the slave's replies,
// the page's fields, the automatic test's list and the test button's look.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/dlgset/link_test.h"
#include "platform/cp1251.h"

using namespace vrt::link;
using namespace vrt::literals;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const LinkTestParams& p, int32_t protocol) {
    Bytes f(kTestFrameSize);
    BuildTestFrame(p, protocol, f.data());
    return f;
}

// Runs the slave reply on `request` in a buffer that an earlier, longer
// request has filled with 0xEE.
Bytes Reply(const Bytes& request, const Bytes& testFrame) {
    std::vector<uint8_t> buf(kTestAnswerSize, 0xEE);
    std::memcpy(buf.data(), request.data(), request.size());
    const uint16_t n = BuildSlaveReply(buf.data(), uint16_t(request.size()), testFrame.data());
    return Bytes(buf.begin(), buf.begin() + n);
}

}  // namespace

TEST(TestFrame, VortanBusLittleEndianModbusBigEndian) {
    LinkTestParams p;
    p.netAddr = 33;
    p.reqSize = 10;
    p.startAddr = 0x0102;
    EXPECT_EQ(Frame(p, 0), (Bytes{33, 2, 0x02, 0x01, 10, 0}));
    EXPECT_EQ(Frame(p, 1), (Bytes{33, 2, 0x02, 0x01, 10, 0}));
    EXPECT_EQ(Frame(p, 2), (Bytes{33, 3, 0x01, 0x02, 0, 10}));
    EXPECT_EQ(Frame(p, 7), (Bytes{33, 3, 0x01, 0x02, 0, 10}));   // 2 and above: MODBUS
    EXPECT_EQ(Frame(p, -1), (Bytes{33, 2, 0x02, 0x01, 10, 0}));  // below 2: VortanBus
}

TEST(SlaveReply, AnswersLikeAController) {
    LinkTestParams p;
    p.netAddr = 33;
    const Bytes vrt = Frame(p, 0);

    Bytes ok{33, 0x12, 0, 0, 16, 0};
    ok.resize(6 + 16, 0);
    EXPECT_EQ(Reply({33, 2, 0, 0, 16, 0}, vrt), ok);
    EXPECT_EQ(Reply({33, 5, 0, 0, 16, 0}, vrt), (Bytes{33, 0x45, 0, 0}));   // unknown command
    EXPECT_EQ(Reply({33, 2, 1, 0, 16, 0}, vrt), (Bytes{33, 0x52, 1, 0}));   // other start address
    EXPECT_EQ(Reply({33, 2, 0, 0, 0, 0}, vrt), (Bytes{33, 0x82, 0, 0}));    // size 0
    EXPECT_EQ(Reply({33, 2, 0, 0, 0xD0, 7}, vrt), (Bytes{33, 0x82, 0, 0})); // 2000 bytes

    const Bytes largest = Reply({33, 2, 0, 0, 0, 4}, vrt);  // 1024: the largest reply fits the buffer
    ASSERT_EQ(largest.size(), 6u + 1024u);
    EXPECT_EQ(largest[1], 0x12);
    EXPECT_EQ(largest.back(), 0);
}

TEST(SlaveReply, ModbusCountIsReadLittleEndian) {
    LinkTestParams p;
    p.netAddr = 33;
    p.reqSize = 10;
    const Bytes modbus = Frame(p, 2);
    // The count 10 arrives as bytes 0, 10 and reads as 2560: too large.
    EXPECT_EQ(Reply({33, 3, 0, 0, 0, 10}, modbus), (Bytes{33, 0x83, 0, 0}));
}

TEST(SlaveReply, ShortRequestIsNotJudgedByStaleBytes) {
    LinkTestParams p;
    const Bytes vrt = Frame(p, 0);
    // Bytes 2..5 of a 2-byte request count as zero, not as the 0xEE left over.
    EXPECT_EQ(Reply({33, 2}, vrt), (Bytes{33, 0x82, 0, 0}));
    EXPECT_EQ(Reply({33, 9, 0}, vrt), (Bytes{33, 0x49, 0, 0}));
}

TEST(TestFields, NetworkAddress) {
    EXPECT_EQ(ParseNetAddr("0", 33), 33);
    EXPECT_EQ(ParseNetAddr("255", 33), 33);
    EXPECT_EQ(ParseNetAddr("-5", 33), 33);
    EXPECT_EQ(ParseNetAddr("", 33), 33);
    EXPECT_EQ(ParseNetAddr(nullptr, 33), 33);
    EXPECT_EQ(ParseNetAddr("abc", 33), 33);
    EXPECT_EQ(ParseNetAddr("4294967297", 33), 33);  // overflow is not taken modulo 2^32
    EXPECT_EQ(ParseNetAddr("  12 \t", 33), 12);
    EXPECT_EQ(ParseNetAddr("254x", 33), 254);
    EXPECT_EQ(FormatNetAddr(12), "  12");
}

TEST(TestFields, MessageSizeClamps) {
    EXPECT_EQ(ParseMsgSize("0", 64), 1);
    EXPECT_EQ(ParseMsgSize("abc", 64), 1);
    EXPECT_EQ(ParseMsgSize("2000", 64), 1024);
    EXPECT_EQ(ParseMsgSize("99999999999999", 64), 1024);
    EXPECT_EQ(ParseMsgSize("-3", 64), 64);
    EXPECT_EQ(ParseMsgSize("   ", 64), 64);
    EXPECT_EQ(ParseMsgSize(" 512 ", 64), 512);
    EXPECT_EQ(FormatMsgSize(1024), " 1024");
}

TEST(TestFields, SlaveTime) {
    EXPECT_EQ(ParseSlaveTime("50000", 30), 50000);
    EXPECT_EQ(ParseSlaveTime("50001", 30), 30);
    EXPECT_EQ(ParseSlaveTime("0", 30), 30);
    EXPECT_EQ(ParseSlaveTime("-1", 30), 30);
    EXPECT_EQ(ParseSlaveTime("115", 30), 115);
    EXPECT_EQ(FormatSlaveTime(30), "     30");
}

TEST(AutoMode, CountItemsWithDigitGroups) {
    LinkTestParams p;
    EXPECT_EQ(ChooseAutoMode(12, " 100 000", p), 12);
    EXPECT_EQ(p.autoMode, 12);
    EXPECT_EQ(p.autoCount, 100000u);
    EXPECT_EQ(ChooseAutoMode(8, "     1 000", p), 8);
    EXPECT_EQ(p.autoCount, 1000u);
    EXPECT_EQ(ChooseAutoMode(6, "       100 ", p), 6);
    EXPECT_EQ(p.autoCount, 100u);

    // Modes without a count, and texts that are no count, keep the count.
    EXPECT_EQ(ChooseAutoMode(1, "До ошибки"_cp, p), 1);
    EXPECT_EQ(p.autoMode, 1);
    EXPECT_EQ(p.autoCount, 100u);
    ChooseAutoMode(3, "200 000", p);
    EXPECT_EQ(p.autoCount, 100u);
    ChooseAutoMode(3, "1x", p);
    EXPECT_EQ(p.autoCount, 100u);
    ChooseAutoMode(3, "0", p);
    EXPECT_EQ(p.autoCount, 100u);
    ChooseAutoMode(3, "99999999999999999999999", p);
    EXPECT_EQ(p.autoCount, 100u);

    EXPECT_EQ(ChooseAutoMode(-1, nullptr, p), 0);  // nothing chosen: continuous
    EXPECT_EQ(p.autoMode, 0);
}
