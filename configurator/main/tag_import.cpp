// Tags from a ".prg" file, read by the import library OPCVentix.
#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

#include "hardwarerw/tag_list.h"
#include "main/main_controller.h"
#include "main/pages.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;
using namespace std::string_literals;

// Cells of the library's list that did not join the device (null, holding no
// tag, or repeating a tag already taken) belong to no one: free them, never
// their tags, which are either absent or held by a cell that joined.
void FreeCellsNotTaken(const TTagList& list, const TDevice& device, int32_t firstNew) {
    std::unordered_set<const TTagCell*> taken;
    for (int32_t i = firstNew; i < device.TagCount(); ++i) taken.insert(device.TagCell(i));
    for (int32_t i = 0; i < TagCount(list); ++i)
        if (TTagCell* cell = list.items[i]; cell && !taken.count(cell)) {
            taken.insert(cell);  // a cell listed twice is freed once
            std::free(cell);
        }
}

// The names of the tags left out, in quotes (an empty name shows as ""),
// at most ten of them so that the box stays on the screen.
std::string RefusedNamesText(const std::vector<std::string>& names) {
    constexpr size_t kShown = 10;
    std::string text = "Тэги с недопустимыми именами не импортированы:"_cp;
    for (size_t i = 0; i < names.size() && i < kShown; ++i) text += "\n\"" + names[i] + "\"";
    if (names.size() > kShown) text += "\n"s + "и еще "_cp + std::to_string(names.size() - kShown);
    return text;
}

}  // namespace

void MainController::_ImportPRJExecute() {
    TDevice* device = currentDevice();
    if (!device) return;
    const std::optional<std::string> name = ui_.ChoosePrgFile();
    if (!name) return;
    PrgFileName = *name;
    const ExpShowFn expShow = ventix_ ? ventix_->ExpShow() : nullptr;
    if (PrgFileName.empty() || !expShow) return;

    // The library appends to a list of ours, held by a cell of ours; the
    // cells and tags it appends join the device, the list itself is freed.
    TTagList* list = NewTagList();
    TTagList* cell = list;
    const bool imported = expShow(PrgFileName.c_str(), &cell) != 0;
    std::vector<std::string> refused;
    if (imported) {
        const int32_t before = device->TagCount();
        AppendTags(device->Tags, *list);
        FreeCellsNotTaken(*list, *device, before);
        // Imported names become keys like every other tag name; a tag whose
        // name no key can hold, or whose key a tag of the section (one
        // already there or one imported before it) holds, is left out (the
        // device keeps it unlisted, as it keeps every tag it loses) and the
        // user is told.
        std::unordered_set<std::string> keys = sectionTagKeys(*device, before);
        for (int32_t i = before; i < device->TagCount();) {
            TTagOPC* tag = device->Tag(i);
            if (!tag) {
                ++i;
                continue;
            }
            tag->Name.assign(CleanTagName(tag->Name.view()));
            if (TagNameRefusal(tag->Name.view()) || !keys.insert(TagKey(tag->Name.view())).second) {
                refused.push_back(tag->Name.str());
                device->DeleteTag(i);
            } else {
                ++i;
            }
        }
    }
    FreeTagListShell(list);
    if (!imported) return;

    SyncTagNodes(CurrentDevice, DeviceNode, 1);
    if (DeviceNode) tree_.Expand(DeviceNode);
    if (!refused.empty()) ui_.ErrorBox(RefusedNamesText(refused));
}

}  // namespace vrt::cfg
