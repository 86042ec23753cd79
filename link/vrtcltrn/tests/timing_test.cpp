// Character times and the time-outs a port gets at open.
#include <gtest/gtest.h>

#include "port_ops_fixture.h"
#include "vrtcltrn/port_ops.h"

namespace {

using vrt::link::PortTimeouts;

TEST(CalcTimeOut, ElevenBitsPerCharacterTruncatedAtLeastOne) {
    struct Case {
        uint16_t chars;
        uint32_t baud;
        uint32_t ms;
    };
    for (const Case c : {Case{0, 9600, 1}, Case{10, 0, 1}, Case{0, 0, 1}, Case{1, 19200, 1}, Case{1, 9600, 1},
                         Case{1, 1200, 9}, Case{100, 9600, 114}, Case{19, 19200, 10}, Case{18, 19200, 10},
                         Case{3, 115200, 1}, Case{65535, 50, 14417700}, Case{65535, 4000000, 180},
                         Case{1, 0xFFFFFFFFu, 1}})
        EXPECT_EQ(_vrtCL_fCalcTimeOut(c.chars, c.baud), c.ms) << c.chars << " chars at " << c.baud;
}

bool sameTimeouts(const VrtTimeouts& a, const VrtTimeouts& b) {
    return a.readInterval == b.readInterval && a.readTotalMultiplier == b.readTotalMultiplier &&
           a.readTotalConstant == b.readTotalConstant && a.writeTotalMultiplier == b.writeTotalMultiplier &&
           a.writeTotalConstant == b.writeTotalConstant;
}

TEST(PortTimeouts, FollowBaudProtocolAndResponseTime) {
    struct Case {
        uint32_t baud;
        int32_t protocol;
        VrtTimeouts expected;
    };
    for (const Case& c : {
             Case{19200, 0, {360, 0, 3220, 0, 2922}},
             Case{19200, -1, {360, 0, 3220, 0, 2922}},  // below 0 acts as ASCII
             Case{19200, 1, {360, 0, 2160, 0, 1862}},
             Case{19200, 2, {360, 0, 2160, 0, 1862}},
             Case{1200, 0, {520, 0, 20756, 0, 20458}},
             Case{1200, 2, {520, 0, 11088, 0, 10790}},
         }) {
        const VrtTimeouts t = PortTimeouts(c.baud, c.protocol, 200);
        EXPECT_TRUE(sameTimeouts(t, c.expected))
            << c.baud << "/" << c.protocol << ": " << t.readInterval << " " << t.readTotalConstant << " "
            << t.writeTotalConstant;
    }
    // T/3 rounds down: 100 ms adds 100 + 33.
    EXPECT_EQ(PortTimeouts(19200, 0, 100).readTotalConstant, 2872u + 32 + 100 + 33 + 50);
}

using OpenTimeouts = vrt::test::PortOnPty;

TEST_F(OpenTimeouts, UseTheBaudRateJustSetOnTheDevice) {
    rec().max = 200;
    rec().baud = 1200;
    openPort();
    EXPECT_EQ(+rec().dcb.baudRate, 1200u);
    EXPECT_EQ(_vrtCL_fParamBaud(kPort), 1200u);
    EXPECT_TRUE(sameTimeouts(rec().timeouts, {520, 0, 20756, 0, 20458}));
    VrtTimeouts onDevice{};
    ASSERT_TRUE(vrt::platform::serial::getTimeouts(+rec().hCom, onDevice));
    EXPECT_TRUE(sameTimeouts(onDevice, rec().timeouts));

    // Reopened at another rate: not the rate of the earlier open.
    _vrtCL_fComClose(kPort);
    rec().baud = 19200;
    openPort();
    EXPECT_TRUE(sameTimeouts(rec().timeouts, {360, 0, 3220, 0, 2922}));
    _vrtCL_fComClose(kPort);
    EXPECT_EQ(_vrtCL_fParamBaud(kPort), 19200u) << "kept after close";
}

}  // namespace
