#include "main/default_name.h"

namespace vrt::cfg {

uint32_t DefaultNameNumber(std::string_view prefix, const std::vector<std::string>& names) {
    // Every taken number is written out inside some name, so the search ends
    // after at most as many steps as the names hold characters.
    for (uint32_t n = 0;; ++n) {
        const std::string candidate = std::string(prefix) + std::to_string(n);
        bool taken = false;
        for (const std::string& name : names)
            if (name.find(candidate) != std::string::npos) {
                taken = true;
                break;
            }
        if (!taken) return n;
    }
}

std::string DefaultName(std::string_view prefix, const std::vector<std::string>& names) {
    return std::string(prefix) + std::to_string(DefaultNameNumber(prefix, names));
}

}  // namespace vrt::cfg
