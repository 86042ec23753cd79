#include "vrtcltrn/port_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using Image = std::array<unsigned char, 515>;

void put32(Image& img, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) img[at + size_t(i)] = static_cast<unsigned char>(v >> (8 * i));
}
void putText(Image& img, size_t at, const char* text) { std::memcpy(img.data() + at, text, std::strlen(text)); }

// The defaults of one record, byte by byte as a host sees them.
Image defaultsImage(int32_t index) {
    Image img{};
    put32(img, 0, uint32_t(index));
    put32(img, 16, 19200);  // baud
    img[20] = 8;            // data bits
    img[21] = 0;            // one stop bit
    img[22] = 2;            // even parity
    put32(img, 23, 200);    // response time
    put32(img, 35, 3);      // repeats
    put32(img, 43, 1);      // ask for a phone number
    put32(img, 51, 250);    // modem answer time
    put32(img, 55, 120);    // connect wait
    put32(img, 59, 2);      // connection attempts
    putText(img, 113, "ATDP");
    putText(img, 135 + 0 * 22, "+++|+++ATZ0");
    putText(img, 135 + 1 * 22, "ATZ0|ATE0");
    putText(img, 135 + 6 * 22, "ATZ0|ATE0|ATL3");
    putText(img, 135 + 8 * 22, "AT&D0|AT&C1|AT&K0");
    return img;
}

Image bytesOf(const PortRecord& r) {
    Image img;
    std::memcpy(img.data(), &r, sizeof r);
    return img;
}

}  // namespace

TEST(PortTable, DefaultsImageOfEveryRecord) {
    PortRecord table[VRT_PORT_COUNT];
    std::memset(table, 0x5A, sizeof table);  // every byte must be written
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) {
        vrt::link::PortRecordDefaults(table[k], k);
        EXPECT_EQ(bytesOf(table[k]), defaultsImage(k)) << "record " << k;
    }
    // Records follow each other without gaps, record k at byte 515 k.
    EXPECT_EQ(reinterpret_cast<char*>(&vrt::link::PortTable[3]) - reinterpret_cast<char*>(vrt::link::PortTable),
              3 * 515);
}

TEST(PortTable, FieldsLieAtTheirOffsets) {
    PortRecord r{};
    r.max = 0x11223344;
    r.tmRq = 0xA1B2C3D4;
    r.hCom = 0x01020304;
    r.timeouts.writeTotalConstant = 0x0A0B0C0D;
    r.dcb.baudRate = 9600;
    r.dcb.evtChar = 'E';
    const Image img = bytesOf(r);
    EXPECT_EQ(img[23], 0x44);
    EXPECT_EQ(img[26], 0x11);
    EXPECT_EQ(img[447], 0xD4);
    EXPECT_EQ(img[450], 0xA1);
    EXPECT_EQ(img[463], 0x04);
    EXPECT_EQ(img[483], 0x0D);
    EXPECT_EQ(img[491], 9600 & 0xFF);
    EXPECT_EQ(img[492], 9600 >> 8);
    EXPECT_EQ(img[487 + 25], 'E');
    EXPECT_EQ(img[514], 0);
}

TEST(PortTable, GetAddrAndParamBaud) {
    int32_t status = 99;
    EXPECT_EQ(_vrtCL_fGetAddr(-1, &status), nullptr);
    EXPECT_EQ(status, -4);
    EXPECT_EQ(_vrtCL_fGetAddr(4, &status), nullptr);
    EXPECT_EQ(status, -4);
    EXPECT_EQ(_vrtCL_fGetAddr(3, &status), &vrt::link::PortTable[3]);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(_vrtCL_fGetAddr(0, nullptr), &vrt::link::PortTable[0]);  // no status wanted: no crash
    EXPECT_EQ(_vrtCL_fGetAddr(9, nullptr), nullptr);
    EXPECT_EQ(_vrtCL_fGetListParam(), vrt::link::PortTable);

    PortRecord& r = vrt::link::PortTable[2];
    const PortRecord saved = r;
    r.dcb.baudRate = 0;
    EXPECT_EQ(_vrtCL_fParamBaud(2), 0u);  // never opened
    r.dcb.baudRate = 9600;
    EXPECT_EQ(_vrtCL_fParamBaud(2), 9600u);
    r.portIndex = 1;  // a record a host has overwritten is refused
    EXPECT_EQ(_vrtCL_fGetAddr(2, &status), nullptr);
    EXPECT_EQ(status, -3);
    EXPECT_EQ(_vrtCL_fParamBaud(2), 0u);
    EXPECT_EQ(_vrtCL_fParamBaud(-1), 0u);
    EXPECT_EQ(_vrtCL_fParamBaud(4), 0u);
    r = saved;
}
