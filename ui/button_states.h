#pragma once
#include "core/router_status.h"

// The four buttons that follow the router's status; the others are always enabled.
struct ButtonStates {
    bool receive = false;   // botonRecibir
    bool send = false;      // botonEnviar
    bool hexFile = false;   // botonHexFile
    bool update = false;    // botonTodo
};

// The one place that decides them: receive and send while the exchange is ready;
// the firmware file while the bootloader runs; the update once a file is accepted.
inline ButtonStates buttonStates(const RouterStatus& status)
{
    const bool update = status.mode == RouterStatus::Mode::Update;
    return {status.exchangeReady, status.exchangeReady, update, update && status.fileAccepted};
}
