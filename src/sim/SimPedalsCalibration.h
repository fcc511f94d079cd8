#pragma once

// The pedals' calibration record (27 bytes on the wire): per pedal, in the
// order clutch, brake, throttle, the raw reading at full travel and at rest,
// and the input channel it is wired to.

#include "SimProtocol.h"

#include <array>
#include <cstdint>

namespace orvsim {

struct SimPedalsCalibration
{
    static constexpr size_t Size = 27;
    static constexpr uint8_t NoChannel = 0xFF;

    std::array<uint32_t, 3> full{};
    std::array<uint32_t, 3> neutral{};
    std::array<uint8_t, 3> channel{NoChannel, NoChannel, NoChannel};

    std::array<uint8_t, Size> bytes() const
    {
        std::array<uint8_t, Size> out{};
        for (size_t p = 0; p < 3; ++p) {
            putU32(&out[4 * p], full[p]);
            putU32(&out[12 + 4 * p], neutral[p]);
            out[24 + p] = channel[p];
        }
        return out;
    }

    static SimPedalsCalibration fromBytes(const uint8_t* in)
    {
        SimPedalsCalibration c;
        for (size_t p = 0; p < 3; ++p) {
            c.full[p] = getU32(in + 4 * p);
            c.neutral[p] = getU32(in + 12 + 4 * p);
            c.channel[p] = in[24 + p];
        }
        return c;
    }
};

} // namespace orvsim
