#pragma once
// Statistics of the settings dialog's selected port: the counter panel, the
// status group, the port radio buttons' marks and the mode line.
//
// The texts and colours are computed by Qt-free functions from a port record;
// StatisticsBinder puts them into the dialog's widgets, which it finds by
// object name under the dialog's root widget. Everything is read from the live
// port table (livePorts), never from the working copy.
#include <cstdint>
#include <memory>
#include <string>

#include "vrtclnk.h"

class QWidget;

namespace vrt::link {

// Colours of the dialog's texts and panels. Keep leaves a control's colour as
// it is; WindowText, InfoBk and BtnFace are the user's system colours.
enum class DlgColour { Keep, WindowText, Maroon, Blue, Green, Red, Lime, InfoBk, BtnFace };

struct StatField {
    std::string text;
    DlgColour colour = DlgColour::Keep;
};

// Everything ShowStatistics puts into the counter panel and the status group.
struct StatisticsView {
    std::string groupCaption;  // GrBExtState: the port's phase text
    std::string op;            // StTxtSOp
    std::string result;        // StTxtSRez
    StatField cOut, cErrOut, cInp, cErrInp, errAnswer;  // "%lu " or empty
    StatField errTotal;        // StTxtStErr
    StatField errPercent;      // StTxtStErrPercent
    StatField cRq, cErrRq;     // StTxtStCRq, StTxtStCErrRq
    StatField tmRq;            // StTxtTmRq
    std::string phone;         // StTxtPhone
    bool phoneVisible = false; // StTxtPhone and ImgPhoneModem
};

// Texts and colours of one record; `phaseText` becomes the group caption.
StatisticsView ComputeStatistics(const PortRecord& record, const char* phaseText);

// Hint and font colour of port radio button k.
struct PortMark {
    std::string hint;
    DlgColour colour = DlgColour::WindowText;
};
PortMark ComputePortMark(const PortRecord& record, bool remembered, bool testOpened);

// The mode line " %s  [%c COM%i, %6lu]%s" of `port` (0..3).
std::string FormatModeLine(const char* modeTitle, int32_t port, const PortRecord& record, int32_t dlgMode,
                           int32_t isGlobal);

// Refresh periods of the list CBTmState, in item order.
inline constexpr uint32_t kRefreshPeriods[5] = {0, 100, 250, 500, 1000};
// Item index of a period; 2 (250 ms) when the period is not in the list.
int32_t RefreshPeriodIndex(uint32_t period);
// CBTmState's choice: a valid index sets the edited tmState; any other index
// falls back to the applied period's item. Returns the item index to show.
int32_t ChooseRefreshPeriod(int32_t index);

// Zeroes the run-time and statistics area of a record (lastOp through the
// three reserved words after tmRq).
void ClearPortStatistics(PortRecord& record);

// Binds the statistics logic to a dialog. Construct it after the form's
// widgets exist (setupUi done); it connects CBTmState, SBtnStateClear,
// SBtnStateSz and, when a QTimer child named "TmStateVi" exists under the
// root, that timer's timeout. The frame keeps starting, stopping and setting
// the timer's interval. The newest living binder serves the free functions
// below; destroying it detaches them. Destroy it before the form's widgets
// (for instance as a member of the form class).
class StatisticsBinder {
public:
    explicit StatisticsBinder(QWidget* root);
    ~StatisticsBinder();
    StatisticsBinder(const StatisticsBinder&) = delete;
    StatisticsBinder& operator=(const StatisticsBinder&) = delete;

    void ShowStatistics();
    void ShowPortState();
    void TmStateViTimer();
    void CBTmStateChange();
    void SBtnStateClearClick();
    void SBtnStateSzClick();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Hooks the dialog frame calls. Each works on the current binder and does
// nothing when no dialog is bound.
void ShowStatistics();   // counters and status group of selPort
void ShowPortState();    // radio button marks, mode line, ImgIsModem (and test button on page 2)
void TmStateViTimer();   // handler of the refresh timer TmStateVi

}  // namespace vrt::link
