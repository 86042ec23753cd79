#include "dlgset/error_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "dlgset/link_settings.h"
#include "dlgset/module_names.h"
#include "platform/cp1251.h"
#include "platform/local_time.h"
#include "platform/log_file.h"
#include "vrtclnk.h"
#include "vrtcltrn/port_table.h"

using namespace vrt::literals;

namespace vrt::link {
namespace {

constexpr size_t kEntrySize = 2048;
constexpr size_t kLineSize = 256;
// Every 21st entry since the file was opened is pushed to the disk.
constexpr int32_t kEntriesPerFlush = 20;

struct ErrLogState {
    // Threads that each keep to their own port log into the one file: an
    // entry, the BEGIN block with it and the END block are written whole.
    std::recursive_mutex lock;
    platform::LogFile file;
    int32_t busy = 0;          // set while the first entry opens the file
    int32_t beginWritten = 0;  // the BEGIN block of this opening is written
    int32_t entriesSinceFlush = 0;
    std::string pathOverride;
};
// Never destroyed: the library's unload closes the ports, and with them the
// log, after the C++ globals of the library are gone.
ErrLogState& logState() {
    static ErrLogState* const state = new ErrLogState;
    return *state;
}

constexpr const char* kWeekdays[] = {"Вск"_cp, "Пнд"_cp, "Втр"_cp, "Срд"_cp, "Чтв"_cp, "Птн"_cp, "Сбб"_cp};
constexpr const char* kMonths[] = {"Янв"_cp, "Фев"_cp, "Мар"_cp, "Апр"_cp, "Май"_cp, "Июн"_cp,
                                   "Июл"_cp, "Авг"_cp, "Сен"_cp, "Окт"_cp, "Ноя"_cp, "Дек"_cp};
// Shown for a weekday or month outside its table.
constexpr const char* kUnknownName = "???";

// A fixed buffer that formats in pieces and never overruns.
class Text {
public:
    void append(const char* format, ...) {
        if (used_ >= sizeof(bytes_) - 1) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(bytes_ + used_, sizeof(bytes_) - used_, format, args);
        va_end(args);
        if (n > 0) used_ = std::min(sizeof(bytes_) - 1, used_ + size_t(n));
    }
    const char* c_str() const { return bytes_; }

private:
    char bytes_[kEntrySize] = {};
    size_t used_ = 0;
};

// The log never changes errno under the request it records.
class KeepErrno {
public:
    KeepErrno() : saved_(errno) {}
    ~KeepErrno() { errno = saved_; }

private:
    int saved_;
};

const std::string& logPath() {
    return logState().pathOverride.empty() ? BuildModuleNames().errLogFile : logState().pathOverride;
}

const PortRecord& record(int32_t port) {
    const PortRecord* table = livePorts != nullptr ? livePorts : PortTable;
    return table[port];
}

bool loggingOn() { return CommonOptionsEdited.StGRegErr > 0; }

}  // namespace

char* FormatLogDate(char* buf) {
    if (buf == nullptr) return nullptr;
    const platform::LocalTime t = platform::localTime();
    const char* weekday = t.dayOfWeek < 7 ? kWeekdays[t.dayOfWeek] : kUnknownName;
    const char* month = t.month >= 1 && t.month <= 12 ? kMonths[t.month - 1] : kUnknownName;
    std::snprintf(buf, kLineSize, "%s %02u %s %4u, %02u:%02u:%02u (%02u.%02u.%04u)", weekday, unsigned(t.day), month,
                  unsigned(t.year), unsigned(t.hour), unsigned(t.minute), unsigned(t.second), unsigned(t.day),
                  unsigned(t.month), unsigned(t.year));
    return buf;
}

void FormatWorkTime(uint32_t ms, char* out) {
    if (out == nullptr) return;
    if (ms == 0) {
        std::snprintf(out, kLineSize, " ");
        return;
    }
    const unsigned long hours = ms / 3600000u;
    const unsigned long minutes = (ms / 1000u % 3600u) / 60u;
    const unsigned long seconds = ms / 1000u % 60u;
    const unsigned long millis = ms % 1000u;
    std::snprintf(out, kLineSize, hours < 10 ? "%02lu:%02lu:%02lu [%03lu]" : "%4lu:%02lu:%02lu [%03lu]", hours, minutes,
                  seconds, millis);
}

bool ErrLogWrite(const char* text) {
    const std::lock_guard lock(logState().lock);
    if (text == nullptr || !logState().file.isOpen()) return false;
    return logState().file.write(text, std::strlen(text));
}

void ErrLogRequest(int32_t port, const uint8_t* req, uint16_t reqLen, const uint8_t* /*ans*/, uint16_t /*ansLen*/,
                   const uint16_t* /*outLen*/, int32_t result) {
    if (!loggingOn() || result == 0 || port < 0 || port >= VRT_PORT_COUNT) return;
    const std::lock_guard lock(logState().lock);
    if (logState().busy != 0) return;
    const KeepErrno keepErrno;

    if (!logState().file.isOpen()) {
        logState().busy = 1;
        logState().entriesSinceFlush = 0;
        // A log that cannot be opened stays off (busy) until the library is
        // unloaded; the request's own result is not touched.
        if (!logState().file.open(logPath())) return;
    }

    const PortRecord& rec = record(port);
    char date[kLineSize];
    FormatLogDate(date);
    char workTime[kLineSize];

    Text text;
    if (logState().beginWritten == 0) {
        logState().beginWritten = 1;
        FormatWorkTime(rec.tmRq, workTime);
        text.append("\n**BEGIN  %s\n", date);
        text.append(" #Наработка =%s\n\n"_cp, workTime);
    }
    const unsigned id = (req != nullptr && reqLen > 4) ? req[0] : 0u;
    text.append("   [Com%i:ID=%3u] %s\n                 КОД=%2i:%s\n"_cp, int(port + 1), id, date, int(result),
                _vrtCL_fErr2str(result));
    text.append("                         Запросов %10lu, из них %10lu с ошибкой.\n"_cp, (unsigned long)rec.cntRq,
                (unsigned long)rec.cntErrRq);
    ErrLogWrite(text.c_str());

    if (++logState().entriesSinceFlush > kEntriesPerFlush) {
        logState().entriesSinceFlush = 0;
        logState().file.flush();
    }
    logState().busy = 0;
}

void ErrLogPortClosed(int32_t port, int32_t opened) {
    if (!loggingOn() || opened != 0 || OpenPortCount != 0) return;
    const std::lock_guard lock(logState().lock);
    if (!logState().file.isOpen()) return;
    const KeepErrno keepErrno;

    char workTime[kLineSize];
    FormatWorkTime(port >= 0 && port < VRT_PORT_COUNT ? record(port).tmRq : 0u, workTime);
    char date[kLineSize];
    FormatLogDate(date);

    Text text;
    text.append("\n\n #Наработка =%s\n"_cp, workTime);
    text.append("**END    %s\n\n", date);
    ErrLogWrite(text.c_str());
    logState().file.flush();
    logState().file.close();
    logState().busy = 0;
    logState().beginWritten = 0;
}

void ErrLogSetPathForTesting(const std::string& path) {
    const std::lock_guard lock(logState().lock);
    logState().pathOverride = path;
}

void ErrLogResetForTesting() {
    const std::lock_guard lock(logState().lock);
    logState().file.close();
    logState().busy = 0;
    logState().beginWritten = 0;
    logState().entriesSinceFlush = 0;
}

bool ErrLogIsOpen() {
    const std::lock_guard lock(logState().lock);
    return logState().file.isOpen();
}

}  // namespace vrt::link
