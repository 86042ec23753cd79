#include "gui/qt_bootstrap.h"
#include "gui/qt_catalogue.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QThread>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>
#include <algorithm>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/pump.h"

namespace vrt::link::gui {
namespace {

// Arguments of the library's own application object; Qt keeps the pointers.
int g_argc = 1;
char g_arg0[] = "vrtCLNK";
char* g_argv[] = {g_arg0, nullptr};

// Qt's processEvents, only on the thread that owns the application: waits of
// the library keep the host's windows (and the library's own) alive.
void pumpQt() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread()) QCoreApplication::processEvents();
}

// Installed at load so a host's own application is served from the first wait.
[[maybe_unused]] const bool g_pumpInstalled = [] {
    platform::setPumpHook(&pumpQt);
    return true;
}();

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool connectUnix(const std::string& path, bool abstract) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.empty() || path.size() + offset >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path + offset, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const socklen_t len = socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
    ::close(fd);
    return ok;
}

// Asks libxcb itself (loaded at run time, as Qt's xcb plugin would) whether the
// X server in DISPLAY accepts us: a refused connection is fatal inside Qt.
bool x11Usable() {
    if (env("DISPLAY").empty()) return false;
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return false;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool ok = false;
    if (connect && hasError && disconnect) {
        void* c = connect(nullptr, nullptr);
        ok = c && hasError(c) == 0;
        if (c) disconnect(c);
    }
    dlclose(xcb);
    return ok;
}

bool waylandUsable() {
    std::string name = env("WAYLAND_DISPLAY");
    if (name.empty()) return false;
    if (name[0] != '/') {
        const std::string dir = env("XDG_RUNTIME_DIR");
        if (dir.empty()) return false;
        name = dir + "/" + name;
    }
    return connectUnix(name, false);
}

bool fileExists(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

// Qt ends the process when the plugin it was told to use is not installed.
bool pluginInstalled(const std::string& name) {
    std::vector<std::string> dirs;
    const std::string own = env("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!own.empty()) dirs.push_back(own);
    const std::string paths = env("QT_PLUGIN_PATH");
    for (size_t start = 0; start < paths.size();) {
        const size_t end = std::min(paths.find(':', start), paths.size());
        if (end > start) dirs.push_back(paths.substr(start, end - start) + "/platforms");
        start = end + 1;
    }
    dirs.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
    std::vector<std::string> files = {"libq" + name + ".so"};
    if (name == "wayland") files = {"libqwayland-generic.so", "libqwayland-egl.so"};
    for (const std::string& dir : dirs)
        for (const std::string& file : files)
            if (fileExists(dir + "/" + file)) return true;
    return false;
}

// One plugin name of QT_QPA_PLATFORM ("name" or "name:options").
bool pluginUsable(std::string entry) {
    const size_t colon = entry.find(':');
    if (colon != std::string::npos) entry.resize(colon);
    if (entry.empty() || !pluginInstalled(entry)) return false;
    if (entry == "xcb") return x11Usable();
    if (entry.rfind("wayland", 0) == 0) return waylandUsable();
    return true;  // offscreen, minimal, vnc, linuxfb, eglfs...: no server to ask
}

// Qt tries a ';'-separated list of plugins in order and gives up only when all fail.
bool anyUsable(const std::string& list) {
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find(';', start), list.size());
        if (pluginUsable(list.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

bool onMainThread() { return ::syscall(SYS_gettid) == ::getpid(); }

}  // namespace

bool DisplayUsable() {
    const std::string platform = env("QT_QPA_PLATFORM");
    if (!platform.empty()) return anyUsable(platform);
    // Qt's own choice: xcb, with wayland first in a Wayland session.
    return anyUsable(env("XDG_SESSION_TYPE") == "wayland" ? "wayland;xcb" : "xcb");
}

bool EnsureApplication() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app) {
        // A QCoreApplication or QGuiApplication host cannot carry widgets, and
        // widgets live only on the application's own thread.
        if (!qobject_cast<QApplication*>(app)) return false;
        return app->thread() == QThread::currentThread();
    }
    if (!onMainThread() || !DisplayUsable()) return false;
    // Lives until the process ends: the host may keep using it, and Qt's
    // windows may outlive any one call of the library.
    new QApplication(g_argc, g_argv);
    LoadQtCatalogue();
    return true;
}

}  // namespace vrt::link::gui
