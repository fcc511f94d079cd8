#pragma once

#include <QString>

#include <cstdint>

// The device information block: bytes 3 to 9 of the answer to ReadSettings,
// kept as the device sent them.
struct OrvUsbDeviceInfo
{
    static constexpr int ResponseOffset = 3;

    uint8_t reserved0;
    uint8_t hardwareMajor;
    uint8_t hardwareMinor;
    uint8_t firmwareMajor;
    uint8_t firmwareMinor;
    uint8_t reserved5;
    uint8_t reserved6;

    QString hardwareVersion() const
    {
        return QString::number(hardwareMajor) + '.' + QString::number(hardwareMinor);
    }
    QString firmwareVersion() const
    {
        return QString::number(firmwareMajor) + '.' + QString::number(firmwareMinor);
    }
};

static_assert(sizeof(OrvUsbDeviceInfo) == 7, "the device information block is 7 bytes");
