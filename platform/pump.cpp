#include "platform/pump.h"

namespace vrt::platform {
namespace {
PumpHook g_hook = nullptr;
}

void processMessages() {
    if (g_hook) g_hook();
}

PumpHook setPumpHook(PumpHook hook) {
    PumpHook old = g_hook;
    g_hook = hook;
    return old;
}

}  // namespace vrt::platform
