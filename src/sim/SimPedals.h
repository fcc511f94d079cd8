#pragma once

// Simulated three-pedal set: streams clutch, brake and throttle positions.

#include "SimDevice.h"

namespace orvsim {

class SimPedals : public SimDevice
{
public:
    SimPedals(const std::string& busDir, const std::string& stem,
              const std::string& serial = "PD0001");
    ~SimPedals() override;

    static VhidInfo defaultInfo(const std::string& serial);

protected:
    void fillJoystickReport(uint8_t* report, uint64_t sequence) override;
};

} // namespace orvsim
