#pragma once

#include "UsbDevice.h"

// A wheel base or pedals restarted into the bootloader that takes new firmware.
class UsbDeviceOrvBootloader : public UsbDevice
{
    Q_OBJECT

public:
    UsbDeviceOrvBootloader(QString path, hid_device* device);
};
