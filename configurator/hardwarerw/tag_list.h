#pragma once
// Tag objects, cells and TTagList operations, following the allocation
// contract of opcventix.h so that lists and tags made by OPCVentix mix freely
// with our own.
#include <cstdint>

#include "opcventix.h"

namespace vrt::cfg {

// TTagOPC.Create: every field zero or empty, TagValue the unsigned byte 0.
TTagOPC* NewTag();
// A cell holding `tag`.
TTagCell* NewTagCell(TTagOPC* tag);
// A new, empty list.
TTagList* NewTagList();
// Frees the list's item array and the list itself; not the cells or tags.
void FreeTagListShell(TTagList* list);

// The number of usable entries: 0 for a list whose count, capacity or item
// array do not agree (a foreign list may be damaged), else count.
int32_t TagCount(const TTagList& list);
// The cell at `index`, nullptr when out of range.
TTagCell* TagCellAt(const TTagList& list, int32_t index);
// The tag at `index`, nullptr when out of range or the cell is empty.
TTagOPC* TagAt(const TTagList& list, int32_t index);

void TagListAdd(TTagList& list, TTagCell* cell);
// Inserts before `index` (0..count); an index out of range appends.
void TagListInsert(TTagList& list, int32_t index, TTagCell* cell);
// Removes the entry; the cell and its tag stay alive. False when out of range.
bool TagListDelete(TTagList& list, int32_t index);

// Appends every usable entry of `from` to `to`: null cells, cells holding no
// tag and repeated cells or tags are skipped, and length bytes above 50 and
// 151 are clamped. Returns
// the number of entries appended.
int32_t AppendTags(TTagList& to, const TTagList& from);

}  // namespace vrt::cfg
