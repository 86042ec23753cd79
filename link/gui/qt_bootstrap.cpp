#include "gui/qt_bootstrap.h"
#include "gui/qt_catalogue.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// A connection of our own to the X server, held from the display check until
// Qt has its own: an X server resets when its last client leaves, and Qt's
// connection made during that reset is refused, which Qt answers by ending
// the process.
class XProbe {
public:
    // Asks libxcb itself (loaded at run time, as Qt's xcb plugin would)
    // whether the X server in DISPLAY accepts us; keeps the connection.
    bool open() {
        release();
        if (env("DISPLAY").empty()) return false;
        lib_ = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!lib_) return false;
        using Connect = void* (*)(const char*, int*);
        using HasError = int (*)(void*);
        auto connect = reinterpret_cast<Connect>(dlsym(lib_, "xcb_connect"));
        auto hasError = reinterpret_cast<HasError>(dlsym(lib_, "xcb_connection_has_error"));
        disconnect_ = reinterpret_cast<Disconnect>(dlsym(lib_, "xcb_disconnect"));
        if (connect && hasError && disconnect_) {
            connection_ = connect(nullptr, nullptr);
            if (connection_ && hasError(connection_) == 0) return true;
        }
        release();
        return false;
    }
    void release() {
        if (connection_ && disconnect_) disconnect_(connection_);
        connection_ = nullptr;
        disconnect_ = nullptr;
        if (lib_) dlclose(lib_);
        lib_ = nullptr;
    }

private:
    using Disconnect = void (*)(void*);
    void* lib_ = nullptr;
    void* connection_ = nullptr;
    Disconnect disconnect_ = nullptr;
};

// Plain data: no destructor runs at exit.
XProbe g_xProbe;

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

// Plugins such as eglfs, linuxfb or vkkhrdisplay load even where their
// device is missing, and then end the process inside Qt. Whether one starts
// is asked of a child process: it starts the plugin as we would and answers
// by its exit. A child that fails, hangs (a lock held by another of the
// host's threads at the fork) or cannot be made counts as no display.
bool startsInChild(const std::string& entry) {
    constexpr int kProbeLimitMs = 5000;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setenv("QT_QPA_PLATFORM", entry.c_str(), 1);
        int argc = 1;
        char name[] = "vrtCLNK";
        char* argv[] = {name, nullptr};
        QGuiApplication probe(argc, argv);
        ::_exit(QGuiApplication::primaryScreen() != nullptr ? 0 : 1);
    }
    int status = 0;
    for (int waited = 0; waited < kProbeLimitMs; waited += 10) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0) return false;  // reaped by a handler of the host: unknown
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

// What Qt makes of one entry of QT_QPA_PLATFORM ("name" or "name:options"):
// it goes on to the next entry when the plugin is missing or its server does
// not answer; any other plugin it starts, and a failure then ends the process.
enum class Entry { Usable, Skipped, Fatal };

Entry entryVerdict(const std::string& entry) {
    const std::string name = entry.substr(0, entry.find(':'));
    if (name.empty() || !pluginInstalled(name)) return Entry::Skipped;
    if (name == "offscreen" || name == "minimal") return Entry::Usable;
    if (name == "xcb") return g_xProbe.open() ? Entry::Usable : Entry::Skipped;
    if (name.rfind("wayland", 0) == 0) return waylandUsable() ? Entry::Usable : Entry::Skipped;
    // Starts, but draws Vulkan surfaces only: no widget window can be shown.
    if (name == "vkkhrdisplay") return Entry::Fatal;
    // The answer stays for the process: the library asks until it has an application.
    static auto* known = new std::map<std::string, bool>;
    const auto [at, isNew] = known->try_emplace(entry, false);
    if (isNew) at->second = startsInChild(entry);
    return at->second ? Entry::Usable : Entry::Fatal;
}

// Qt tries a ';'-separated list of plugins in order.
bool anyUsable(const std::string& list) {
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find(';', start), list.size());
        switch (entryVerdict(list.substr(start, end - start))) {
            case Entry::Usable: return true;
            case Entry::Fatal: return false;
            case Entry::Skipped: break;
        }
        start = end + 1;
    }
    return false;
}

bool onMainThread() { return ::syscall(SYS_gettid) == ::getpid(); }

// The display check; an X connection it made stays open (g_xProbe).
bool DisplayUsableHeld() {
    const std::string platform = env("QT_QPA_PLATFORM");
    if (!platform.empty()) return anyUsable(platform);
    // Qt's own choice: xcb, with wayland first in a Wayland session.
    return anyUsable(env("XDG_SESSION_TYPE") == "wayland" ? "wayland;xcb" : "xcb");
}

// The application we create is never destroyed, so Qt must stay loaded when
// the host unloads this library: unloaded, Qt would tear down its globals
// under a live application.
void PinQt() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&QApplication::staticMetaObject), &info) == 0 || !info.dli_fname) return;
    // RTLD_NOLOAD only marks the loaded library; the reference it takes is never dropped.
    (void)dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

bool DisplayUsable() {
    const bool usable = DisplayUsableHeld();
    g_xProbe.release();
    return usable;
}

bool OnWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app ? app->thread() == QThread::currentThread() : onMainThread();
}

bool EnsureApplication() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app) {
        // A QCoreApplication or QGuiApplication host cannot carry widgets, and
        // widgets live only on the application's own thread.
        if (!qobject_cast<QApplication*>(app)) return false;
        return app->thread() == QThread::currentThread();
    }
    // Only the main thread may create the application, and only it touches
    // the probe: another thread's release would close the X connection the
    // main thread's check is using.
    if (!onMainThread()) return false;
    if (!DisplayUsableHeld()) {
        g_xProbe.release();
        return false;
    }
    // Lives until the process ends: the host may keep using it, and Qt's
    // windows may outlive any one call of the library.
    new QApplication(g_argc, g_argv);
    g_xProbe.release();
    PinQt();
    LoadQtCatalogue();
    return true;
}

}  // namespace vrt::link::gui
