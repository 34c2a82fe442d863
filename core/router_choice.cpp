#include "core/router_choice.h"

#include "link/hidapi_backend.h"

RouterChoice::RouterChoice(const QByteArray& simulate)
{
    if (simulate == "routes" || simulate == "update") {
        simulated = std::make_unique<SimRouter>(simulate == "routes" ? SimRouter::Mode::Routes : SimRouter::Mode::Update);
        backend = std::make_unique<SimBackend>(*simulated);
    } else {
        backend = std::make_unique<HidapiBackend>();
    }
}
