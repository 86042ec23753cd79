// Puts the statistics of the selected port into the settings dialog's widgets.
#include <cstdio>

#include <QAbstractButton>
#include <QComboBox>
#include <QObject>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include "link/dlgset/dialog_frame.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/statistics.h"
#include "link/dlgset/statistics_widgets.h"

namespace vrt::link {

namespace {
StatisticsBinder* currentBinder = nullptr;
}

struct StatisticsBinder::Impl {
    explicit Impl(QWidget* root)
        : widgets(root, {"GrBExtState", "StTxtSOp", "StTxtSRez", "StTxtStCOut", "StTxtStCErrOut", "StTxtStCInp",
                         "StTxtStCErrInp", "StTxtSErrAnswer", "StTxtStErr", "StTxtStErrPercent", "StTxtStCRq",
                         "StTxtStCErrRq", "StTxtTmRq", "StTxtPhone", "ImgPhoneModem", "STxtMode", "ImgIsModem",
                         "PgCtrlSet", "CBTmState", "SBtnStateClear", "SBtnStateSz", "RBtnCOM1", "RBtnCOM2",
                         "RBtnCOM3", "RBtnCOM4"}) {}

    QObject guard;  // connections die with the binder
    WidgetCache widgets;

    QWidget* find(const char* name) const { return widgets.get(name); }

    QRadioButton* radioButton(int32_t k) const {
        if (dialogState.radioButtons[k]) return dialogState.radioButtons[k];
        static const char* const names[VRT_PORT_COUNT] = {"RBtnCOM1", "RBtnCOM2", "RBtnCOM3", "RBtnCOM4"};
        return widgets.as<QRadioButton>(names[k]);
    }
};

StatisticsBinder::StatisticsBinder(QWidget* root) : impl_(std::make_unique<Impl>(root)) {
    currentBinder = this;
    const Impl& d = *impl_;

    // Colours the counters keep whatever they show.
    SetTextColour(d.find("StTxtStCErrOut"), DlgColour::Maroon);
    SetTextColour(d.find("StTxtStCErrInp"), DlgColour::Maroon);
    SetTextColour(d.find("StTxtSErrAnswer"), DlgColour::Blue);
    SetTextColour(d.find("StTxtStCRq"), DlgColour::Blue);
    SetTextColour(d.find("StTxtStCErrRq"), DlgColour::Red);
    SetTextColour(d.find("StTxtTmRq"), DlgColour::Blue);

    QObject* guard = &impl_->guard;
    if (auto* list = d.widgets.as<QComboBox>("CBTmState"))
        QObject::connect(list, &QComboBox::activated, guard, [this] { CBTmStateChange(); });
    if (auto* clear = d.widgets.as<QAbstractButton>("SBtnStateClear"))
        QObject::connect(clear, &QAbstractButton::clicked, guard, [this] { SBtnStateClearClick(); });
    if (auto* size = d.widgets.as<QAbstractButton>("SBtnStateSz"))
        QObject::connect(size, &QAbstractButton::clicked, guard, [this] { SBtnStateSzClick(); });
    if (auto* timer = root ? root->findChild<QTimer*>(QStringLiteral("TmStateVi")) : nullptr)
        QObject::connect(timer, &QTimer::timeout, guard, [this] { TmStateViTimer(); });
}

StatisticsBinder::~StatisticsBinder() {
    if (currentBinder == this) currentBinder = nullptr;
}

void StatisticsBinder::ShowStatistics() {
    DialogState& st = dialogState;
    if (st.statBusy) return;
    st.statBusy = 1;
    if (!livePorts || st.selPort < 0 || st.selPort >= VRT_PORT_COUNT) {
        st.statBusy = 0;
        return;
    }
    if (st.dlgMode == kModeStatistics) vrt::link::ShowTestPanelColour();

    const Impl& d = *impl_;
    const PortRecord& r = livePorts[st.selPort];
    const StatisticsView v = ComputeStatistics(r, _vrtCL_fPhase2str(st.selPort));

    SetWidgetText(d.find("GrBExtState"), v.groupCaption);
    SetWidgetText(d.find("StTxtSOp"), v.op);
    SetWidgetText(d.find("StTxtSRez"), v.result);

    const std::pair<const char*, const StatField*> fields[] = {
        {"StTxtStCOut", &v.cOut},       {"StTxtStCErrOut", &v.cErrOut},       {"StTxtStCInp", &v.cInp},
        {"StTxtStCErrInp", &v.cErrInp}, {"StTxtSErrAnswer", &v.errAnswer},    {"StTxtStErr", &v.errTotal},
        {"StTxtStErrPercent", &v.errPercent}, {"StTxtStCRq", &v.cRq}, {"StTxtStCErrRq", &v.cErrRq},
        {"StTxtTmRq", &v.tmRq},
    };
    for (const auto& [name, field] : fields) {
        QWidget* w = d.find(name);
        SetTextColour(w, field->colour);
        SetWidgetText(w, field->text);
    }

    QWidget* phone = d.find("StTxtPhone");
    SetWidgetText(phone, v.phone);
    if (phone) phone->setVisible(v.phoneVisible);
    if (QWidget* img = d.find("ImgPhoneModem")) img->setVisible(v.phoneVisible);

    st.statBusy = 0;
}

void StatisticsBinder::ShowPortState() {
    const DialogState& st = dialogState;
    const Impl& d = *impl_;
    if (!livePorts) return;
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) {
        QRadioButton* button = d.radioButton(k);
        if (!button) continue;
        const PortMark mark = ComputePortMark(livePorts[k], k == st.rememberedPort, st.testOpened[k] != 0);
        button->setToolTip(ToQ(mark.hint));
        // During a link test the port box is disabled and must look it.
        SetEnabledTextColour(button, mark.colour);
    }
    if (st.selPort < 0 || st.selPort >= VRT_PORT_COUNT) return;
    const PortRecord& r = livePorts[st.selPort];
    SetWidgetText(d.find("STxtMode"), FormatModeLine(st.modeTitle, st.selPort, r, st.dlgMode, IS_GLOBAL));
    if (st.dlgMode != kModeSelect)
        if (QWidget* img = d.find("ImgIsModem")) img->setVisible(r.usage != 0);

    auto* pages = d.widgets.as<QTabWidget>("PgCtrlSet");
    if (pages && pages->currentIndex() == 2) {
        vrt::link::ShowTestButton();
        vrt::link::ShowTestPanelColour();
    }
}

void StatisticsBinder::TmStateViTimer() {
    DialogState& st = dialogState;
    if (st.timerBusy) return;
    st.timerBusy = 1;
    ShowStatistics();
    st.timerBusy = 0;
}

void StatisticsBinder::CBTmStateChange() {
    auto* list = impl_->widgets.as<QComboBox>("CBTmState");
    if (!list) return;
    int32_t index = list->currentIndex();
    // Text typed into an editable list chooses only when it names an item.
    if (list->isEditable()) index = list->findText(list->currentText());
    const int32_t shown = ChooseRefreshPeriod(index);
    if (shown != list->currentIndex() || index != shown) list->setCurrentIndex(shown);
    ShowPageHelp();
}

void StatisticsBinder::SBtnStateClearClick() {
    const int32_t port = dialogState.selPort;
    if (livePorts && port >= 0 && port < VRT_PORT_COUNT) ClearPortStatistics(livePorts[port]);
}

void StatisticsBinder::SBtnStateSzClick() {
    dialogState.extView = !dialogState.extView;
    ArrangeForMode();
}

void ShowStatistics() {
    if (currentBinder) currentBinder->ShowStatistics();
}

void ShowPortState() {
    if (currentBinder) currentBinder->ShowPortState();
}

void TmStateViTimer() {
    if (currentBinder) currentBinder->TmStateViTimer();
}

}  // namespace vrt::link
