#include "Simulator.h"

#include <cstdlib>
#include <unistd.h>

namespace orvsim {

Simulator::Simulator(std::string busDir) : Simulator(std::move(busDir), false) {}

Simulator::Simulator(std::string busDir, bool ownsDir) : dir(std::move(busDir)), ownsDir(ownsDir) {}

std::unique_ptr<Simulator> Simulator::createPrivate()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orv-sim-XXXXXX";
    // Socket paths must stay short (sun_path), so fall back to /tmp.
    if (pattern.size() > 60)
        pattern = "/tmp/orv-sim-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return nullptr;
    return std::unique_ptr<Simulator>(new Simulator(pattern, true));
}

Simulator::~Simulator()
{
    devices_.clear(); // each device leaves the bus
    if (ownsDir)
        ::rmdir(dir.c_str());
}

template <class Device> Device* Simulator::add(const std::string& stem, double rateHz)
{
    auto device = std::make_unique<Device>(dir, stem);
    if (!device->plug())
        return nullptr;
    device->startStreaming(rateHz);
    Device* raw = device.get();
    devices_.push_back(std::move(device));
    return raw;
}

SimWheelBase* Simulator::addWheelBase(const std::string& stem, double rateHz)
{
    return add<SimWheelBase>(stem, rateHz);
}

SimPedals* Simulator::addPedals(const std::string& stem, double rateHz)
{
    return add<SimPedals>(stem, rateHz);
}

void Simulator::addDefaultDevices()
{
    addWheelBase();
    addPedals();
}

std::vector<SimFirmwareDevice*> Simulator::devices() const
{
    std::vector<SimFirmwareDevice*> all;
    for (const auto& device : devices_)
        all.push_back(device.get());
    return all;
}

} // namespace orvsim
