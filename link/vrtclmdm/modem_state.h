#pragma once
// State of the modem dialogue of one port, with the copy of the port record's
// modem settings it works on.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "vrtclmdm/progress_controller.h"
#include "vrtclnk.h"

namespace vrt::link {

class ModemPort;

#pragma pack(push, 1)
// The modem block of a PortRecord, `usage` through `cmdLines`.
struct ModemBlock {
    int32_t usage;
    int32_t request;
    uint8_t reserved[4];
    uint32_t tmAnswer;   // ms
    uint32_t tmConnect;  // s
    int32_t repeat;
    char phone[VRT_PHONE_SIZE];
    char cmdATD[VRT_CMD_SIZE];
    char cmdLines[VRT_CMD_LINES][VRT_CMD_SIZE];
};
#pragma pack(pop)
static_assert(sizeof(ModemBlock) == 360);
static_assert(offsetof(PortRecord, cmdLines) + sizeof(PortRecord::cmdLines) - offsetof(PortRecord, usage) ==
              sizeof(ModemBlock));

inline constexpr int kAnswerCapacity = 272;   // bytes of one answer that are looked at
inline constexpr int kCommandCapacity = 100;  // a command and its CR stay below this

struct ModemState {
    int32_t portIndex = 0;
    std::unique_ptr<ProgressController> form;  // the window of a running function 1
    PortRecord* record = nullptr;              // the bound record
    ModemBlock settings{};                     // copy taken by every function 1
    int32_t active = 0;
    int32_t phonePresent = 0;
    int32_t dialPresent = 0;
    int32_t connected = 0;
    int32_t functionNo = 0;
    int32_t stage = 0;        // 0 preparing, 1 waiting, 2 executing
    int32_t result = 0;
    int32_t finished = 0;
    int32_t finalResult = 0;
    int32_t commandsSent = 0;
    int32_t answersRecognised = 0;
    uint32_t endTick = 0;
    int32_t closeNow = 0;
    char title[200] = {};
    char statusLine[274] = {};
    char lastCommand[102] = {};
    char lastAnswer[274] = {};
    char commandBuffer[102] = {};
    char answerBuffer[276] = {};

    // The port the dialogue talks through; survives MdmSessionReset.
    ModemPort* port = nullptr;
    // A function runs on this state: a nested call must not reset it.
    bool running = false;
    // The host ended the running function 1 through the port's abort flag.
    bool hostAbort = false;
    // The stop lines after an abort run: their answers decide nothing, and
    // no wait of theirs lasts past stopDeadline (tick count).
    bool stopping = false;
    uint32_t stopDeadline = 0;
};

}  // namespace vrt::link
