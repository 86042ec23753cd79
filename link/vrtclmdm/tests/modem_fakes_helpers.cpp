#include "modem_fakes.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "vrtcltrn/port_table.h"

namespace vrt::link::test {

uint32_t ModemTest::now = 0;
std::function<void()> ModemTest::onPump;
FakeView* ModemTest::lastView = nullptr;
ModemTest::Shown ModemTest::shown;
int ModemTest::viewsMade = 0;
bool ModemTest::headless = false;
bool ModemTest::failWindow = false;

std::string Hayes::operator()(const std::string& command) const {
    if (silent) return {};
    std::string out = echo ? command + "\r" : std::string();
    if (command.rfind("ATD", 0) == 0) {
        if (!dialWord.empty()) out += "\r\n" + dialWord + "\r\n";
        return out;
    }
    return out + "\r\nOK\r\n";
}

bool FakePort::write(const uint8_t* bytes, size_t n, size_t& written) {
    written = 0;
    if (!open || failWrites) return false;
    const std::string s(reinterpret_cast<const char*>(bytes), n);
    sent.push_back(s);
    written = n;
    std::string command = s;
    if (!command.empty() && command.back() == '\r') command.pop_back();
    if (respond) input += respond(command);
    if (afterWrite) afterWrite(*this);
    return true;
}

bool FakePort::read(uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
                    const std::function<bool()>& keepWaiting) {
    readStart = ModemTest::now;
    reading = true;
    while (input.empty() && ModemTest::now - readStart < readWaitMs) {
        platform::sleepMs(std::max<uint32_t>(sliceMs, 1));
        if (keepWaiting && !keepWaiting()) break;
    }
    reading = false;
    readEnds.push_back(ModemTest::now);
    got = std::min(size, input.size());
    std::memcpy(buf, input.data(), got);
    input.erase(0, got);
    input += afterRead;
    return open;
}

FakeView::~FakeView() {
    ModemTest::shown = {model, closed, closedAt};
    if (ModemTest::lastView == this) ModemTest::lastView = nullptr;
}

void FakeView::runModal() {
    if (!activate) return;
    controller.onActivate();
    // The window stays open until something closes it; a stuck test ends
    // after ten minutes of fake time.
    for (int tick = 0; !closed && tick < 1200; ++tick) {
        platform::sleepMs(500);
        if (onTick) onTick(*this);
        if (!closed) controller.onTimer();
    }
}

void FakeView::closeWindow() {
    if (closed) return;
    closed = true;
    closedAt = ModemTest::now;
    controller.onClose();
}

namespace {

uint32_t fakeTick() { return ModemTest::now; }
void fakeSleep(uint32_t ms) { ModemTest::now += ms; }
void fakePump() {
    if (ModemTest::onPump) ModemTest::onPump();
}

std::unique_ptr<ProgressView> fakeFactory(ProgressController& c) {
    if (ModemTest::failWindow) throw std::bad_alloc();
    if (ModemTest::headless) return nullptr;
    ++ModemTest::viewsMade;
    auto view = std::make_unique<FakeView>(c);
    ModemTest::lastView = view.get();
    return view;
}

}  // namespace

void ModemTest::SetUp() {
    now = 100000;
    onPump = nullptr;
    lastView = nullptr;
    shown = {};
    viewsMade = 0;
    headless = false;
    failWindow = false;
    oldClock_ = platform::setClockHooks({&fakeTick, &fakeSleep});
    oldPump_ = platform::setPumpHook(&fakePump);
    oldFactory_ = SetProgressViewFactory(&fakeFactory);
    for (int i = 0; i < VRT_PORT_COUNT; ++i) {
        ModemState& st = MdmStateOf(i);
        MdmSessionReset(st);
        oldPort_[i] = st.port;
        st.port = &port;
    }
    PortRecordDefaults(rec, 1);
    std::strcpy(rec.phone, "1234567");
}

void ModemTest::TearDown() {
    for (int i = 0; i < VRT_PORT_COUNT; ++i) {
        ModemState& st = MdmStateOf(i);
        MdmSessionReset(st);
        st.port = oldPort_[i];
    }
    SetProgressViewFactory(oldFactory_);
    platform::setPumpHook(oldPump_);
    platform::setClockHooks(oldClock_);
    onPump = nullptr;
}

void ModemTest::setLines(std::initializer_list<std::pair<int, const char*>> lines) {
    std::memset(rec.cmdLines, 0, sizeof rec.cmdLines);
    for (const auto& [index, text] : lines) std::strncpy(rec.cmdLines[index], text, VRT_CMD_SIZE - 1);
}

std::vector<std::string> DefaultDialogue() {
    return {"+++\r",  "+++ATZ0\r", "ATZ0\r",  "ATE0\r",  "+++\r",  "+++ATZ0\r", "ATZ0\r",       "ATE0\r",
            "ATZ0\r", "ATE0\r",    "ATL3\r",  "AT&D0\r", "AT&C1\r", "AT&K0\r",   "ATDP1234567\r"};
}

}  // namespace vrt::link::test

// Qt's font set-up leaves fontconfig's caches behind when a test process
// exits; they are not ours to free.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
