// The link port operations without a modem: the phone number, the aliases,
// open and close of a port that does not use a modem.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/cp1251.h"
#include "testing/controller_sim.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"
#include "vrtcltrn/codes.h"
#include "vrtcltrn/port_table.h"

using namespace vrt::literals;

namespace {

using vrt::link::PortRecordDefaults;

PortRecord& record(int32_t port) {
    int32_t status = 0;
    return *_vrtCL_fGetAddr(port, &status);
}

class SetPhone : public ::testing::Test {
protected:
    void SetUp() override {
        _vrtCL_fInit();
        std::strcpy(record(0).phone, "555");
    }
    void TearDown() override { std::memset(record(0).phone, 0, VRT_PHONE_SIZE); }
};

TEST_F(SetPhone, LengthIsCountedBeforeTrimming) {
    const std::string n48(48, '1');
    EXPECT_EQ(_vrtCL_fSetPhone(0, n48.c_str()), 0);
    EXPECT_EQ(std::string(record(0).phone), n48);

    EXPECT_EQ(_vrtCL_fSetPhone(0, (n48 + "2").c_str()), vrt::link::kErrModemLine);
    EXPECT_EQ(std::string(record(0).phone), n48);  // the old number stays

    // 52 characters with blanks around a 40-character number: refused.
    const std::string padded = "  " + std::string(40, '3') + std::string(10, ' ');
    EXPECT_EQ(_vrtCL_fSetPhone(0, padded.c_str()), vrt::link::kErrModemLine);

    // 48 in all with blanks around: stored without them.
    const std::string blanks = " \t" + std::string(44, '4') + "  ";
    ASSERT_EQ(blanks.size(), 48u);
    EXPECT_EQ(_vrtCL_fSetPhone(0, blanks.c_str()), 0);
    EXPECT_EQ(std::string(record(0).phone), std::string(44, '4'));
}

TEST_F(SetPhone, NullOrEmptyClearsTheNumber) {
    EXPECT_EQ(_vrtCL_fSetPhone(0, nullptr), 0);
    EXPECT_STREQ(record(0).phone, "");
    std::strcpy(record(0).phone, "555");
    EXPECT_EQ(_vrtCL_fSetPhone(0, ""), 0);
    EXPECT_STREQ(record(0).phone, "");
}

TEST_F(SetPhone, InnerBlanksAndCyrillicStayOnlyEndsAreTrimmed) {
    EXPECT_EQ(_vrtCL_fSetPhone(0, " 8 (495) доб.12 \r\n"_cp), 0);
    EXPECT_STREQ(record(0).phone, "8 (495) доб.12"_cp);
}

TEST_F(SetPhone, ShorterNumberLeavesNoRestOfTheOldOne) {
    EXPECT_EQ(_vrtCL_fSetPhone(0, "123456789"), 0);
    EXPECT_EQ(_vrtCL_fSetPhone(0, "12"), 0);
    const PortRecord& r = record(0);
    for (size_t i = 2; i < VRT_PHONE_SIZE; ++i) EXPECT_EQ(r.phone[i], '\0') << i;
}

TEST_F(SetPhone, BadPortChangesNothing) {
    EXPECT_EQ(_vrtCL_fSetPhone(9, "123"), vrt::link::kErrPortRange);
    EXPECT_EQ(_vrtCL_fSetPhone(-1, nullptr), vrt::link::kErrPortRange);
    PortRecord& r = record(2);
    r.portIndex = 7;  // a host wrote over the record's index
    EXPECT_EQ(_vrtCL_fSetPhone(2, "123"), vrt::link::kErrDevice);
    r.portIndex = 2;
    EXPECT_STREQ(record(0).phone, "555");
}

// COM3 on a pseudo-terminal with a controller behind it, without a modem.
class LinkOpsPlain : public ::testing::Test {
protected:
    static constexpr int32_t kPort = 2;
    void SetUp() override {
        _vrtCL_fInit();
        pty.bindCom(kPort + 1);
        PortRecordDefaults(record(kPort), kPort);
        record(kPort).max = 0;
    }
    void TearDown() override {
        _vrtCL_fComClose(kPort);
        PortRecordDefaults(record(kPort), kPort);
    }
    vrt::testing::PtyPair pty;
};

TEST_F(LinkOpsPlain, OpenWithoutModemIsThePlainOpen) {
    vrt::testing::ControllerSim sim(pty.masterFd(), vrt::testing::WireProtocol::VrtAscii);
    EXPECT_EQ(_vrtCL_fOpen(kPort), kPort);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 1);
    EXPECT_EQ(+record(kPort).modemUsed, 0);
    EXPECT_EQ(+record(kPort).lastOp, vrt::link::kOpOpen);

    const uint8_t req[] = {4, 0x03, 0x10, 0x20};
    uint8_t ans[16] = {};
    uint16_t len = 0;
    EXPECT_EQ(_vrtCL_fRequest(kPort, req, sizeof req, ans, sizeof ans, &len), 0);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(ans[1], 0x13);

    uint16_t written = 0;
    EXPECT_EQ(_vrtCL_fWrite(kPort, req, sizeof req, &written, 0), 0);
    EXPECT_EQ(written, sizeof req);
    EXPECT_EQ(_vrtCL_fRead(kPort, ans, sizeof ans, &len, 0), 0);
    EXPECT_EQ(ans[0], 4);
    EXPECT_EQ(_vrtCL_fClear(kPort), 0);
    EXPECT_EQ(_vrtCL_fSetEvent(kPort, 1), 0);
    EXPECT_EQ(+record(kPort).abortEvent, 1);
    EXPECT_EQ(_vrtCL_fSetEvent(kPort, 0), 0);

    _vrtCL_fClose(kPort);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_EQ(+record(kPort).modemUsed, 0);
}

TEST_F(LinkOpsPlain, CloseOfClosedOrBadPortNeverReachesTheModem) {
    record(kPort).usage = 1;
    _vrtCL_fClose(kPort);
    _vrtCL_fClose(9);
    _vrtCL_fClose(-1);
    EXPECT_EQ(+record(kPort).modemUsed, 0);
    EXPECT_EQ(_vrtCL_fIsOpen(9), vrt::link::kErrPortRange);
    EXPECT_EQ(_vrtCL_fOpen(9), vrt::link::kErrPortRange);
    EXPECT_EQ(_vrtCL_fClear(9), vrt::link::kErrPortRange);
}

TEST_F(LinkOpsPlain, FailedOpenDoesNotDial) {
    record(kPort).usage = 1;
    record(kPort).baud = 0;  // no rate: refused by every device
    EXPECT_EQ(_vrtCL_fOpen(kPort), vrt::link::kErrSetParams);
    EXPECT_EQ(+record(kPort).modemUsed, 0);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
}

}  // namespace
