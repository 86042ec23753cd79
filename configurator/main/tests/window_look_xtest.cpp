// The main window as a user sees it on a real X server (a private Xvfb):
// colours, node texts shown whole, lists wide enough, Qt's Russian texts.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QWindow>

#include <cstdlib>

#include "main/main_window.h"
#include "main/qt_dialogs.h"
#include "main/tests/window_test_support.h"
#include "ui_main_form.h"

extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libxcb\nleak:libX11\n";
}

namespace vrt::cfg::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "VortanOPCCfg";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        InstallQtCatalogue();
        return a;
    }();
    return *app;
}

// Saves what a test looked at when VRT_SHOT_DIR names a folder.
void Keep(const QImage& image, const char* name) {
    if (const char* dir = std::getenv("VRT_SHOT_DIR")) image.save(QString(dir) + "/" + name + ".png");
}

struct Look : ::testing::Test {
    RecordingSink sink;
    ScriptedUi ui;
    TempDir dir{"mainlook"};
    std::unique_ptr<TzMainForm> window;
    Ui::TzMainForm* f = nullptr;

    void SetUp() override {
        ASSERT_STREQ(qPrintable(App().platformName()), "xcb");
        window = std::make_unique<TzMainForm>(ui, nullptr, nullptr, kProgram);
        f = &window->Form();
        window->resize(949, 588);
        window->show();
        ASSERT_TRUE(waitExposed());
    }
    bool waitExposed() {
        for (int i = 0; i < 200 && !window->windowHandle()->isExposed(); ++i) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(10);
        }
        QApplication::processEvents();
        return window->windowHandle()->isExposed();
    }
    void open(const std::string& text) {
        writeFile(dir.file("f.tag"), text);
        ui.openFiles.push_back(dir.file("f.tag"));
        f->FileOpen->trigger();
        QApplication::processEvents();
    }
};

TEST_F(Look, ToolBarsAreDrawnInTheirGrey) {
    for (QToolBar* bar : {f->FileToolBar, f->DeviceToolBar}) {
        const QImage image = bar->grab().toImage();
        Keep(window->grab().toImage(), "window");
        // The right end of each bar holds no button.
        const QColor c = image.pixelColor(image.width() - 3, image.height() / 2);
        EXPECT_EQ(c, QColor(212, 208, 200)) << bar->objectName().toStdString() << " " << c.name().toStdString();
    }
}

TEST_F(Look, LongDeviceNamesAreShownWholeAndTheTreeScrollsSideways) {
    const std::string name(35, 'N');
    open("[Main]\r\nFileVersion=0\r\nObjectsName=" + name + "\r\n[" + name + ".Переменные]\r\nT1=5,L,R\r\n"_cp);
    QTreeWidget* tree = f->TreeView1;
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* item = tree->topLevelItem(0);
    ASSERT_TRUE(item->text(0).endsWith("(COM4: 19200:33)")) << item->text(0).toStdString();
    Keep(window->grab().toImage(), "long_name");
    // The column is as wide as its widest text needs, so nothing is cut with
    // an ellipsis, and the tree scrolls to show what the panel cannot.
    const int needed = tree->visualItemRect(item).left() + tree->iconSize().width() +
                       tree->fontMetrics().horizontalAdvance(item->text(0));
    EXPECT_GE(tree->header()->sectionSize(0) + tree->visualItemRect(item).left() -
                  tree->header()->sectionPosition(0),
              needed - tree->header()->offset());
    EXPECT_GT(tree->header()->sectionSize(0), tree->viewport()->width());
    EXPECT_GT(tree->horizontalScrollBar()->maximum(), 0);
}

// Qt sizes a column to its contents from about a thousand rows only; the
// tree's column fits every text however many rows stand before it.
TEST_F(Look, TheLastOfManyRowsIsShownWholeToo) {
    const std::string name(35, 'L');
    std::string text = "[Main]\r\nFileVersion=0\r\nObjectsName=A," + name + "\r\n[A.Переменные]\r\n"_cp;
    for (int t = 0; t < 1500; ++t) text += "T" + std::to_string(t) + "=1,L,R\r\n";
    open(text);
    QTreeWidget* tree = f->TreeView1;
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    tree->topLevelItem(0)->setExpanded(true);
    QApplication::processEvents();
    for (QTreeWidgetItem* item : {tree->topLevelItem(1), tree->topLevelItem(0)->child(1499)}) {
        SCOPED_TRACE(item->text(0).toStdString());
        // What Qt's own sizing asks for the row: its indentation and the
        // delegate's width for icon and text.
        const int depth = item->parent() ? 2 : 1;
        const int needed = depth * tree->indentation() + tree->sizeHintForIndex(tree->indexFromItem(item)).width();
        EXPECT_GE(tree->header()->sectionSize(0), needed);
        tree->scrollToItem(item);
        QApplication::processEvents();
        EXPECT_GE(tree->horizontalScrollBar()->maximum() + tree->viewport()->width(), needed);
        Keep(window->grab().toImage(), "many_rows");
    }
}

// Each list's text area is at least as wide as its longest item.
void ExpectListsShowTheirItems(QWidget& window, const char* when) {
    for (QComboBox* box : window.findChildren<QComboBox*>()) {
        int widest = 0;
        for (int i = 0; i < box->count(); ++i)
            widest = std::max(widest, box->fontMetrics().horizontalAdvance(box->itemText(i)));
        // The text area is the box less its frame and drop-down arrow.
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        const QRect text = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
        EXPECT_GE(text.width(), widest) << box->objectName().toStdString() << " " << when;
    }
}

TEST_F(Look, EveryListShowsItsLongestItem) {
    open("[Main]\r\nFileVersion=0\r\nObjectsName=A\r\n"_cp);
    f->TreeView1->setCurrentItem(f->TreeView1->topLevelItem(0));
    QApplication::processEvents();
    ASSERT_EQ(f->PageControl1->currentWidget(), f->TabSheet1);
    Keep(window->grab().toImage(), "device_page");
    ExpectListsShowTheirItems(*window, "at the design size");
    // The wider lists still leave the tree its panel width.
    EXPECT_EQ(f->Splitter1->sizes().value(0), 361);
    // However narrow the user makes the window.
    window->resize(window->minimumSizeHint());
    QApplication::processEvents();
    Keep(window->grab().toImage(), "device_page_narrow");
    ExpectListsShowTheirItems(*window, "at the smallest size");
}

// The longest OPC path (a 100-character device name, a 50-character tag
// name) neither widens the window nor raises its minimum width; the label
// shows the whole path in its tooltip.
TEST_F(Look, TheLongestPathKeepsTheWindowsWidth) {
    const std::string device(100, 'D'), tag(50, 'T');
    open("[Main]\r\nFileVersion=0\r\nObjectsName=A," + device + "\r\n[A.Переменные]\r\nt=1,L,R\r\n["_cp + device +
         ".Переменные]\r\n"_cp + tag + "=5,L,R\r\n");
    QTreeWidget* tree = f->TreeView1;
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    const auto select = [&](QTreeWidgetItem* item) {
        tree->setCurrentItem(item);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        ASSERT_EQ(f->PageControl1->currentWidget(), f->TabSheet2);
    };
    select(tree->topLevelItem(0)->child(0));
    const int minimum = window->minimumSizeHint().width();
    select(tree->topLevelItem(1)->child(0));
    Keep(window->grab().toImage(), "longest_path");
    EXPECT_EQ(window->width(), 949);
    EXPECT_EQ(window->minimumSizeHint().width(), minimum);
    EXPECT_LE(window->minimumWidth(), 949);
    EXPECT_EQ(f->_VarPath->toolTip().toStdString(), device + "." + tag);
}

TEST_F(Look, QtsOwnTextsAreRussian) {
    QString yes, cancel, open;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                yes = box->button(QMessageBox::Yes)->text();
                cancel = box->button(QMessageBox::Cancel)->text();
                box->button(QMessageBox::Cancel)->click();
            }
        }
    });
    QtMainUi qtUi;
    qtUi.SetParent(window.get());
    EXPECT_EQ(qtUi.AskSave("?"), SaveAnswer::Cancel);
    EXPECT_EQ(yes.remove('&'), QString::fromUtf8("Да"));
    EXPECT_EQ(cancel.remove('&'), QString::fromUtf8("Отмена"));

    // Boxes with one button: "ОК" in Cyrillic letters, which Qt leaves Latin.
    QStringList oks;
    const auto readAndClose = [&] {
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    for (QAbstractButton* b : box->buttons()) oks << b->text();
                    box->button(QMessageBox::Ok)->click();
                }
        });
    };
    QtMessageSink boxes;
    readAndClose();
    qtUi.ErrorBox("e");
    readAndClose();
    boxes.errorBox("e", "c");
    readAndClose();
    boxes.messageBox("m");
    // Qt's own warning in the file dialog: a file to open that is missing.
    QFileDialog missing(window.get());
    missing.setOption(QFileDialog::DontUseNativeDialog);
    missing.setFileMode(QFileDialog::ExistingFile);
    missing.setDirectory(QString::fromStdString(dir.path()));
    missing.show();
    QApplication::processEvents();
    missing.selectFile("missing.tag");
    readAndClose();
    // The name typed and Return pressed, as a user confirms it.
    QLineEdit* name = missing.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(name, &enter);
    EXPECT_TRUE(missing.isVisible());  // the dialog stays for another name
    missing.reject();
    EXPECT_EQ(oks, QStringList({"ОК", "ОК", "ОК", "ОК"}));

    QFileDialog dialog(window.get());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.show();
    QApplication::processEvents();
    Keep(dialog.grab().toImage(), "file_dialog");
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    open = buttons->button(QDialogButtonBox::Open)->text();
    EXPECT_EQ(open.remove('&'), QString::fromUtf8("Открыть"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove('&'), QString::fromUtf8("Отмена"));
    dialog.reject();
}

}  // namespace
}  // namespace vrt::cfg::test
