#pragma once

#include <cstddef>
#include <cstdint>

// Wheel base telemetry: the payload of a DebugOutput answer, and bytes 4 to
// 51 of a joystick update with layout 1.
#pragma pack(push, 1)
struct OrvUsbWheelBaseDebugOutput
{
    uint8_t reserved0;
    uint32_t ticks;
    uint16_t motorState;
    int16_t encoderState;
    float motorAngle;
    int32_t encoderRaw;
    float ffbIn;
    float ffbOut;
    uint64_t bisscRaw;
    uint32_t currentFaults;
    uint32_t clearedFaults;
    uint8_t maxMotorCurrent; // tenths
    int8_t psuCurrent;       // tenths
    int8_t motorCurrent;     // fifths
    uint8_t psuTemperature;
    uint8_t motorTemperature;
    uint8_t brakeTemperature;
    uint8_t powerstageTemperature;
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbWheelBaseDebugOutput) == 48, "wheel base debug record size");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, ticks) == 1, "ticks");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, motorState) == 5, "motorState");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, encoderState) == 7, "encoderState");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, motorAngle) == 9, "motorAngle");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, encoderRaw) == 13, "encoderRaw");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, ffbIn) == 17, "ffbIn");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, ffbOut) == 21, "ffbOut");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, bisscRaw) == 25, "bisscRaw");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, currentFaults) == 33, "currentFaults");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, clearedFaults) == 37, "clearedFaults");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, maxMotorCurrent) == 41, "maxMotorCurrent");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, psuCurrent) == 42, "psuCurrent");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, motorCurrent) == 43, "motorCurrent");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, psuTemperature) == 44, "psuTemperature");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, motorTemperature) == 45, "motorTemperature");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, brakeTemperature) == 46, "brakeTemperature");
static_assert(offsetof(OrvUsbWheelBaseDebugOutput, powerstageTemperature) == 47,
              "powerstageTemperature");
