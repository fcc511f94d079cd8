#pragma once

// A device on a test bus played by the test itself: it records every output
// report the tool writes, with the time it arrived, and sends whatever input
// report the test gives it.

#include "hid/hid.h"
#include "sim/VhidEndpoint.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class UsbDevice;

class FakeDevice
{
public:
    using Report = std::vector<uint8_t>;

    // A 64-byte command report as the tool writes it, and an answer.
    static Report command(uint8_t code, uint8_t version);
    static Report response(uint8_t code, uint8_t version, int index = -1);
    // Hands an input report to a device object, as the manager would.
    static void deliver(UsbDevice* device, Report report);

    FakeDevice(const std::string& busDir, const std::string& stem, vhid::DeviceInfo info);
    // Leaves the bus first: the endpoint's thread records into the members.
    ~FakeDevice() { endpoint.unplug(); }

    bool plug() { return endpoint.plug(); }
    void unplug() { endpoint.unplug(); }
    // A new handle on the device, as discovery would open it.
    hid_device* open() const;
    QString path() const { return QString::fromStdString(endpoint.sockPath()); }
    int send(const Report& report) { return endpoint.send(report.data(), report.size()); }
    // Off: a device that stops taking reports (they back up unread).
    void setReading(bool on) { endpoint.setReading(on); }

    size_t count();
    Report at(size_t i);
    qint64 timeAt(size_t i); // ms since the last clear()
    std::vector<Report> received();
    void clear();
    // Runs the event loop until count reports have arrived.
    bool waitFor(size_t count, int timeoutMs = 2000);

    // The bus side, for what the calls above do not cover.
    orvsim::VhidEndpoint endpoint;

private:
    std::mutex mutex;
    std::vector<Report> reports;
    std::vector<qint64> times;
    QElapsedTimer clock;
};
