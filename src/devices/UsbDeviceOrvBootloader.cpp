#include "UsbDeviceOrvBootloader.h"

UsbDeviceOrvBootloader::UsbDeviceOrvBootloader(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{}
