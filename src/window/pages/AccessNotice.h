#pragma once

// A notice at the top of the window about supported devices that are
// plugged in but cannot be opened: which one, why, and what to do. It shows
// only while there is such a device, so it never nags.

#include "usb/DeviceAccessProblem.h"

#include <QList>

namespace Ui {
class ORV_wheel_tool;
}
class QLabel;

class AccessNotice
{
public:
    explicit AccessNotice(Ui::ORV_wheel_tool& ui);

    void show(const QList<DeviceAccessProblem>& problems);
    // The notice's text for these problems; empty for none.
    static QString text(const QList<DeviceAccessProblem>& problems);

private:
    QLabel* label;
};
