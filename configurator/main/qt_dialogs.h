#pragma once
// The program's answers to MainUi and MessageSink: Qt message boxes, the
// input box and file dialogs.
#include <QPointer>
#include <QWidget>

#include "hardwarerw/message_sink.h"
#include "main/main_ui.h"

namespace vrt::cfg {

// Gives the running application Qt's own Russian texts (standard buttons,
// file and input dialogs) from Qt's catalogue "qtbase_ru". False when the
// catalogue is not installed; Qt then keeps its English texts.
bool InstallQtCatalogue();

// Boxes are captioned with the application title, the program's file name
// without extension.
class QtMainUi final : public MainUi {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }

    SaveAnswer AskSave(std::string_view text) override;
    std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                          std::string_view initial) override;
    std::optional<std::string> ChooseTagFileToOpen(const std::string& folder) override;
    std::optional<std::string> ChooseTagFileToSave(const std::string& folder) override;
    std::optional<std::string> ChoosePrgFile() override;
    void ErrorBox(std::string_view text) override;

private:
    QPointer<QWidget> parent_;
};

class QtMessageSink final : public MessageSink {
public:
    void errorBox(std::string_view text, std::string_view caption) override;
    void messageBox(std::string_view text) override;
    // Ends the application with code 1 once its message loop runs.
    void requestQuit() override;
    bool QuitRequested() const { return quitRequested_; }

private:
    bool quitRequested_ = false;
};

}  // namespace vrt::cfg
