#pragma once

#include "OrvUsbPedalsDebugOutput.h"

#include <cstddef>
#include <cstdint>

// Bytes 1 to 63 of a pedals joystick report (report ID 0x01): clutch (X),
// brake (Y) and throttle (Z) positions, 65535 being fully pressed, then
// telemetry.
#pragma pack(push, 1)
struct OrvUsbPedalsJoystickUpdate
{
    uint16_t xAxis;
    uint16_t yAxis;
    uint16_t zAxis;
    OrvUsbPedalsDebugOutput debugOutput;
    uint8_t reserved25[38];
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbPedalsJoystickUpdate) == 63, "pedals joystick record size");
static_assert(offsetof(OrvUsbPedalsJoystickUpdate, debugOutput) == 6, "debugOutput");
