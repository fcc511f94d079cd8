#include "UsbDevice.h"

#include "OrvCommandReport.h"

#include <cstring>
#include <cwchar>

namespace {

using StringGetter = int (*)(hid_device*, wchar_t*, size_t);

QString readString(hid_device* device, StringGetter getter)
{
    constexpr size_t Capacity = 256;
    wchar_t buffer[Capacity] = {};
    if (getter(device, buffer, Capacity) != 0)
        return QString();
    buffer[Capacity - 1] = L'\0';
    return QString::fromWCharArray(buffer, static_cast<int>(std::wcslen(buffer)));
}

} // namespace

UsbDevice::UsbDevice(QString path, hid_device* device)
    : QObject(nullptr), path(std::move(path)),
      productName(readString(device, hid_get_product_string)),
      serialNumber(readString(device, hid_get_serial_number_string)), device(device)
{
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(RetryIntervalMs);
    // A coarse timer may fire up to 5 % early, before the device had its time.
    retryTimer.setTimerType(Qt::PreciseTimer);
    connect(&retryTimer, &QTimer::timeout, this, &UsbDevice::retryOnTimeout);
}

UsbDevice::~UsbDevice()
{
    hid_close(device);
}

int UsbDevice::readReport(OrvUsbReport* report)
{
    return hid_read(device, report->data, OrvUsbReport::Size);
}

void UsbDevice::sendReport(const uint8_t* data, bool expectReply)
{
    if (data != lastRequest)
        std::memcpy(lastRequest, data, sizeof lastRequest);
    const int written = hid_write(device, lastRequest, sizeof lastRequest);
    if (written == -1 || expectReply)
        retryTimer.start();
}

void UsbDevice::sendFactoryDefaults(uint8_t version)
{
    OrvCommandReport command(UsbCommand::Reset, version);
    command[5] = 1;
    sendReport(command.data(), false);
}

void UsbDevice::handleReport(OrvUsbReport* report, uint64_t)
{
    // Any report but a joystick update answers the outstanding command.
    if (report->reportId() != OrvUsbReport::JoystickUpdateId)
        retryTimer.stop();
}

void UsbDevice::retryOnTimeout()
{
    sendReport(lastRequest, true);
}
