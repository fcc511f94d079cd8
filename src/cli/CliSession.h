#pragma once

// What every orvctl command shares: the device manager, finding the device
// a command is meant for, waiting for a device with a time limit (nothing
// ever waits without one), and the two output streams.

#include "usb/UsbManager.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTextStream>

#include <functional>

class UsbDevice;

enum ExitCode
{
    ExitOk = 0,
    ExitFailed = 1,   // the device or a file reported a failure
    ExitUsage = 2,    // the command line is wrong
    ExitNoDevice = 3, // no device matches
    ExitInterrupted = 130,
};

// Which kinds of device a command works on.
enum DeviceKinds
{
    WheelBaseKind = 1,
    PedalsKind = 2,
    BootloaderKind = 4,
    ProfileKinds = WheelBaseKind | PedalsKind,
    AnyKind = 7,
};

class CliSession
{
public:
    static constexpr int DefaultTimeoutMs = 5000;

    CliSession();
    ~CliSession();

    QTextStream out; // data
    QTextStream err; // messages

    int timeoutMs = DefaultTimeoutMs;

    // Opens every supported device present and starts reading them.
    void scan();
    QList<UsbDevice*> devices(int kinds = AnyKind);
    UsbManager& manager() { return usb; }

    // The one device of the given kinds that wanted names: a path, a serial
    // number, or a kind ("wheelbase", "pedals", "bootloader"); when wanted
    // is empty, the only one there is. Null when there
    // is none or more than one; *code and a message say which.
    UsbDevice* find(const QString& wanted, int kinds, int* code);

    // Runs the event loop until done() or the time limit; false on time-out
    // or Ctrl-C (see interrupted()).
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    bool waitUntil(const std::function<bool()>& done) { return waitUntil(done, timeoutMs); }
    static bool interrupted();

    // Scans, finds the device (see find) and reads its settings; null (with
    // the message shown and *code set) when any of it fails.
    UsbDevice* findLoaded(const QString& wanted, int kinds, int* code);

    // Reads the device's settings (wheel base, pedals) or its information
    // (bootloader). Empty on success, else the message to show.
    QString load(UsbDevice* device);
    // Waits until the device has no command out, answered or written; false
    // if it left or the time ran out.
    bool settle(UsbDevice* device);

    // "wheelbase", "pedals" or "bootloader", as --device takes them.
    static QString kindName(const UsbDevice* device);
    // "a wheel base", "a set of pedals", "a bootloader".
    static QString describeKind(const QString& kindName);

private:
    UsbManager usb;
};
