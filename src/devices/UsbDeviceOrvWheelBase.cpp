#include "UsbDeviceOrvWheelBase.h"

UsbDeviceOrvWheelBase::UsbDeviceOrvWheelBase(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{}

void UsbDeviceOrvWheelBase::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    if (report->reportId() == OrvUsbReport::JoystickUpdateId)
        emit onJoystickUpdate(this,
                              reinterpret_cast<OrvUsbWheelBaseJoystickUpdate*>(report->data + 1),
                              readTimeMicros);
}
