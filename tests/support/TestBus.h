#pragma once

// A private virtual HID bus for one test executable, and the little waits
// and helpers the tests share.

#include "hid/hid.h"
#include "vhid/DeviceInfo.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

class TestBus
{
public:
    TestBus();

    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); }
    std::string stdPath() const { return dir.path().toStdString(); }
    // Points the HID layer at this bus; call before hid_init.
    void useAsBackend() const;

private:
    QTemporaryDir dir;
};

// Runs the event loop until pred() holds or timeoutMs passes.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs);
// The same in a real event loop, which wakes for each report rather than
// sleeping between passes: a chain of reports (a firmware transfer) runs at
// full speed.
bool runUntil(const std::function<bool()>& pred, int timeoutMs);

// A device announcement of vendor 0x0483 with the given product.
vhid::DeviceInfo testDeviceInfo(uint16_t productId, const std::string& product);

// A device list of the HID layer, freed when it goes.
struct EnumerationDeleter
{
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};
using Enumeration = std::unique_ptr<hid_device_info, EnumerationDeleter>;
int countEntries(const hid_device_info* list);
