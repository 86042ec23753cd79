// The Qt form over the window logic, with real widgets (offscreen).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>

#include "main/main_window.h"
#include "main/qt_text.h"
#include "main/tests/window_test_support.h"
#include "ui_main_form.h"

// Qt's font set-up leaves fontconfig's caches behind when a test process
// ends; they are no leak of ours.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
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

struct Form : ::testing::Test {
    RecordingSink sink;
    ScriptedUi ui;
    TempDir dir{"mainform"};
    std::unique_ptr<TzMainForm> window;
    Ui::TzMainForm* f = nullptr;
    MainController* c = nullptr;

    void SetUp() override {
        App();
        window = std::make_unique<TzMainForm>(ui, nullptr, nullptr, kProgram);
        f = &window->Form();
        c = &window->Controller();
    }
    bool tabVisible(QWidget* page) { return f->PageControl1->isTabVisible(f->PageControl1->indexOf(page)); }
    QTreeWidgetItem* item(int device, int tag = -1) {
        QTreeWidgetItem* top = f->TreeView1->topLevelItem(device);
        return tag < 0 || !top ? top : top->child(tag);
    }
    void open(const std::string& text) {
        writeFile(dir.file("f.tag"), text);
        ui.openFiles.push_back(dir.file("f.tag"));
        f->FileOpen->trigger();
    }
    void clickTree(QTreeWidgetItem* it) { f->TreeView1->setCurrentItem(it); }
};

TEST_F(Form, StartsWithTheEmptyWorkspace) {
    EXPECT_EQ(window->windowTitle(), "Vortan OPC Server 3.0");
    EXPECT_EQ(f->TreeView1->topLevelItemCount(), 0);
    EXPECT_FALSE(tabVisible(f->TabSheet1));
    EXPECT_FALSE(tabVisible(f->TabSheet2));
    EXPECT_FALSE(tabVisible(f->TabSheet4));
    EXPECT_TRUE(tabVisible(f->TabSheet3));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet3);
    EXPECT_TRUE(f->_New->isEnabled() && f->FileOpen->isEnabled());
    for (QAction* a : {f->Save, f->FileSaveAs1, f->_ImportPRJ, f->AddDevice, f->DeleteDevice, f->AddTag,
                       f->DeleteTag, f->UpTag, f->DownTag})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(f->DeviceMenu->menuAction()->isVisible());
    EXPECT_FALSE(f->TagsMenu->menuAction()->isVisible());
    const QStringList log = f->RichEdit1->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 9);
    EXPECT_EQ(log[0], "Конфигуратор для Vortan OPC Server 3.0b");
    EXPECT_EQ(log[8], QString(113, '-'));
    EXPECT_FALSE(f->TelNumEdit->isEnabled());
}

TEST_F(Form, NewShowsTheProjectPageAndTheDeviceMenus) {
    c->Project().ProjectName = "Kept";
    c->TabSheet4Show();
    f->_New->trigger();
    EXPECT_TRUE(tabVisible(f->TabSheet4));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet4);
    EXPECT_EQ(f->_projectName->text(), "Kept");
    EXPECT_TRUE(f->Save->isEnabled() && f->FileSaveAs1->isEnabled() && f->AddDevice->isEnabled());
    EXPECT_FALSE(f->AddTag->isEnabled());
    EXPECT_TRUE(f->DeviceMenu->menuAction()->isVisible());
    EXPECT_TRUE(f->TagsMenu->menuAction()->isVisible());
    EXPECT_EQ(f->RichEdit1->toPlainText().split('\n').last(), "Создан новый проект.");

    ui.inputs.push_back("Котельная"_cp);
    f->AddDevice->trigger();
    ASSERT_EQ(f->TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(item(0)->text(0), "Котельная  (COM1: 19200:33)");
}

TEST_F(Form, TheTreeAndThePagesFollowTheUser) {
    open("[Main]\r\nFileVersion=0\r\nObjectsName=A,B\r\n[A.Переменные]\r\nT1=5,L,R\r\nT2=7,F,RW,twmQUEUE\r\n"_cp);
    ASSERT_EQ(f->TreeView1->topLevelItemCount(), 2);
    ASSERT_EQ(item(0)->childCount(), 2);
    EXPECT_EQ(item(0, 1)->text(0), "T2           7     F");
    EXPECT_EQ(f->TreeView1->currentItem(), nullptr);

    clickTree(item(0, 1));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet2);
    EXPECT_TRUE(tabVisible(f->TabSheet1) && tabVisible(f->TabSheet2));
    EXPECT_EQ(f->_TagName->text(), "T2");
    EXPECT_EQ(f->NumVars->value(), 7);
    EXPECT_EQ(f->_VarType->currentIndex(), 1);
    EXPECT_EQ(f->_RWMode->currentIndex(), 1);
    EXPECT_TRUE(f->RWModeGroup->isVisibleTo(window.get()));
    EXPECT_EQ(f->_VarPath->text(), "A.T2");
    EXPECT_EQ(f->_VarID->text(), "1001");
    EXPECT_EQ(f->_Name->text(), "A");
    EXPECT_EQ(f->PortCBox->currentText(), "COM4");  // a file without link keys: port index 3
    EXPECT_TRUE(f->AddTag->isEnabled());

    const auto leave = [](QWidget* edit) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    };
    // A change in a bound control reaches the model and the node at once.
    f->_TagName->setText("Pressure");
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Tag(1)->Name.str(), "Pressure");
    EXPECT_EQ(item(0, 1)->text(0).left(8), "Pressure");
    EXPECT_TRUE(c->ProjectModified);
    leave(f->_TagName);
    // A name the file cannot hold is refused, and the edit shows the kept one.
    f->_TagName->setText(";x");
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(f->_TagName->text(), "Pressure");
    EXPECT_EQ(item(0, 1)->text(0).left(8), "Pressure");
    // Typing passes through names taken by another tag ("t1" on the way to
    // "t12"): they stay out of the model, and only a name still taken when
    // the edit is left is refused; the name from before the typing stays.
    f->_TagName->setText("t1");
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Tag(1)->Name.str(), "Pressure");
    f->_TagName->setText("t12");
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Tag(1)->Name.str(), "t12");
    f->_TagName->setText("t1");
    EXPECT_EQ(ui.errors.size(), 1u);
    leave(f->_TagName);
    ASSERT_EQ(ui.errors.size(), 2u);
    EXPECT_EQ(ui.errors.back(), "Тэг с таким именем уже есть в приборе (большие и малые буквы не различаются): t1"_cp);
    EXPECT_EQ(f->_TagName->text(), "Pressure");
    EXPECT_EQ(item(0, 1)->text(0).left(9), "Pressure ");
    f->_RWType->setCurrentIndex(0);
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Tag(1)->RW, 0);

    // A control without write-back waits for the next one.
    f->ChetnCBox->setCurrentIndex(2);
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Chetnost, 0);
    f->_Name->setText("A1");
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Chetnost, 2);
    EXPECT_EQ(item(0)->text(0).left(2), "A1");
    // So does an emptied device name, which the file could not bring back.
    f->_Name->setText("");
    EXPECT_EQ(c->Project().DeviceList().Device(0)->Name.str(), "A1");
    EXPECT_EQ(ui.errors.size(), 2u);
    leave(f->_Name);
    ASSERT_EQ(ui.errors.size(), 3u);
    EXPECT_EQ(ui.errors.back(), "Имя прибора не может быть пустым!"_cp);
    EXPECT_EQ(f->_Name->text(), "A");
    EXPECT_EQ(item(0)->text(0).left(3), "A  ");

    clickTree(item(1));
    EXPECT_EQ(f->PageControl1->currentWidget(), f->TabSheet1);
    EXPECT_EQ(f->_Name->text(), "B");
    EXPECT_EQ(f->_TagName->text(), "Pressure");  // B has no tags: the tag page stays
    f->UseModemCBox->setChecked(true);
    EXPECT_TRUE(f->TelNumEdit->isEnabled() && f->_NumDial->isEnabled() && f->TelNumLabel->isEnabled());
}

TEST_F(Form, OpeningAgainReplacesTheWholeTree) {
    open("[Main]\r\nFileVersion=0\r\nObjectsName=A,B\r\n[A.Переменные]\r\nT1=5,L,R\r\nT2=7,F,RW\r\n"
         "[B.Переменные]\r\nU1=1,L,R\r\n"_cp);
    ASSERT_EQ(f->TreeView1->topLevelItemCount(), 2);
    clickTree(item(1, 0));
    open("[Main]\r\nFileVersion=0\r\nObjectsName=C\r\n[C.Переменные]\r\nV1=2,L,RW\r\nV2=3,L,R\r\nV3=4,F,R\r\n"_cp);
    ASSERT_EQ(f->TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(item(0)->text(0).left(1), "C");
    ASSERT_EQ(item(0)->childCount(), 3);
    for (int t = 0; t < 3; ++t) {
        const TreeNode* node = c->Tree().Top(0)->Child(t);
        EXPECT_EQ(window->ItemOf(node), item(0, t));
        EXPECT_EQ(item(0, t)->text(0), ToQ(node->Text()));
    }
    EXPECT_EQ(f->TreeView1->currentItem(), nullptr);
    EXPECT_TRUE(f->TreeView1->updatesEnabled());
    // The new items are the tree's own: clicking one selects its tag.
    clickTree(item(0, 2));
    EXPECT_EQ(f->_TagName->text(), "V3");
    ui.inputs.push_back(std::string("D"));
    f->AddDevice->trigger();  // after the batch, nodes go straight to the widget
    ASSERT_EQ(f->TreeView1->topLevelItemCount(), 2);
    EXPECT_EQ(item(1)->text(0).left(1), "D");
}

TEST_F(Form, KeysInTheTagNameWriteBack) {
    open("[Main]\r\nFileVersion=0\r\nObjectsName=A\r\n[A.Переменные]\r\nT1=5,L,R\r\n"_cp);
    clickTree(item(0, 0));
    ASSERT_FALSE(c->ProjectModified);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(f->_TagName, &enter);
    EXPECT_TRUE(c->ProjectModified);
}

TEST_F(Form, MovesAndDeletesKeepTheWidgetInStep) {
    f->_New->trigger();
    ui.inputs = {std::string("A"), std::string("B")};
    f->AddDevice->trigger();
    f->AddDevice->trigger();
    clickTree(item(1));
    ui.inputs = {std::string("t0"), std::string("t1")};
    f->AddTag->trigger();
    f->AddTag->trigger();
    f->_ImportPRJ->trigger();  // no import library: nothing happens
    ASSERT_EQ(item(1)->childCount(), 2);
    clickTree(item(1, 1));
    f->UpTag->trigger();
    EXPECT_EQ(item(1, 0)->text(0).left(2), "t1");
    EXPECT_EQ(f->TreeView1->currentItem(), item(1, 0));
    EXPECT_EQ(f->_TagName->text(), "t1");
    f->DeleteTag->trigger();
    ASSERT_EQ(item(1)->childCount(), 1);
    EXPECT_EQ(f->_TagName->text(), "t0");
    clickTree(item(0));
    f->DeleteDevice->trigger();
    ASSERT_EQ(f->TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(f->TreeView1->currentItem(), item(0));
    EXPECT_EQ(f->_Name->text(), "B");
    f->DeleteDevice->trigger();
    EXPECT_EQ(f->TreeView1->topLevelItemCount(), 0);
    EXPECT_FALSE(tabVisible(f->TabSheet1) || tabVisible(f->TabSheet2));
    EXPECT_FALSE(f->DeleteDevice->isEnabled());
}

TEST_F(Form, ClosingAsksAboutChanges) {
    f->_New->trigger();
    ui.saveAnswers = {SaveAnswer::Cancel, SaveAnswer::No};
    window->show();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(ui.prompts.size(), 1u);
    EXPECT_TRUE(window->close());
}

TEST_F(Form, ProjectTextsAreStoredOnExit) {
    f->_New->trigger();
    window->show();
    QApplication::setActiveWindow(window.get());
    f->_projectName->setFocus(Qt::OtherFocusReason);
    f->_projectName->setText("P1");
    f->_projectDesc->setPlainText("two\nlines");
    f->TreeView1->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(c->Project().ProjectName, "P1");
    EXPECT_EQ(c->ProjectPageValues().description, "two\nlines");
    ui.saveFiles.push_back(dir.file("p.tag"));
    ASSERT_TRUE(c->SaveExecute());
    EXPECT_EQ(c->Project().ProjectName, "P1");
    EXPECT_NE(readFile(dir.file("p.tag")).find("Name=P1"), std::string::npos);
}

}  // namespace
}  // namespace vrt::cfg::test
