#include "DeviceAccessMonitor.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

bool DeviceAccessProblem::permissionDenied() const
{
    return error == EACCES || error == EPERM;
}

bool DeviceAccessProblem::busy() const
{
    return error == EBUSY;
}

QString DeviceAccessProblem::reason() const
{
    if (permissionDenied())
        return QCoreApplication::translate("ORV_wheel_tool", "permission denied");
    if (busy())
        return QCoreApplication::translate("ORV_wheel_tool", "in use by another program");
    return QString::fromLocal8Bit(std::strerror(error));
}

void DeviceAccessMonitor::scanned(unsigned short productId,
                                  const QList<DeviceAccessProblem>& failed)
{
    QList<Entry> next;
    for (const Entry& e : entries)
        if (e.productId != productId)
            next.append(e);
    for (const DeviceAccessProblem& p : failed)
        next.append({productId, p});

    QList<DeviceAccessProblem> problems;
    for (const Entry& e : next)
        problems.append(e.problem);
    entries = next;
    if (problems == current)
        return;
    current = problems;
    emit changed();
}
