#pragma once
// Plays work that runs on the window's loop (a service sequence, a block transfer) to its end
// on a fake scheduler, the way the loop would: the events posted meanwhile (a box, a dialog, the
// end of a transfer) run between its timers and at every step of a pause.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <functional>

#include "support/fake_scheduler.h"
#include "support/link_stepper.h"

namespace kt6::testing {

// Runs until running() says the work is over; eachStep, when given, at every step the clock
// takes (at most step long). The link takes every step too: an exchange under way is waited
// for on the same clock. A failure when the work would never end: nothing is scheduled and
// no exchange ends it within a minute of the test's clock.
inline void settleOnLoop(FakeScheduler& scheduler, LinkStepper& link,
                         const std::function<bool()>& running,
                         std::chrono::milliseconds step = std::chrono::milliseconds(10),
                         const std::function<void(std::chrono::milliseconds)>& eachStep = {}) {
    for (int idle = 0;;) {
        QCoreApplication::processEvents();
        if (!running()) return;
        if (!scheduler.pending()) {
            if (++idle * step > std::chrono::minutes(1)) {
                ADD_FAILURE() << "the work waits for nothing that is scheduled";
                return;
            }
            scheduler.idle(step);
            link.step(step);
            continue;
        }
        scheduler.runNext(step, [&](std::chrono::milliseconds taken) {
            link.step(taken);
            if (eachStep) eachStep(taken);
            QCoreApplication::processEvents();
            return running();
        });
    }
}

}  // namespace kt6::testing
