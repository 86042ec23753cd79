// A host's abort of the dial inside _vrtCL_fOpen, on a pseudo-terminal with
// the Hayes modem simulator: from the host's own handler run by the waits'
// message pump, and from another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "platform/pump.h"
#include "vrtcltrn/codes.h"
#include "vrtcltrn/tests/link_ops_modem_fixture.h"

namespace vrt::link::test {
namespace {

using Strings = std::vector<std::string>;
using testing::ModemSim;
using Clock = std::chrono::steady_clock;

const Strings kStopLines = {"+++", "+++ATZ0", "ATZ0", "ATE0"};
// Real time on a shared machine: the abort ends the wait at once and the
// answered stop lines that follow take about half a second; a wait that
// missed the abort would take the read's 3.2 s or the dial's minute.
constexpr auto kPrompt = std::chrono::seconds(2);

bool dialled(const Strings& commands) {
    return std::any_of(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("ATD", 0) == 0; });
}

class HostAbortOnPty : public ModemOnPty {
protected:
    void SetUp() override {
        ModemOnPty::SetUp();
        rec().tmConnect = 60;
        startModem({.echo = true, .dial = ModemSim::Dial::Silent});
    }
    void TearDown() override {
        platform::setPumpHook(oldPump_);
        handler = nullptr;
        ModemOnPty::TearDown();
    }

    // Opens the port with `abortNow` asked at every message pump; the host's
    // handler sets the port's abort flag the first time it says yes.
    int32_t openAbortingFromHandler(std::function<bool()> abortNow) {
        handler = [this, abortNow] {
            if (abortedAt == Clock::time_point{} && abortNow()) {
                abortedAt = Clock::now();
                _vrtCL_fSetEvent(kPort, 1);
            }
        };
        oldPump_ = platform::setPumpHook([] {
            if (handler) handler();
        });
        return openAndTime();
    }

    int32_t openAndTime() {
        const int32_t result = _vrtCL_fOpen(kPort);
        returnedAt = Clock::now();
        return result;
    }

    // The port closed, no dial after the abort's point, and the stop lines last.
    void expectAbortedAndStopped(int32_t result, bool dialBeforeAbort) {
        EXPECT_EQ(result, kErrAborted);
        EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
        EXPECT_LT(returnedAt - abortedAt, kPrompt);
        std::printf("abort to return: %lld ms\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                       returnedAt - abortedAt).count()));
        const Strings heard = commands();
        EXPECT_EQ(dialled(heard), dialBeforeAbort);
        ASSERT_GE(heard.size(), kStopLines.size());
        EXPECT_EQ(Strings(heard.end() - long(kStopLines.size()), heard.end()), kStopLines);
    }

    static inline std::function<void()> handler;
    Clock::time_point abortedAt{};
    Clock::time_point returnedAt{};

private:
    platform::PumpHook oldPump_ = nullptr;
};

// The modem leaves one prepare line unanswered: after its answer time the
// dialogue reads under the port's read time-out (3.2 s), and an abort at any
// moment of that wait ends the open within about a second.
struct UnansweredCommand {
    static constexpr const char* kCommand = "ATL3";
    static constexpr int kMoments[] = {600, 1200};  // ms after the modem got it

    // True from `ms` after the modem received the command.
    std::function<bool()> after(const testing::ModemSim& sim, int ms) const {
        return [&sim, ms, seen = seen] {
            if (*seen == Clock::time_point{}) {
                const Strings c = sim.commands();
                if (std::find(c.begin(), c.end(), kCommand) == c.end()) return false;
                *seen = Clock::now();
            }
            return Clock::now() - *seen >= std::chrono::milliseconds(ms);
        };
    }
    // When the abort was due; a handler that the wait did not run aborts later.
    Clock::time_point due(int ms) const { return *seen + std::chrono::milliseconds(ms); }

    std::shared_ptr<Clock::time_point> seen = std::make_shared<Clock::time_point>();
};

TEST_F(HostAbortOnPty, HandlerAbortDuringAnUnansweredCommand) {
    for (const int ms : UnansweredCommand::kMoments) {
        SCOPED_TRACE(ms);
        startModem({.echo = true, .unanswered = UnansweredCommand::kCommand, .dial = ModemSim::Dial::Silent});
        abortedAt = {};
        const UnansweredCommand unanswered;
        const int32_t result = openAbortingFromHandler(unanswered.after(*sim, ms));
        expectAbortedAndStopped(result, false);
        EXPECT_LT(returnedAt - unanswered.due(ms), kPrompt);
        _vrtCL_fComClose(kPort);
    }
}

TEST_F(HostAbortOnPty, HandlerAbortBeforeTheFirstCommandSendsNothing) {
    const int32_t result = openAbortingFromHandler([] { return MdmStateOf(kPort).stage == 2; });
    EXPECT_EQ(result, kErrAborted);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_LT(returnedAt - abortedAt, kPrompt);
    EXPECT_TRUE(commands().empty());  // the modem never answered: nothing to stop
}

TEST_F(HostAbortOnPty, HandlerAbortDuringTheInitCommands) {
    const int32_t result = openAbortingFromHandler([this] { return commands().size() >= 3; });
    expectAbortedAndStopped(result, false);
    // No command of the dialogue after the abort: at most the one in flight.
    EXPECT_LE(commands().size(), 4 + kStopLines.size());
}

TEST_F(HostAbortOnPty, HandlerAbortDuringTheConnectWait) {
    Clock::time_point dialSeen{};
    const int32_t result = openAbortingFromHandler([&] {
        if (dialSeen == Clock::time_point{} && dialled(commands())) dialSeen = Clock::now();
        return dialSeen != Clock::time_point{} && Clock::now() - dialSeen >= std::chrono::milliseconds(500);
    });
    expectAbortedAndStopped(result, true);
}

// Another thread writes the flag while the dialogue runs on this one.
class HostAbortFromThread : public HostAbortOnPty {
protected:
    int32_t openAbortingFromThread(std::function<bool()> abortNow) {
        std::atomic<bool> done{false};
        std::atomic<Clock::rep> abortedTicks{0};
        std::thread host([&] {
            while (!done && !abortNow()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (done) return;
            abortedTicks = Clock::now().time_since_epoch().count();
            _vrtCL_fSetEvent(kPort, 1);
        });
        const int32_t result = openAndTime();
        done = true;
        host.join();
        abortedAt = Clock::time_point(Clock::duration(abortedTicks.load()));
        EXPECT_NE(abortedTicks.load(), 0) << "the open ended before the thread aborted it";
        return result;
    }
};

TEST_F(HostAbortFromThread, DuringAnUnansweredCommand) {
    for (const int ms : UnansweredCommand::kMoments) {
        SCOPED_TRACE(ms);
        startModem({.echo = true, .unanswered = UnansweredCommand::kCommand, .dial = ModemSim::Dial::Silent});
        const int32_t result = openAbortingFromThread(UnansweredCommand().after(*sim, ms));
        expectAbortedAndStopped(result, false);
        _vrtCL_fComClose(kPort);
    }
}

// A modem that has gone quiet answers none of the stop lines, and one that
// answers leaves a bare "+++" unanswered: neither holds the abort back,
// whatever the answer time.
TEST_F(HostAbortFromThread, QuietModemOrUnansweredEscapeWithLongAnswerTimes) {
    rec().tmAnswer = 1000;
    startModem({.echo = true, .quietAfter = UnansweredCommand::kCommand, .dial = ModemSim::Dial::Silent});
    expectAbortedAndStopped(openAbortingFromThread(UnansweredCommand().after(*sim, 600)), false);
    _vrtCL_fComClose(kPort);

    rec().tmAnswer = 3000;
    startModem({.echo = true, .dial = ModemSim::Dial::Silent});
    expectAbortedAndStopped(openAbortingFromThread([this] { return dialled(sim->commands()); }), true);
}

TEST_F(HostAbortFromThread, DuringTheInitCommands) {
    const int32_t result = openAbortingFromThread([this] { return sim->commands().size() >= 5; });
    expectAbortedAndStopped(result, false);
}

TEST_F(HostAbortFromThread, DuringTheConnectWait) {
    const int32_t result = openAbortingFromThread([this] { return dialled(sim->commands()); });
    expectAbortedAndStopped(result, true);
}

}  // namespace
}  // namespace vrt::link::test
