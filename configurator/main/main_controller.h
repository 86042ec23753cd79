#pragma once
// The main window's logic without Qt: the window state, the device tree and
// its synchronisation with the project, the selection handler, the rule that
// enables commands and pages, the pages' fill and write-back, the project
// commands and the tag import. TzMainForm binds it to widgets.
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "expdll/ventix_binding.h"
#include "hardwarerw/project_model.h"
#include "main/main_ui.h"
#include "main/node_tree.h"
#include "main/pages.h"
#include "vbdll/link_binding.h"

namespace vrt::cfg {

class MainController {
public:
    // `link` binds vrtCLNK at every project construction and `ventix` loads
    // OPCVentix at start; either may be null (no binding, no import).
    MainController(MainUi& ui, LinkBinding* link, VentixBinding* ventix);
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    void SetView(MainView* view) { view_ = view ? view : &noView_; }

    // Start-up of the window: the open dialog's folder, OPCVentix, the
    // project (which binds vrtCLNK), the empty tree and the command states.
    void FormCreate(const std::string& exeFileName);

    // --- Window state -----------------------------------------------------
    bool ProjectOpen = false;
    bool ProjectModified = false;
    bool Filling = false;
    TDeviceCell* CurrentDevice = nullptr;
    TTagCell* CurrentTag = nullptr;
    TreeNode* SelectedNode = nullptr;
    TreeNode* DeviceNode = nullptr;
    TreeNode* TagNode = nullptr;
    std::string ProjectFileName;  // file system bytes
    std::string PrgFileName;      // file system bytes

    TVrtNet& Project() { return *project_; }
    NodeTree& Tree() { return tree_; }
    const UiState& Ui() const { return ui_state_; }
    Page CurrentPage() const { return page_; }
    DevicePage& DevicePageValues() { return devicePage_; }
    TagPage& TagPageValues() { return tagPage_; }
    ProjectPage& ProjectPageValues() { return projectPage_; }
    const std::string& OpenDialogFolder() const { return openFolder_; }
    // Every line appended to the "Инфо" log since start, initial lines first.
    const std::vector<std::string>& LogLines() const { return log_; }
    static const std::vector<std::string>& InitialLogLines();

    // --- Tree -------------------------------------------------------------
    void AddDeviceNode(TDeviceCell* cell);
    void RebuildTree();
    // Mode 0 brings every node in line, mode 1 only appends what is missing.
    void SyncDeviceNodes(int mode);
    void SyncTagNodes(TDeviceCell* cell, TreeNode* node, int mode);
    // The selection handler; the tree runs it on every change of selection.
    void TreeView1Change(TreeNode* node);
    void UpdateUiState();
    // The user picked a tab.
    void PageShown(Page page);

    // --- Pages ------------------------------------------------------------
    void FillDevicePage();
    void FillTagPage();
    void StoreDevicePage();
    void StoreTagPage();
    void UpdateModemControls();
    void UseModemCBoxClick() { UpdateModemControls(); }
    // `typing`: the write-back of a change in a name edit or of a key in it,
    // which keeps a name out of the model without telling it while typing
    // may still make it good (StoreResult::badNameMayWait).
    void ApplyDevicePage(bool typing = false);
    void ApplyTagPage(bool typing = false);
    void RefPribExecute();
    void RefTagExecute();
    void DeviceNameTyped() {
        if (!Filling) ApplyDevicePage(true);
    }
    void TagNameTyped() {
        if (!Filling) ApplyTagPage(true);
    }
    void _TagNameKeyPress() { TagNameTyped(); }
    void TabSheet4Show();
    void StoreProjectInfo();

    // --- Commands ---------------------------------------------------------
    void _NewExecute();
    // The open action: the save prompt, its dialog, then the handler below.
    void FileOpenExecute();
    void FileOpen1OpenDialogCanClose(const std::string& fileName);
    // True when the project was written.
    bool SaveExecute();
    bool FileSaveAs1Execute();
    bool FileSaveAs1SaveDialogCanClose(const std::string& fileName);
    // True when the window may close.
    bool FormCloseQuery();
    void AddDeviceExecute();
    void DeleteDeviceExecute();
    void AddTagExecute();
    void DeleteTagExecute();
    void UpTagExecute();
    void DownTagExecute();
    void _ImportPRJExecute();
    void ClearProject();

private:
    TDevice* currentDevice() const { return CurrentDevice ? *CurrentDevice : nullptr; }
    TTagOPC* currentTag() const { return CurrentTag ? *CurrentTag : nullptr; }
    void appendLog(const std::string& line);
    void bringToFront(Page page);
    void nodeDeleted(TreeNode* node);
    void reportBadNumber(const std::optional<std::string>& text);
    void refuseTagName(const StoreResult& result);
    void refuseDeviceName(const StoreResult& result);
    // True when a tag of `device`'s variables section other than `self`
    // (its own tags, or those of a device that shares the section) has a
    // name the file would take for `name`.
    bool tagNameTaken(const TDevice& device, const TTagOPC* self, std::string_view name) const;
    // The keys of the tags of `device`'s variables section, leaving out the
    // device's own tags from index `from` on.
    std::unordered_set<std::string> sectionTagKeys(const TDevice& device, int32_t from) const;
    StoreResult storeTagPage(TTagOPC& tag);
    // True when a device other than `self` has a name whose sections the
    // file takes for those of `name`: the two would share settings and tags.
    bool deviceNameTaken(const TDevice* self, std::string_view name) const;
    StoreResult storeDevicePage(TDevice& device);
    // Stores both pages into the objects they show; marks the project
    // modified when that changed anything. Before a command it also refreshes
    // the two nodes and stores the project page; the selection handler's
    // write-back does neither.
    void commitPages(bool forCommand);
    // Commits the pages, then asks the save prompt when there are unsaved
    // changes. True when the caller may go on and drop the project.
    bool confirmDiscard();
    bool writeProject(const std::string& fileName);
    void moveTag(int step);

    MainUi& ui_;
    MainView noView_;
    MainView* view_ = &noView_;
    LinkBinding* link_;
    VentixBinding* ventix_;
    std::string exeFileName_;
    std::string openFolder_;
    std::unique_ptr<TVrtNet> project_;
    NodeTree tree_;
    UiState ui_state_;
    Page page_ = Page::Info;
    DevicePage devicePage_;
    TagPage tagPage_;
    ProjectPage projectPage_;
    bool wRepNumDisabled_ = false;
    bool writingBack_ = false;
    // The names a refused device or tag name falls back to.
    std::string deviceNameKept_, tagNameKept_;
    std::vector<std::string> log_;
};

}  // namespace vrt::cfg
