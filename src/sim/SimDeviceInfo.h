#pragma once

// The seven-byte device information block of the settings answer: a kind
// byte, hardware and firmware versions, and two bytes the tool keeps unread.

#include <array>
#include <cstdint>

namespace orvsim {

struct SimDeviceInfo
{
    uint8_t kind = 0;
    uint8_t hardwareMajor = 1;
    uint8_t hardwareMinor = 0;
    uint8_t firmwareMajor = 1;
    uint8_t firmwareMinor = 0;
    uint8_t buildLow = 0;
    uint8_t buildHigh = 0;

    std::array<uint8_t, 7> bytes() const
    {
        return {kind,          hardwareMajor, hardwareMinor, firmwareMajor,
                firmwareMinor, buildLow,      buildHigh};
    }
};

} // namespace orvsim
