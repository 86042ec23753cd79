#pragma once
// The layouts the configurator shares with the import library OPCVentix.
//
// OPCVentix builds tag objects and list cells of its own and hands them over
// in a TTagList; the configurator reads and extends them at fixed byte
// positions, so every field here keeps its offset and width.
//
// Allocation contract (both sides use the C allocator of the process):
//   - a TTagOPC is one block of sizeof(TTagOPC) bytes from malloc/calloc;
//   - a cell is one block of sizeof(TTagOPC*) bytes from malloc that holds the
//     address of one TTagOPC;
//   - TTagList::items is an array of `capacity` cell addresses from
//     malloc/realloc; whoever appends grows it with realloc;
//   - the caller of ExpShow makes the TTagList and the cell that holds it;
//     ExpShow only appends cells to that list, it never frees or replaces the
//     list, the cell or the items the list already holds.
// Everything is released with free().
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A length-limited text: one length byte, then at most N Windows-1251
// characters. Storing a longer text keeps its first N characters.
template <size_t N>
struct ShortString {
    uint8_t len;
    char chars[N];

    // A length byte above N (a foreign object may hold one) reads as N.
    size_t size() const { return len < N ? len : N; }
    std::string_view view() const { return {chars, size()}; }
    std::string str() const { return std::string(view()); }
    // Copies the text's first N characters; the bytes behind them stay.
    void assign(std::string_view text) {
        const size_t n = text.size() < N ? text.size() : N;
        if (n) std::memmove(chars, text.data(), n);
        len = static_cast<uint8_t>(n);
    }
};

// An OLE variant as 16 raw bytes: the type word, three reserved words and
// eight bytes of value.
struct OleVariant {
    uint16_t vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    uint8_t value[8];
};

inline constexpr uint16_t kVariantUI1 = 17;  // VT_UI1

// One entry of a tag's write queue: a variant and 8 bytes the configurator
// never reads.
struct TValueToWrite {
    OleVariant value;
    uint8_t extra[8];
};

inline constexpr size_t kTagNameMax = 50;
inline constexpr size_t kTagPathMax = 151;

// A tag object: 512 bytes, no virtual functions.
struct TTagOPC {
    uint32_t classRef;                 // 0: set by the creator, never used here
    ShortString<kTagNameMax> Name;     // 4
    ShortString<kTagPathMax> Path;     // 55: device name "." tag name
    uint8_t reserved207;               // 207
    int32_t ID;                        // 208: device IdBase + Index
    int32_t Index;                     // 212: position in the device's tags
    int32_t NumVar;                    // 216: variable number in the controller
    char VarType;                      // 220: 'L' LongInt, 'F' Float
    uint8_t RW;                        // 221: 0 read only, 1 read and write
    uint8_t reserved222[2];            // 222
    OleVariant TagValue;               // 224
    int32_t WRepNum;                   // 240: repeats of a write
    uint8_t WriteMode;                 // 244: 0 last value, 1 queue, 2 stack
    uint8_t reserved245;               // 245: zero after construction
    uint8_t reserved246;               // 246: zero after construction
    uint8_t reserved247;               // 247
    int32_t reserved248;               // 248: zero after construction
    uint8_t reserved252[4];            // 252
    TValueToWrite WriteQueue[10];      // 256
    OleVariant reserved496;            // 496
};

// A list of cell addresses, the platform list's layout with native words:
// the class reference and the item array take 8 bytes each.
using TTagCell = TTagOPC*;  // a cell holds one tag's address

struct TTagList {
    void* classRef;     // 0: opaque
    TTagCell** items;   // 8: `capacity` cell addresses, the first `count` in use
    int32_t count;      // 16
    int32_t capacity;   // 20
};

static_assert(sizeof(ShortString<50>) == 51 && alignof(ShortString<50>) == 1);
static_assert(sizeof(OleVariant) == 16);
static_assert(sizeof(TValueToWrite) == 24);
static_assert(sizeof(TTagOPC) == 512, "TTagOPC is 512 bytes");
static_assert(offsetof(TTagOPC, classRef) == 0);
static_assert(offsetof(TTagOPC, Name) == 4);
static_assert(offsetof(TTagOPC, Path) == 55);
static_assert(offsetof(TTagOPC, reserved207) == 207);
static_assert(offsetof(TTagOPC, ID) == 208);
static_assert(offsetof(TTagOPC, Index) == 212);
static_assert(offsetof(TTagOPC, NumVar) == 216);
static_assert(offsetof(TTagOPC, VarType) == 220);
static_assert(offsetof(TTagOPC, RW) == 221);
static_assert(offsetof(TTagOPC, reserved222) == 222);
static_assert(offsetof(TTagOPC, TagValue) == 224);
static_assert(offsetof(TTagOPC, WRepNum) == 240);
static_assert(offsetof(TTagOPC, WriteMode) == 244);
static_assert(offsetof(TTagOPC, reserved245) == 245);
static_assert(offsetof(TTagOPC, reserved246) == 246);
static_assert(offsetof(TTagOPC, reserved247) == 247);
static_assert(offsetof(TTagOPC, reserved248) == 248);
static_assert(offsetof(TTagOPC, reserved252) == 252);
static_assert(offsetof(TTagOPC, WriteQueue) == 256);
static_assert(offsetof(TTagOPC, reserved496) == 496);
static_assert(sizeof(TTagList) == 24, "TTagList is 24 bytes");
static_assert(offsetof(TTagList, classRef) == 0);
static_assert(offsetof(TTagList, items) == 8);
static_assert(offsetof(TTagList, count) == 16);
static_assert(offsetof(TTagList, capacity) == 20);

// The import entry point: reads the ".prg" file `fileName` (Windows-1251,
// zero-terminated) and appends one cell per tag to the list held by
// `*listCell`. Nonzero means the tags were appended; on zero the caller takes
// nothing from the list.
extern "C" uint8_t ExpShow(const char* fileName, TTagList** listCell);
using ExpShowFn = uint8_t (*)(const char* fileName, TTagList** listCell);
