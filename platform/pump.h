#pragma once
// Processing the calling thread's pending window messages during the link
// library's waits. The Qt layer installs the hook once a QApplication lives on
// the calling thread; until then processing messages does nothing.

namespace vrt::platform {

using PumpHook = void (*)();

// Processes pending messages once through the installed hook, if any.
void processMessages();
// Installs the hook (null removes it); returns the previous one.
PumpHook setPumpHook(PumpHook hook);

}  // namespace vrt::platform
