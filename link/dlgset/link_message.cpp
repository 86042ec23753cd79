#include "link/dlgset/link_message.h"

#include <unistd.h>

#include "platform/cp1251.h"
#include "vrtclnk.h"

namespace vrt::link {

using namespace vrt::literals;

std::string LinkMessageText(int32_t textCode) {
    if (textCode < 0) {
        const char* text = _vrtCL_fErr2str(textCode);
        return text ? text : "";
    }
    switch (textCode) {
        case kTextPortClosed: return "Порт закрыт!\nНадо открыть."_cp;
        case kTextPortNotMine: return "ПОРТ УЖЕ ОТКРЫТ!\nЯ его не открывал в режиме теста."_cp;
        case kTextDeviceWorking:
            return "Обнаружено работающее устройство!\nВыполнение операции может привести\nк сбою в работе устройства."_cp;
        default: return "";
    }
}

std::string ComposeLinkMessage(int32_t port, int32_t textCode, const char* title, const char* question) {
    std::string body;
    if (port >= 0) body += "[COM" + std::to_string(int64_t(port) + 1) + "] ";
    if (title && *title) body.append(title).append("\n");
    const std::string text = LinkMessageText(textCode);
    if (!text.empty()) body.append(text).append("\n");
    if (question) body += question;
    // The box's buffer holds 699 characters; anything longer is cut, not overrun.
    if (body.size() > kMsgBodyMax) body.resize(kMsgBodyMax);
    return body;
}

std::string LinkButtonText(LinkButton button) {
    switch (button) {
        case LinkButton::Yes: return "Да"_cp;
        case LinkButton::No: return "Нет"_cp;
        case LinkButton::Cancel: return "Отмена"_cp;
        case LinkButton::Ok: break;
    }
    return "ОК"_cp;
}

std::string MissingHelpFileMessage(const std::string& path) {
    return std::string("Не найден файл справки"_cp) + "\n" + cp1251::fromUtf8(path);
}

bool CheckHelpFile(const std::string& path) {
    if (::access(path.c_str(), R_OK) == 0) return true;
    const std::string text = MissingHelpFileMessage(path);
    ShowLinkMessage(kMsgOk, kIconWarning, -1, kTextNone, nullptr, text.c_str());
    return false;
}

int32_t IsAnyPortOpen() {
    for (int32_t port = 0; port < VRT_PORT_COUNT; ++port)
        if (const int32_t open = _vrtCL_fIsOpen(port); open != 0) return open;
    return 0;
}

}  // namespace vrt::link
