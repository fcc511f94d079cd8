#include "TestBus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace {

// Unix socket paths are limited to about 100 bytes; keep the bus short.
QString busTemplate()
{
    const QString tmp = QDir::tempPath();
    return (tmp.size() > 40 ? QStringLiteral("/tmp") : tmp) + QStringLiteral("/orv-bus-XXXXXX");
}

} // namespace

TestBus::TestBus() : dir(busTemplate()) {}

void TestBus::useAsBackend() const
{
    qputenv("ORV_HID_BACKEND", QByteArray("vhid:") + dir.path().toUtf8());
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    return true;
}

bool runUntil(const std::function<bool()>& pred, int timeoutMs)
{
    if (pred())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(1);
    loop.exec();
    return pred();
}

vhid::DeviceInfo testDeviceInfo(uint16_t productId, const std::string& product)
{
    vhid::DeviceInfo info;
    info.vendorId = 0x0483;
    info.productId = productId;
    info.product = product;
    info.serial = "S1";
    return info;
}

int countEntries(const hid_device_info* list)
{
    int n = 0;
    for (; list; list = list->next)
        ++n;
    return n;
}
