// How long a host's abort of a dial takes to end _vrtCL_fOpen: COM2 on a
// pseudo-terminal with the Hayes modem simulator (echo on, the dial never
// answered, a connect wait of a minute), the dialogue without its window.
// The abort comes from the host's handler run by the waits' message pump or
// from another thread, during the init commands or the connect wait. Prints
// the time from the abort to the open's return (-51 expected) per case.
//
//   bench_modem_abort [runs per case, default 3]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/pump.h"
#include "testing/modem_sim.h"
#include "testing/pty_pair.h"
#include "vrtclmdm/modem_engine.h"
#include "vrtclnk.h"
#include "vrtcltrn/port_table.h"

namespace {

using Clock = std::chrono::steady_clock;
using vrt::testing::ModemSim;
constexpr int32_t kPort = 1;

std::function<void()> g_handler;

bool dialled(const ModemSim& sim) {
    const std::vector<std::string> c = sim.commands();
    return std::any_of(c.begin(), c.end(), [](const std::string& s) { return s.rfind("ATD", 0) == 0; });
}

struct Run {
    int32_t result = 0;
    double ms = -1;  // abort to return
};

// One open with the abort asked by `when`, from the pump or from a thread.
Run openOnce(bool fromThread, const std::function<bool(const ModemSim&)>& when) {
    vrt::testing::PtyPair pty;
    pty.bindCom(kPort + 1);
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(kPort, &status);
    vrt::link::PortRecordDefaults(*rec, kPort);
    rec->usage = 1;
    rec->tmConnect = 60;
    _vrtCL_fSetPhone(kPort, "1234567");
    ModemSim sim(pty.masterFd(), {.echo = true, .dial = ModemSim::Dial::Silent});

    std::atomic<bool> done{false};
    std::atomic<Clock::rep> abortedAt{0};
    auto abortNow = [&] {
        abortedAt = Clock::now().time_since_epoch().count();
        _vrtCL_fSetEvent(kPort, 1);
    };
    std::thread host;
    if (fromThread) {
        host = std::thread([&] {
            while (!done && !when(sim)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (!done) abortNow();
        });
    } else {
        g_handler = [&] {
            if (abortedAt == 0 && when(sim)) abortNow();
        };
    }
    Run run;
    run.result = _vrtCL_fOpen(kPort);
    const Clock::rep returnedAt = Clock::now().time_since_epoch().count();
    done = true;
    if (host.joinable()) host.join();
    g_handler = nullptr;
    _vrtCL_fClose(kPort);
    vrt::link::MdmSessionReset(vrt::link::MdmStateOf(kPort));
    if (abortedAt != 0)
        run.ms = std::chrono::duration<double, std::milli>(Clock::duration(returnedAt - abortedAt.load())).count();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    if (runs <= 0) return 2;
    _vrtCL_fInit();
    vrt::link::SetProgressViewFactory(nullptr);
    vrt::platform::setPumpHook([] {
        if (g_handler) g_handler();
    });

    auto initCommands = [](const ModemSim& sim) { return sim.commands().size() >= 5; };
    auto connectWait = [](const ModemSim& sim) {
        static Clock::time_point seen{};
        if (!dialled(sim)) {
            seen = {};
            return false;
        }
        if (seen == Clock::time_point{}) seen = Clock::now();
        return Clock::now() - seen >= std::chrono::milliseconds(500);
    };
    struct Case {
        const char* name;
        bool fromThread;
        std::function<bool(const ModemSim&)> when;
    };
    const Case cases[] = {
        {"handler, init commands", false, initCommands},
        {"handler, connect wait", false, connectWait},
        {"thread,  init commands", true, initCommands},
        {"thread,  connect wait", true, connectWait},
    };
    std::printf("%-24s %8s %8s %8s  %s\n", "abort from, during", "min ms", "mean ms", "max ms", "results");
    for (const Case& c : cases) {
        double lo = 1e9, hi = 0, sum = 0;
        std::string results;
        for (int i = 0; i < runs; ++i) {
            const Run r = openOnce(c.fromThread, c.when);
            lo = std::min(lo, r.ms);
            hi = std::max(hi, r.ms);
            sum += r.ms;
            results += std::to_string(r.result) + " ";
        }
        std::printf("%-24s %8.0f %8.0f %8.0f  %s\n", c.name, lo, sum / runs, hi, results.c_str());
    }
    return 0;
}
