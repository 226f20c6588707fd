#pragma once
// The radio tests' controller: the simulated one behind comm32 and the link, driven by a real
// link timer on the test's Qt loop, as the window drives it, so rig threads and sockets meet
// it in real time.
#include <QTest>
#include <QTimer>
#include <memory>

#include "integration/radio/rig_fixture.h"
#include "link/link.h"

namespace kt6::testing {

struct ControllerOnLoop {
    ControllerOnLoop() {
        auto backend = std::make_unique<RecordingSimBackend>();
        sim = backend.get();
        port = std::make_unique<Comm32>(std::move(backend), nullptr);
        opened = port->OpenPort("bio1") == 0;
        port->SetPortParams(19200, 'n', 8, 1, 'N');
        link = std::make_unique<Link>(*port);
        link->enableExchanges();
        // The link timer also hands the controller's replies to the link.
        QObject::connect(&linkTimer, &QTimer::timeout, [this] { link->LinkTimerTick(); });
        linkTimer.start(kLinkTick);
    }
    // The controller's frequency became kHz before the deadline.
    bool waitTuned(std::uint16_t kHz, int deadlineMs = 10000) {
        return QTest::qWaitFor([&] { return sim->model().controller().frequency() == kHz; },
                               deadlineMs);
    }

    RecordingSimBackend* sim = nullptr;
    std::unique_ptr<Comm32> port;
    std::unique_ptr<Link> link;
    QTimer linkTimer;
    bool opened = false;
};

}  // namespace kt6::testing
