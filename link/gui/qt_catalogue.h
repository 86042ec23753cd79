#pragma once
// Qt's own Russian texts (standard buttons, file dialogs) for an application
// the library created itself. A host's application is never given a
// translator: its language is the host's choice.

namespace vrt::link::gui {

// Installs Qt's catalogue "qtbase_ru" from Qt's translations folder into the
// running application, once. False when there is no application or the
// catalogue is not installed (Qt then keeps its English texts).
bool LoadQtCatalogue();

}  // namespace vrt::link::gui
