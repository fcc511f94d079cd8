#pragma once

#include "OrvUsbReport.h"
#include "UsbCommand.h"
#include "hid/hid.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

// One open HID device of a supported kind. Owns its hid_device; lives on the
// main thread, where the manager hands it every report the reader collected.
class UsbDevice : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryIntervalMs = 600;

    UsbDevice(QString path, hid_device* device);
    ~UsbDevice() override;

    QString getPath() const { return path; }
    QString getProductName() const { return productName; }
    QString getSerialNumber() const { return serialNumber; }
    // A command that expects an answer is out (and resent until answered);
    // a chain of commands has ended once this is false again.
    bool awaitingAnswer() const { return retryTimer.isActive(); }
    // Commands handed to the HID layer that have not reached the device yet.
    size_t commandsInFlight() const { return hid_write_pending(device); }

    // Direct, non-blocking read of one report; only for a manager running
    // without its reader thread.
    virtual int readReport(OrvUsbReport* report);
    // Every delivered report; the pointer is valid only during the call.
    virtual void handleReport(OrvUsbReport* report, uint64_t readTimeMicros);

    const QString path;

protected:
    QString productName;
    QString serialNumber;

public:
    // Read by the reader thread without a lock: it never changes.
    hid_device* const device;

protected:
    // Writes one 64-byte command report; repeats it every 600 ms until any
    // answer arrives when a reply is expected or the write failed.
    virtual void sendReport(const uint8_t* data, bool expectReply);
    // sendReport for the helpers a device owns.
    std::function<void(const uint8_t*, bool)> reportSender()
    {
        return [this](const uint8_t* data, bool expectReply) { sendReport(data, expectReply); };
    }
    // Every kind restores its factory defaults with the same command, in its
    // own protocol version.
    void sendFactoryDefaults(uint8_t version);

    uint8_t lastRequest[OrvUsbReport::Size] = {};
    QTimer retryTimer;

private slots:
    void retryOnTimeout();
};
