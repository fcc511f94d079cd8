#pragma once

#include <cstdint>

// One 64-byte input report as read from a device; byte 0 is the report ID.
struct OrvUsbReport
{
    static constexpr int Size = 64;
    static constexpr uint8_t JoystickUpdateId = 0x01;
    static constexpr uint8_t CommandId = 0x64;
    static constexpr uint8_t ResponseId = 0x65;

    uint8_t data[Size];

    uint8_t reportId() const { return data[0]; }
};

static_assert(sizeof(OrvUsbReport) == OrvUsbReport::Size, "a report is 64 bytes");
