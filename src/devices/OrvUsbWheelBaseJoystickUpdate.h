#pragma once

#include <cstdint>

// Bytes 1 to 63 of a wheel base joystick report (report ID 0x01).
#pragma pack(push, 1)
struct OrvUsbWheelBaseJoystickUpdate
{
    int16_t steeringAxis;
    uint8_t reserved2;
    uint8_t layout;
    uint8_t payload[59];
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbWheelBaseJoystickUpdate) == 63, "wheel base joystick record size");
