#pragma once

#include <cstddef>
#include <cstdint>

// The pedals' calibration: raw readings of each pedal pressed and released,
// and the input channel (0 X, 1 Y, 2 Z, 0xFF none) each pedal is on.
#pragma pack(push, 1)
struct PedalsCalibration
{
    static constexpr uint8_t NoChannel = 0xFF;

    uint32_t clutchMax;
    uint32_t brakeMax;
    uint32_t throttleMax;
    uint32_t clutchNeutral;
    uint32_t brakeNeutral;
    uint32_t throttleNeutral;
    uint8_t clutchChannel;
    uint8_t brakeChannel;
    uint8_t throttleChannel;
};
#pragma pack(pop)

static_assert(sizeof(PedalsCalibration) == 27, "pedals calibration record size");
static_assert(offsetof(PedalsCalibration, clutchNeutral) == 12, "clutchNeutral");
static_assert(offsetof(PedalsCalibration, clutchChannel) == 24, "clutchChannel");
static_assert(offsetof(PedalsCalibration, throttleChannel) == 26, "throttleChannel");
