#pragma once

#include "OrvUsbPedalsJoystickUpdate.h"
#include "UsbDevice.h"

// The three-pedal set.
class UsbDeviceOrvPedals : public UsbDevice
{
    Q_OBJECT

public:
    UsbDeviceOrvPedals(QString path, hid_device* device);

    void handleReport(OrvUsbReport* report, uint64_t readTimeMicros) override;

signals:
    void onJoystickUpdate(UsbDevice* device, OrvUsbPedalsJoystickUpdate* update,
                          uint64_t readTimeMicros);
};
