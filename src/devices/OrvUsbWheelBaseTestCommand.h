#pragma once

#include <cstdint>

// The payload of a TestCommand answer (report bytes 3 to 63), passed on as
// the device sent it.
struct OrvUsbWheelBaseTestCommand
{
    uint8_t bytes[61];
};

static_assert(sizeof(OrvUsbWheelBaseTestCommand) == 61, "test command record size");
