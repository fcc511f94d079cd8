#pragma once

#include "OrvUsbWheelBaseJoystickUpdate.h"
#include "UsbDevice.h"

// The force-feedback wheel base.
class UsbDeviceOrvWheelBase : public UsbDevice
{
    Q_OBJECT

public:
    UsbDeviceOrvWheelBase(QString path, hid_device* device);

    void handleReport(OrvUsbReport* report, uint64_t readTimeMicros) override;

signals:
    void onJoystickUpdate(UsbDevice* device, OrvUsbWheelBaseJoystickUpdate* update,
                          uint64_t readTimeMicros);
};
