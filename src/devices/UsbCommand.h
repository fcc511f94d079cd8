#pragma once

#include <cstdint>

// Command codes (byte 1 of a command report and of its response). The
// bootloader gives code 1 its own meaning.
enum class UsbCommand : uint8_t
{
    EnterBootloader = 1,
    FirmwareChunk = 1,
    DebugOutput = 2,
    ReadSettings = 3,
    SaveSettings = 4,
    ReadProfile = 5,
    WriteProfile = 6,
    CenterRim = 7,
    Reset = 8,
    TestCommand = 9,
    ReadCalibration = 10,
    SaveCalibration = 11,
    UpdateSettings = 12,
    UpdateProfile = 13,
    StartCalibration = 14,
    StopCalibration = 15,
};
