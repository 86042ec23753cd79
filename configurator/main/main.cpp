// The program block of VortanOPCCfg: the protocol registry, the main window
// and the message loop.
#include <QApplication>
#include <QScreen>

#include "expdll/ventix_binding.h"
#include "main/main_window.h"
#include "main/qt_dialogs.h"
#include "platform/module.h"
#include "protocol/protocol.h"
#include "protocol/vrtbus_protocol.h"
#include "vbdll/link_binding.h"

int main(int argc, char** argv) {
    using namespace vrt::cfg;
    QApplication app(argc, argv);
    InstallQtCatalogue();
    QtMessageSink messages;
    SetMessageSink(&messages);
    CreateProtocolRegistry();
    RegisterVrtBusProtocol();

    int code = 1;
    {
        QtMainUi ui;
        TzMainForm window(ui, &LinkLibrary(), &VentixLibrary(), vrt::platform::hostPath());
        ui.SetParent(&window);
        // Without the link library the program ends after its message.
        if (!messages.QuitRequested()) {
            if (const QScreen* screen = window.screen())
                window.move(screen->availableGeometry().center() - window.rect().center());
            window.show();
            code = app.exec();
        }
    }
    FreeProtocolRegistry();
    SetMessageSink(nullptr);
    return code;
}
