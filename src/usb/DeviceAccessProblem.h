#pragma once

#include <QString>

// A supported device that is present but could not be opened, and why.
struct DeviceAccessProblem
{
    QString path;    // as the HID layer names it (/dev/hidrawN on Linux)
    QString product; // the product name the system reports for it
    int error = 0;   // errno value of the failed open

    bool permissionDenied() const;
    bool busy() const;
    // "permission denied", "in use by another program", or the system's text.
    QString reason() const;

    bool operator==(const DeviceAccessProblem& other) const
    {
        return path == other.path && product == other.product && error == other.error;
    }
};
