#pragma once
#include "link/hid_port.h"
#include "sim/sim_router.h"

#include <QByteArray>

#include <memory>

// The router a program talks to: the simulated one when QORV_SIMULATE is
// "routes" or "update", the real one through hidapi otherwise.
struct RouterChoice {
    explicit RouterChoice(const QByteArray& simulate);

    std::unique_ptr<SimRouter> simulated;
    std::unique_ptr<HidBackend> backend;
};
