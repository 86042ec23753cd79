#include "link/dlgset/dialog_state.h"

namespace vrt::link {

DialogState dialogState;

}  // namespace vrt::link
