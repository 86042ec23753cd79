#include "platform/serial_rate.h"

// The kernel's own termios layout; the C library's <termios.h> stays out of
// this file. Its tcsetattr also reports a pseudo-terminal's ignored framing
// as an error, which the caller judges by itself.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cstring>
#include <sys/ioctl.h>

namespace vrt::platform::serial::rate {
namespace {

static_assert(sizeof(Line::cc) == NCCS);

void toLine(const struct termios2& t, Line& line) {
    line.iflag = t.c_iflag;
    line.oflag = t.c_oflag;
    line.cflag = t.c_cflag & ~(CBAUD | (CBAUD << IBSHIFT));
    line.lflag = t.c_lflag;
    std::memcpy(line.cc, t.c_cc, sizeof line.cc);
    line.bps = t.c_ospeed;
}

}  // namespace

bool get(int fd, Line& line) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    toLine(t, line);
    return true;
}

uint32_t get(int fd) {
    Line line;
    return get(fd, line) ? line.bps : 0;
}

bool set(int fd, const Line& line, Line& back) {
    if (line.bps == 0) return false;  // rate 0 means "hang up" to a tty, not a speed
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_iflag = line.iflag;
    t.c_oflag = line.oflag;
    t.c_cflag = (line.cflag & ~(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT);
    t.c_lflag = line.lflag;
    std::memcpy(t.c_cc, line.cc, sizeof line.cc);
    t.c_ospeed = line.bps;
    t.c_ispeed = line.bps;
    if (ioctl(fd, TCSETS2, &t) != 0) return false;
    // A UART driver rounds to the nearest rate its divisor makes and reports that.
    struct termios2 now {};
    if (ioctl(fd, TCGETS2, &now) != 0) return false;
    toLine(now, back);
    return now.c_ospeed == line.bps && now.c_ispeed == line.bps;
}

}  // namespace vrt::platform::serial::rate
