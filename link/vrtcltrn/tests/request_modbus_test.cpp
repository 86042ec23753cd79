// MODBUS RTU requests against an independent slave (libmodbus).
#include <gtest/gtest.h>

#include "port_ops_fixture.h"
#include "testing/modbus_slave.h"

namespace {

using vrt::test::Bytes;
using vrt::testing::ModbusSlave;

class ModbusRequests : public vrt::test::PortOnPty {
protected:
    void SetUp() override {
        PortOnPty::SetUp();
        rec().protocol = 2;
        slave_ = std::make_unique<ModbusSlave>(pty_->masterFd(), 17,
                                               std::vector<uint16_t>{100, 101, 0x1234, 0xFF00, 0x000D, 5, 6, 7});
        openPort();
    }
    void TearDown() override {
        _vrtCL_fComClose(kPort);
        slave_.reset();
        PortOnPty::TearDown();
    }
    std::unique_ptr<ModbusSlave> slave_;
};

TEST_F(ModbusRequests, ReadsHoldingRegisters) {
    Bytes answer;
    ASSERT_EQ(request({17, 0x03, 0x00, 0x02, 0x00, 0x03}, answer), 0);
    EXPECT_EQ(answer, (Bytes{17, 0x03, 6, 0x12, 0x34, 0xFF, 0x00, 0x00, 0x0D}));
    EXPECT_EQ(+rec().lastResult, 0);
    EXPECT_EQ(slave_->replies(), 1);
}

TEST_F(ModbusRequests, BadAddressGivesTheSlavesExceptionCode) {
    Bytes answer;
    EXPECT_EQ(request({17, 0x03, 0x00, 0x50, 0x00, 0x01}, answer), -24);  // illegal data address
    EXPECT_EQ(answer, (Bytes{17, 0x83, 0x02}));
    EXPECT_EQ(+rec().cntNegAnswer, 1u);
    EXPECT_EQ(+rec().cntErrAnswer, 0u);

    // The port goes on working after the refusal.
    ASSERT_EQ(request({17, 0x03, 0x00, 0x00, 0x00, 0x01}, answer), 0);
    EXPECT_EQ(answer, (Bytes{17, 0x03, 2, 0x00, 100}));
}

}  // namespace
