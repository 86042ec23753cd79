#include "vrtclmdm/modem_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "paramtext/param_text.h"
#include "platform/clock.h"
#include "platform/cp1251.h"
#include "platform/module.h"
#include "platform/pump.h"
#include "vrtclmdm/modem_port.h"
#include "vrtcltrn/codes.h"

using namespace vrt::literals;

// The progress window is reached only through the modem states.
VRT_API void* _FrmMDMWork = nullptr;

namespace vrt::link {
namespace {

constexpr uint32_t kHeaderPauseMs = 200;
// How long the stop lines after an abort may take, waits for their answers
// included: a host that aborted gets its call back within a second, whether
// the modem answers them or not (a bare "+++" gets no answer from a real
// modem, and one that has gone quiet answers nothing).
constexpr uint32_t kStopAfterAbortMs = 650;
// A stop line still goes out after that time only when its send, with the
// pause behind it, ends within this much more: on a slow line the pauses
// alone would hold the call for seconds.
constexpr uint32_t kStopSendGraceMs = 150;
constexpr uint32_t kWaitSliceMs = 2;  // waits pump between slices this short

struct AnswerWord {
    const char* key;
    const char* text;
};
// Searched in this order; the first key found anywhere in the line wins.
const AnswerWord kAnswerTable[] = {
    {"OK", "Порядок!"_cp},
    {"CONNECT", "СОЕДИНЕНИЕ!"_cp},
    {"RING", "ЗВОНОК"_cp},
    {"NO CARRIER", "НЕТ НЕСУЩЕЙ"_cp},
    {"ERROR", "ОШИБКА"_cp},
    {"NO DIALTONE", "НЕТ ГУДКА"_cp},
    {"BUSY", "ЗАНЯТО"_cp},
    {"NO ANSWER", "НЕТ ОТВЕТА"_cp},
};

std::once_flag g_initialised;
std::string g_title;
// Dialogues of function 1 running on this thread. One that a handler starts
// inside another would hold the outer one until it ended, and its modal
// window would stand in the way of the outer one's: it is refused instead.
thread_local int t_linkDialogues = 0;
ModemState g_states[VRT_PORT_COUNT];
TablePort g_ports[VRT_PORT_COUNT] = {TablePort(0), TablePort(1), TablePort(2), TablePort(3)};
ProgressViewFactory g_factory = &CreateQtProgressView;

void pump() { platform::processMessages(); }

uint32_t charTime(ModemState& st, uint32_t chars) {
    return _vrtCL_fCalcTimeOut(uint16_t(std::min<uint32_t>(chars, 0xFFFF)), st.port->baud());
}

// Bounded copy that always terminates `dst` (dstSize bytes).
void copyText(char* dst, size_t dstSize, const char* src) {
    const size_t n = std::min(std::strlen(src), dstSize - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

template <size_t N>
void setText(char (&dst)[N], const char* src) {
    copyText(dst, N, src);
}

// Texts written by hosts straight into the record need not be terminated.
void terminateSettings(ModemBlock& b) {
    b.phone[sizeof b.phone - 1] = '\0';
    b.cmdATD[sizeof b.cmdATD - 1] = '\0';
    for (auto& line : b.cmdLines) line[sizeof line - 1] = '\0';
}

// A pumping wait that does not end when the function finishes.
void pumpFor(uint32_t ms) {
    platform::waitInSlices(ms, kWaitSliceMs, [] {
        pump();
        return true;
    });
}

// Whether the running function has ended, a host's abort included.
bool ended(ModemState& st) {
    MdmHostAbort(st);
    return st.finished != 0;
}

// `ms`, cut to what is left of the time for the stop lines after an abort.
uint32_t withinStopTime(const ModemState& st, uint32_t ms) {
    if (!st.stopping) return ms;
    const int32_t left = int32_t(st.stopDeadline - platform::tickMs());
    return left <= 0 ? 0 : std::min(ms, uint32_t(left));
}

bool stopTimeOver(const ModemState& st) { return st.stopping && withinStopTime(st, 1) == 0; }

// Whether a send of `ms` fits the time for the stop lines (always outside them).
bool sendFitsStopTime(const ModemState& st, uint32_t ms) {
    return !st.stopping || int32_t(st.stopDeadline + kStopSendGraceMs - platform::tickMs()) >= int32_t(ms);
}

// A wait that the time for the stop lines does not cut: a command must
// have left the line before the next one purges the queues.
void waitPumpingWhole(ModemState& st, uint32_t ms) {
    platform::waitInSlices(ms, kWaitSliceMs, [&st] {
        pump();
        return !ended(st);
    });
}

constexpr uint32_t kSendLeadMs = 5;  // the pause before a command is written

// How long MdmSend takes for a command of `length` bytes.
uint32_t sendTime(ModemState& st, int32_t length) { return kSendLeadMs + charTime(st, uint32_t(length) + 35); }

// The status line follows the steps, except while the stop lines after an
// abort run: the window then shows how the function ended.
template <class... Args>
void setStatus(ModemState& st, const char* format, Args... args) {
    if (!st.stopping) std::snprintf(st.statusLine, sizeof st.statusLine, format, args...);
}

// An aborted modem may still be dialling or online, and with DTR ignored
// (AT&D0 among the default lines) closing the port does not stop it: a modem
// that answered gets the stop lines, as after a failed dial. The function
// stays aborted and the window says so, with its break button disabled;
// the stop lines get a bounded time, and another abort cuts them short.
void stopAfterAbort(ModemState& st, bool dialAttempted, const char* message, char* line, int32_t* lineLength) {
    const bool flagged = st.port->abortRequested();
    st.port->clearAbort();
    st.finished = 0;
    std::snprintf(st.statusLine, sizeof st.statusLine, " %s", message);
    if (st.form) st.form->showStopping();
    MdmFormRefresh(st);
    st.stopping = true;
    st.stopDeadline = platform::tickMs() + kStopAfterAbortMs;
    if (dialAttempted) WaitPumping(st, 200);
    if (!ended(st)) MdmRunCommands(st, kGroupStop, line, lineLength, kAnswerCapacity);
    st.stopping = false;
    st.finished = 1;
    st.result = kErrAborted;
    st.finalResult = kErrAborted;
    if (flagged && !st.port->abortRequested()) st.port->requestAbort();
}

void runLinkDialogue(ModemState& st, bool& outcomeSet, int32_t& outcome) {
    char line[kAnswerCapacity + 1] = {};
    int32_t lineLength = 0;
    st.commandsSent = 0;
    st.answersRecognised = 0;
    if (!ended(st)) MdmRunCommands(st, kGroupStop, line, &lineLength, kAnswerCapacity);
    if (!ended(st)) MdmRunCommands(st, kGroupPrepare, line, &lineLength, kAnswerCapacity);

    const char* message = nullptr;
    bool dialAttempted = false;
    bool connected = false;
    if (!ended(st)) {
        if (st.commandsSent >= 2 && st.answersRecognised == 0) {
            outcomeSet = true;
            outcome = kErrModemNotFound;
            message = "Модем не обнаружен (выключен)! Связь не установлена."_cp;
        } else if (st.phonePresent) {
            dialAttempted = true;
            const int32_t sent = MdmRunCommands(st, kGroupDial, line, &lineLength, kAnswerCapacity);
            // An abort during the wait makes whatever was read no connection.
            connected = sent != 0 && !ended(st) && std::strstr(line, "CONNECT") != nullptr;
        } else {
            outcomeSet = true;
            outcome = kErrModemParams;
            message = "Нет тел.номера! Связь не установливалась."_cp;
        }
    }

    if (connected) {
        st.connected = 1;
        st.result = 0;
        st.finalResult = 0;
        st.finished = 1;
        message = "Связь установлена!"_cp;
        if (st.form) st.form->showOutcome(true);
    } else {
        st.connected = 0;
        if (st.form) st.form->showOutcome(false);
        // A modem that answered is left stopped.
        if (st.answersRecognised > 0 && st.finished) {
            stopAfterAbort(st, dialAttempted,
                           dialAttempted ? "Не удалось установить связь!"_cp : "Установка связи прервана!"_cp, line,
                           &lineLength);
        } else if (st.answersRecognised > 0) {
            if (dialAttempted) WaitPumping(st, 200);
            MdmRunCommands(st, kGroupStop, line, &lineLength, kAnswerCapacity);
        }
        if (!outcomeSet) {
            outcomeSet = true;
            outcome = kErrModemConnect;
            if (dialAttempted) message = "Не удалось установить связь!"_cp;
        }
    }
    if (st.result == kErrAborted && !message) message = "Установка связи прервана!"_cp;
    if (!message) message = "";

    std::snprintf(st.statusLine, sizeof st.statusLine, " %s", message);
    MdmFormRefresh(st);
    pump();
    if (connected) {
        std::snprintf(st.statusLine, sizeof st.statusLine, " %s (Подождем ...)"_cp, message);
        MdmFormRefresh(st);
        pumpFor(200);
        st.port->clear();
        std::snprintf(st.statusLine, sizeof st.statusLine, " %s", message);
    }
    if (st.form) st.form->showEnded();
    MdmFormRefresh(st);
    st.endTick = platform::tickMs();
    pump();
}

// A host's abort after the connection was made (during the pause or the
// window's countdown) still fails the call: the modem is brought back from
// the line.
void hangUpAfterHostAbort(ModemState& st) {
    if (!MdmHostAbort(st) || !st.connected) return;
    st.connected = 0;
    char line[kAnswerCapacity + 1] = {};
    int32_t lineLength = 0;
    stopAfterAbort(st, false, "Установка связи прервана!"_cp, line, &lineLength);
}

// Function 1: prepare, dial and wait for the connection.
// Returns false when the call must end at once with `early`.
bool runLinkFunction(ModemState& st, int32_t& early) {
    st.port->raiseDtr();
    MdmCloseForm(st);
    std::memcpy(&st.settings, reinterpret_cast<const char*>(st.record) + offsetof(PortRecord, usage),
                sizeof st.settings);
    terminateSettings(st.settings);
    st.functionNo = 1;
    st.stage = 0;
    st.finished = 0;
    std::snprintf(st.title, sizeof st.title, "[COM%i] Установка связи"_cp, int(st.portIndex + 1));
    st.active = 1;
    st.hostAbort = false;
    // An abort request left from an earlier operation must not cut this dial short.
    st.port->clearAbort();

    if (!MdmCheckSettings(st)) {
        st.connected = 1;
        st.result = 0;
        return true;
    }

    std::unique_ptr<ProgressController> controller;
    std::unique_ptr<ProgressView> view;
    try {
        controller = std::make_unique<ProgressController>(st);
        if (g_factory) view = g_factory(*controller);
    } catch (...) {
        MdmSessionReset(st);
        early = kErrNoWorkData;
        return false;
    }

    if (!view) {
        // No window can be shown here: the same dialogue, without it.
        MdmExecute(st);
        st.stage = 2;
        MdmExecute(st);
        hangUpAfterHostAbort(st);
        return true;
    }

    controller->attach(std::move(view));
    st.form = std::move(controller);
    st.form->init();
    MdmExecute(st);
    st.form->runModal();
    // The window's loop can end without its close handler (the application
    // quits): the dialogue must not be left waiting for a window that is gone.
    if (!st.finished) MdmAbort(st);
    while (!(st.finished && (st.closeNow || st.finalResult == kErrAborted))) {
        pump();
        MdmFormRefresh(st);
        platform::sleepMs(10);
    }
    hangUpAfterHostAbort(st);
    return true;
}

// Function 2: the stop lines, from the settings of the last function 1.
void runEndFunction(ModemState& st) {
    MdmCloseForm(st);
    st.functionNo = 2;
    st.stage = 0;
    st.finished = 0;
    std::snprintf(st.title, sizeof st.title, "[COM%i] Закончить работу с модемом"_cp, int(st.portIndex + 1));
    st.port->clearAbort();
    if (MdmCheckSettings(st)) {
        MdmExecute(st);
        st.stage = 2;
        MdmExecute(st);
        pump();
        st.closeNow = 1;
    } else {
        st.finished = 1;
        st.result = 0;
        st.finalResult = 0;
    }
}

void initialiseModule() {
    std::string host = platform::hostPath();
    const size_t slash = host.find_last_of('/');
    if (slash != std::string::npos) host.erase(0, slash + 1);
    g_title = std::string("VortanCommMDM  v0.01") + ": " + platform::nameText(host);
    for (int32_t i = 0; i < VRT_PORT_COUNT; ++i) {
        ModemState& st = g_states[i];
        st.form.reset();
        st = ModemState{};
        st.portIndex = i;
        st.port = &g_ports[i];
    }
}

}  // namespace

void MdmModuleInit() { std::call_once(g_initialised, initialiseModule); }

const char* MdmModuleTitle() {
    MdmModuleInit();
    return g_title.c_str();
}

ModemState& MdmStateOf(int32_t index) {
    MdmModuleInit();
    return g_states[std::clamp<int32_t>(index, 0, VRT_PORT_COUNT - 1)];
}

ProgressViewFactory SetProgressViewFactory(ProgressViewFactory factory) {
    const ProgressViewFactory old = g_factory;
    g_factory = factory;
    return old;
}

int32_t MdmWork(ModemState& st, int32_t functionNo) {
    st.closeNow = 0;
    if (functionNo == 2 && !(st.active && st.connected && st.dialPresent)) {
        MdmSessionReset(st);
        return 0;
    }
    st.port->begin();
    if (!st.port->isOpen()) {
        MdmSessionReset(st);
        return kErrClosed;
    }
    st.result = kErrAborted;
    if (functionNo == 1) {
        int32_t early = 0;
        if (!runLinkFunction(st, early)) return early;
    } else if (functionNo == 2) {
        runEndFunction(st);
    }
    pump();
    const int32_t result = st.result;
    MdmCloseForm(st);
    if (st.active && st.port->isOpen()) {
        platform::sleepMs(5);
        st.port->clear();
        platform::sleepMs(50);
    }
    return result;
}

bool MdmCheckSettings(ModemState& st) {
    ModemBlock& b = st.settings;
    terminateSettings(b);
    StrRemoveBlanks(b.phone);
    StrRemoveBlanks(b.cmdATD);
    bool anyLine = false;
    for (auto& line : b.cmdLines) {
        StrRemoveBlanks(line);
        if (line[0] != '\0') anyLine = true;
    }
    st.phonePresent = b.phone[0] != '\0';
    st.dialPresent = b.cmdATD[0] != '\0';
    return anyLine;
}

int32_t MdmExecute(ModemState& st) {
    pump();
    st.endTick = 0;
    if (st.finished) return st.result;
    if (st.stage == 0) {
        st.stage = 1;
        setText(st.statusLine, " Подготока к выполнению функции"_cp);
        MdmFormRefresh(st);
        return 0;
    }
    if (st.stage != 2) return 0;

    bool outcomeSet = false;
    int32_t outcome = 0;
    if (st.functionNo == 1) {
        runLinkDialogue(st, outcomeSet, outcome);
    } else if (st.functionNo == 2) {
        char line[kAnswerCapacity + 1] = {};
        int32_t lineLength = 0;
        st.commandsSent = 0;
        st.answersRecognised = 0;
        MdmRunCommands(st, kGroupStop, line, &lineLength, kAnswerCapacity);
        st.endTick = platform::tickMs();
        outcomeSet = true;
        outcome = 0;
    }
    // An abort that finished the function earlier keeps its -51.
    if (outcomeSet && !st.finished) {
        st.finalResult = outcome;
        st.result = outcome;
        st.finished = 1;
        pump();
    }
    return st.result;
}

int32_t MdmRunCommands(ModemState& st, int32_t group, char* out, int32_t* outLength, int32_t capacity) {
    pump();
    char answerLine[kAnswerCapacity + 2] = {};
    if (out && capacity >= 0) out[0] = '\0';
    if (outLength) *outLength = 0;
    if (group <= kGroupNone || group > kGroupDial) return 0;

    int32_t sentAny = 0;
    const char* header = "";
    const int lastLine = group == kGroupStop ? 5 : group == kGroupPrepare ? 11 : 0;
    for (int line = 0; line <= lastLine; ++line) {
        pump();
        uint32_t answerMs = st.settings.tmAnswer;
        const char* newHeader = nullptr;
        char text[VRT_CMD_SIZE + VRT_PHONE_SIZE] = {};
        if (group == kGroupDial) {
            newHeader = "Попытка соединения"_cp;
            StrRemoveBlanks(st.settings.cmdATD);
            StrRemoveBlanks(st.settings.phone);
            if (!st.settings.cmdATD[0] || !st.settings.phone[0]) break;
            std::snprintf(text, sizeof text, "%s%s", st.settings.cmdATD, st.settings.phone);
            answerMs += st.settings.tmConnect * 1000u;
        } else {
            if (line == 0) newHeader = "Остановка работы модемов"_cp;
            if (line == 6) newHeader = "Подготовка модема к работе"_cp;
            setText(text, st.settings.cmdLines[line]);
        }
        if (newHeader) {
            header = newHeader;
            setStatus(st, " %s [Пауза %lu мс]"_cp, header, static_cast<unsigned long>(kHeaderPauseMs));
            MdmFormRefresh(st);
            // The pause keeps its length after an abort (within the time for
            // the stop lines); the window and the host's handlers stay live
            // through it.
            pumpFor(withinStopTime(st, kHeaderPauseMs));
            MdmHostAbort(st);
        }
        setStatus(st, " %s", header);
        MdmFormRefresh(st);

        char field[sizeof st.commandBuffer] = {};
        for (int32_t index = 0; !ended(st); ++index) {
            if (!SplitField(index, text, field, sizeof field)) break;
            const int32_t length = MdmBuildCommand(field, st.commandBuffer, kCommandCapacity, true);
            if (length == 0) continue;
            setStatus(st, " %s [%s] ...", header, field);
            MdmFormRefresh(st);
            pump();
            if (ended(st)) break;
            if (!sendFitsStopTime(st, sendTime(st, length))) continue;

            answerLine[0] = '\0';
            sentAny = 1;
            ++st.commandsSent;
            int32_t received = 0;
            const int32_t ok = MdmTransact(st, st.commandBuffer, length, answerMs, st.answerBuffer,
                                           kAnswerCapacity, &received);
            setText(st.lastCommand, field);
            if (!ok) {
                setText(st.lastAnswer, "Нет реакции"_cp);
            } else if (MdmLastAnswerLine(st.answerBuffer, answerLine, kAnswerCapacity) == 0) {
                setText(st.lastAnswer, "Мусор или эхо"_cp);
            } else {
                setText(st.lastAnswer, answerLine);
                if (const char* word = MdmAnswerText(answerLine)) {
                    ++st.answersRecognised;
                    const size_t used = std::strlen(st.lastAnswer);
                    if (used + std::strlen(word) + 4 < size_t(kAnswerCapacity))
                        std::snprintf(st.lastAnswer + used, sizeof st.lastAnswer - used, " [%s]", word);
                }
            }
            MdmFormRefresh(st);
        }
        MdmFormRefresh(st);
        if (ended(st) || group == kGroupDial) break;
    }

    if (out && capacity >= 0) {
        const size_t n = std::min(std::strlen(answerLine), size_t(capacity));
        std::memcpy(out, answerLine, n);
        out[n] = '\0';
        if (outLength) *outLength = int32_t(n);
    }
    MdmFormRefresh(st);
    pump();
    return sentAny;
}

int32_t SplitField(int32_t index, const char* line, char* out, size_t outSize) {
    if (!out || outSize == 0) return 0;
    out[0] = '\0';
    if (!line || !*line || index < 0) return 0;
    const char* p = line;
    for (int32_t i = 0; i < index; ++i) {
        p = std::strchr(p, '|');
        if (!p) return 0;
        ++p;
    }
    const char* end = std::strchr(p, '|');
    const size_t n = std::min(end ? size_t(end - p) : std::strlen(p), outSize - 1);
    std::memcpy(out, p, n);
    out[n] = '\0';
    return 1;
}

int32_t MdmBuildCommand(const char* text, char* out, int32_t capacity, bool addCr) {
    if (!text || !out || capacity <= 0) return 0;
    const size_t length = std::strlen(text);
    if (length == 0 || length >= size_t(capacity)) return 0;
    if (addCr && length + 1 >= size_t(capacity)) return 0;
    std::memcpy(out, text, length);
    size_t n = length;
    if (addCr) out[n++] = '\r';
    out[n] = '\0';
    return int32_t(n);
}

int32_t MdmTransact(ModemState& st, const char* command, int32_t length, uint32_t waitMs, char* answer,
                    int32_t capacity, int32_t* answerLength) {
    if (answerLength) *answerLength = 0;
    pump();
    if (ended(st)) return 0;
    MdmFormRefresh(st);
    pump();
    if (ended(st)) return 0;
    if (!MdmSend(st, command, length)) return 0;
    pump();
    if (ended(st) || !answer) return 0;
    const int32_t got = MdmReceive(st, waitMs, answer, capacity, answerLength);
    MdmFormRefresh(st);
    pump();
    return got;
}

int32_t MdmSend(ModemState& st, const char* bytes, int32_t length) {
    st.port->purge();
    waitPumpingWhole(st, kSendLeadMs);
    size_t written = 0;
    const bool ok = length > 0 && st.port->isOpen() &&
                    st.port->write(reinterpret_cast<const uint8_t*>(bytes), size_t(length), written) &&
                    written == size_t(length);
    if (ok) {
        waitPumpingWhole(st, sendTime(st, length) - kSendLeadMs);
        return 1;
    }
    waitPumpingWhole(st, charTime(st, 32));
    st.port->purge();
    return 0;
}

int32_t MdmReceive(ModemState& st, uint32_t waitMs, char* buffer, int32_t capacity, int32_t* received) {
    if (received) *received = 0;
    if (!buffer || capacity <= 0) return 0;
    std::memset(buffer, 0, size_t(capacity));
    const uint32_t step = charTime(st, 19);
    waitMs = withinStopTime(st, waitMs);
    WaitPumping(st, step + 6);
    uint32_t elapsed = 0;
    uint32_t last = 0;
    // The answer is complete once two polls in a row see the same queue.
    while (!st.port->abortRequested()) {
        WaitPumping(st, step);
        if (ended(st)) break;
        uint32_t count = 0;
        if (st.port->inputCount(count) && count != 0) {
            if (count == last) break;
            last = count;
        }
        pump();
        elapsed += step;
        if (elapsed > waitMs || stopTimeOver(st)) break;
    }
    WaitPumping(st, step);
    // After an abort the answer no longer matters.
    if (ended(st)) return 0;
    uint8_t in[kAnswerCapacity] = {};
    size_t want = sizeof in;
    if (st.stopping) {
        // A host that aborted waits for its call: take the answer that has
        // come, without the read's time-outs.
        uint32_t count = 0;
        if (!st.port->inputCount(count) || count == 0) return 0;
        want = std::min<size_t>(count, sizeof in);
    }
    // The read waits up to the port's read time-out for an answer that is late
    // or never comes: it waits in slices that keep the window and the host's
    // handlers live, and an abort ends it at once.
    const auto keepWaiting = [&st] {
        pump();
        return !ended(st);
    };
    size_t got = 0;
    if (!st.port->isOpen() || !st.port->read(in, want, got, kWaitSliceMs, keepWaiting) || got == 0) return 0;
    if (ended(st)) return 0;
    const size_t n = std::min(got, size_t(capacity));
    std::memcpy(buffer, in, n);
    if (received) *received = int32_t(n);
    return 1;
}

int32_t MdmLastAnswerLine(const char* answer, char* out, int32_t capacity) {
    if (!out) return 0;
    if (capacity >= 0) out[0] = '\0';
    if (!answer || capacity <= 0) return 0;
    char text[kAnswerCapacity + 1] = {};
    const size_t n = strnlen(answer, kAnswerCapacity);
    std::memcpy(text, answer, n);
    StrTrim(text);
    // The last line starts after the last control byte or byte of 128 and above.
    const size_t length = std::strlen(text);
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 32 || c >= 128) start = i + 1;
    }
    const size_t m = std::min(length - start, size_t(capacity));
    std::memcpy(out, text + start, m);
    out[m] = '\0';
    return int32_t(m);
}

const char* MdmAnswerText(const char* line) {
    if (!line) return nullptr;
    for (const AnswerWord& w : kAnswerTable)
        if (std::strstr(line, w.key)) return w.text;
    return nullptr;
}

void WaitPumping(ModemState& st, uint32_t ms) { waitPumpingWhole(st, withinStopTime(st, ms)); }

void MdmAbort(ModemState& st) {
    st.port->requestAbort();
    pump();
    st.finalResult = kErrAborted;
    st.result = kErrAborted;
    st.finished = 1;
    pump();
}

bool MdmHostAbort(ModemState& st) {
    // The window's break sets the flag as well, after ending the function itself.
    if (st.functionNo == 1 && st.port && st.port->abortRequested() &&
        !(st.finished && st.finalResult == kErrAborted)) {
        st.hostAbort = true;
        st.finalResult = kErrAborted;
        st.result = kErrAborted;
        st.finished = 1;
    }
    return st.hostAbort;
}

void MdmSessionReset(ModemState& st) {
    MdmCloseForm(st);
    const int32_t index = st.portIndex;
    const int32_t result = st.result;
    ModemPort* port = st.port;
    const bool running = st.running;
    st = ModemState{};
    st.portIndex = index;
    st.result = result;
    st.port = port;
    st.running = running;
}

void MdmFormRefresh(ModemState& st) {
    if (st.form) st.form->refresh();
}

void MdmCloseForm(ModemState& st) {
    if (!st.form) return;
    st.form->close();
    st.form.reset();
}

}  // namespace vrt::link

extern "C" VRT_API int32_t _vrtCL_fMDMWork(PortRecord* record, int32_t functionNo) {
    using namespace vrt::link;
    MdmModuleInit();
    if (!record) return kErrDataDescription;
    record->modemUsed = 1;
    const int32_t index = record->portIndex;
    if (index < 0 || index >= VRT_PORT_COUNT) return kErrPortRange;
    ModemState& st = MdmStateOf(index);
    // A handler of the running dialogue's window calling in again must not
    // free the window it runs in.
    if (st.running || (functionNo == 1 && t_linkDialogues > 0)) return kErrBusy;
    if (!st.active)
        st.record = record;
    else if (st.record != record)
        return kErrDataDescription;
    st.running = true;
    if (functionNo == 1) ++t_linkDialogues;
    const int32_t result = MdmWork(st, functionNo);
    if (functionNo == 1) --t_linkDialogues;
    st.running = false;
    return result;
}
