// Attaches the link test to the settings dialog's test page.
#include <functional>

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>
#include <QWidget>

#include "link/dlgset/dialog_frame.h"
#include "link/dlgset/dialog_images.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/statistics.h"
#include "link/dlgset/statistics_widgets.h"
#include "platform/pump.h"

namespace vrt::link {

namespace {

LinkTestBinder* currentBinder = nullptr;

// Runs a field's reader when its control is left, double-clicked or gets Enter
// (the key itself goes on as usual).
class FieldWatcher : public QObject {
public:
    FieldWatcher(QObject* parent, std::function<void()> read, bool onDoubleClick)
        : QObject(parent), read_(std::move(read)), onDoubleClick_(onDoubleClick) {}

    void watch(QWidget* w) {
        if (!w) return;
        w->installEventFilter(this);
        if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
            combo->lineEdit()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
            case QEvent::FocusOut: read_(); break;
            case QEvent::MouseButtonDblClick:
                if (onDoubleClick_) read_();
                break;
            case QEvent::KeyPress: {
                const int key = static_cast<QKeyEvent*>(e)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter) read_();
                break;
            }
            default: break;
        }
        return false;
    }

private:
    std::function<void()> read_;
    bool onDoubleClick_;
};

// The test's view of the dialog: the frame's routines and this page's widgets.
class DialogTestUi : public LinkTestUi {
public:
    explicit DialogTestUi(LinkTestBinder& binder) : binder_(binder) {}
    int32_t Message(int32_t buttons, int32_t icon, int32_t port, int32_t textCode, const char* question) override {
        return ShowLinkMessage(buttons, icon, port, textCode, nullptr, question);
    }
    void EnableDialogControls() override { vrt::link::EnableDialogControls(); }
    void ShowPageHelp() override { vrt::link::ShowPageHelp(); }
    void ShowStatistics() override { vrt::link::ShowStatistics(); }
    void ShowPortState() override { vrt::link::ShowPortState(); }
    void ShowTestButton() override { binder_.ShowTestButton(); }
    void ShowTestPanelColour() override { binder_.ShowTestPanelColour(); }
    void ProcessMessages() override { platform::processMessages(); }

private:
    LinkTestBinder& binder_;
};

}  // namespace

struct LinkTestBinder::Impl {
    explicit Impl(QWidget* root)
        : widgets(root, {"BtnAuto", "BtnOutMsg", "BtnInpMsg", "SBtnTstG", "PnlBG", "ChkBMaster", "CBTpAuto",
                         "EdIDNet", "CBSzMsg", "CBSlaveTmMin"}) {}

    QObject guard;  // connections and watchers die with the binder
    WidgetCache widgets;
    std::unique_ptr<LinkTestUi> ownUi;
    std::unique_ptr<LinkTest> test;

    QWidget* find(const char* name) const { return widgets.get(name); }
};

LinkTestBinder::LinkTestBinder(QWidget* root, LinkTestUi* ui) : impl_(std::make_unique<Impl>(root)) {
    Impl& d = *impl_;
    if (!ui) {
        d.ownUi = std::make_unique<DialogTestUi>(*this);
        ui = d.ownUi.get();
    }
    d.test = std::make_unique<LinkTest>(*ui);
    currentBinder = this;
    if (!root) return;

    QObject* guard = &d.guard;
    const auto onClick = [&](const char* name, auto handler) {
        if (auto* b = qobject_cast<QAbstractButton*>(d.find(name)))
            QObject::connect(b, &QAbstractButton::clicked, guard, handler);
    };
    onClick("BtnAuto", [this] { impl_->test->RunTest(kTestAuto); });
    onClick("BtnOutMsg", [this] { impl_->test->RunTest(kTestSend); });
    onClick("BtnInpMsg", [this] { impl_->test->RunTest(kTestReceive); });
    onClick("SBtnTstG", [this] { impl_->test->TestButtonClick(); });

    if (auto* master = qobject_cast<QAbstractButton*>(d.find("ChkBMaster")))
        QObject::connect(master, &QAbstractButton::toggled, guard,
                         [](bool checked) { TestParams.master = checked ? 1 : 0; });

    if (auto* autoList = qobject_cast<QComboBox*>(d.find("CBTpAuto"))) {
        QObject::connect(autoList, &QComboBox::activated, guard, [autoList](int index) {
            const int32_t shown = ChooseAutoMode(index, FromQ(autoList->itemText(index)).c_str(), TestParams);
            if (shown != index) autoList->setCurrentIndex(shown);
        });
    }

    // Enter must not add the typed text to a list's items.
    for (const char* name : {"CBSzMsg", "CBSlaveTmMin"})
        if (auto* combo = qobject_cast<QComboBox*>(d.find(name))) combo->setInsertPolicy(QComboBox::NoInsert);

    (new FieldWatcher(guard, [this] { ReadNetAddrEdit(); }, false))->watch(d.find("EdIDNet"));
    (new FieldWatcher(guard, [this] { ReadMsgSizeEdit(); }, true))->watch(d.find("CBSzMsg"));
    (new FieldWatcher(guard, [this] { ReadSlaveTimeEdit(); }, false))->watch(d.find("CBSlaveTmMin"));
    if (auto* slaveTime = qobject_cast<QComboBox*>(d.find("CBSlaveTmMin"))) {
        QObject::connect(slaveTime, &QComboBox::activated, guard, [this] { ReadSlaveTimeEdit(); });
        // The time in force, which an earlier dialog may have changed.
        SetWidgetText(slaveTime, FormatSlaveTime(TestParams.slaveMinTime));
    }
}

LinkTestBinder::~LinkTestBinder() {
    if (currentBinder == this) currentBinder = nullptr;
}

LinkTest& LinkTestBinder::test() { return *impl_->test; }

void LinkTestBinder::ShowTestPanelColour() {
    const DialogState& st = dialogState;
    SetBackgroundColour(impl_->find("PnlBG"),
                        TestPanelColour(st.testButtonBusy != 0, st.stopRequest != 0, st.testRunning != 0));
}

void LinkTestBinder::ShowTestButton() {
    ShowTestPanelColour();
    int32_t status = 0;
    const PortRecord* rec = _vrtCL_fGetAddr(dialogState.selPort, &status);
    if (!rec || status < 0) return;

    const TestButtonLook look = ComputeTestButton(dialogState.testRunning != 0, rec->phase != 0);
    if (auto* button = qobject_cast<QAbstractButton*>(impl_->find("SBtnTstG"))) {
        button->setToolTip(ToQ(look.hint));
        button->setProperty("glyph", look.glyph);
        button->setIcon(DialogImage(look.glyph));
    }
    if (QWidget* size = impl_->find("CBSzMsg")) size->setToolTip(ToQ(MsgSizeHint(rec->protocol)));
}

void LinkTestBinder::ReadNetAddrEdit() {
    QWidget* w = impl_->find("EdIDNet");
    if (!w) return;
    TestParams.netAddr = ParseNetAddr(WidgetText(w).c_str(), TestParams.netAddr);
    SetWidgetText(w, FormatNetAddr(TestParams.netAddr));
}

void LinkTestBinder::ReadMsgSizeEdit() {
    QWidget* w = impl_->find("CBSzMsg");
    if (!w) return;
    TestParams.reqSize = ParseMsgSize(WidgetText(w).c_str(), TestParams.reqSize);
    SetWidgetText(w, FormatMsgSize(TestParams.reqSize));
}

void LinkTestBinder::ReadSlaveTimeEdit() {
    QWidget* w = impl_->find("CBSlaveTmMin");
    if (!w) return;
    TestParams.slaveMinTime = ParseSlaveTime(WidgetText(w).c_str(), TestParams.slaveMinTime);
    SetWidgetText(w, FormatSlaveTime(TestParams.slaveMinTime));
}

// Hooks ------------------------------------------------------------------

void RunTest(int32_t op) {
    if (currentBinder) currentBinder->test().RunTest(op);
}

void OpenCloseTestPort(bool open) {
    if (currentBinder) currentBinder->test().OpenCloseTestPort(open);
}

void RequestStop() {
    if (currentBinder) {
        currentBinder->test().RequestStop();
    } else {
        dialogState.stopRequest = 1;
        platform::processMessages();
    }
}

void ShowTestButton() {
    if (currentBinder) currentBinder->ShowTestButton();
}

void ShowTestPanelColour() {
    if (currentBinder) currentBinder->ShowTestPanelColour();
}

void ReadNetAddrEdit() {
    if (currentBinder) currentBinder->ReadNetAddrEdit();
}

void ReadMsgSizeEdit() {
    if (currentBinder) currentBinder->ReadMsgSizeEdit();
}

void ReadSlaveTimeEdit() {
    if (currentBinder) currentBinder->ReadSlaveTimeEdit();
}

}  // namespace vrt::link
