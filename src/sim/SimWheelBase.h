#pragma once

// Simulated direct-drive wheel base: streams its steering position.

#include "SimDevice.h"

namespace orvsim {

class SimWheelBase : public SimDevice
{
public:
    SimWheelBase(const std::string& busDir, const std::string& stem,
                 const std::string& serial = "WB0001");
    ~SimWheelBase() override;

    static VhidInfo defaultInfo(const std::string& serial);

protected:
    void fillJoystickReport(uint8_t* report, uint64_t sequence) override;
};

} // namespace orvsim
