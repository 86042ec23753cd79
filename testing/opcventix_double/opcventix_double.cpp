// A stand-in for OPCVentix. Its ExpShow reads a text file of our own instead
// of a ".prg" file and builds tags by writing raw bytes at the offsets the
// configurator expects, never through the shared struct's fields, so a layout
// mistake on either side shows in the tests.
//
// File format, one entry per line ('#' starts a comment line):
//   name|numVar|type|rw|writeMode|wRepNum   a tag (name in Windows-1251)
//   !nullcell                               a null item in the list
//   !nulltag                                a cell holding no tag
//   !overlong|name                          a tag whose name and path length
//                                           bytes say 255
//   !badcount                               leave count above capacity
// Every tag carries sentinel bytes in the fields the configurator must leave
// alone (see the constants below). A file that cannot be read answers false.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "opcventix.h"

#if defined(OPCVENTIX_DOUBLE_FULL)
namespace {

// Byte offsets of TTagOPC.
constexpr size_t kClassRef = 0, kName = 4, kPath = 55, kRes207 = 207, kID = 208, kIndex = 212, kNumVar = 216,
                 kVarType = 220, kRW = 221, kRes222 = 222, kTagValue = 224, kWRepNum = 240, kWriteMode = 244,
                 kRes245 = 245, kRes246 = 246, kRes247 = 247, kRes248 = 248, kRes252 = 252, kQueue = 256,
                 kRes496 = 496, kTagSize = 512;
// Byte offsets of TTagList.
constexpr size_t kItems = 8, kCount = 16, kCapacity = 20;

constexpr uint32_t kClassSentinel = 0xC1A55EF0u;

void put8(void* base, size_t off, uint8_t v) { static_cast<uint8_t*>(base)[off] = v; }
void put32(void* base, size_t off, uint32_t v) { std::memcpy(static_cast<uint8_t*>(base) + off, &v, 4); }
uint32_t get32(const void* base, size_t off) {
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(base) + off, 4);
    return v;
}

void* makeTag(const std::string& name, int32_t numVar, char type, uint8_t rw, uint8_t writeMode, int32_t wRepNum) {
    auto* t = static_cast<uint8_t*>(std::malloc(kTagSize));
    for (size_t i = 0; i < kTagSize; ++i) t[i] = uint8_t(0x5A ^ i);  // nothing left as zero by chance
    put32(t, kClassRef, kClassSentinel);
    const size_t n = name.size() < 50 ? name.size() : 50;
    put8(t, kName, uint8_t(n));
    std::memcpy(t + kName + 1, name.data(), n);
    put8(t, kPath, 0);
    put8(t, kRes207, 0xA7);
    put32(t, kID, 0xFFFFFFFFu);
    put32(t, kIndex, 0xFFFFFFFFu);
    put32(t, kNumVar, uint32_t(numVar));
    put8(t, kVarType, uint8_t(type));
    put8(t, kRW, rw);
    put8(t, kRes222, 0xB1);
    put8(t, kRes222 + 1, 0xB2);
    put8(t, kTagValue, 3);  // VT_I4 with a value: not the configurator's to read
    put8(t, kTagValue + 1, 0);
    put32(t, kTagValue + 8, 0x11223344u);
    put32(t, kWRepNum, uint32_t(wRepNum));
    put8(t, kWriteMode, writeMode);
    put8(t, kRes245, 0xE5);
    put8(t, kRes246, 0xE6);
    put8(t, kRes247, 0xE7);
    put32(t, kRes248, 0xE8E8E8E8u);
    put32(t, kRes252, 0xD4D3D2D1u);
    (void)kQueue;
    (void)kRes496;
    return t;
}

void append(void* list, void* cell) {
    void** items;
    std::memcpy(&items, static_cast<uint8_t*>(list) + kItems, sizeof items);
    const int32_t count = int32_t(get32(list, kCount));
    int32_t capacity = int32_t(get32(list, kCapacity));
    if (count >= capacity) {
        capacity = capacity ? capacity * 2 : 2;
        items = static_cast<void**>(std::realloc(items, sizeof(void*) * size_t(capacity)));
        std::memcpy(static_cast<uint8_t*>(list) + kItems, &items, sizeof items);
        put32(list, kCapacity, uint32_t(capacity));
    }
    items[count] = cell;
    put32(list, kCount, uint32_t(count + 1));
}

void* cellOf(void* tag) {
    auto* cell = static_cast<void**>(std::malloc(sizeof(void*)));
    *cell = tag;
    return cell;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '|')
            out.emplace_back();
        else if (c != '\r')
            out.back() += c;
    }
    return out;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint8_t ExpShow(const char* fileName, TTagList** listCell) {
    if (!fileName || !listCell || !*listCell) return 0;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return 0;
    void* list = *listCell;
    bool badCount = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = split(line);
        if (f[0].empty() || f[0][0] == '#') continue;
        if (f[0] == "!nullcell") {
            append(list, nullptr);
        } else if (f[0] == "!nulltag") {
            append(list, cellOf(nullptr));
        } else if (f[0] == "!badcount") {
            badCount = true;
        } else if (f[0] == "!overlong" && f.size() > 1) {
            void* tag = makeTag(f[1], 0, 'L', 0, 0, 0);
            put8(tag, kName, 255);
            put8(tag, kPath, 255);
            append(list, cellOf(tag));
        } else if (f.size() >= 6) {
            const char type = f[2].empty() ? '\0' : f[2][0];
            append(list, cellOf(makeTag(f[0], std::atoi(f[1].c_str()), type, uint8_t(std::atoi(f[3].c_str())),
                                        uint8_t(std::atoi(f[4].c_str())), std::atoi(f[5].c_str()))));
        }
    }
    if (badCount) put32(list, kCount, get32(list, kCapacity) + 3);
    return 1;
}
#elif defined(OPCVENTIX_DOUBLE_FALSE)
extern "C" __attribute__((visibility("default"))) uint8_t ExpShow(const char*, TTagList**) { return 0; }
#else
// No ExpShow: only a name that proves the library loaded.
extern "C" __attribute__((visibility("default"))) int OPCVentixDoubleWithoutExpShow() { return 1; }
#endif
