// (Built as its own binary, run on a private X server.)
// The tree gets the keyboard focus back after a dialog, as a window system
// gives it: nothing may become current unless the user picks it.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTreeWidget>

#include "main/main_window.h"
#include "main/tests/window_test_support.h"
#include "ui_main_form.h"

// Qt's font set-up and the X platform's session bus keep caches to the end of
// the process; they are no leak of ours.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libxcb\nleak:libX11\n";
}

namespace vrt::cfg::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "VortanOPCCfg";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs the event loop until `done` holds; a real X server answers in its own
// time, so the bound is wide.
template <class F>
bool WaitFor(F done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

struct TreeFocus : ::testing::Test {
    RecordingSink sink;
    ScriptedUi ui;
    TempDir dir{"treefocus"};
    std::unique_ptr<TzMainForm> window;
    Ui::TzMainForm* f = nullptr;
    MainController* c = nullptr;

    void SetUp() override {
        App();
        window = std::make_unique<TzMainForm>(ui, nullptr, nullptr, kProgram);
        f = &window->Form();
        c = &window->Controller();
        writeFile(dir.file("three.tag"),
                  "[Main]\r\nFileVersion=0\r\nObjectsName=Альфа,Бета,Гамма\r\n[Бета.Переменные]\r\nT1=5,L,R\r\n"_cp);
        ui.openFiles.push_back(dir.file("three.tag"));
        f->FileOpen->trigger();
        window->show();
        activate(window.get());
        f->TreeView1->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(WaitFor([&] { return f->TreeView1->hasFocus(); }));
    }
    void TearDown() override { window.reset(); }

    static void activate(QWidget* w) {
        w->activateWindow();
        QApplication::setActiveWindow(w);
        WaitFor([w] { return w->isActiveWindow(); });
    }
    // A dialog takes the focus and hands it back when it closes.
    void dialogComesAndGoes() {
        QDialog dialog(window.get());
        dialog.show();
        activate(&dialog);
        EXPECT_FALSE(f->TreeView1->hasFocus());
        dialog.hide();
        activate(window.get());
        EXPECT_TRUE(WaitFor([&] { return f->TreeView1->hasFocus(); }));
    }
    void expectNothingCurrent() {
        EXPECT_EQ(c->CurrentDevice, nullptr);
        EXPECT_EQ(c->SelectedNode, nullptr);
        EXPECT_EQ(c->Tree().Selected(), nullptr);
        EXPECT_TRUE(f->TreeView1->selectedItems().isEmpty());
        EXPECT_FALSE(f->DeleteDevice->isEnabled());
        EXPECT_FALSE(f->PageControl1->isTabVisible(f->PageControl1->indexOf(f->TabSheet1)));
    }
};

TEST_F(TreeFocus, FocusBackAfterADialogSelectsNothing) {
    ui.inputs.push_back("Прибор №0"_cp);
    f->AddDevice->trigger();
    dialogComesAndGoes();
    expectNothingCurrent();

    // The next delete finds nothing to delete.
    f->DeleteDevice->trigger();
    EXPECT_EQ(c->Project().DeviceList().Count(), 4);

    // Save as, cancelled: the same.
    f->FileSaveAs1->trigger();
    dialogComesAndGoes();
    expectNothingCurrent();

    // The same focus moves as often as they come.
    f->TreeView1->clearFocus();
    f->TreeView1->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    expectNothingCurrent();
}

TEST_F(TreeFocus, TheUsersChoiceStillSelects) {
    dialogComesAndGoes();
    // A pick in the tree selects, also of the item Qt's focus handling
    // marked as its current one.
    QTreeWidgetItem* first = f->TreeView1->topLevelItem(0);
    f->TreeView1->setCurrentItem(first);
    EXPECT_EQ(c->CurrentDevice, c->Project().DeviceList().Cell(0));
    EXPECT_TRUE(f->DeleteDevice->isEnabled());

    // A selection the user clears leaves no device current.
    f->TreeView1->clearSelection();
    EXPECT_EQ(c->CurrentDevice, nullptr);
    EXPECT_EQ(c->Tree().Selected(), nullptr);
    f->TreeView1->setCurrentItem(f->TreeView1->topLevelItem(1));
    EXPECT_EQ(c->CurrentDevice, c->Project().DeviceList().Cell(1));
    dialogComesAndGoes();
    EXPECT_EQ(c->CurrentDevice, c->Project().DeviceList().Cell(1));
    EXPECT_EQ(f->TreeView1->currentItem(), f->TreeView1->topLevelItem(1));

    // Deleting it hands the selection to the device now in its place.
    f->DeleteDevice->trigger();
    EXPECT_EQ(c->CurrentDevice, c->Project().DeviceList().Cell(1));
    EXPECT_EQ(f->TreeView1->currentItem(), f->TreeView1->topLevelItem(1));
    EXPECT_EQ(f->TreeView1->selectedItems().size(), 1);
}

// The mouse and the keyboard in the tree select as they always did.
TEST_F(TreeFocus, MouseAndKeysInTheTreeSelect) {
    dialogComesAndGoes();
    QTreeWidget* tree = f->TreeView1;
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(tree, &down);
    EXPECT_EQ(c->CurrentDevice, c->Project().DeviceList().Cell(1));
    EXPECT_EQ(c->SelectedNode, c->Tree().Top(1));

    const QPoint at = tree->visualItemRect(tree->topLevelItem(2)).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &press);
    QApplication::sendEvent(tree->viewport(), &release);
    EXPECT_EQ(c->CurrentDevice, c->Project().DeviceList().Cell(2));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet1);

    // Into the tags of a device: its first tag's page.
    tree->expandItem(tree->topLevelItem(1));
    tree->setCurrentItem(tree->topLevelItem(1));
    QKeyEvent next(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(tree, &next);
    EXPECT_EQ(c->CurrentTag, c->Project().DeviceList().Device(1)->TagCell(0));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet2);
}

}  // namespace
}  // namespace vrt::cfg::test
