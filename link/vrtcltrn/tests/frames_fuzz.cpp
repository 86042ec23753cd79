// Fuzz target for the frame parser and builder.
//
// Input: byte 0 picks the protocol (-1..3), the rest is a received frame and,
// for the round trip, a payload. Every buffer has exactly the room the
// interface promises, fenced by canary bytes; any write past it, any change of
// the input, a parse code outside 0..7, an in-place result that differs from
// the out-of-place one, or a payload that does not survive build and parse
// stops the run.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vrtclnk.h"
#include "vrtcltrn/frames.h"

namespace {

constexpr uint8_t kCanary = 0xC3;
constexpr size_t kFence = 32;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

class Fenced {
public:
    explicit Fenced(size_t room) : bytes_(room + 2 * kFence, kCanary), room_(room) {
        std::fill(data(), data() + room, uint8_t(0x5A));
    }
    uint8_t* data() { return bytes_.data() + kFence; }
    void checkFences() const {
        for (size_t i = 0; i < kFence; ++i) {
            check(bytes_[i] == kCanary);
            check(bytes_[kFence + room_ + i] == kCanary);
        }
    }

private:
    std::vector<uint8_t> bytes_;
    size_t room_;
};

// Room the parser may use for an input of n bytes: RTU n - 2; ASCII one byte
// per two characters after the start (the terminator takes the place of CR LF).
size_t parseRoom(size_t n, int32_t protocol) {
    if (protocol > 0) return n >= 2 ? n - 2 : 0;
    return n >= 1 ? (n - 1) / 2 : 0;
}

void fuzzParse(const uint8_t* in, size_t n, int32_t protocol) {
    const uint16_t len = uint16_t(n);
    Fenced input(n);
    std::memcpy(input.data(), in, n);
    const size_t room = parseRoom(n, protocol);
    Fenced out(room);
    uint16_t outLen = 0xFFFF;
    const int32_t code = _vrtCL_fNetExtractInpData(input.data(), out.data(), len, &outLen, protocol);
    input.checkFences();
    out.checkFences();
    check(std::memcmp(input.data(), in, n) == 0);
    check(code >= 0 && code <= 7);
    if (n == 0) {
        check(code == 1 && outLen == 0xFFFF);
        return;
    }
    check(outLen <= room);
    if (code == 0 && protocol <= 0) check(out.data()[outLen + 1] == 0);
    if (code != 0 && !(protocol <= 0 && (code == 4 || code == 7))) check(outLen == 0);

    Fenced same(n);
    std::memcpy(same.data(), in, n);
    uint16_t sameLen = 0xFFFF;
    check(_vrtCL_fNetExtractInpData(same.data(), same.data(), len, &sameLen, protocol) == code);
    same.checkFences();
    check(sameLen == outLen);
    if (code == 0) check(std::memcmp(same.data(), out.data(), outLen) == 0);
}

void fuzzRoundTrip(const uint8_t* payload, size_t n, int32_t protocol) {
    const size_t limit = protocol > 0 ? vrt::link::kMaxRtuPayload : vrt::link::kMaxAsciiPayload;
    const uint16_t len = uint16_t(std::min(n, limit));
    const size_t frameRoom = protocol > 0 ? size_t(len) + 2 : 2 * size_t(len) + 6;
    Fenced frame(frameRoom);
    const uint16_t frameLen = _vrtCL_fNetFrmBufOut(payload, frame.data(), len, protocol);
    frame.checkFences();
    if (protocol > 2) {
        check(frameLen == 0 && frame.data()[0] == 0);
        return;
    }
    check(frameLen == (protocol > 0 ? len + 2 : 2 * len + 5));
    if (len < (protocol > 0 ? 3 : 1)) return;  // too short to parse back by design

    Fenced out(parseRoom(frameLen, protocol));
    uint16_t outLen = 0;
    check(_vrtCL_fNetExtractInpData(frame.data(), out.data(), frameLen, &outLen, protocol) == 0);
    out.checkFences();
    check(outLen == len);
    check(std::memcmp(out.data(), payload, len) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int32_t protocol = int32_t(data[0] % 5) - 1;
    const uint8_t* rest = data + 1;
    const size_t n = std::min<size_t>(size - 1, 0xFFFF);
    fuzzParse(rest, n, protocol);
    fuzzRoundTrip(rest, n, protocol);
    return 0;
}
