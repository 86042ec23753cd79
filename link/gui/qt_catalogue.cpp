#include "gui/qt_catalogue.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace vrt::link::gui {

bool LoadQtCatalogue() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    // Owned by the application; goes with it.
    static QPointer<QTranslator> installed;
    if (installed) return true;
    auto* translator = new QTranslator(app);
    if (!translator->load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

}  // namespace vrt::link::gui
