// _vrtCL_fESetParam, _vrtCL_fEGetParam and _vrtCL_fGetProtocol on the live table.
#include <gtest/gtest.h>

#include <cstring>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/vrtcltrn/port_table.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"

namespace {

using namespace vrt::link;

class PortSettings : public ::testing::Test {
protected:
    void SetUp() override {
        _vrtCL_fInit();
        PortSetDefaults();
        dialogState.settingsMarks = 0;
        std::memcpy(WorkPortTable, PortTable, sizeof PortTable);
    }
    void TearDown() override { _vrtCL_fComCloseAll(); }

    struct Got {
        int32_t baud = -1, data = -1, stop = -1, parity = -1, max = -1, mode = -1, modem = -1, protocol = -1;
    };
    Got get(int32_t port) {
        Got g;
        EXPECT_EQ(port, _vrtCL_fEGetParam(port, &g.baud, &g.data, &g.stop, &g.parity, &g.max, &g.mode, &g.modem,
                                          &g.protocol));
        return g;
    }
};

TEST_F(PortSettings, AllZeroKeepsEverythingAndSetsNoMark) {
    const PortRecord before = PortTable[2];
    EXPECT_EQ(2, _vrtCL_fESetParam(2, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(0, std::memcmp(&before, &PortTable[2], sizeof before));
    EXPECT_EQ(0, dialogState.settingsMarks);
}

TEST_F(PortSettings, StoresEncodedValuesAndGetterDecodesThem) {
    EXPECT_EQ(1, _vrtCL_fESetParam(1, 999999, 7, 2, 3, 20000, 2, 2, 3));
    const PortRecord& r = PortTable[1];
    EXPECT_EQ(999999u, +r.baud);
    EXPECT_EQ(7, +r.data);
    EXPECT_EQ(2, +r.stop);
    EXPECT_EQ(1, +r.parity);  // entry 3 (odd) is code 1
    EXPECT_EQ(20000u, +r.max);
    EXPECT_EQ(1, +r.mode);
    EXPECT_EQ(1, +r.usage);
    EXPECT_EQ(2, +r.protocol);

    const Got g = get(1);
    EXPECT_EQ(999999, g.baud);
    EXPECT_EQ(7, g.data);
    EXPECT_EQ(2, g.stop);
    EXPECT_EQ(3, g.parity);
    EXPECT_EQ(20000, g.max);
    EXPECT_EQ(2, g.mode);
    EXPECT_EQ(2, g.modem);
    EXPECT_EQ(3, g.protocol);

    EXPECT_EQ(1, _vrtCL_fESetParam(1, 0, 0, 1, 2, 0, 1, 1, 1));
    EXPECT_EQ(0, +PortTable[1].stop);
    EXPECT_EQ(2, +PortTable[1].parity);  // even
    EXPECT_EQ(0, +PortTable[1].mode);
    EXPECT_EQ(0, +PortTable[1].usage);
    EXPECT_EQ(0, +PortTable[1].protocol);
}

TEST_F(PortSettings, RefusedValueStoresNothing) {
    const PortRecord before = PortTable[0];
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 1000000, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, -1, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 9600, 0, 3, 0, 0, 0, 0, 0));  // valid baud, bad stop bits
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 6, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, 6, 0, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, -1, 0, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, 0, 20001, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, 0, -5, 0, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, 0, 0, 3, 0, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, 0, 0, 0, 3, 0));
    EXPECT_EQ(-53, _vrtCL_fESetParam(0, 0, 0, 0, 0, 0, 0, 0, 4));
    EXPECT_EQ(0, std::memcmp(&before, &PortTable[0], sizeof before));
    EXPECT_EQ(0, dialogState.settingsMarks);
}

TEST_F(PortSettings, ChangeMarksTheDialogButLeavesTheWorkingCopy) {
    dialogState.settingsMarks = kMarkModem;
    EXPECT_EQ(3, _vrtCL_fESetParam(3, 9600, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(kMarkModem | kMarkPort, dialogState.settingsMarks);
    EXPECT_EQ(19200u, +WorkPortTable[3].baud);
    EXPECT_EQ(3, +PortTable[3].rptErr);  // not one of the eight
}

TEST_F(PortSettings, OpenPortIsRefused) {
    vrt::testing::PtyPair pty;
    pty.bindCom(2);
    ASSERT_EQ(1, _vrtCL_fComOpen(1));
    EXPECT_EQ(-52, _vrtCL_fESetParam(1, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-52, _vrtCL_fESetParam(1, 9600, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(19200u, +PortTable[1].baud);
    // Reading works on an open port.
    int32_t baud = 0;
    EXPECT_EQ(1, _vrtCL_fEGetParam(1, &baud, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(19200, baud);
}

TEST_F(PortSettings, BadPortAndForeignRecord) {
    int32_t v = 77;
    char buf[24] = "x";
    EXPECT_EQ(-4, _vrtCL_fESetParam(4, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-4, _vrtCL_fEGetParam(4, &v, &v, &v, &v, &v, &v, &v, &v));
    EXPECT_EQ(-4, _vrtCL_fGetProtocol(4, buf, 0));
    EXPECT_EQ(-4, _vrtCL_fEGetParam(-1, &v, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(77, v);
    EXPECT_EQ('\0', buf[0]);

    PortTable[2].portIndex = 1;
    EXPECT_EQ(-3, _vrtCL_fESetParam(2, 9600, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(-3, _vrtCL_fEGetParam(2, &v, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(-3, _vrtCL_fGetProtocol(2, nullptr, 0));
    EXPECT_EQ(19200u, +PortTable[2].baud);
}

TEST_F(PortSettings, GetterWritesFullWordsAndSkipsNulls) {
    EXPECT_EQ(0, _vrtCL_fEGetParam(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    int32_t data = -1;  // all bytes set: a one-byte store would leave 0xFFFFFF08
    EXPECT_EQ(0, _vrtCL_fEGetParam(0, nullptr, &data, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(8, data);
}

TEST_F(PortSettings, GetterCodesForUnlistedValues) {
    PortTable[0].stop = 1;     // one and a half: not a setting of the library
    PortTable[0].parity = 9;
    const Got g = get(0);
    EXPECT_EQ(0, g.stop);
    EXPECT_EQ(6, g.parity);
}

TEST_F(PortSettings, ProtocolName) {
    PortTable[1].protocol = 2;
    EXPECT_EQ(2, _vrtCL_fGetProtocol(1, nullptr, 0));

    char buf[32];
    std::memset(buf, 'z', sizeof buf);
    EXPECT_EQ(2, _vrtCL_fGetProtocol(1, buf, 5));
    EXPECT_STREQ("MODBU", buf);
    EXPECT_EQ('z', buf[6]);

    EXPECT_EQ(2, _vrtCL_fGetProtocol(1, buf, 0));
    EXPECT_STREQ("MODBUS [RTU]", buf);
    EXPECT_EQ(2, _vrtCL_fGetProtocol(1, buf, 100));
    EXPECT_STREQ("MODBUS [RTU]", buf);

    EXPECT_EQ(-53, _vrtCL_fGetProtocol(1, buf, -1));
    EXPECT_STREQ("", buf);

    PortTable[0].protocol = 0;
    EXPECT_EQ(0, _vrtCL_fGetProtocol(0, buf, 0));
    EXPECT_STREQ("VortanBus [ASCII] 5040h", buf);
    PortTable[0].protocol = 1;
    EXPECT_EQ(1, _vrtCL_fGetProtocol(0, buf, 0));
    EXPECT_STREQ("VortanBus [RTU]", buf);
}

TEST_F(PortSettings, ProtocolIndexWithoutANameIsRefused) {
    char buf[32] = "old";
    PortTable[3].protocol = 7;
    EXPECT_EQ(-53, _vrtCL_fGetProtocol(3, buf, 0));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(-53, _vrtCL_fGetProtocol(3, nullptr, 0));
    PortTable[3].protocol = -1;
    EXPECT_EQ(-53, _vrtCL_fGetProtocol(3, buf, 0));
}

}  // namespace
