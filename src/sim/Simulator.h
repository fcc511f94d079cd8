#pragma once

// A set of simulated devices on one bus directory.

#include "SimPedals.h"
#include "SimWheelBase.h"

#include <memory>
#include <string>
#include <vector>

namespace orvsim {

class Simulator
{
public:
    static constexpr double DefaultWheelBaseRateHz = 1000;
    static constexpr double DefaultPedalsRateHz = 500;

    // Serves on an existing directory, which is left in place.
    explicit Simulator(std::string busDir);
    // Serves on a new private directory, removed with the simulator.
    static std::unique_ptr<Simulator> createPrivate();
    ~Simulator();

    const std::string& busDir() const { return dir; }

    // Plugged in and streaming at the given rate (0: no joystick reports).
    // Each has its factory profiles; set another count with
    // setDefaultProfileCount. Null when the device cannot be served.
    SimWheelBase* addWheelBase(const std::string& stem = "wheelbase",
                               double rateHz = DefaultWheelBaseRateHz);
    SimPedals* addPedals(const std::string& stem = "pedals", double rateHz = DefaultPedalsRateHz);
    void addDefaultDevices();

    std::vector<SimFirmwareDevice*> devices() const;

private:
    Simulator(std::string busDir, bool ownsDir);
    template <class Device> Device* add(const std::string& stem, double rateHz);

    const std::string dir;
    const bool ownsDir;
    std::vector<std::unique_ptr<SimFirmwareDevice>> devices_;
};

} // namespace orvsim
