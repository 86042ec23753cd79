// The commands that change the project as a whole or its structure.
#include "hardwarerw/tag_file.h"
#include "main/default_name.h"
#include "main/main_controller.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;

// File names are the file system's bytes (UTF-8); the log holds Windows-1251.
std::string LogName(const std::string& fileName) { return cp1251::fromUtf8(fileName); }

bool HasExtension(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t dot = fileName.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

void MainController::ClearProject() {
    project_->Create();
    project_->DeviceList().Clear();
    CurrentDevice = nullptr;
    CurrentTag = nullptr;
}

bool MainController::confirmDiscard() {
    commitPages(true);
    if (!ProjectModified) return true;
    const std::string text = "Сохранить изменения "_cp + projectPage_.name + " ?";
    switch (ui_.AskSave(text)) {
        case SaveAnswer::Cancel:
            return false;
        case SaveAnswer::No:
            return true;
        case SaveAnswer::Yes:
            // Changes that could not be saved are never dropped.
            return SaveExecute();
    }
    return false;
}

void MainController::_NewExecute() {
    if (!confirmDiscard()) return;
    appendLog("Создан новый проект."_cp);
    ProjectFileName.clear();
    ClearProject();
    ProjectModified = true;
    ProjectOpen = true;
    RebuildTree();
    CurrentDevice = nullptr;
    UpdateUiState();
    bringToFront(Page::Project);
    TabSheet4Show();
}

void MainController::FileOpenExecute() {
    if (!confirmDiscard()) return;
    const std::optional<std::string> name = ui_.ChooseTagFileToOpen(openFolder_);
    if (name) FileOpen1OpenDialogCanClose(*name);
}

void MainController::FileOpen1OpenDialogCanClose(const std::string& fileName) {
    ClearProject();
    project_->DeviceList().Clear();
    std::vector<SkippedTag> skipped;
    std::string restored;
    LoadTagFile(*project_, fileName, &skipped, &restored);
    ProjectFileName = fileName;
    appendLog("Открыт файл "_cp + LogName(fileName));
    if (!restored.empty()) appendLog("Незаконченное сохранение отменено, восстановлено из "_cp + LogName(restored));
    // A tag value that cannot be read is left out; say which, since saving
    // the project writes its variables section without it.
    for (const SkippedTag& s : skipped)
        appendLog("Тэг не прочитан, неверное значение: "_cp + s.device + "." + s.tag + "=" + s.value);
    ProjectOpen = true;
    ProjectModified = false;  // the project is what the file holds
    RebuildTree();
    CurrentDevice = nullptr;
    CurrentTag = nullptr;
    UpdateUiState();
    TabSheet4Show();  // the project page shows the opened project, not the last one
}

bool MainController::writeProject(const std::string& fileName) {
    try {
        SaveTagFile(*project_, fileName);
        return true;
    } catch (const std::exception& e) {
        // The file keeps what it held: it is replaced only by a complete write.
        ui_.ErrorBox(cp1251::fromUtf8(e.what()));
        return false;
    }
}

bool MainController::SaveExecute() {
    commitPages(true);
    if (!ProjectFileName.empty()) {
        if (!writeProject(ProjectFileName)) return false;
    } else if (!FileSaveAs1Execute()) {
        return false;
    }
    appendLog("Сохранен файл :"_cp + LogName(ProjectFileName));
    ProjectModified = false;
    return true;
}

bool MainController::FileSaveAs1Execute() {
    const size_t slash = ProjectFileName.rfind('/');
    const std::optional<std::string> name =
        ui_.ChooseTagFileToSave(slash == std::string::npos ? std::string() : ProjectFileName.substr(0, slash + 1));
    return name && FileSaveAs1SaveDialogCanClose(*name);
}

bool MainController::FileSaveAs1SaveDialogCanClose(const std::string& fileName) {
    commitPages(true);
    std::string name = fileName;
    if (!HasExtension(name)) name += ".tag";
    ProjectFileName = name;
    if (!writeProject(name)) return false;
    ProjectModified = false;
    appendLog("Сохранен файл :"_cp + LogName(ProjectFileName));
    return true;
}

bool MainController::FormCloseQuery() { return confirmDiscard(); }

void MainController::AddDeviceExecute() {
    TDeviceList& list = project_->DeviceList();
    // The proposal is never a name another device's sections answer to: the
    // number is looked for without regard to case, as the file compares.
    std::vector<std::string> names;
    for (int32_t i = 0; i < list.Count(); ++i)
        if (list.Device(i)) names.push_back(cp1251::upper(list.Device(i)->Name.view()));
    const std::string prefix = "Прибор №"_cp;
    const std::optional<std::string> name = ui_.InputQuery(
        "Введите Имя прибора"_cp, "", prefix + std::to_string(DefaultNameNumber(cp1251::upper(prefix), names)));
    const std::string deviceName = name ? CleanDeviceName(*name) : std::string();
    std::optional<std::string> refusal = name ? DeviceNameRefusal(deviceName) : std::nullopt;
    if (name && !refusal && deviceNameTaken(nullptr, deviceName)) refusal = TakenDeviceNameRefusal(deviceName);
    if (refusal) ui_.ErrorBox(*refusal);
    if (name && !refusal) {
        auto device = std::make_unique<TDevice>();
        device->Name.assign(deviceName);
        SetDeviceDefaults(*device);
        InsertDevice(list, NewDeviceCell(device.get()));
        device.release();
        SyncDeviceNodes(1);
    }
    UpdateUiState();
}

void MainController::DeleteDeviceExecute() {
    if (!CurrentDevice || !SelectedNode || SelectedNode->Level() != 0) return;
    TDeviceList& list = project_->DeviceList();
    const int i = SelectedNode->Index();
    list.Delete(i);
    // The tree moves its selection to the node now at i (else the last one),
    // and the selection handler runs for it.
    tree_.Delete(SelectedNode);
    if (!tree_.Empty()) SyncDeviceNodes(0);
    // Deleting the only device is a change too: the file still holds it.
    ProjectModified = true;
    if (list.Count() == 0)
        CurrentDevice = nullptr;
    else
        CurrentDevice = list.Cell(i < list.Count() ? i : list.Count() - 1);
    view_->FocusTree();
    UpdateUiState();
}

void MainController::AddTagExecute() {
    TDevice* device = currentDevice();
    if (!device) return;
    // The proposal is never a name the section holds: the number is looked
    // for in the tags' keys, as the file compares them.
    const std::unordered_set<std::string> keys = sectionTagKeys(*device, device->TagCount());
    const std::string prefix = "Тэг №"_cp;
    const uint32_t n = DefaultNameNumber(cp1251::upper(prefix), std::vector<std::string>(keys.begin(), keys.end()));
    const std::optional<std::string> name = ui_.InputQuery(
        "Введите Имя переменной"_cp, "Добавить в "_cp + device->Name.str(), prefix + std::to_string(n));
    if (!name) return;
    const std::string tagName = CleanTagName(*name);
    std::optional<std::string> refusal = TagNameRefusal(tagName);
    if (!refusal && tagNameTaken(*device, nullptr, tagName)) refusal = TakenTagNameRefusal(tagName);
    if (refusal) {
        ui_.ErrorBox(*refusal);
        return;
    }
    TTagOPC* tag = NewTag();
    tag->Name.assign(tagName);
    tag->RW = 0;
    tag->VarType = 'L';
    tag->NumVar = 0;
    device->AddTag(NewTagCell(tag));
    RenumberTags(*device);
    SyncTagNodes(CurrentDevice, DeviceNode, 1);
}

void MainController::DeleteTagExecute() {
    TDevice* device = currentDevice();
    if (!device || !SelectedNode || SelectedNode->Level() != 1) return;
    TreeNode* selected = SelectedNode;
    DeviceNode = selected->Parent();
    // The selected tag's entry, found by its cell so that a stale index can
    // never remove another tag.
    const auto* cell = static_cast<TTagCell*>(selected->Data());
    int index = -1;
    for (int32_t i = 0; i < device->TagCount(); ++i)
        if (device->TagCell(i) == cell) index = i;
    if (index < 0) return;
    device->DeleteTag(index);
    RenumberTags(*device);
    SyncTagNodes(CurrentDevice, DeviceNode, 0);
    // When the selected node stays, it now shows the next tag: make that the
    // current one, so the tag page and its write-back never act on the
    // removed tag through a node that shows another.
    if (SelectedNode == selected && tree_.Selected() == selected && selected->Data() != CurrentTag) {
        CurrentTag = nullptr;
        TreeView1Change(selected);
    }
}

void MainController::moveTag(int step) {
    TDevice* device = currentDevice();
    if (!device) return;
    RenumberTags(*device);
    TreeNode* selected = tree_.Selected();
    TTagOPC* tag = currentTag();
    if (!selected || selected->Level() != 1 || !tag) return;
    const int index = tag->Index;
    // The current tag must really stand at its index in this device.
    if (device->TagCell(index) != CurrentTag) return;
    if (step < 0 ? index <= 0 : index >= device->TagCount() - 1) return;
    DeviceNode = selected->Parent();
    if (step < 0) {
        device->InsertTag(index - 1, CurrentTag);
        device->DeleteTag(index + 1);
    } else {
        device->InsertTag(index + 2, CurrentTag);
        device->DeleteTag(index);
    }
    RenumberTags(*device);
    SyncTagNodes(CurrentDevice, DeviceNode, 0);
    view_->FocusTree();
    if (TreeNode* target = DeviceNode ? DeviceNode->Child(selected->Index() + step) : nullptr) tree_.Select(target);
}

void MainController::UpTagExecute() { moveTag(-1); }
void MainController::DownTagExecute() { moveTag(+1); }

}  // namespace vrt::cfg
