#pragma once

#include "DeviceAccessProblem.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Keeps the supported devices that are present but cannot be opened, from
// one scan to the next, so that whoever shows them can tell the user once
// and stop when the device opens or leaves.
class DeviceAccessMonitor : public QObject
{
    Q_OBJECT

public:
    QList<DeviceAccessProblem> problems() const { return current; }

    // The outcome of one scan for one product: the devices of that product
    // that failed to open. Problems of the product that did not recur are
    // over (the device opened, or left).
    void scanned(unsigned short productId, const QList<DeviceAccessProblem>& failed);

signals:
    void changed();

private:
    struct Entry
    {
        unsigned short productId;
        DeviceAccessProblem problem;
    };
    QList<Entry> entries;
    QList<DeviceAccessProblem> current;
};
