#include "vrtcltrn/frames.h"

#include <cstring>

namespace vrt::link {
namespace {

constexpr uint8_t kStart = ':';
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;
// After the frame's CR LF at most four stray bytes may follow, so a CR or LF
// further than 6 bytes from the end is not the frame's end.
constexpr uint16_t kMaxEndDistance = 6;

static_assert(Crc16Table[1] == 0xC0C1 && Crc16Table[255] == 0x4040);

uint16_t buildRtu(const uint8_t* payload, uint8_t* frame, uint16_t len) {
    // memmove: framing in place (frame == payload) costs nothing extra here.
    std::memmove(frame, payload, len);
    const uint16_t crc = Crc16Update(frame, len, 0xFFFF);
    frame[len] = uint8_t(crc & 0xFF);
    frame[len + 1] = uint8_t(crc >> 8);
    return uint16_t(len + 2);
}

uint8_t* putCoded(uint8_t* at, uint8_t byte) {
    at[0] = uint8_t(0x50 | (byte >> 4));
    at[1] = uint8_t(0x40 | (byte & 0x0F));
    return at + 2;
}

uint16_t buildAscii(const uint8_t* payload, uint8_t* frame, uint16_t len) {
    uint8_t* at = frame;
    *at++ = kStart;
    uint8_t sum = 0;
    for (uint16_t i = 0; i < len; ++i) {
        sum = uint8_t(sum + payload[i]);
        at = putCoded(at, payload[i]);
    }
    at = putCoded(at, uint8_t(0u - sum));
    *at++ = kCr;
    *at++ = kLf;
    *at = 0;
    return uint16_t(2 * len + 5);
}

int32_t parseRtu(const uint8_t* in, uint8_t* out, uint16_t inLen, uint16_t* outLen) {
    if (inLen < 5) return kFrameTooShort;
    if (Crc16Update(in, inLen, 0xFFFF) != 0) return kFrameCheckError;
    const uint16_t n = uint16_t(inLen - 2);
    std::memmove(out, in, n);
    *outLen = n;
    return kFrameOk;
}

int32_t parseAscii(const uint8_t* in, uint8_t* out, uint16_t inLen, uint16_t* outLen) {
    // The last ':' starts the frame: an echo of the request, noise or an older
    // answer in front of it is ignored.
    uint16_t pos = inLen;
    bool found = false;
    while (pos > 0) {
        --pos;
        const uint8_t c = in[pos];
        if (c == kStart) {
            found = true;
            break;
        }
        if ((c == kCr || c == kLf) && inLen - pos > kMaxEndDistance) return kFrameNoStart;
    }
    if (!found) return kFrameNoStart;

    // Decoding writes out[n] only after reading in[pos] and in[pos + 1] with
    // pos > n, so parsing in place (out == in) never overwrites unread input.
    ++pos;
    uint16_t n = 0;
    uint8_t sum = 0;
    bool ended = false;
    while (pos < inLen) {
        const uint8_t hi = in[pos];
        if (hi == kCr) {
            if (pos + 1 < inLen && in[pos + 1] == kLf) {
                if (sum != 0) return kFrameCheckError;
                ended = true;
                break;
            }
            return kFrameNoLf;
        }
        if (hi < 0x50 || hi > 0x5F) return kFrameBadCoding;
        if (pos + 1 >= inLen) break;  // the input ends inside a pair
        const uint8_t lo = in[pos + 1];
        if (lo < 0x40 || lo > 0x4F) return kFrameBadCoding;
        const uint8_t byte = uint8_t(((hi & 0x0F) << 4) | (lo & 0x0F));
        out[n++] = byte;
        sum = uint8_t(sum + byte);
        pos = uint16_t(pos + 2);
    }

    *outLen = n;
    if (n < 2) return kFrameTooShort;
    if (!ended) return kFrameNoEnd;
    out[n] = 0;  // after the decoded LRC: the payload reads as a text
    *outLen = uint16_t(n - 1);
    return kFrameOk;
}

}  // namespace
}  // namespace vrt::link

using namespace vrt::link;

extern "C" VRT_API uint16_t _vrtCL_fNetFrmBufOut(const uint8_t* payload, uint8_t* frame, uint16_t len,
                                                 int32_t protocol) {
    if (payload == nullptr || frame == nullptr) return 0;
    const bool rtu = protocol > kProtocolAscii;
    const uint16_t limit = rtu ? kMaxRtuPayload : kMaxAsciiPayload;
    if (protocol > kProtocolModbusRtu || len > limit) {
        frame[0] = 0;  // a refused frame reads as an empty text
        return 0;
    }
    return rtu ? buildRtu(payload, frame, len) : buildAscii(payload, frame, len);
}

extern "C" VRT_API int32_t _vrtCL_fNetExtractInpData(const uint8_t* in, uint8_t* out, uint16_t inLen,
                                                     uint16_t* outLen, int32_t protocol) {
    if (in == nullptr || out == nullptr || outLen == nullptr || inLen == 0) return kFrameBadArguments;
    *outLen = 0;
    return protocol > kProtocolAscii ? parseRtu(in, out, inLen, outLen) : parseAscii(in, out, inLen, outLen);
}
