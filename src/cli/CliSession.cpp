#include "CliSession.h"

#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> stopRequested{false};

void onInterrupt(int)
{
    stopRequested = true;
}

int kindOf(const UsbDevice* device)
{
    if (qobject_cast<const UsbDeviceOrvWheelBase*>(device))
        return WheelBaseKind;
    if (qobject_cast<const UsbDeviceOrvPedals*>(device))
        return PedalsKind;
    if (qobject_cast<const UsbDeviceOrvBootloader*>(device))
        return BootloaderKind;
    return 0;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("orvctl", text);
}

} // namespace

CliSession::CliSession() : out(stdout), err(stderr)
{
    // Ctrl-C ends the current wait; the command then stops sending and
    // exits, leaving the device as it was after its last answered command.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

CliSession::~CliSession()
{
    out.flush();
    err.flush();
}

void CliSession::scan()
{
    // Each scan opens at most one product's new devices.
    while (usb.rescanForOrvDevices()) {
    }
    static bool started = false;
    if (!started) {
        usb.start(false);
        started = true;
    }
}

QList<UsbDevice*> CliSession::devices(int kinds)
{
    QList<UsbDevice*> matching;
    for (UsbDevice* device : usb.getDevices())
        if (kindOf(device) & kinds)
            matching.append(device);
    return matching;
}

QString CliSession::kindName(const UsbDevice* device)
{
    switch (kindOf(device)) {
    case WheelBaseKind:
        return QStringLiteral("wheelbase");
    case PedalsKind:
        return QStringLiteral("pedals");
    case BootloaderKind:
        return QStringLiteral("bootloader");
    default:
        return QStringLiteral("unknown");
    }
}

QString CliSession::describeKind(const QString& kindName)
{
    if (kindName == QLatin1String("wheelbase"))
        return tr("a wheel base");
    if (kindName == QLatin1String("pedals"))
        return tr("a set of pedals");
    if (kindName == QLatin1String("bootloader"))
        return tr("a bootloader");
    return tr("an unknown device");
}

UsbDevice* CliSession::find(const QString& wanted, int kinds, int* code)
{
    QList<UsbDevice*> candidates;
    for (UsbDevice* device : devices(kinds)) {
        if (wanted.isEmpty() || device->getPath() == wanted || kindName(device) == wanted ||
            (!device->getSerialNumber().isEmpty() && device->getSerialNumber() == wanted))
            candidates.append(device);
    }
    if (candidates.size() == 1) {
        *code = ExitOk;
        return candidates.first();
    }
    if (candidates.isEmpty()) {
        *code = ExitNoDevice;
        err << (wanted.isEmpty() ? tr("No suitable ORV device found.")
                                 : tr("No suitable ORV device matches \"%1\".").arg(wanted))
            << Qt::endl;
        return nullptr;
    }
    *code = ExitUsage;
    err << tr("Several devices match; choose one with --device (a path, a serial number or a "
              "kind):")
        << Qt::endl;
    for (UsbDevice* device : candidates)
        err << "  " << kindName(device) << "  " << device->getPath() << "  "
            << device->getSerialNumber() << Qt::endl;
    return nullptr;
}

UsbDevice* CliSession::findLoaded(const QString& wanted, int kinds, int* code)
{
    scan();
    UsbDevice* device = find(wanted, kinds, code);
    if (!device)
        return nullptr;
    const QString failure = load(device);
    if (!failure.isEmpty()) {
        err << device->getProductName() << ": " << failure << Qt::endl;
        *code = interrupted() ? ExitInterrupted : ExitFailed;
        return nullptr;
    }
    return device;
}

bool CliSession::interrupted()
{
    return stopRequested;
}

bool CliSession::waitUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (stopRequested || clock.elapsed() >= limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

QString CliSession::load(UsbDevice* device)
{
    QPointer<UsbDevice> target = device;
    bool loaded = false;
    QString failure;
    QMetaObject::Connection ok;
    QMetaObject::Connection failed;
    auto onLoaded = [&](UsbDevice*) { loaded = true; };
    auto onFailed = [&](UsbDevice*, const QString& message) { failure = message; };
    if (auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(device)) {
        ok = QObject::connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoaded, onLoaded);
        failed =
            QObject::connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoadFailed, onFailed);
        wheelBase->settingsLoaded = false;
        wheelBase->loadSettings();
    } else if (auto* pedals = qobject_cast<UsbDeviceOrvPedals*>(device)) {
        ok = QObject::connect(pedals, &UsbDeviceOrvPedals::onSettingsLoaded, onLoaded);
        failed = QObject::connect(pedals, &UsbDeviceOrvPedals::onSettingsLoadFailed, onFailed);
        pedals->settingsLoaded = false;
        pedals->loadSettings();
    } else if (auto* bootloader = qobject_cast<UsbDeviceOrvBootloader*>(device)) {
        ok = QObject::connect(bootloader, &UsbDeviceOrvBootloader::onSettingsLoaded, onLoaded);
        bootloader->loadSettings();
    }
    const bool answered = waitUntil([&] { return loaded || !failure.isEmpty() || !target; });
    QObject::disconnect(ok);
    QObject::disconnect(failed);
    if (!target)
        return tr("The device left.");
    if (!failure.isEmpty())
        return failure;
    if (!answered)
        return interrupted() ? tr("Interrupted.")
                             : tr("The device did not answer within %1 s.").arg(timeoutMs / 1000.0);
    if (auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(device))
        wheelBase->settingsLoaded = true;
    else if (auto* pedals = qobject_cast<UsbDeviceOrvPedals*>(device))
        pedals->settingsLoaded = true;
    return QString();
}

bool CliSession::settle(UsbDevice* device)
{
    QPointer<UsbDevice> target = device;
    // The last command of a chain expects no answer: it has gone once the
    // HID layer has written it.
    return waitUntil([&] {
               return !target || (!target->awaitingAnswer() && target->commandsInFlight() == 0);
           }) &&
           target;
}
