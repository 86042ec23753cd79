#include "main/main_controller.h"

#include "main/node_text.h"
#include "platform/cp1251.h"

namespace vrt::cfg {

using namespace vrt::literals;

MainController::MainController(MainUi& ui, LinkBinding* link, VentixBinding* ventix)
    : ui_(ui), link_(link), ventix_(ventix), project_(std::make_unique<TVrtNet>()), log_(InitialLogLines()) {
    tree_.OnChange = [this](TreeNode* node) { TreeView1Change(node); };
    tree_.OnDeletion = [this](TreeNode* node) { nodeDeleted(node); };
}

const std::vector<std::string>& MainController::InitialLogLines() {
    static const std::vector<std::string> lines = {
        "Конфигуратор для Vortan OPC Server 3.0b"_cp,
        "",
        "Версия 3.0 beta от 09.10.2008. "_cp,
        "",
        "С предыдущими версиями Vortan OPC не совместим."_cp,
        "",
        "Поддержка протоколов обмена Vortan BUS [RTU],Vortan BUS[ASCII]"_cp,
        "",
        std::string(113, '-'),
    };
    return lines;
}

void MainController::FormCreate(const std::string& exeFileName) {
    exeFileName_ = exeFileName;
    openFolder_ = ProgramFolder(exeFileName);
    if (openFolder_.empty() || openFolder_.back() != '/') openFolder_ += '/';
    if (ventix_) ventix_->LoadVentixLibrary(exeFileName);
    CurrentDevice = nullptr;
    CurrentTag = nullptr;
    // A missing link library is told and ends the program from here.
    project_ = std::make_unique<TVrtNet>(link_, exeFileName);
    RebuildTree();
    UpdateUiState();
}

void MainController::appendLog(const std::string& line) {
    log_.push_back(line);
    view_->AppendLog(line);
}

void MainController::bringToFront(Page page) {
    page_ = page;
    view_->ShowPage(page);
}

void MainController::PageShown(Page page) {
    page_ = page;
    if (page == Page::Project) TabSheet4Show();
}

// No reference of the window may outlive its node.
void MainController::nodeDeleted(TreeNode* node) {
    if (SelectedNode == node) SelectedNode = nullptr;
    if (DeviceNode == node) DeviceNode = nullptr;
    if (TagNode == node) TagNode = nullptr;
}

// --- Tree ------------------------------------------------------------------

void MainController::AddDeviceNode(TDeviceCell* cell) {
    TDevice& device = **cell;
    TreeNode* node = tree_.Add(nullptr, DeviceNodeText(device), cell, kDeviceImage, kDeviceImage);
    for (int32_t i = 0; i < device.TagCount(); ++i) {
        const TTagOPC* tag = device.Tag(i);
        if (!tag) continue;
        tree_.Add(node, TagNodeText(*tag), device.TagCell(i), TagImage(*tag), TagImage(*tag));
    }
}

void MainController::RebuildTree() {
    tree_.Clear();
    // The widget shows the whole tree at once, not node by node.
    tree_.BeginUpdate();
    TDeviceList& list = project_->DeviceList();
    for (int32_t i = 0; i < list.Count(); ++i) {
        if (!list.Device(i)) continue;
        AddDeviceNode(list.Cell(i));
        RenumberTags(*list.Device(i));
    }
    tree_.EndUpdate();
}

void MainController::SyncDeviceNodes(int mode) {
    ProjectModified = true;
    TDeviceList& list = project_->DeviceList();
    const int n = list.Count();
    if (mode == 0) {
        for (int i = tree_.TopCount() - 1; i >= n; --i) tree_.Delete(tree_.Top(i));
        for (int i = 0; i < tree_.TopCount(); ++i) {
            TreeNode* node = tree_.Top(i);
            TDeviceCell* cell = list.Cell(i);
            const std::string text = DeviceNodeText(**cell);
            // A node that now stands for another device takes that device's
            // tags too, even when the two texts happen to agree.
            if (text != node->Text() || node->Data() != cell) {
                tree_.SetText(node, text);
                tree_.SetImages(node, kDeviceImage, kDeviceImage);
                SyncTagNodes(cell, node, 0);
            }
            tree_.SetData(node, cell);
        }
    }
    for (int i = tree_.TopCount(); i < n; ++i) AddDeviceNode(list.Cell(i));
    RenumberDevices(list);
}

void MainController::SyncTagNodes(TDeviceCell* cell, TreeNode* node, int mode) {
    ProjectModified = true;
    if (!cell || !*cell) return;
    TDevice& device = **cell;
    if (node) {
        const std::string text = DeviceNodeText(device);
        if (text != node->Text()) tree_.SetText(node, text);
        tree_.SetData(node, cell);
        const int m = device.TagCount();
        if (mode == 0) {
            for (int i = node->ChildCount() - 1; i >= m; --i) tree_.Delete(node->Child(i));
            for (int i = 0; i < node->ChildCount(); ++i) {
                TreeNode* child = node->Child(i);
                const TTagOPC* tag = device.Tag(i);
                const std::string tagText = tag ? TagNodeText(*tag) : std::string();
                const int image = tag ? TagImage(*tag) : 1;
                if (tagText != child->Text()) tree_.SetText(child, tagText);
                // The image follows the tag even where the text is the same.
                if (image != child->Image() || image != child->SelectedImage()) tree_.SetImages(child, image, image);
                tree_.SetData(child, device.TagCell(i));
            }
        }
        for (int i = node->ChildCount(); i < m; ++i) {
            const TTagOPC* tag = device.Tag(i);
            if (!tag) continue;
            tree_.Add(node, TagNodeText(*tag), device.TagCell(i), TagImage(*tag), TagImage(*tag));
        }
    }
    RenumberTags(device);
}

void MainController::TreeView1Change(TreeNode* node) {
    if (tree_.Empty() || !node) {
        CurrentDevice = nullptr;
        UpdateUiState();
        return;
    }
    Filling = false;
    commitPages(false);
    Filling = true;
    SelectedNode = node;
    if (node->Level() == 0) {
        CurrentDevice = static_cast<TDeviceCell*>(node->Data());
        TDevice* device = currentDevice();
        CurrentTag = device && device->TagCount() > 0 ? device->TagCell(0) : nullptr;
        DeviceNode = node;
        TagNode = node->FirstChild();
        FillTagPage();
        FillDevicePage();
        bringToFront(Page::Device);
    } else {
        CurrentTag = static_cast<TTagCell*>(node->Data());
        CurrentDevice = static_cast<TDeviceCell*>(node->Parent()->Data());
        DeviceNode = node->Parent();
        TagNode = node;
        FillDevicePage();
        FillTagPage();
        bringToFront(Page::Tag);
    }
    Filling = false;
    UpdateUiState();
}

void MainController::UpdateUiState() {
    UiState& s = ui_state_;
    if (ProjectOpen) s.deviceMenusMerged = true;
    const bool device = CurrentDevice != nullptr;
    if (device) {
        s.deviceTabVisible = s.deviceTabEnabled = true;
        if (CurrentTag) s.tagTabVisible = s.tagTabEnabled = true;
    } else {
        s.deviceTabVisible = s.deviceTabEnabled = false;
        s.tagTabVisible = s.tagTabEnabled = false;
        s.addDeviceEnabled = ProjectOpen;
    }
    s.upTagEnabled = s.downTagEnabled = s.deleteTagEnabled = device;
    s.importEnabled = s.deleteDeviceEnabled = s.addTagEnabled = device;
    s.projectTabVisible = s.saveEnabled = s.saveAsEnabled = ProjectOpen;
    s.newEnabled = s.openEnabled = s.infoTabVisible = true;
    view_->UiStateChanged();
}

// --- Pages -----------------------------------------------------------------

void MainController::FillDevicePage() {
    if (!currentDevice()) return;
    deviceNameKept_ = currentDevice()->Name.str();
    FillDeviceControls(devicePage_, *currentDevice());
    view_->DevicePageFilled();
}

void MainController::FillTagPage() {
    if (!currentTag()) return;
    tagNameKept_ = currentTag()->Name.str();
    FillTagControls(tagPage_, *currentTag(), wRepNumDisabled_);
    view_->TagPageFilled();
}

void MainController::StoreDevicePage() {
    if (!currentDevice()) return;
    const StoreResult result = storeDevicePage(*currentDevice());
    reportBadNumber(result.badNumber);
    refuseDeviceName(result);
}

void MainController::StoreTagPage() {
    if (TTagOPC* tag = currentTag()) refuseTagName(storeTagPage(*tag));
}

namespace {

// Calls `visit` for every tag of `device`'s variables section: its own and
// those of the devices whose section the file takes for the same one.
template <class Visit>
void ForEachSectionTag(const TDeviceList& list, const TDevice& device, Visit visit) {
    const std::string section = VarsSectionKey(device.Name.view());
    for (int32_t d = 0; d < list.Count(); ++d) {
        const TDevice* other = list.Device(d);
        if (!other || (other != &device && VarsSectionKey(other->Name.view()) != section)) continue;
        for (int32_t t = 0; t < other->TagCount(); ++t)
            if (const TTagOPC* tag = other->Tag(t)) visit(*other, t, *tag);
    }
}

}  // namespace

bool MainController::tagNameTaken(const TDevice& device, const TTagOPC* self, std::string_view name) const {
    const std::string key = TagKey(name);
    bool taken = false;
    ForEachSectionTag(project_->DeviceList(), device, [&](const TDevice&, int32_t, const TTagOPC& tag) {
        if (!taken && &tag != self && TagKey(tag.Name.view()) == key) taken = true;
    });
    return taken;
}

std::unordered_set<std::string> MainController::sectionTagKeys(const TDevice& device, int32_t from) const {
    std::unordered_set<std::string> keys;
    ForEachSectionTag(project_->DeviceList(), device, [&](const TDevice& owner, int32_t index, const TTagOPC& tag) {
        if (&owner != &device || index < from) keys.insert(TagKey(tag.Name.view()));
    });
    return keys;
}

bool MainController::deviceNameTaken(const TDevice* self, std::string_view name) const {
    // Compared as the device will keep it, cut to its field.
    const std::string section = VarsSectionKey(name.substr(0, kDeviceNameMax));
    const TDeviceList& list = project_->DeviceList();
    for (int32_t d = 0; d < list.Count(); ++d) {
        const TDevice* other = list.Device(d);
        if (other && other != self && VarsSectionKey(other->Name.view()) == section) return true;
    }
    return false;
}

StoreResult MainController::storeDevicePage(TDevice& device) {
    return StoreDeviceControls(devicePage_, device,
                               [&](std::string_view name) { return deviceNameTaken(&device, name); });
}

StoreResult MainController::storeTagPage(TTagOPC& tag) {
    const TDevice* device = currentDevice();
    return StoreTagControls(tagPage_, tag, [&](std::string_view name) {
        return device && tagNameTaken(*device, &tag, name);
    });
}

void MainController::UpdateModemControls() {
    vrt::cfg::UpdateModemControls(devicePage_);
    view_->ModemControlsChanged();
}

void MainController::reportBadNumber(const std::optional<std::string>& text) {
    if (text) ui_.ErrorBox(ConversionErrorText(*text));
}

// A name stored outside typing becomes the one a refusal falls back to. A
// refused name brings back the name the object had before the user began
// to type (typing stores every good name it passes through: "t" on the way
// to a refused "t1"), and the edit shows it again, so the next write-back
// does not refuse the same text once more.
void MainController::refuseTagName(const StoreResult& result) {
    TTagOPC* tag = currentTag();
    if (!result.badName) {
        if (tag) tagNameKept_ = tag->Name.str();
        return;
    }
    if (tag && tag->Name.view() != tagNameKept_) {
        tag->Name.assign(tagNameKept_);
        if (TagNode) tree_.SetText(TagNode, TagNodeText(*tag));
    }
    if (tag) tagPage_.name = tag->Name.str();
    view_->TagPageFilled();
    ui_.ErrorBox(*result.badName);
}

void MainController::refuseDeviceName(const StoreResult& result) {
    TDevice* device = currentDevice();
    if (!result.badName) {
        if (device) deviceNameKept_ = device->Name.str();
        return;
    }
    if (device && device->Name.view() != deviceNameKept_) {
        device->Name.assign(deviceNameKept_);
        if (DeviceNode) tree_.SetText(DeviceNode, DeviceNodeText(*device));
    }
    if (device) devicePage_.name = device->Name.str();
    view_->DevicePageFilled();
    ui_.ErrorBox(*result.badName);
}

void MainController::ApplyDevicePage(bool typing) {
    TDevice* device = currentDevice();
    if (!device || writingBack_) return;
    writingBack_ = true;
    ProjectModified = true;
    const StoreResult result = storeDevicePage(*device);
    if (DeviceNode) tree_.SetText(DeviceNode, DeviceNodeText(*device));
    reportBadNumber(result.badNumber);
    if (!typing || (result.badName && !result.badNameMayWait)) refuseDeviceName(result);
    writingBack_ = false;
}

void MainController::ApplyTagPage(bool typing) {
    TTagOPC* tag = currentTag();
    if (!tag || writingBack_) return;
    ProjectModified = true;
    const StoreResult result = storeTagPage(*tag);
    if (TagNode) {
        tree_.SetText(TagNode, TagNodeText(*tag));
        tree_.SetImages(TagNode, TagImage(*tag), TagImage(*tag));
    }
    if (!typing || (result.badName && !result.badNameMayWait)) refuseTagName(result);
}

void MainController::RefPribExecute() {
    if (!Filling) ApplyDevicePage();
}

void MainController::RefTagExecute() {
    if (!Filling) ApplyTagPage();
}

void MainController::TabSheet4Show() {
    projectPage_.name = project_->ProjectName;
    projectPage_.description = project_->Description;
    view_->ProjectPageFilled();
}

void MainController::StoreProjectInfo() {
    // An edited name or description is a change like any other, so the
    // prompts keep it from being dropped unsaved.
    if (project_->ProjectName != projectPage_.name || project_->Description != projectPage_.description)
        ProjectModified = true;
    project_->ProjectName = projectPage_.name;
    project_->Description = projectPage_.description;
}

void MainController::commitPages(bool forCommand) {
    if (TDevice* device = currentDevice()) {
        const StoreResult result = storeDevicePage(*device);
        if (result.changed) ProjectModified = true;
        if (forCommand && DeviceNode) tree_.SetText(DeviceNode, DeviceNodeText(*device));
        reportBadNumber(result.badNumber);
        refuseDeviceName(result);
    }
    if (TTagOPC* tag = currentTag()) {
        const StoreResult result = storeTagPage(*tag);
        if (result.changed) ProjectModified = true;
        if (forCommand && TagNode) {
            tree_.SetText(TagNode, TagNodeText(*tag));
            tree_.SetImages(TagNode, TagImage(*tag), TagImage(*tag));
        }
        refuseTagName(result);
    }
    if (forCommand) StoreProjectInfo();
}

}  // namespace vrt::cfg
