// Statistics texts, colours, port marks and the mode line of the settings
// dialog, computed from one port record.
#include "link/dlgset/statistics.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/error_log.h"
#include "link/dlgset/link_settings.h"
#include "platform/cp1251.h"

namespace vrt::link {

using namespace vrt::literals;

namespace {

std::string Format(const char* fmt, auto... args) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

// "%lu " of a counter, empty for 0.
std::string CounterText(uint32_t value) {
    return value == 0 ? std::string() : Format("%lu ", static_cast<unsigned long>(value));
}

// "%lu" of a request counter, two blanks for 0.
std::string RequestText(uint32_t value) {
    return value == 0 ? std::string("  ") : Format("%lu", static_cast<unsigned long>(value));
}

}  // namespace

StatisticsView ComputeStatistics(const PortRecord& r, const char* phaseText) {
    StatisticsView v;
    v.groupCaption = phaseText ? phaseText : "";

    if (r.lastOp != 0) {
        const char* op = _vrtCL_fOp2str(r.lastOp);
        v.op = op ? op : "";
        if (r.opDone != 0) {
            if (r.lastResult == 0) {
                v.result = "Ok";
            } else {
                const char* err = _vrtCL_fErr2str(r.lastResult);
                char buf[512];
                std::snprintf(buf, sizeof buf, "[%i] %s", static_cast<int>(r.lastResult), err ? err : "");
                v.result = buf;
            }
        }
    }

    const uint32_t w = r.cntOut;
    const uint32_t i = r.cntInp;
    v.cOut.text = CounterText(w);
    v.cErrOut.text = CounterText(r.cntErrOut);
    v.cInp.text = CounterText(i);
    v.cErrInp.text = CounterText(r.cntErrInp);
    v.errAnswer.text = CounterText(r.cntErrAnswer + r.cntNegAnswer);

    // Negative answers are the controllers' refusals, not link faults: they
    // count in the total (blue when they are all of it) but not in the percentage.
    const uint32_t total = r.cntErrOut + r.cntErrInp + r.cntErrAnswer + r.cntNegAnswer;
    bool percentShown = false;
    double percent = 0.0;
    if (total == 0) {
        v.errTotal.text.clear();
        v.errTotal.colour = DlgColour::Keep;
    } else {
        v.errTotal.colour = total == r.cntNegAnswer ? DlgColour::Blue : DlgColour::Maroon;
        v.errTotal.text = CounterText(total);
        const uint32_t exchanged = w + i;
        const uint32_t errors = total - r.cntNegAnswer;
        if (exchanged != 0 && errors != 0) {
            // Frames written count in the base only when some write failed.
            const uint32_t base = r.cntErrOut != 0 ? exchanged : i;
            percent = base == 0 ? 0.0 : static_cast<double>(errors) / static_cast<double>(base) * 100.0;
            percentShown = true;
        }
    }
    v.errPercent.colour = percentShown && !(percent > 1.0) ? DlgColour::WindowText : DlgColour::Maroon;
    v.errPercent.text = percentShown ? Format("%8.2f%%", percent) : std::string();

    v.cRq.text = RequestText(r.cntRq);
    v.cErrRq.text = r.cntRq == 0 ? std::string("  ") : RequestText(r.cntErrRq);

    char work[256] = {};
    FormatWorkTime(r.tmRq, work);
    v.tmRq.text = work;

    // The record is plain memory a host may have written: never read past the field.
    v.phone.assign(r.phone, strnlen(r.phone, sizeof r.phone));
    v.phoneVisible = r.usage != 0;
    return v;
}

PortMark ComputePortMark(const PortRecord& r, bool remembered, bool testOpened) {
    PortMark m;
    if (remembered) m.hint = " исходный"_cp;
    const bool open = r.phase != 0;
    m.hint += open ? " порт ОТКРЫТ"_cp : " порт закрыт"_cp;
    m.colour = !open ? DlgColour::WindowText : testOpened ? DlgColour::Green : DlgColour::Blue;
    return m;
}

std::string FormatModeLine(const char* modeTitle, int32_t port, const PortRecord& r, int32_t dlgMode,
                           int32_t isGlobal) {
    const bool open = r.phase != 0;
    const uint32_t baud = open ? r.dcb.baudRate : r.baud;
    const char* tail = dlgMode == kModeSelect ? " "
                       : isGlobal == 1        ? ". Глобальная конфигурация"_cp
                                              : ". Локальная конфигурация"_cp;
    char buf[512];
    std::snprintf(buf, sizeof buf, " %s  [%c COM%i, %6lu]%s", modeTitle ? modeTitle : "", open ? '+' : '-',
                  static_cast<int>(port + 1), static_cast<unsigned long>(baud), tail);
    return buf;
}

int32_t RefreshPeriodIndex(uint32_t period) {
    for (int32_t k = 0; k < 5; ++k)
        if (kRefreshPeriods[k] == period) return k;
    return 2;
}

int32_t ChooseRefreshPeriod(int32_t index) {
    if (index < 0 || index > 4) index = RefreshPeriodIndex(static_cast<uint32_t>(CommonOptionsApplied.tmState));
    CommonOptionsEdited.tmState = static_cast<int32_t>(kRefreshPeriods[index]);
    return index;
}

void ClearPortStatistics(PortRecord& r) {
    constexpr size_t from = offsetof(PortRecord, lastOp);
    constexpr size_t to = offsetof(PortRecord, hCom);
    static_assert(to - from == 64, "the run-time and statistics area is 64 bytes");
    std::memset(reinterpret_cast<unsigned char*>(&r) + from, 0, to - from);
}

}  // namespace vrt::link
