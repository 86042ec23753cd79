#pragma once
// The modem dialogue behind _vrtCL_fMDMWork: function 1 prepares the modem
// with the port's command lines, dials and waits for CONNECT (with the
// progress window where one can be shown); function 2 sends the stop lines.
// Everything runs on the caller's thread and keeps its messages flowing.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "vrtclmdm/modem_state.h"

namespace vrt::link {

// Command groups of MdmRunCommands.
enum ModemGroup : int32_t {
    kGroupNone = 0,
    kGroupStop = 1,     // lines 0..5
    kGroupPrepare = 2,  // lines 0..11
    kGroupDial = 3,     // the dial command and the phone number
};

// Builds the module title and the four states; later calls do nothing.
void MdmModuleInit();
// "VortanCommMDM  v0.01: <host file name>", Windows-1251.
const char* MdmModuleTitle();
// The state of port index 0..3 (the module is initialised first).
ModemState& MdmStateOf(int32_t index);

int32_t MdmWork(ModemState& st, int32_t functionNo);
bool MdmCheckSettings(ModemState& st);
int32_t MdmExecute(ModemState& st);
// Returns 1 when a command was sent; `out` (capacity + 1 bytes) receives the
// last line of the last answer.
int32_t MdmRunCommands(ModemState& st, int32_t group, char* out, int32_t* outLength, int32_t capacity);
// The index-th '|'-separated field of `line` into `out` (outSize bytes, cut to fit).
int32_t SplitField(int32_t index, const char* line, char* out, size_t outSize);
// Copies `text` (and a CR) into `out`; 0 when empty or too long for `capacity`.
int32_t MdmBuildCommand(const char* text, char* out, int32_t capacity, bool addCr);
int32_t MdmTransact(ModemState& st, const char* command, int32_t length, uint32_t waitMs, char* answer,
                    int32_t capacity, int32_t* answerLength);
int32_t MdmSend(ModemState& st, const char* bytes, int32_t length);
int32_t MdmReceive(ModemState& st, uint32_t waitMs, char* buffer, int32_t capacity, int32_t* received);
// The last line of an answer into `out` (capacity + 1 bytes); its length.
int32_t MdmLastAnswerLine(const char* answer, char* out, int32_t capacity);
// Display text of the first result word found in `line`, or null.
const char* MdmAnswerText(const char* line);
void WaitPumping(ModemState& st, uint32_t ms);
void MdmAbort(ModemState& st);
// True once the host has asked the running function 1 to stop through the
// port's abort flag; the first time it ends the function with -51.
bool MdmHostAbort(ModemState& st);
void MdmSessionReset(ModemState& st);
void MdmFormRefresh(ModemState& st);
void MdmCloseForm(ModemState& st);

// Makes the progress window of a function 1. Null means no window can be
// shown here: the dialogue then runs without one.
using ProgressViewFactory = std::unique_ptr<ProgressView> (*)(ProgressController&);
ProgressViewFactory SetProgressViewFactory(ProgressViewFactory factory);
// The Qt window (null when the library cannot show windows on this thread).
std::unique_ptr<ProgressView> CreateQtProgressView(ProgressController& controller);

}  // namespace vrt::link
