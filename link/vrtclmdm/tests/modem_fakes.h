#pragma once
// Test doubles for the modem dialogue: a scripted port, a clock that moves
// only when the code sleeps, a message pump that runs test actions, and a
// progress window that plays the user.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/pump.h"
#include "vrtclmdm/modem_engine.h"
#include "vrtclmdm/modem_port.h"
#include "vrtclnk.h"

namespace vrt::link::test {

// The answers of a Hayes modem to one command (without its CR).
struct Hayes {
    bool echo = false;
    bool silent = false;
    std::string dialWord = "CONNECT 9600";  // empty: no answer to the dial
    std::string operator()(const std::string& command) const;
};

class FakePort final : public ModemPort {
public:
    std::function<std::string(const std::string&)> respond = Hayes{};
    std::function<void(FakePort&)> afterWrite;  // runs after every write
    std::vector<std::string> sent;               // each write, CR included
    std::string input;                           // bytes waiting to be read
    bool open = true;
    bool abortFlag = false;
    bool dtr = false;
    bool failWrites = false;
    int clears = 0;
    int begins = 0;
    uint32_t baudRate = 19200;
    // A read with nothing waiting waits this long (fake time) for a first byte.
    uint32_t readWaitMs = 0;
    std::string afterRead;  // queued after every read, for the next command to ignore
    bool reading = false;   // inside a read's wait
    uint32_t readStart = 0;               // fake tick at which the last read started
    std::vector<uint32_t> readEnds;       // fake tick at which each read ended

    void begin() override { ++begins; }
    bool isOpen() override { return open; }
    void clear() override { ++clears; }
    void raiseDtr() override { dtr = true; }
    void purge() override { input.clear(); }
    bool write(const uint8_t* bytes, size_t n, size_t& written) override;
    bool inputCount(uint32_t& count) override {
        count = uint32_t(input.size());
        return true;
    }
    bool read(uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
              const std::function<bool()>& keepWaiting) override;
    uint32_t baud() override { return baudRate; }
    bool abortRequested() override { return abortFlag; }
    void requestAbort() override { abortFlag = true; }
    void clearAbort() override { abortFlag = false; }
};

// A progress window that the "user" works through `onTick` (every 500 ms of
// fake time while it is open, before the window's own timer tick).
class FakeView final : public ProgressView {
public:
    explicit FakeView(ProgressController& c) : controller(c) {}
    ~FakeView() override;  // leaves what it showed in ModemTest::shown
    void render(const ProgressModel& m) override {
        model = m;
        ++renders;
    }
    void runModal() override;
    void closeWindow() override;

    ProgressController& controller;
    ProgressModel model;
    int renders = 0;
    bool closed = false;
    bool activate = true;             // false: the loop ends without activation or close
    uint32_t closedAt = 0;            // fake tick when it closed
    std::function<void(FakeView&)> onTick;
};

// Installs the fakes for one test and removes them afterwards.
class ModemTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs function 1 or 2 on `rec` (port index 1 unless changed).
    int32_t work(int32_t function) { return _vrtCL_fMDMWork(&rec, function); }
    ModemState& state() { return MdmStateOf(rec.portIndex); }
    // Commands as the port received them.
    const std::vector<std::string>& sent() const { return port.sent; }
    void setLines(std::initializer_list<std::pair<int, const char*>> lines);

    FakePort port;
    PortRecord rec{};

public:
    // Shared with the fakes' static hooks.
    static uint32_t now;
    static std::function<void()> onPump;
    static FakeView* lastView;  // the window while it exists
    struct Shown {
        ProgressModel model;
        bool closed = false;
        uint32_t closedAt = 0;
    };
    static Shown shown;         // the last window, after it was freed
    static int viewsMade;
    static bool headless;
    static bool failWindow;

private:
    platform::ClockHooks oldClock_{};
    platform::PumpHook oldPump_ = nullptr;
    ProgressViewFactory oldFactory_ = nullptr;
    ModemPort* oldPort_[VRT_PORT_COUNT] = {};
};

// The 15 commands of the default command lines and a dial of 1234567.
std::vector<std::string> DefaultDialogue();

}  // namespace vrt::link::test
