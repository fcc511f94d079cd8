#pragma once

// A fake sysfs tree of hidraw devices, as the hidraw backend reads it: the
// class entry, the HID device's uevent and report descriptor, and the USB
// interface and device above it with their attributes.

#include <QByteArray>
#include <QString>

struct FakeHidraw
{
    QString node;       // hidrawN
    QByteArray uevent;  // the HID device's uevent, or null for none
    QString usbProduct; // the USB device's "product", empty for none
    QString usbSerial;  // "serial"
    QString interface = "00";
    QByteArray descriptor; // report_descriptor
    bool linked = true;    // class/hidraw/N/device exists
};

// A HID device's uevent with HID_ID "bus:vendor:product" in hex.
QByteArray fakeUevent(const char* hidId, const char* name = "Fallback Name",
                      const char* uniq = "U1");
bool addFakeHidraw(const QString& root, const FakeHidraw& device);
bool removeFakeHidraw(const QString& root, const QString& node);
