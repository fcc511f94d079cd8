#include "SimPedals.h"

#include <cmath>

namespace orvsim {

SimPedals::SimPedals(const std::string& busDir, const std::string& stem, const std::string& serial)
    : SimDevice(busDir, stem, defaultInfo(serial))
{}

SimPedals::~SimPedals()
{
    shutdown();
}

VhidInfo SimPedals::defaultInfo(const std::string& serial)
{
    VhidInfo info;
    info.vendorId = 0x0483;
    info.productId = 0xA3BE;
    info.release = 0x0200;
    info.product = "ORV Torvane Pedals";
    info.manufacturer = "ORV";
    info.serial = serial;
    info.interfaceNumber = 0;
    info.usagePage = 1;
    info.usage = 4;
    return info;
}

void SimPedals::fillJoystickReport(uint8_t* report, uint64_t sequence)
{
    // Slow press-and-release of each pedal, out of step with each other.
    report[0] = 0x01;
    for (int axis = 0; axis < 3; ++axis) {
        const double phase = static_cast<double>(sequence) * 0.002 + axis * 2.0;
        const auto value = static_cast<uint16_t>(std::lround(32767.5 * (1.0 - std::cos(phase))));
        report[1 + 2 * axis] = static_cast<uint8_t>(value & 0xff);
        report[2 + 2 * axis] = static_cast<uint8_t>(value >> 8);
    }
}

} // namespace orvsim
