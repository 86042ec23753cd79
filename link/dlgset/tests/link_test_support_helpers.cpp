#include "link_test_support.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include "link/gui/qt_bootstrap.h"

namespace vrt::link::testsupport {

namespace {

// Ends the application object after the last test: Qt's font database
// releases its fontconfig objects only then, which leak checkers would report.
class QtApplicationEnd : public ::testing::Environment {
public:
    void TearDown() override { delete QCoreApplication::instance(); }
};

[[maybe_unused]] ::testing::Environment* const g_qtEnd = ::testing::AddGlobalTestEnvironment(new QtApplicationEnd);

}  // namespace

bool EnsureTestApplication() {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return gui::EnsureApplication();
}

namespace {

template <class T>
T* Add(QWidget* parent, const char* name) {
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

void AddItems(QComboBox* list, std::initializer_list<const char*> utf8Items) {
    for (const char* item : utf8Items) list->addItem(QString::fromUtf8(item));
}

}  // namespace

std::unique_ptr<QWidget> MakeTestDialog() {
    auto root = std::make_unique<QWidget>();
    root->setObjectName(QStringLiteral("FrmDlgSet"));
    QWidget* r = root.get();

    auto* port = Add<QGroupBox>(r, "GrBPort");
    for (const char* name : {"RBtnCOM1", "RBtnCOM2", "RBtnCOM3", "RBtnCOM4"}) Add<QRadioButton>(port, name);
    Add<QLabel>(port, "ImgIsModem");
    Add<QLabel>(r, "STxtMode");

    auto* counters = Add<QFrame>(r, "PnlMinState");
    for (const char* name : {"StTxtStCOut", "StTxtStCErrOut", "StTxtStCInp", "StTxtStCErrInp", "StTxtSErrAnswer",
                             "StTxtStErr", "StTxtStErrPercent", "StTxtStCRq", "StTxtStCErrRq", "StTxtTmRq"})
        Add<QLabel>(counters, name);
    Add<QToolButton>(r, "SBtnStateSz");

    auto* pages = Add<QTabWidget>(r, "PgCtrlSet");
    for (const char* name : {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4"}) {
        auto* page = new QWidget;
        page->setObjectName(QString::fromLatin1(name));
        pages->addTab(page, QString::fromLatin1(name));
    }
    QWidget* test = pages->widget(2);
    auto* state = Add<QGroupBox>(test, "GrBExtState");
    Add<QLabel>(state, "StTxtSOp");
    Add<QLabel>(state, "StTxtSRez");
    Add<QLabel>(state, "StTxtPhone");
    Add<QLabel>(state, "ImgPhoneModem");
    Add<QToolButton>(test, "SBtnStateClear");
    auto* panel = Add<QFrame>(test, "PnlBG");
    Add<QToolButton>(panel, "SBtnTstG");
    auto* commands = Add<QFrame>(test, "PnlTstCmd");
    Add<QPushButton>(commands, "BtnAuto");
    Add<QPushButton>(commands, "BtnOutMsg");
    Add<QPushButton>(commands, "BtnInpMsg");
    Add<QCheckBox>(test, "ChkBMaster");
    Add<QLineEdit>(test, "EdIDNet");
    auto* autoList = Add<QComboBox>(test, "CBTpAuto");
    AddItems(autoList, {"Непрерывно", "До ошибки", "          1", "          2", "        10", "         50",
                        "       100 ", "        500", "     1 000", "     5 000", "   10 000", "   50 000",
                        " 100 000"});
    auto* size = Add<QComboBox>(test, "CBSzMsg");
    size->setEditable(true);
    AddItems(size, {"     1", "     2", "     4", "     8", "    16", "    32", "    64", "   128", "   256",
                    "   512", " 1024"});
    auto* slave = Add<QComboBox>(test, "CBSlaveTmMin");
    slave->setEditable(true);
    AddItems(slave, {"5", "15", "30", "70", "90", "110", "115", "125", "150", "200", "300", "500", "1000", "1500",
                     "2000", "5000", "10000", "20000"});

    auto* period = Add<QComboBox>(pages->widget(3), "CBTmState");
    AddItems(period, {"НЕТ ", " 100", "  250", "  500", "1000"});

    auto* timer = new QTimer(r);
    timer->setObjectName(QStringLiteral("TmStateVi"));
    return root;
}

}  // namespace vrt::link::testsupport
