#pragma once
// The request engine behind _vrtCL_fComRequest: frame and send a payload,
// wait, read and unframe the answer, repeat when none came, check the answer.
#include <cstdint>

#include "vrtclnk.h"

namespace vrt::link {

// Which statistics counter an answer check adds to.
enum class AnswerCounter { None, ErrAnswer, NegAnswer };

struct AnswerVerdict {
    int32_t code = 0;                         // 0 or a negative result code
    AnswerCounter counter = AnswerCounter::None;
    bool commandMatched = false;              // a VortanBus answer passed its command check
};

// Checks an answer of `answerLen` payload bytes against the request's address
// and command. Bytes beyond `answerLen` count as 0 and are never read.
AnswerVerdict CheckAnswer(int32_t protocol, uint8_t reqAddress, uint8_t reqCommand, const uint8_t* answer,
                          uint16_t answerLen);

// One request with its repeats, without the timing and the log of
// _vrtCL_fComRequest.
int32_t RequestWithRepeats(int32_t port, const uint8_t* req, uint16_t reqLen, uint8_t* ans, uint16_t ansLen,
                           uint16_t* outLen);

}  // namespace vrt::link
