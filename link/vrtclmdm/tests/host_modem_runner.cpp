// Puts the Hayes modem simulator behind COM2 on a pseudo-terminal, runs the
// plain-C host against the built library, then checks what the modem heard.
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "testing/modem_sim.h"
#include "testing/pty_pair.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: host_modem_runner <host> <vrtCLNK.so> window|nowindow\n");
        return 2;
    }
    vrt::testing::PtyPair pty;
    pty.bindCom(2);
    vrt::testing::ModemSim::Options options;
    options.echo = true;
    options.data = vrt::testing::ModemSim::asciiController();
    vrt::testing::ModemSim modem(pty.masterFd(), options);

    const pid_t child = fork();
    if (child == 0) {
        alarm(100);  // a hung host ends here rather than at the test's time-out
        execl(argv[1], argv[1], argv[2], argv[3], static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "host_modem_runner: host failed (status %d)\n", status);
        return 1;
    }

    const std::vector<std::string> expected = {
        "+++",  "+++ATZ0", "ATZ0",  "ATE0",  "+++",  "+++ATZ0",    "ATZ0", "ATE0", "ATZ0", "ATE0",
        "ATL3", "AT&D0",   "AT&C1", "AT&K0", "ATDP5551234", "+++", "+++ATZ0", "ATZ0", "ATE0"};
    const std::vector<std::string> heard = modem.commands();
    if (heard != expected) {
        std::fprintf(stderr, "host_modem_runner: the modem heard %zu commands:\n", heard.size());
        for (const std::string& c : heard) std::fprintf(stderr, "  [%s]\n", c.c_str());
        return 1;
    }
    if (modem.received().find(':') == std::string::npos) {
        std::fprintf(stderr, "host_modem_runner: no request reached the controller\n");
        return 1;
    }
    std::printf("host_modem_runner: ok\n");
    return 0;
}
