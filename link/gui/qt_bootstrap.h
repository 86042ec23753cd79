#pragma once
// The library's windows need a QApplication on the calling thread. A host
// that has one lends it; otherwise the library creates its own on first need,
// but only where a window can really be shown, because Qt ends the process on
// the paths it cannot handle (no display, a non-widget application, a call
// from another thread).

namespace vrt::link::gui {

// True when a QApplication lives on the calling thread, after creating one if
// none exists and a display (or QT_QPA_PLATFORM) is usable. Never aborts.
bool EnsureApplication();

// True on the thread the library's windows live on: the application's own,
// or the program's main thread while there is no application yet.
bool OnWindowThread();

// True when a platform plugin could connect: QT_QPA_PLATFORM names a plugin
// that needs no display server, or the X11 or Wayland server it needs answers.
bool DisplayUsable();

}  // namespace vrt::link::gui
