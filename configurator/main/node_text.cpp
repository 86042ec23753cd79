#include "main/node_text.h"

namespace vrt::cfg {

std::string PadText(std::string_view text, size_t width, size_t maxChars, bool left) {
    std::string out(text.substr(0, maxChars));
    if (out.size() < width) {
        const std::string fill(width - out.size(), ' ');
        out = left ? out + fill : fill + out;
    }
    return out;
}

std::string PadUnsigned(uint32_t value, size_t width) {
    return PadText(std::to_string(value), width, std::string::npos, false);
}

std::string DeviceNodeText(const TDevice& d) {
    // The number arguments print as unsigned 32-bit values, as the format's
    // "u" does with whatever the field holds.
    return PadText(d.Name.view(), 10, 35, true) + " (COM" + PadUnsigned(uint32_t(d.ComNum) + 1u, 1) + ":" +
           PadUnsigned(uint32_t(d.Speed), 6) + ":" + PadUnsigned(uint32_t(d.NetNumber), 0) + ")";
}

std::string TagNodeText(const TTagOPC& tag) {
    // A type byte of 0 (a tag nobody typed yet) is an empty one-letter text.
    const std::string_view type = tag.VarType ? std::string_view(&tag.VarType, 1) : std::string_view();
    return PadText(tag.Name.view(), 10, 15, true) + " " + PadUnsigned(uint32_t(tag.NumVar), 3) + " " +
           PadText(type, 5, 10, false);
}

}  // namespace vrt::cfg
