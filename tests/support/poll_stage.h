#pragma once
// What a status reply would have left in the poll, put there by a test of the decisions that
// read it (guards, the editor's columns, the service screens) without a controller to say it.
#include <cstdint>

#include "core/status_poll.h"

namespace kt6::testing {

struct PollStage {
    static void frequency(StatusPoll& poll, std::uint32_t kHz) { poll.currentFrequency_ = kHz; }
    static void headingMode(StatusPoll& poll, std::int32_t mode) { poll.headingMode_ = mode; }
    static void moving(StatusPoll& poll, bool moving) { poll.elementsMoving_ = moving; }
};

}  // namespace kt6::testing
