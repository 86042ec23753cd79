#pragma once
// What the main window's logic needs from the screen. MainUi asks the user
// (prompts, input box, file dialogs, error boxes): the program answers with Qt
// dialogs, tests answer in code. MainView is told what to show again.
// Texts are Windows-1251; file names are the file system's own bytes.
#include <optional>
#include <string>
#include <string_view>

namespace vrt::cfg {

enum class SaveAnswer { Yes, No, Cancel };

// The pages of the page control, in tab order.
enum class Page { Device, Tag, Project, Info };

class MainUi {
public:
    virtual ~MainUi() = default;
    // The save prompt: Yes, No and Cancel; closing the box is Cancel.
    virtual SaveAnswer AskSave(std::string_view text) = 0;
    // The input box; nullopt when cancelled.
    virtual std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                                  std::string_view initial) = 0;
    // The open dialog for ".tag" files, starting in `folder`.
    virtual std::optional<std::string> ChooseTagFileToOpen(const std::string& folder) = 0;
    // The save-as dialog for ".tag" files, starting in `folder` (the
    // project's; empty for a project never saved).
    virtual std::optional<std::string> ChooseTagFileToSave(const std::string& folder) = 0;
    // The import's dialog for ".prg" files.
    virtual std::optional<std::string> ChoosePrgFile() = 0;
    // The error box for failures the user must see (a value that is not a
    // number, a file that could not be written).
    virtual void ErrorBox(std::string_view text) = 0;
};

// Which tabs and commands are usable. It persists: a rule that leaves an
// item alone keeps its last state.
struct UiState {
    bool deviceMenusMerged = false;  // "Прибор" and "Тэги" in the menu bar
    bool newEnabled = true;
    bool openEnabled = true;
    bool saveEnabled = false;
    bool saveAsEnabled = false;
    bool importEnabled = false;
    bool addDeviceEnabled = false;
    bool deleteDeviceEnabled = false;
    bool addTagEnabled = false;
    bool deleteTagEnabled = false;
    bool upTagEnabled = false;
    bool downTagEnabled = false;
    bool deviceTabVisible = false;
    bool deviceTabEnabled = false;
    bool tagTabVisible = false;
    bool tagTabEnabled = false;
    bool projectTabVisible = false;
    bool infoTabVisible = true;

    bool operator==(const UiState&) const = default;
};

class MainView {
public:
    virtual ~MainView() = default;
    virtual void DevicePageFilled() {}
    virtual void ModemControlsChanged() {}
    virtual void TagPageFilled() {}
    virtual void ProjectPageFilled() {}
    virtual void UiStateChanged() {}
    virtual void ShowPage(Page) {}
    virtual void AppendLog(std::string_view) {}
    virtual void FocusTree() {}
};

}  // namespace vrt::cfg
