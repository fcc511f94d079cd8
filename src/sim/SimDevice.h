#pragma once

// Common part of the simulated devices: one endpoint on the bus, a joystick
// report stream at a set rate, and a record of every report received.

#include "VhidEndpoint.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvsim {

class SimDevice
{
public:
    static constexpr size_t ReportSize = 64;
    using Report = std::vector<uint8_t>;
    // Lets a caller stamp each streamed report just before it is sent.
    using StreamHook = std::function<void(uint8_t* report, uint64_t sequence)>;

    SimDevice(const std::string& busDir, const std::string& stem, VhidInfo info);
    virtual ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    bool plug();
    void unplug();
    bool isPlugged() const { return endpoint.isPlugged(); }

    // Streams joystick reports at rateHz until stopStreaming (0 stops).
    void startStreaming(double rateHz);
    void stopStreaming();
    void setStreamHook(StreamHook hook);
    uint64_t streamedReports() const;

    // Sends one input report as given (any length) to every connection.
    int sendReport(const Report& report);

    std::vector<Report> received() const;
    void clearReceived();
    // Waits until at least count reports have been received in all.
    bool waitForReceived(size_t count, int timeoutMs) const;
    int connectionCount() const { return endpoint.connectionCount(); }

    const VhidInfo& info() const { return endpoint.info(); }
    const std::string& sockPath() const { return endpoint.sockPath(); }

protected:
    // Subclasses end the stream and leave the bus in their own destructors,
    // before the virtual functions below stop being theirs.
    void shutdown();

    virtual void fillJoystickReport(uint8_t* report, uint64_t sequence) = 0;
    // The firmware's answer to an output report; runs on the endpoint thread.
    virtual void handleOutputReport(const Report& report);

    VhidEndpoint endpoint;

private:
    void stream(double rateHz);

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Report> receivedReports;
    StreamHook hook;
    uint64_t streamed = 0;
    bool streaming = false;
    std::thread streamThread;
};

} // namespace orvsim
