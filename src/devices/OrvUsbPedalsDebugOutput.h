#pragma once

#include <cstddef>
#include <cstdint>

// Pedals telemetry inside their joystick update: the raw channel readings
// and which channels have a pedal.
#pragma pack(push, 1)
struct OrvUsbPedalsDebugOutput
{
    uint32_t ticks;
    uint32_t xRaw;
    uint32_t yRaw;
    uint32_t zRaw;
    uint8_t xConnected;
    uint8_t yConnected;
    uint8_t zConnected;
};
#pragma pack(pop)

static_assert(sizeof(OrvUsbPedalsDebugOutput) == 19, "pedals debug record size");
static_assert(offsetof(OrvUsbPedalsDebugOutput, zConnected) == 18, "zConnected");
