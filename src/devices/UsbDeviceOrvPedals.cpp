#include "UsbDeviceOrvPedals.h"

UsbDeviceOrvPedals::UsbDeviceOrvPedals(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{}

void UsbDeviceOrvPedals::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    if (report->reportId() == OrvUsbReport::JoystickUpdateId)
        emit onJoystickUpdate(this, reinterpret_cast<OrvUsbPedalsJoystickUpdate*>(report->data + 1),
                              readTimeMicros);
}
