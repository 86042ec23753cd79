#pragma once
// The library's windows need a QApplication on the calling thread. A host
// that has one lends it; otherwise the library creates its own on first need,
// but only where a window can really be shown, because Qt ends the process on
// the paths it cannot handle (no display, a platform without its device, a
// non-widget application, a call from another thread).

namespace vrt::link::gui {

// True when a QApplication lives on the calling thread, after creating one if
// none exists and a display (or QT_QPA_PLATFORM) is usable. Never aborts.
bool EnsureApplication();

// True on the thread the library's windows live on: the application's own,
// or the program's main thread while there is no application yet.
bool OnWindowThread();

// True when the platform plugin Qt would take can start: offscreen or
// minimal, an X11 or Wayland server that answers, or another plugin (eglfs,
// linuxfb, vnc...) that started in a child process; false for a plugin that
// is missing or would end the process. Call on the program's main thread.
bool DisplayUsable();

}  // namespace vrt::link::gui
