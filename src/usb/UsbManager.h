#pragma once

#include "DeviceAccessMonitor.h"
#include "devices/OrvUsbReport.h"

#include <QList>
#include <QMap>
#include <QMetaMethod>
#include <QObject>
#include <QPointer>
#include <QReadWriteLock>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>

class UsbDevice;
class UsbManagerReaderThread;

// Finds the supported devices, owns one object per open device, and reads
// them all from one background thread, handing each report to its object on
// the main thread.
class UsbManager : public QObject
{
    Q_OBJECT

public:
    static constexpr unsigned short VendorId = 0x0483;
    static constexpr unsigned short WheelBaseProductId = 0xA355;
    static constexpr unsigned short PedalsProductId = 0xA3BE;
    static constexpr int RescanIntervalMs = 1000;
    static constexpr int ReadWaitMs = 500;
    // How often a paused reader looks at its flags again.
    static constexpr int PausedCheckMs = 10;

    UsbManager();
    ~UsbManager() override;

    // Supported devices found by the scans that could not be opened.
    DeviceAccessMonitor& accessProblems() { return accessMonitor; }

signals:
    void onDeviceConnected(UsbDevice* device);
    void onDeviceDisconnected(UsbDevice* device);

public slots:
    void start(bool startPaused = false);
    void pause();
    void resume();
    void stop();
    QList<UsbDevice*> getDevices();
    UsbDevice* getDevice(QString id);
    bool rescanForOrvDevices();

private slots:
    bool doRescanForOrvDevices(ushort vendorId, ushort productId);
    void tryReadFromOrvDevices();
    void readerThreadLoop();
    void doDeviceDisconnected(QPointer<UsbDevice> device);
    void doDeviceRead(QPointer<UsbDevice> device, QSharedPointer<OrvUsbReport> report,
                      uint64_t readTimeMicros);

private:
    friend class UsbManagerReaderThread;

    QList<UsbDevice*> copyDevices();
    void dropFailedDevices(const QList<UsbDevice*>& failed);
    void deliver(UsbDevice* device, const QSharedPointer<OrvUsbReport>& report);

    std::atomic<bool> running{false};
    std::atomic<bool> paused{false};
    int readWaitMs = 0;
    QTimer rescanTimer;
    QReadWriteLock devicesLock;
    QMap<QString, UsbDevice*> devices;
    UsbManagerReaderThread* readerThread = nullptr;

    // The reader's queued calls, looked up by name once rather than per report.
    QMetaMethod deviceReadMethod;
    QMetaMethod deviceDisconnectedMethod;
    DeviceAccessMonitor accessMonitor;
    // A receiver of onDeviceConnected may run the event loop (a modal
    // dialog), and the rescan timer fires in it: a scan never starts inside
    // another, or one device would be opened twice.
    bool scanning = false;
    // Dropped by the reader, not yet announced and deleted on the main
    // thread (devicesLock); what is left at destruction is deleted then.
    QSet<UsbDevice*> departing;
};
