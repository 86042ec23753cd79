#include <gtest/gtest.h>

#include <algorithm>

#include "hardwarerw/tests/cfg_test_support.h"
#include "protocol/protocol.h"
#include "protocol/vrtbus_protocol.h"

namespace vrt::cfg {
namespace {

// A slot table whose entries record their calls.
struct FakeLink {
    static inline std::vector<std::string> calls;
    static inline int32_t openAnswer = 0;  // < 0: fail; else answer the port
    static void init() { calls.push_back("init"); }
    static int32_t setPhone(int32_t port, const char* phone) {
        calls.push_back("phone " + std::to_string(port) + " '" + phone + "'");
        return 0;
    }
    static int32_t open(int32_t port) {
        calls.push_back("open " + std::to_string(port));
        return openAnswer < 0 ? openAnswer : port;
    }
    static void close(int32_t port) { calls.push_back("close " + std::to_string(port)); }

    static LinkSlots slots() {
        LinkSlots s;
        s._vrtCL_fInit = &init;
        s._vrtCL_fSetPhone = &setPhone;
        s._vrtCL_fOpen = &open;
        s._vrtCL_fClose = &close;
        return s;
    }
};

using Calls = std::vector<std::string>;

class VrtBus : public ::testing::Test {
protected:
    void SetUp() override {
        FakeLink::calls.clear();
        FakeLink::openAnswer = 0;
    }
    LinkSlots slots = FakeLink::slots();
    VrtBusSettings settings;
};

TEST_F(VrtBus, OpensAreCountedAndTheLastCloseClosesThePort) {
    TProtocol_VrtBus bus(slots, settings);
    EXPECT_EQ(bus.Name, "VrtBus");
    EXPECT_EQ(bus.ProtocolKind, 1);
    bus.OpenLink();
    bus.OpenLink();
    EXPECT_EQ(bus.OpenCount, 2);
    EXPECT_EQ(FakeLink::calls, (Calls{"init", "phone 0 ''", "open 0"}));
    bus.CloseLink();
    EXPECT_EQ(bus.OpenCount, 1);
    EXPECT_EQ(FakeLink::calls.size(), 3u);
    bus.CloseLink();
    EXPECT_EQ(bus.OpenCount, 0);
    EXPECT_EQ(FakeLink::calls.back(), "close 0");
}

TEST_F(VrtBus, AFailedOpenLeavesItClosedAndCloseStillCloses) {
    FakeLink::openAnswer = -6;
    TProtocol_VrtBus bus(slots, settings);
    bus.OpenLink();
    EXPECT_EQ(bus.OpenCount, 0);
    bus.CloseLink();
    EXPECT_EQ(bus.OpenCount, 0);
    FakeLink::openAnswer = 0;
    bus.OpenLink();  // starts again from the library's init
    EXPECT_EQ(FakeLink::calls, (Calls{"init", "phone 0 ''", "open 0", "close 0", "init", "phone 0 ''", "open 0"}));
    EXPECT_EQ(bus.OpenCount, 1);
}

TEST_F(VrtBus, PortAndPhoneComeFromTheSettings) {
    settings.portName = "COM3";
    settings.phone = "555";
    TProtocol_VrtBus bus(slots, settings);
    bus.OpenLink();
    EXPECT_EQ(bus.ComPort, 2);
    EXPECT_EQ(FakeLink::calls, (Calls{"init", "phone 2 '555'", "open 2"}));
    bus.CloseLink();
    settings.portName = "com4";  // compared exactly: the port stays
    bus.OpenLink();
    EXPECT_EQ(bus.ComPort, 2);
}

TEST_F(VrtBus, DestructionClosesWhatIsOpen) {
    {
        TProtocol_VrtBus bus(slots, settings);
        bus.OpenLink();
        bus.OpenLink();
        bus.OpenLink();
    }
    EXPECT_EQ(FakeLink::calls.back(), "close 0");
    EXPECT_EQ(std::count(FakeLink::calls.begin(), FakeLink::calls.end(), "close 0"), 1);
}

TEST_F(VrtBus, EmptySlotsKeepTheLinkClosed) {
    LinkSlots empty;
    TProtocol_VrtBus bus(empty, settings);
    bus.OpenLink();
    bus.CloseLink();
    EXPECT_EQ(bus.OpenCount, 0);
}

TEST(ProtocolRegistry, NamesAreUniqueAndMatchExactly) {
    LinkSlots slots = FakeLink::slots();
    VrtBusSettings settings;
    TProtocol_VrtBus first(slots, settings), second(slots, settings);
    TProtocols registry;
    registry.AddProtocol(&first);
    registry.AddProtocol(&second);
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_EQ(registry.FindProtocol("VrtBus"), &first);
    EXPECT_EQ(registry.FindProtocol("vrtbus"), nullptr);
    EXPECT_EQ(registry.FindProtocol("VrtBus "), nullptr);
    EXPECT_EQ(registry.FindProtocol(""), nullptr);
}

TEST(ProtocolRegistry, StartUpRegistersVrtBus) {
    CreateProtocolRegistry();
    RegisterVrtBusProtocol();
    ASSERT_NE(ProtocolRegistry(), nullptr);
    TProtocol* bus = ProtocolRegistry()->FindProtocol("VrtBus");
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->ProtocolKind, 1);
    EXPECT_EQ(static_cast<TProtocol_VrtBus*>(bus)->OpenCount, 0);
    FreeProtocolRegistry();
    EXPECT_EQ(ProtocolRegistry(), nullptr);
}

}  // namespace
}  // namespace vrt::cfg
