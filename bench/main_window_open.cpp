// Opening a ".tag" project through the real main window, timed as the user
// waits: from the moment the file is confirmed in the open dialog (the
// dialog then closes) until the window has drawn the filled tree and the
// program is idle again. Projects of 1 000 and 100 000 tags (devices of 500
// tags), each opened into a window that shows no project yet, then opened
// again over the open project of the same size (the old tree is torn down
// first); then Save from the window with 100 000 tags, timed the same way.
// Prints the best of several runs and the per-tag ratios of the two sizes
// (1.0 is linear). Runs offscreen, or on the display QT_QPA_PLATFORM names
// (xcb under scripts/with-xvfb.sh).
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "hardwarerw/message_sink.h"
#include "hardwarerw/tag_file.h"
#include "main/main_window.h"
#include "ui_main_form.h"

namespace {

using namespace vrt::cfg;
using Clock = std::chrono::steady_clock;

constexpr int kTagsPerDevice = 500;

void waitExposed(QWidget& window);

// The open dialog is a real file dialog over the window, showing the
// project's folder; the user confirms the project file in it, which starts
// the wait. Nothing else is asked.
class BenchUi final : public MainUi {
public:
    std::string file;
    QWidget* parent = nullptr;
    Clock::time_point confirmed;

    SaveAnswer AskSave(std::string_view) override { return SaveAnswer::No; }
    std::optional<std::string> InputQuery(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> ChooseTagFileToOpen(const std::string&) override {
        QFileDialog dialog(parent, QString(), QString::fromStdString(std::filesystem::path(file).parent_path()),
                           "tag (*.tag)");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.selectFile(QString::fromStdString(file));
        dialog.show();
        waitExposed(dialog);
        confirmed = Clock::now();
        static_cast<QDialog&>(dialog).done(QDialog::Accepted);  // as its Open button does
        return file;
    }
    std::optional<std::string> ChooseTagFileToSave(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChoosePrgFile() override { return std::nullopt; }
    void ErrorBox(std::string_view text) override {
        std::fprintf(stderr, "error box: %.*s\n", int(text.size()), text.data());
        std::exit(1);
    }
};

// Message boxes of the file reader would stop the run.
class QuietSink final : public MessageSink {
public:
    void errorBox(std::string_view text, std::string_view) override {
        std::fprintf(stderr, "error: %.*s\n", int(text.size()), text.data());
    }
    void messageBox(std::string_view) override {}
    void requestQuit() override {}
};

// Device names of 35 characters, the longest the tree shows in full.
void writeProject(const std::string& file, int tags) {
    TVrtNet project;
    project.ProjectName = "bench";
    for (int d = 0; d * kTagsPerDevice < tags; ++d) {
        auto* device = new TDevice;
        std::string name = "Device " + std::to_string(d) + " ";
        name.resize(35, 'x');
        device->Name.assign(name);
        SetDeviceDefaults(*device);
        for (int t = 0; t < kTagsPerDevice && d * kTagsPerDevice + t < tags; ++t) {
            TTagOPC* tag = NewTag();
            tag->Name.assign("Tag" + std::to_string(t));
            tag->NumVar = t % 256;
            tag->VarType = t % 2 ? 'F' : 'L';
            tag->RW = uint8_t(t % 2);
            device->AddTag(NewTagCell(tag));
        }
        InsertDevice(project.DeviceList(), NewDeviceCell(device));
    }
    SaveTagFile(project, file);
}

// Counts what drawing the window takes, so that waitIdle knows whether a
// pass of the event loop still had drawing to do.
class DrawingCounter final : public QObject {
public:
    int events = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Paint:
            case QEvent::UpdateRequest:
            case QEvent::UpdateLater:
            case QEvent::LayoutRequest:
                ++events;
                break;
            default:
                break;
        }
        return false;
    }
};

DrawingCounter* gDrawing = nullptr;

// Runs the event loop until the program is idle: each pass delivers what is
// posted, handles what else waits and ends when a zero-timer fires; a pass
// that had nothing to draw or lay out is the end.
void waitIdle() {
    for (;;) {
        gDrawing->events = 0;
        QCoreApplication::sendPostedEvents();
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
        if (gDrawing->events == 0) return;
    }
}

// On a display the window must be mapped and exposed before it can draw.
void waitExposed(QWidget& window) {
    for (int i = 0; i < 500 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    if (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        std::fprintf(stderr, "the window was never exposed\n");
        std::exit(1);
    }
    waitIdle();
}

struct Run {
    double open = 1e30;  // seconds, best run
    double reopen = 1e30;
    double save = 1e30;
    double slowestOpen = 0;  // how long a user may wait on a busy machine
    double slowestReopen = 0;
};

// The Open command, timed from the file's confirmation in the dialog until
// the window is drawn and idle; the tree must show every tag.
double openProject(BenchUi& ui, TzMainForm& window, int expectedTags) {
    window.Form().FileOpen->trigger();
    waitIdle();  // the dialog's close, then layout and drawing of the filled tree
    const double seconds = std::chrono::duration<double>(Clock::now() - ui.confirmed).count();
    QTreeWidget* tree = window.Form().TreeView1;
    int shown = 0;
    for (int d = 0; d < tree->topLevelItemCount(); ++d) shown += tree->topLevelItem(d)->childCount();
    if (shown != expectedTags) {
        std::fprintf(stderr, "tree shows %d tags, expected %d\n", shown, expectedTags);
        std::exit(1);
    }
    return seconds;
}

// Each run opens the file in a fresh window that is already on screen, then
// opens it again over the project that window now shows.
Run measure(BenchUi& ui, int runs, bool withSave, int expectedTags) {
    Run best;
    for (int i = 0; i < runs; ++i) {
        auto window = std::make_unique<TzMainForm>(ui, nullptr, nullptr, "/opt/vortan/Cfg/VortanOPCCfg");
        ui.parent = window.get();
        window->resize(949, 588);
        window->show();
        waitExposed(*window);

        const double open = openProject(ui, *window, expectedTags);
        best.open = std::min(best.open, open);
        best.slowestOpen = std::max(best.slowestOpen, open);
        const double reopen = openProject(ui, *window, expectedTags);
        best.reopen = std::min(best.reopen, reopen);
        best.slowestReopen = std::max(best.slowestReopen, reopen);

        if (withSave) {
            const auto start = Clock::now();
            window->Form().Save->trigger();
            waitIdle();  // the log line drawn
            best.save = std::min(best.save, std::chrono::duration<double>(Clock::now() - start).count());
            if (window->Controller().ProjectModified) {
                std::fprintf(stderr, "save failed\n");
                std::exit(1);
            }
        }
        ui.parent = nullptr;
    }
    return best;
}

}  // namespace

// The offscreen platform warns at every window it shows; the table is what counts.
void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString& text) {
    if (!text.contains("propagateSizeHints")) std::fprintf(stderr, "%s\n", qPrintable(text));
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    DrawingCounter drawing;
    gDrawing = &drawing;
    app.installEventFilter(&drawing);
    QuietSink sink;
    SetMessageSink(&sink);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench_main_window_open." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    BenchUi ui;

    ui.file = (folder / "small.tag").string();
    writeProject(ui.file, 1000);
    const Run small = measure(ui, 20, false, 1000);

    ui.file = (folder / "large.tag").string();
    writeProject(ui.file, 100000);
    const Run large = measure(ui, 5, true, 100000);
    std::filesystem::remove_all(folder);
    SetMessageSink(nullptr);

    const double ratio = (large.open / 100000) / (small.open / 1000);
    const double reopenRatio = (large.reopen / 100000) / (small.reopen / 1000);
    std::printf("platform %s; times from the file's confirmation in the open dialog (from the command for\n"
                "the save) until the window is drawn and idle; reopen: the same file over the open project\n",
                qPrintable(QGuiApplication::platformName()));
    std::printf("%8s %12s %14s %12s %14s\n", "tags", "open ms", "open us/tag", "reopen ms", "reopen us/tag");
    for (const auto& [tags, run] : {std::pair{1000, small}, std::pair{100000, large}})
        std::printf("%8d %12.2f %14.3f %12.2f %14.3f\n", tags, run.open * 1e3, run.open * 1e6 / tags,
                    run.reopen * 1e3, run.reopen * 1e6 / tags);
    std::printf("per-tag ratio 100000/1000: open %.2f, reopen %.2f (goal <= 1.5)\n", ratio, reopenRatio);
    std::printf("100000 tags: open %.3f s (goal < 0.5 s; slowest run %.3f s), reopen %.3f s (goal < 0.5 s; "
                "slowest run %.3f s), save from the window %.3f s (goal < 0.5 s)\n",
                large.open, large.slowestOpen, large.reopen, large.slowestReopen, large.save);
    return 0;
}
