#include "SimWheelBase.h"

#include <cmath>

namespace orvsim {

SimWheelBase::SimWheelBase(const std::string& busDir, const std::string& stem,
                           const std::string& serial)
    : SimDevice(busDir, stem, defaultInfo(serial))
{}

SimWheelBase::~SimWheelBase()
{
    shutdown();
}

VhidInfo SimWheelBase::defaultInfo(const std::string& serial)
{
    VhidInfo info;
    info.vendorId = 0x0483;
    info.productId = 0xA355;
    info.release = 0x0200;
    info.product = "ORV Torvane Pro Wheel Base";
    info.manufacturer = "ORV";
    info.serial = serial;
    info.interfaceNumber = 0;
    info.usagePage = 1;
    info.usage = 4;
    return info;
}

void SimWheelBase::fillJoystickReport(uint8_t* report, uint64_t sequence)
{
    // A slow sweep of a quarter of the range either way, one cycle in ~6 s
    // at 1000 reports per second.
    const double phase = static_cast<double>(sequence) * 0.001;
    const auto axis = static_cast<int16_t>(std::lround(16000.0 * std::sin(phase)));
    report[0] = 0x01;
    report[1] = static_cast<uint8_t>(axis & 0xff);
    report[2] = static_cast<uint8_t>((axis >> 8) & 0xff);
    report[4] = 1; // telemetry layout
}

} // namespace orvsim
