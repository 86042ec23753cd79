#include "hardwarerw/tag_list.h"

#include <cstdlib>
#include <new>
#include <unordered_set>

namespace vrt::cfg {
namespace {

void* checkedAlloc(void* p) {
    if (!p) throw std::bad_alloc();
    return p;
}

void reserve(TTagList& list, int32_t needed) {
    if (list.capacity >= needed && list.items) return;
    int32_t capacity = list.capacity > 0 ? list.capacity : 4;
    while (capacity < needed) capacity = capacity > (INT32_MAX / 2) ? INT32_MAX : capacity * 2;
    void* grown = checkedAlloc(std::realloc(list.items, sizeof(TTagCell*) * size_t(capacity)));
    list.items = static_cast<TTagCell**>(grown);
    list.capacity = capacity;
}

}  // namespace

TTagOPC* NewTag() {
    auto* tag = static_cast<TTagOPC*>(checkedAlloc(std::calloc(1, sizeof(TTagOPC))));
    tag->TagValue.vt = kVariantUI1;
    return tag;
}

TTagCell* NewTagCell(TTagOPC* tag) {
    auto* cell = static_cast<TTagCell*>(checkedAlloc(std::malloc(sizeof(TTagCell))));
    *cell = tag;
    return cell;
}

TTagList* NewTagList() { return static_cast<TTagList*>(checkedAlloc(std::calloc(1, sizeof(TTagList)))); }

void FreeTagListShell(TTagList* list) {
    if (!list) return;
    std::free(list->items);
    std::free(list);
}

int32_t TagCount(const TTagList& list) {
    if (list.count <= 0 || !list.items || list.count > list.capacity) return 0;
    return list.count;
}

TTagCell* TagCellAt(const TTagList& list, int32_t index) {
    if (index < 0 || index >= TagCount(list)) return nullptr;
    return list.items[index];
}

TTagOPC* TagAt(const TTagList& list, int32_t index) {
    TTagCell* cell = TagCellAt(list, index);
    return cell ? *cell : nullptr;
}

void TagListAdd(TTagList& list, TTagCell* cell) { TagListInsert(list, TagCount(list), cell); }

void TagListInsert(TTagList& list, int32_t index, TTagCell* cell) {
    const int32_t count = TagCount(list);
    if (count == 0) list.count = 0;  // a damaged list starts over
    if (count == INT32_MAX) throw std::bad_alloc();
    reserve(list, count + 1);
    if (index < 0 || index > count) index = count;
    for (int32_t i = count; i > index; --i) list.items[i] = list.items[i - 1];
    list.items[index] = cell;
    list.count = count + 1;
}

bool TagListDelete(TTagList& list, int32_t index) {
    const int32_t count = TagCount(list);
    if (index < 0 || index >= count) return false;
    for (int32_t i = index; i + 1 < count; ++i) list.items[i] = list.items[i + 1];
    list.count = count - 1;
    return true;
}

int32_t AppendTags(TTagList& to, const TTagList& from) {
    const int32_t count = TagCount(from);
    int32_t added = 0;
    std::unordered_set<const void*> seen;  // a cell or tag listed twice would be owned twice
    for (int32_t i = 0; i < count; ++i) {
        TTagCell* cell = from.items[i];
        if (!cell || !*cell) continue;
        TTagOPC* tag = *cell;
        if (!seen.insert(cell).second || !seen.insert(tag).second) continue;
        if (tag->Name.len > kTagNameMax) tag->Name.len = kTagNameMax;
        if (tag->Path.len > kTagPathMax) tag->Path.len = kTagPathMax;
        TagListAdd(to, cell);
        ++added;
    }
    return added;
}

}  // namespace vrt::cfg
