// Frame builder and parser of the three wire formats.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "vrtclnk.h"
#include "vrtcltrn/frames.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace vrt::link;

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kGuard = 16;

// A buffer with guard bytes on both sides, so a write outside the room the
// caller gave is caught.
struct Guarded {
    explicit Guarded(size_t room, uint8_t fill = 0xEE) : bytes(room + 2 * kGuard, kCanary), room(room) {
        std::memset(data(), fill, room);
    }
    uint8_t* data() { return bytes.data() + kGuard; }
    bool guardsIntact() const {
        for (size_t i = 0; i < kGuard; ++i)
            if (bytes[i] != kCanary || bytes[kGuard + room + i] != kCanary) return false;
        return true;
    }
    Bytes content(size_t n) const { return Bytes(bytes.begin() + kGuard, bytes.begin() + kGuard + long(n)); }
    Bytes bytes;
    size_t room;
};

Bytes build(const Bytes& payload, int32_t protocol, uint16_t* result = nullptr) {
    Guarded frame(2 * payload.size() + 6);
    const uint8_t none = 0;  // an empty vector's data() may be null, which the builder refuses
    const uint8_t* bytes = payload.empty() ? &none : payload.data();
    const uint16_t n = _vrtCL_fNetFrmBufOut(bytes, frame.data(), uint16_t(payload.size()), protocol);
    EXPECT_TRUE(frame.guardsIntact());
    if (result) *result = n;
    return frame.content(n);
}

struct Parsed {
    int32_t code;
    uint16_t outLen;
    Bytes out;  // outLen bytes, plus the terminator after an ASCII payload
};

// Parses out of place into exactly the room the input can need, and checks
// that parsing in place gives the same answer.
Parsed parse(const Bytes& in, int32_t protocol) {
    Guarded input(in.size());
    if (!in.empty()) std::memcpy(input.data(), in.data(), in.size());
    const size_t room = protocol > 0 ? (in.size() >= 2 ? in.size() - 2 : 0) : (in.size() >= 1 ? (in.size() - 1) / 2 : 0);
    Guarded out(room);
    uint16_t outLen = 0xBEEF;
    const int32_t code = _vrtCL_fNetExtractInpData(input.data(), out.data(), uint16_t(in.size()), &outLen, protocol);
    EXPECT_TRUE(out.guardsIntact());
    EXPECT_TRUE(input.guardsIntact());
    EXPECT_EQ(input.content(in.size()), in) << "input changed";

    const size_t shown = code == 0 && protocol <= 0 ? size_t(outLen) + 2 : size_t(outLen);
    Parsed p{code, outLen, out.content(std::min(shown, room))};

    Guarded same(in.size());
    if (!in.empty()) std::memcpy(same.data(), in.data(), in.size());
    uint16_t sameLen = 0xBEEF;
    const int32_t sameCode = _vrtCL_fNetExtractInpData(same.data(), same.data(), uint16_t(in.size()), &sameLen, protocol);
    EXPECT_TRUE(same.guardsIntact());
    EXPECT_EQ(sameCode, code) << "in place";
    EXPECT_EQ(sameLen, outLen) << "in place";
    if (code == 0) {
        EXPECT_EQ(same.content(p.out.size()), p.out) << "in place";
    }
    return p;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kAsciiFrame0103 = {0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4C, 0x0D, 0x0A};

TEST(Crc16, CheckValueAndKnownTableEntries) {
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc16Update(digits, 9, 0xFFFF), 0x4B37);
    EXPECT_EQ(Crc16Table[0], 0x0000);
    EXPECT_EQ(Crc16Table[0x80], 0xA001);
    EXPECT_EQ(Crc16Table[0xFF], 0x4040);
    // Chained updates equal one pass.
    EXPECT_EQ(Crc16Update(digits + 4, 5, Crc16Update(digits, 4, 0xFFFF)), 0x4B37);
    EXPECT_EQ(Crc16Update(digits, 0, 0x1234), 0x1234);
}

TEST(FrameBuilder, KnownFrames) {
    uint16_t n = 0;
    Guarded frame(10);
    const uint8_t payload[] = {0x01, 0x03};
    n = _vrtCL_fNetFrmBufOut(payload, frame.data(), 2, 0);
    EXPECT_EQ(n, 9);
    EXPECT_EQ(frame.content(9), kAsciiFrame0103);
    EXPECT_EQ(frame.data()[9], 0) << "ASCII frame is followed by a terminator";

    EXPECT_EQ(build({0x01, 0x03}, 1, &n), (Bytes{0x01, 0x03, 0x40, 0x21}));
    EXPECT_EQ(n, 4);
    EXPECT_EQ(build({0x01, 0x03}, 2), (Bytes{0x01, 0x03, 0x40, 0x21}));
    EXPECT_EQ(build({0x01, 0x03}, -1), kAsciiFrame0103) << "negative protocol frames ASCII";

    EXPECT_EQ(build({}, 0, &n), (Bytes{0x3A, 0x50, 0x40, 0x0D, 0x0A}));
    EXPECT_EQ(n, 5);
    EXPECT_EQ(build({}, 1, &n), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(n, 2);
}

TEST(FrameBuilder, AsciiFrameHoldsNoDelimiterInside) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = uint8_t(i);
    const Bytes frame = build(all, 0);
    ASSERT_EQ(frame.size(), 2 * 256 + 5u);
    for (size_t i = 1; i + 2 < frame.size(); ++i) {
        EXPECT_GE(frame[i], 0x40) << i;
        EXPECT_LE(frame[i], 0x5F) << i;
    }
}

TEST(FrameBuilder, LengthLimitsAndRefusals) {
    uint16_t n = 0;
    build(Bytes(1038, 0x11), 0, &n);
    EXPECT_EQ(n, 2081);
    build(Bytes(1039, 0x11), 0, &n);
    EXPECT_EQ(n, 0);
    build(Bytes(1036, 0x11), 1, &n);
    EXPECT_EQ(n, 1038);
    build(Bytes(1037, 0x11), 2, &n);
    EXPECT_EQ(n, 0);
    build(Bytes(1039, 0x11), 1, &n);
    EXPECT_EQ(n, 0);

    // A refused frame reads as an empty text.
    Guarded frame(8, 0x77);
    const uint8_t payload[] = {1, 2};
    EXPECT_EQ(_vrtCL_fNetFrmBufOut(payload, frame.data(), 2, 3), 0);
    EXPECT_EQ(frame.data()[0], 0);
    EXPECT_EQ(frame.data()[1], 0x77);
    EXPECT_EQ(_vrtCL_fNetFrmBufOut(payload, frame.data(), 2, INT32_MAX), 0);
    EXPECT_EQ(_vrtCL_fNetFrmBufOut(payload, frame.data(), 2, INT32_MIN), 9) << "far negative still ASCII";

    // Null pointers: nothing written.
    Guarded untouched(8, 0x77);
    EXPECT_EQ(_vrtCL_fNetFrmBufOut(nullptr, untouched.data(), 2, 0), 0);
    EXPECT_EQ(untouched.data()[0], 0x77);
    EXPECT_EQ(_vrtCL_fNetFrmBufOut(payload, nullptr, 2, 0), 0);
    EXPECT_TRUE(untouched.guardsIntact());
}

TEST(FrameParser, AsciiKnownFrame) {
    const Parsed p = parse(kAsciiFrame0103, 0);
    EXPECT_EQ(p.code, 0);
    EXPECT_EQ(p.outLen, 2);
    EXPECT_EQ(p.out, (Bytes{0x01, 0x03, 0xFC, 0x00}));
    EXPECT_EQ(parse(kAsciiFrame0103, -5).code, 0);
}

TEST(FrameParser, AsciiIgnoresWhatPrecedesTheLastStart) {
    const Bytes echo = build({0x01, 0x03, 0x00, 0x10}, 0);
    const Parsed p = parse(concat(echo, kAsciiFrame0103), 0);
    EXPECT_EQ(p.code, 0);
    EXPECT_EQ(p.outLen, 2);
    EXPECT_EQ(p.out[1], 0x03);
    EXPECT_EQ(parse(concat(Bytes{0x00, 0x7F, 0xFF, 'x'}, kAsciiFrame0103), 0).code, 0);
}

TEST(FrameParser, AsciiAllowsAtMostFourTrailingBytes) {
    EXPECT_EQ(parse(concat(kAsciiFrame0103, {'a', 'b', 'c', 'd'}), 0).code, 0);
    EXPECT_EQ(parse(concat(kAsciiFrame0103, {'a', 'b', 'c', 'd', 'e'}), 0).code, 2);
    EXPECT_EQ(parse({0x50, 0x41, 0x0D, 0x0A}, 0).code, 2) << "no start character";
    EXPECT_EQ(parse({0x01}, 0).code, 2);
}

TEST(FrameParser, AsciiBrokenFrames) {
    EXPECT_EQ(parse({0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4D, 0x0D, 0x0A}, 0).code, 6) << "wrong LRC";
    EXPECT_EQ(parse({0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4C, 0x0D, 0x41}, 0).code, 5) << "CR without LF";
    EXPECT_EQ(parse({0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4C, 0x0D}, 0).code, 5) << "CR as the last byte";

    Parsed p = parse({0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F, 0x4C}, 0);
    EXPECT_EQ(p.code, 4) << "no CR LF";
    EXPECT_EQ(p.outLen, 3);
    p = parse({0x3A, 0x50, 0x41, 0x50, 0x43, 0x5F}, 0);
    EXPECT_EQ(p.code, 4) << "ends inside a pair";
    EXPECT_EQ(p.outLen, 2);

    EXPECT_EQ(parse({0x3A, 0x50, 0x31}, 0).code, 3);
    EXPECT_EQ(parse({0x3A, 0x50, 0x0D, 0x0A}, 0).code, 3) << "CR in a low-nibble place";
    EXPECT_EQ(parse({0x3A, 0x41, 0x41, 0x0D, 0x0A}, 0).code, 3) << "high nibble out of range";

    p = parse({0x3A, 0x50, 0x40, 0x0D, 0x0A}, 0);
    EXPECT_EQ(p.code, 7) << "only the LRC";
    EXPECT_EQ(p.outLen, 1);
    EXPECT_EQ(parse({0x3A, 0x0D, 0x0A}, 0).code, 7);
    p = parse({0x3A}, 0);
    EXPECT_EQ(p.code, 7);
    EXPECT_EQ(p.outLen, 0);
    EXPECT_EQ(parse({0x3A, 0x51, 0x41, 0x0D, 0x0A}, 0).code, 6) << "sum checked before the length";
}

TEST(FrameParser, RtuFrames) {
    Parsed p = parse({0x01, 0x03, 0x00, 0x40, 0x21}, 1);
    EXPECT_EQ(p.code, 6) << "CRC of other bytes";
    const Bytes frame = build({0x01, 0x03, 0x07}, 1);
    p = parse(frame, 1);
    EXPECT_EQ(p.code, 0);
    EXPECT_EQ(p.outLen, 3);
    EXPECT_EQ(p.out, (Bytes{0x01, 0x03, 0x07}));
    EXPECT_EQ(parse(frame, 2).code, 0);
    EXPECT_EQ(parse(frame, 7).code, 0) << "protocols above 2 parse as RTU";

    // Four bytes are too short, even the intact frame of 01 03.
    p = parse({0x01, 0x03, 0x40, 0x21}, 1);
    EXPECT_EQ(p.code, 7);
    EXPECT_EQ(p.outLen, 0);
    EXPECT_EQ(parse({0xFF, 0xFF}, 2).code, 7);
}

TEST(FrameParser, RtuEverySingleBitFlipIsACheckError) {
    const Bytes frame = build({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 2);
    for (size_t i = 0; i < frame.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes broken = frame;
            broken[i] ^= uint8_t(1u << bit);
            const Parsed p = parse(broken, 2);
            EXPECT_EQ(p.code, 6) << "byte " << i << " bit " << bit;
            EXPECT_EQ(p.outLen, 0);
        }
    }
}

TEST(FrameParser, BadArguments) {
    uint8_t in[] = {0x01, 0x03, 0x00, 0x40, 0x21};
    uint8_t out[8] = {};
    uint16_t outLen = 77;
    EXPECT_EQ(_vrtCL_fNetExtractInpData(in, out, 0, &outLen, 1), 1);
    EXPECT_EQ(outLen, 77) << "nothing written";
    EXPECT_EQ(_vrtCL_fNetExtractInpData(nullptr, out, 5, &outLen, 1), 1);
    EXPECT_EQ(_vrtCL_fNetExtractInpData(in, nullptr, 5, &outLen, 1), 1);
    EXPECT_EQ(_vrtCL_fNetExtractInpData(in, out, 5, nullptr, 1), 1);
    EXPECT_EQ(outLen, 77);
}

TEST(FrameRoundTrip, RandomPayloadsInEveryProtocol) {
    std::mt19937 rng(20260107);
    for (int32_t protocol : {-1, 0, 1, 2}) {
        const size_t limit = protocol > 0 ? kMaxRtuPayload : kMaxAsciiPayload;
        // The parser needs 2 decoded bytes (ASCII, LRC counted) or 5 bytes (RTU).
        const size_t smallest = protocol > 0 ? 3 : 1;
        for (int round = 0; round < 200; ++round) {
            size_t len = round == 0 ? limit : round == 1 ? smallest : smallest + rng() % (limit - smallest);
            Bytes payload(len);
            for (auto& b : payload) b = uint8_t(rng());
            uint16_t n = 0;
            const Bytes frame = build(payload, protocol, &n);
            ASSERT_EQ(n, protocol > 0 ? len + 2 : 2 * len + 5);
            const Parsed p = parse(frame, protocol);
            ASSERT_EQ(p.code, 0) << "protocol " << protocol << " len " << len;
            ASSERT_EQ(p.outLen, len);
            ASSERT_EQ(Bytes(p.out.begin(), p.out.begin() + long(len)), payload);
        }
    }
}

TEST(FrameParser, RandomInputsStayInBoundsAndAgreeInPlace) {
    // parse() checks the guards and the in-place result on every call.
    std::mt19937 rng(7);
    const uint8_t alphabet[] = {0x3A, 0x0D, 0x0A, 0x50, 0x5F, 0x40, 0x4F, 0x4C, 0x00, 0xFF};
    for (int round = 0; round < 3000; ++round) {
        Bytes in(1 + rng() % 40);
        for (auto& b : in) b = (rng() & 1) ? alphabet[rng() % sizeof(alphabet)] : uint8_t(rng());
        const int32_t protocol = int32_t(rng() % 4);
        const Parsed p = parse(in, protocol);
        ASSERT_GE(p.code, 0);
        ASSERT_LE(p.code, 7);
        if (p.code != 0 && !(protocol == 0 && (p.code == 4 || p.code == 7))) {
            ASSERT_EQ(p.outLen, 0);
        }
    }
}

}  // namespace
