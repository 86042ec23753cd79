#include "dialog_test_helpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "link/gui/qt_bootstrap.h"

namespace vrt::link::testhelp {

bool EnsureTestApp() { return gui::EnsureApplication(); }

namespace {
std::vector<QPointer<QTimer>> watchers;
}

void CancelWatchers() {
    for (QPointer<QTimer>& t : watchers)
        if (t) {
            t->stop();
            t->deleteLater();
        }
    watchers.clear();
}

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs) {
    auto timer = new QTimer;
    watchers.emplace_back(timer);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action = std::move(action), timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void AnswerMessageBox(QMessageBox::StandardButton button, std::string* seen, QMessageBox::Icon* icon,
                      QMessageBox::StandardButtons* buttons) {
    WhenModal([=](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) return;
        if (seen) *seen = box->text().toStdString();
        if (icon) *icon = box->icon();
        if (buttons) *buttons = box->standardButtons();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->close();
    });
}

void Spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool InCopyOfSelf() { return std::getenv("VRT_DLG_TEST_COPY") != nullptr; }

int RunCopyOfSelf(const std::string& testName, const std::string& copyName) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/vrt_dlg_XXXXXX";
    if (!::mkdtemp(pattern)) return -1;
    const fs::path folder(pattern);
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const fs::path copy = folder / (copyName.empty() ? self.filename() : fs::path(copyName));
    std::error_code ec;
    fs::create_directories(copy.parent_path(), ec);
    fs::copy_file(self, copy, ec);
    int status = -1;
    if (!ec) {
        const std::string filter = "--gtest_filter=" + testName;
        std::string mark = "VRT_DLG_TEST_COPY=1";
        std::vector<char*> env;
        for (char** e = environ; *e; ++e) env.push_back(*e);
        env.push_back(mark.data());
        env.push_back(nullptr);
        const std::string path = copy.string();
        char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(filter.c_str()), nullptr};
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execve(argv[0], argv, env.data());
            ::_exit(127);
        }
        int ws = 0;
        if (pid > 0 && ::waitpid(pid, &ws, 0) == pid) status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128;
    }
    fs::remove_all(folder, ec);
    return status;
}

}  // namespace vrt::link::testhelp
