#pragma once
// The settings dialog's one message box: a port prefix, a title, a fixed or
// error text and a question, shown modally with the library's caption.
#include <cstdint>
#include <string>

namespace vrt::link {

enum MsgButtons : int32_t {
    kMsgOk = 0,
    kMsgYesNo = 1,
    kMsgYesNoCancel = 2,  // any other value shows OK
};

enum MsgIcon : int32_t {
    kIconNone = 0,
    kIconInformation = 1,
    kIconQuestion = 2,
    kIconWarning = 3,
    kIconError = 4,  // any other value shows no icon
};

// The answer: OK or Yes 0, No (and a box that could not be shown) 1, Cancel 2.
enum MsgAnswer : int32_t {
    kAnswerYes = 0,
    kAnswerNo = 1,
    kAnswerCancel = 2,
};

// Fixed texts selected by a text code (a negative code is a result code).
enum MsgText : int32_t {
    kTextNone = 0,
    kTextPortClosed = 2,      // "Порт закрыт!\nНадо открыть."
    kTextPortNotMine = 3,     // "ПОРТ УЖЕ ОТКРЫТ!\n..."
    kTextDeviceWorking = 4,   // "Обнаружено работающее устройство!\n..."
};

// Longest body the box shows, in characters (the rest is cut).
inline constexpr size_t kMsgBodyMax = 699;

// The Windows-1251 text of a text code; "" for 0 and for unknown codes.
std::string LinkMessageText(int32_t textCode);

// The body as it is shown: "[COMn] " prefix (port >= 0), title + "\n",
// text + "\n", then the question unchanged. Null title/question count as empty.
std::string ComposeLinkMessage(int32_t port, int32_t textCode, const char* title, const char* question);

// The box's own button texts. The library may run inside a host's Qt
// application, whose translators are the host's business, so the texts are
// set on each button instead of coming from Qt's catalogue.
enum class LinkButton { Ok, Yes, No, Cancel };
std::string LinkButtonText(LinkButton button);

// The help viewer's answer to a help file that is not there: one line and
// the file's path (`path` in the file system's own bytes).
std::string MissingHelpFileMessage(const std::string& path);

// When the help file `path` is not readable, says so in the library's box
// and answers false; true when it may be handed to a viewer.
bool CheckHelpFile(const std::string& path);

// Shows the message modally and answers per MsgAnswer. Without a GUI the box
// cannot be shown and the answer is kAnswerNo.
int32_t ShowLinkMessage(int32_t buttons, int32_t icon, int32_t port, int32_t textCode, const char* title,
                        const char* question);

// 1 when any of the four ports is open (the first non-zero _vrtCL_fIsOpen), else 0.
int32_t IsAnyPortOpen();

}  // namespace vrt::link
