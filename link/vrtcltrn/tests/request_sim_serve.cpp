// Serves a controller simulator on an inherited pseudo-terminal master until
// killed: the far end for the plain-C host test.
//   request_sim_serve <master fd> <protocol 0|1|2>
#include <cstdlib>
#include <unistd.h>

#include "testing/controller_sim.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int fd = std::atoi(argv[1]);
    const int protocol = std::atoi(argv[2]);
    if (fd < 0 || protocol < 0 || protocol > 2) return 2;
    vrt::testing::ControllerSim sim(fd, vrt::testing::WireProtocol(protocol));
    for (;;) pause();
}
