#include "UsbManager.h"

#include "UsbManagerReaderThread.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "hid/hid.h"

#include <QMetaType>
#include <QScopeGuard>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <cwchar>
#include <vector>

Q_DECLARE_METATYPE(QPointer<UsbDevice>)
Q_DECLARE_METATYPE(QSharedPointer<OrvUsbReport>)

namespace {

uint64_t wallClockMicros()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

QString productStringOf(hid_device* device)
{
    constexpr size_t Capacity = 256;
    wchar_t buffer[Capacity] = {};
    if (hid_get_product_string(device, buffer, Capacity) != 0)
        return QString();
    buffer[Capacity - 1] = L'\0';
    return QString::fromWCharArray(buffer, static_cast<int>(std::wcslen(buffer)));
}

// The class for a product ID; for the two shared IDs the product string
// decides, "Bootloader" first. Null when the device is not one of ours.
UsbDevice* createDevice(ushort productId, const QString& path, hid_device* device)
{
    switch (productId) {
    case UsbManager::WheelBaseProductId:
    case UsbManager::PedalsProductId: {
        const QString product = productStringOf(device);
        if (product.contains(QLatin1String("Bootloader"), Qt::CaseSensitive))
            return new UsbDeviceOrvBootloader(path, device);
        if (productId == UsbManager::WheelBaseProductId &&
            product.contains(QLatin1String("Wheel Base"), Qt::CaseSensitive))
            return new UsbDeviceOrvWheelBase(path, device);
        if (productId == UsbManager::PedalsProductId &&
            product.contains(QLatin1String("Pedals"), Qt::CaseSensitive))
            return new UsbDeviceOrvPedals(path, device);
        return nullptr;
    }
    case 0xA111:
        return new UsbDeviceOrvWheelBase(path, device);
    case 0xA112:
        return new UsbDeviceOrvPedals(path, device);
    case 0xA110:
    case 0x5C05:
        return new UsbDeviceOrvBootloader(path, device);
    default:
        return nullptr;
    }
}

} // namespace

UsbManager::UsbManager() : QObject(nullptr)
{
    hid_init(); // a failure shows as scans that find nothing
    qRegisterMetaType<QPointer<UsbDevice>>("QPointer<UsbDevice>");
    qRegisterMetaType<QSharedPointer<OrvUsbReport>>("QSharedPointer<OrvUsbReport>");
    qRegisterMetaType<uint64_t>("uint64_t");
    const QMetaObject* meta = metaObject();
    deviceReadMethod = meta->method(meta->indexOfMethod(QMetaObject::normalizedSignature(
        "doDeviceRead(QPointer<UsbDevice>,QSharedPointer<OrvUsbReport>,uint64_t)")));
    deviceDisconnectedMethod = meta->method(meta->indexOfMethod(
        QMetaObject::normalizedSignature("doDeviceDisconnected(QPointer<UsbDevice>)")));
    rescanTimer.setTimerType(Qt::CoarseTimer);
    connect(&rescanTimer, &QTimer::timeout, this, &UsbManager::rescanForOrvDevices);
}

UsbManager::~UsbManager()
{
    stop();
    // Departures still queued will never be delivered to a manager that is
    // gone: their devices are released here, while the HID layer still is.
    for (UsbDevice* device : qAsConst(departing))
        delete device;
    departing.clear();
    hid_exit();
}

void UsbManager::start(bool startPaused)
{
    running = true;
    paused = startPaused;
    rescanTimer.start(RescanIntervalMs);
    readWaitMs = ReadWaitMs;
    readerThread = new UsbManagerReaderThread(this);
    readerThread->start(QThread::InheritPriority);
}

void UsbManager::pause()
{
    paused = true;
}

void UsbManager::resume()
{
    paused = false;
}

void UsbManager::stop()
{
    running = false;
    rescanTimer.stop();
    if (readerThread) {
        readerThread->wait();
        delete readerThread;
        readerThread = nullptr;
    }
    // The reader has ended: the table needs no lock from here on.
    const QList<UsbDevice*> open = devices.values();
    for (UsbDevice* device : open) {
        emit onDeviceDisconnected(device);
        delete device;
    }
    devices.clear();
}

QList<UsbDevice*> UsbManager::getDevices()
{
    return copyDevices();
}

UsbDevice* UsbManager::getDevice(QString id)
{
    QReadLocker locker(&devicesLock);
    return devices.value(id, nullptr);
}

bool UsbManager::rescanForOrvDevices()
{
    // The pedals wait for the next scan whenever this one found a wheel base.
    if (doRescanForOrvDevices(VendorId, WheelBaseProductId))
        return true;
    return doRescanForOrvDevices(VendorId, PedalsProductId);
}

bool UsbManager::doRescanForOrvDevices(ushort vendorId, ushort productId)
{
    if (scanning)
        return false; // the next tick scans again
    scanning = true;
    const auto done = qScopeGuard([this] { scanning = false; });

    QStringList openPaths;
    {
        QReadLocker locker(&devicesLock);
        openPaths = devices.keys();
    }

    QList<UsbDevice*> found;
    QList<DeviceAccessProblem> failed;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (hid_device_info* info = list; info; info = info->next) {
        const QString path = QString::fromUtf8(info->path);
        if (info->vendor_id != vendorId || info->product_id != productId)
            continue;
        if (openPaths.contains(path))
            continue;
        hid_device* handle = hid_open_path(info->path);
        if (!handle) {
            // Tried again at the next scan; meanwhile whoever shows it says
            // why. One that left between enumeration and open is no problem.
            if (hid_open_error() != ENOENT)
                failed.append(
                    {path,
                     QString::fromWCharArray(info->product_string ? info->product_string : L""),
                     hid_open_error()});
            continue;
        }
        hid_set_nonblocking(handle, 1);
        UsbDevice* device = createDevice(productId, path, handle);
        if (!device) {
            hid_close(handle);
            continue;
        }
        found.append(device);
    }
    hid_free_enumeration(list);
    accessMonitor.scanned(productId, failed);

    for (UsbDevice* device : found) {
        {
            QWriteLocker locker(&devicesLock);
            devices.insert(device->path, device);
        }
        emit onDeviceConnected(device);
    }
    return !found.isEmpty();
}

void UsbManager::readerThreadLoop()
{
    while (running) {
        if (paused) {
            // Sleep rather than spin: a paused reader must not hold a core.
            QThread::msleep(PausedCheckMs);
            continue;
        }
        tryReadFromOrvDevices();
    }
}

QList<UsbDevice*> UsbManager::copyDevices()
{
    QReadLocker locker(&devicesLock);
    return devices.values();
}

void UsbManager::deliver(UsbDevice* device, const QSharedPointer<OrvUsbReport>& report)
{
    const uint64_t readTime = wallClockMicros();
    deviceReadMethod.invoke(this, Qt::QueuedConnection,
                            Q_ARG(QPointer<UsbDevice>, QPointer<UsbDevice>(device)),
                            Q_ARG(QSharedPointer<OrvUsbReport>, report), Q_ARG(uint64_t, readTime));
}

void UsbManager::dropFailedDevices(const QList<UsbDevice*>& failed)
{
    for (UsbDevice* device : failed) {
        {
            QWriteLocker locker(&devicesLock);
            devices.remove(device->path);
            departing.insert(device);
        }
        deviceDisconnectedMethod.invoke(this, Qt::QueuedConnection,
                                        Q_ARG(QPointer<UsbDevice>, QPointer<UsbDevice>(device)));
    }
}

void UsbManager::tryReadFromOrvDevices()
{
    const QList<UsbDevice*> open = copyDevices();
    QList<UsbDevice*> failed;

    if (!readerThread) {
        // Direct pass, without a reader thread: one non-blocking read each.
        for (UsbDevice* device : open) {
            QSharedPointer<OrvUsbReport> report(new OrvUsbReport{});
            const int r = device->readReport(report.data());
            if (r == -1)
                failed.append(device);
            else if (r == OrvUsbReport::Size)
                deliver(device, report);
        }
        dropFailedDevices(failed);
        return;
    }

    if (open.isEmpty()) {
        QThread::msleep(static_cast<unsigned long>(readWaitMs));
        return;
    }

    std::vector<hid_wait_handle> handles;
    QList<UsbDevice*> waiting;
    handles.reserve(static_cast<size_t>(open.size()));
    for (UsbDevice* device : open) {
        const hid_wait_handle handle = hid_read_begin(device->device);
        if (handle == HID_INVALID_WAIT_HANDLE) {
            failed.append(device);
            continue;
        }
        handles.push_back(handle);
        waiting.append(device);
    }

    // The lowest ready index is the ready device with the smallest path;
    // the others stay ready and are collected by the next passes.
    const int ready = hid_wait_any(handles.data(), handles.size(), readWaitMs);
    if (ready >= 0) {
        UsbDevice* device = waiting.at(ready);
        QSharedPointer<OrvUsbReport> report(new OrvUsbReport{});
        const int r = hid_read_finish(device->device, report->data, OrvUsbReport::Size);
        if (r == -1)
            failed.append(device);
        else if (r == OrvUsbReport::Size)
            deliver(device, report);
    }
    dropFailedDevices(failed);
}

void UsbManager::doDeviceDisconnected(QPointer<UsbDevice> device)
{
    {
        QWriteLocker locker(&devicesLock);
        departing.remove(device.data());
    }
    emit onDeviceDisconnected(device.data());
    delete device.data();
}

void UsbManager::doDeviceRead(QPointer<UsbDevice> device, QSharedPointer<OrvUsbReport> report,
                              uint64_t readTimeMicros)
{
    if (device)
        device->handleReport(report.data(), readTimeMicros);
}
