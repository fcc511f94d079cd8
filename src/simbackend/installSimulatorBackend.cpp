#include "installSimulatorBackend.h"

#include "hid/hid.h"
#include "sim/Simulator.h"

#include <memory>

namespace {

std::unique_ptr<orvsim::Simulator>& simulator()
{
    static std::unique_ptr<orvsim::Simulator> instance;
    return instance;
}

const char* start()
{
    simulator() = orvsim::Simulator::createPrivate();
    if (!simulator())
        return nullptr;
    simulator()->addDefaultDevices();
    return simulator()->busDir().c_str();
}

void stop()
{
    simulator().reset();
}

} // namespace

void installSimulatorBackend()
{
    hid_set_sim_backend(start, stop);
}
