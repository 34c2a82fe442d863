#pragma once
#include "link/clock.h"
#include "link/hid_port.h"
#include "sim/sim_router.h"

#include <QByteArray>

#include <memory>

// The router a program talks to: the simulated one when QORV_SIMULATE is
// "routes" or "update", the real one through hidapi otherwise.
struct RouterChoice {
    static constexpr std::uint32_t kSimulatedRestartMilliseconds = 2000;

    RouterChoice(const QByteArray& simulate, MillisecondClock& clock);

    std::unique_ptr<SimRouter> simulated;
    std::unique_ptr<HidBackend> backend;
};
