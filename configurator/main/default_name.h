#pragma once
// The names Add device and Add tag propose: a fixed text and the smallest
// number from 0 up whose text stands inside none of the existing names.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vrt::cfg {

// Case counts, and a name containing "<prefix>12" takes 1 and 12 alike.
uint32_t DefaultNameNumber(std::string_view prefix, const std::vector<std::string>& names);
std::string DefaultName(std::string_view prefix, const std::vector<std::string>& names);

}  // namespace vrt::cfg
