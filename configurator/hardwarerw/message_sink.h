#pragma once
// Where the configurator's core sends what it tells the user. The main window
// binds it to real message boxes; tests bind a recorder. Texts are
// Windows-1251.
#include <string_view>

namespace vrt::cfg {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // An error box owned by the application window, with the error icon.
    virtual void errorBox(std::string_view text, std::string_view caption) = 0;
    // The platform's simple message box: application title, one OK button.
    virtual void messageBox(std::string_view text) = 0;
    // Asks the application to end once its message loop runs again.
    virtual void requestQuit() = 0;
};

// The sink in force; by default one that writes to stderr.
MessageSink& Messages();
// Installs `sink` (nullptr restores the default); returns the previous one.
MessageSink* SetMessageSink(MessageSink* sink);

}  // namespace vrt::cfg
