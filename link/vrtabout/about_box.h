#pragma once
// The library's about box (_vrt_about) and the slots through which a caller
// inside the library hands it a path and an icon for one call.
#include <optional>
#include <string>

class QIcon;

namespace vrt::link {

// Filled by the settings dialog around its about button; the box clears both
// slots when it closes.
struct AboutHandOverSlots {
    std::optional<std::string> path;  // shown in the box's hint instead of the host's path
    const QIcon* icon = nullptr;      // window icon, owned by the caller
};
extern AboutHandOverSlots AboutHandOver;

// Shows the modal about box with the four texts (null: absent). Returns when
// the box is closed; returns at once when no window can be shown or a box is
// already shown.
void ShowAbout(const char* product, const char* version, const char* description, const char* authorLine);

}  // namespace vrt::link
