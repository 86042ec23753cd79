#include "vrtabout/about_box.h"

#include <QIcon>

#include "gui/qt_bootstrap.h"
#include "platform/module.h"
#include "vrtabout/about_controller.h"
#include "vrtabout/about_form.h"
#include "vrtclnk.h"

VRT_API void* _FrmAbout = nullptr;

namespace vrt::link {

AboutHandOverSlots AboutHandOver;

namespace {

std::optional<std::string> textOf(const char* text) {
    if (!text) return std::nullopt;
    return std::string(text);
}

// The box's own window icon (a caller may hand over another).
QIcon ownIcon() {
    QPixmap pm(16, 16);
    pm.fill(QColor(0, 96, 160));
    return QIcon(pm);
}

}  // namespace

void ShowAbout(const char* product, const char* version, const char* description, const char* authorLine) {
    // The texts, the flags and _FrmAbout exist once: a second box while one
    // is shown (from a handler of the host) is refused.
    static bool showing = false;
    if (showing || _FrmAbout) return;
    if (!gui::EnsureApplication()) return;
    showing = true;

    // Copies: the caller's texts need not outlive this call's first message.
    AboutTexts texts{textOf(product), textOf(version), textOf(description), textOf(authorLine)};
    const std::string hintPath = platform::nameText(AboutHandOver.path ? *AboutHandOver.path : platform::hostPath());

    AboutController controller;
    {
        TFrmAbout box(controller);
        _FrmAbout = &box;
        controller.start(std::move(texts), hintPath);
        box.setWindowIcon(AboutHandOver.icon ? *AboutHandOver.icon : ownIcon());
        box.render();
        box.exec();
        controller.stop();
        box.render();
        _FrmAbout = nullptr;
    }
    showing = false;
}

}  // namespace vrt::link

extern "C" VRT_API void _vrt_about(const char* product, const char* version, const char* description,
                                   const char* authorLine) {
    vrt::link::ShowAbout(product, version, description, authorLine);
}
