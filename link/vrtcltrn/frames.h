#pragma once
// Wire frames of the three link protocols: the builder and the parser behind
// _vrtCL_fNetFrmBufOut and _vrtCL_fNetExtractInpData, and the CRC-16 they share.
//
//   ASCII ("VortanBus [ASCII] 5040h"): ':' , every byte as 0x50+high nibble and
//       0x40+low nibble, the LRC coded the same way, CR LF.
//   RTU ("VortanBus [RTU]", "MODBUS [RTU]"): the bytes, then CRC-16/MODBUS low
//       byte first.
#include <array>
#include <cstdint>

#include "vrtclnk.h"

namespace vrt::link {

// Values of PortRecord::protocol. Below 0 acts as ASCII; above 2 is refused by
// the builder and parsed as RTU by the parser.
enum Protocol : int32_t {
    kProtocolAscii = 0,
    kProtocolVrtRtu = 1,
    kProtocolModbusRtu = 2,
};

// Largest payloads a frame may carry (the frames fit the port's queues).
inline constexpr uint16_t kMaxAsciiPayload = 1038;  // 2081 characters
inline constexpr uint16_t kMaxRtuPayload = 1036;    // 1038 bytes

// Result of _vrtCL_fNetExtractInpData; _vrtCL_fCnvErrExtractInpData turns it
// into a result code (-35..-41).
enum FrameParseCode : int32_t {
    kFrameOk = 0,
    kFrameBadArguments = 1,  // null pointer or no input
    kFrameNoStart = 2,       // no ':' or a CR/LF too far from the end (ASCII)
    kFrameBadCoding = 3,     // character outside its nibble range (ASCII)
    kFrameNoEnd = 4,         // input ends before CR LF (ASCII)
    kFrameNoLf = 5,          // CR not followed by LF (ASCII)
    kFrameCheckError = 6,    // LRC sum or CRC not 0
    kFrameTooShort = 7,      // RTU under 5 bytes, ASCII under 2 decoded bytes
};

// Entry i: the reflected CRC register after shifting byte i through 0xA001.
constexpr std::array<uint16_t, 256> Crc16BuildTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t reg = uint16_t(i);
        for (int bit = 0; bit < 8; ++bit) reg = (reg & 1u) ? uint16_t((reg >> 1) ^ 0xA001u) : uint16_t(reg >> 1);
        table[i] = reg;
    }
    return table;
}

inline constexpr std::array<uint16_t, 256> Crc16Table = Crc16BuildTable();

// CRC register after `len` bytes, starting from `start` (framing starts with
// 0xFFFF). Over an intact RTU frame, check bytes included, the result is 0.
constexpr uint16_t Crc16Update(const uint8_t* bytes, uint16_t len, uint16_t start) {
    uint16_t reg = start;
    for (uint16_t i = 0; i < len; ++i) reg = uint16_t(Crc16Table[(reg ^ bytes[i]) & 0xFFu] ^ (reg >> 8));
    return reg;
}

}  // namespace vrt::link
