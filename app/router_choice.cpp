#include "app/router_choice.h"

#include "link/hidapi_backend.h"

RouterChoice::RouterChoice(const QByteArray& simulate, MillisecondClock& clock)
{
    if (simulate == "routes" || simulate == "update") {
        simulated = std::make_unique<SimRouter>(simulate == "routes" ? SimRouter::Mode::Routes : SimRouter::Mode::Update);
        // Like a real router, it is gone from USB for a while after an update.
        simulated->clock = &clock;
        simulated->restartMilliseconds = kSimulatedRestartMilliseconds;
        backend = std::make_unique<SimBackend>(*simulated);
    } else {
        backend = std::make_unique<HidapiBackend>();
    }
}
