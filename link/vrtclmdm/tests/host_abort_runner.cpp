// Puts a modem that never answers the dial behind COM2 on a pseudo-terminal,
// runs the plain-C host, signals it once the modem has the dial command, and
// checks that the aborted dial left the modem stopped.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "testing/modem_sim.h"
#include "testing/pty_pair.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: host_abort_runner <host> <vrtCLNK.so> window|nowindow\n");
        return 2;
    }
    vrt::testing::PtyPair pty;
    pty.bindCom(2);
    vrt::testing::ModemSim::Options options;
    options.echo = true;
    options.dial = vrt::testing::ModemSim::Dial::Silent;
    vrt::testing::ModemSim modem(pty.masterFd(), options);

    const pid_t child = fork();
    if (child == 0) {
        alarm(100);  // a hung host ends here rather than at the test's time-out
        execl(argv[1], argv[1], argv[2], argv[3], static_cast<char*>(nullptr));
        _exit(127);
    }
    auto dialled = [&] {
        const std::vector<std::string> c = modem.commands();
        return std::any_of(c.begin(), c.end(), [](const std::string& s) { return s.rfind("ATD", 0) == 0; });
    };
    int status = 0;
    bool signalled = false;
    for (int i = 0; i < 6000 && waitpid(child, &status, WNOHANG) == 0; ++i) {
        if (!signalled && dialled()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the connect wait
            kill(child, SIGUSR1);
            signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!signalled) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        std::fprintf(stderr, "host_abort_runner: the host never dialled\n");
        return 1;
    }
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "host_abort_runner: host failed (status %d)\n", status);
        return 1;
    }

    // After the dial: the stop lines, and nothing else.
    const std::vector<std::string> heard = modem.commands();
    const auto dial = std::find_if(heard.begin(), heard.end(), [](const std::string& s) { return s.rfind("ATD", 0) == 0; });
    const std::vector<std::string> after(dial + 1, heard.end());
    const std::vector<std::string> stopLines = {"+++", "+++ATZ0", "ATZ0", "ATE0"};
    if (after != stopLines) {
        std::fprintf(stderr, "host_abort_runner: after the dial the modem heard %zu commands:\n", after.size());
        for (const std::string& c : after) std::fprintf(stderr, "  [%s]\n", c.c_str());
        return 1;
    }
    std::printf("host_abort_runner: ok\n");
    return 0;
}
