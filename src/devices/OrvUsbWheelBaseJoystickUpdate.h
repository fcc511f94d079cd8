#pragma once

#include "OrvUsbWheelBaseDebugOutput.h"

#include <cstddef>
#include <cstdint>

// Bytes 1 to 63 of a wheel base joystick report (report ID 0x01). What
// follows the layout byte depends on it: 1 telemetry, 2 force samples,
// 3 a motor control trace.
#pragma pack(push, 1)
struct OrvUsbWheelBaseJoystickUpdate
{
    int16_t steeringAxis;
    uint8_t reserved2;
    uint8_t layout;
    union {
        OrvUsbWheelBaseDebugOutput debugOutput; // layout 1
        uint8_t payload[59];
    };
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbWheelBaseJoystickUpdate) == 63, "wheel base joystick record size");
static_assert(offsetof(OrvUsbWheelBaseJoystickUpdate, layout) == 3, "layout");
static_assert(offsetof(OrvUsbWheelBaseJoystickUpdate, debugOutput) == 4, "debugOutput");
