#pragma once
// Line settings of a serial device through the kernel's termios2, so the baud
// rate can be any number of bits per second the driver takes (BOTHER), not
// only one of the fixed termios codes.
#include <cstdint>

namespace vrt::platform::serial::rate {

// The flags of a termios (the values are the kernel's and libc's alike) and
// the control characters that the kernel keeps.
struct Line {
    uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
    uint8_t cc[19] = {};
    uint32_t bps = 0;
};

// The line as the device has it; false when it cannot be read.
bool get(int fd, Line& line);
// The output rate the device runs at; 0 when it cannot be read.
uint32_t get(int fd);
// Applies `line` with both directions at line.bps in one call and reads back
// into `back`. True when the call was taken and the device runs at exactly
// that rate; the caller compares the rest and restores the old line on false.
bool set(int fd, const Line& line, Line& back);

}  // namespace vrt::platform::serial::rate
