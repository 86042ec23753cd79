#pragma once
// The texts of the tree's nodes. The tree uses a fixed-pitch font, so the
// padding lines the columns up.
#include <cstdint>
#include <string>
#include <string_view>

#include "hardwarerw/project_model.h"

namespace vrt::cfg {

// "%-10.35s (COM%1.0u:%6.0u:%u)": name, ComNum + 1, Speed, NetNumber.
std::string DeviceNodeText(const TDevice& device);
// "%-10.15s %3.0u %5.10s": name, NumVar, VarType as a one-letter text.
std::string TagNodeText(const TTagOPC& tag);

// Image of a tag's node: RW + 1 (1 read only, 2 read and write).
inline int TagImage(const TTagOPC& tag) { return int(tag.RW) + 1; }
inline constexpr int kDeviceImage = 0;

// The pieces of the formats above: a text cut after `maxChars` and padded
// with blanks to `width` (on the right when `left`, else on the left), and an
// unsigned decimal padded on the left, where 0 prints as "0".
std::string PadText(std::string_view text, size_t width, size_t maxChars, bool left);
std::string PadUnsigned(uint32_t value, size_t width);

}  // namespace vrt::cfg
