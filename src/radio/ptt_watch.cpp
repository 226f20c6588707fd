#include "radio/ptt_watch.h"

namespace kt6 {

void PttWatch::opened(bool modelCanTell) {
    *this = PttWatch{};
    asking_ = modelCanTell;
}

void PttWatch::answered(bool transmitting) {
    if (!asking_) return;
    answeredOnce_ = true;
    failures_ = 0;
    transmitting_ = transmitting;
}

void PttWatch::failed() {
    if (!asking_) return;
    // A rig that refuses its first read has no PTT to report (a rigctld whose radio lacks
    // it says "feature not available"): it is followed as a rig without PTT.
    if (answeredOnce_ && ++failures_ < kPttFailuresToGiveUp) return;
    asking_ = false;
    transmitting_ = false;
}

}  // namespace kt6
