#pragma once

// Serves one device on a virtual HID bus directory: a listening seqpacket
// socket that takes any number of connections, and the ".info" announcement.
// Input reports go to every connection; output reports from any connection
// are handed to the receiver callback on the endpoint's own thread.

#include "vhid/DeviceInfo.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvsim {

class VhidEndpoint
{
public:
    using Receiver = std::function<void(const std::vector<uint8_t>& report)>;

    VhidEndpoint(std::string busDir, std::string stem, vhid::DeviceInfo info);
    ~VhidEndpoint();
    VhidEndpoint(const VhidEndpoint&) = delete;
    VhidEndpoint& operator=(const VhidEndpoint&) = delete;

    // Set before plug(): called for each output report received.
    void setReceiver(Receiver receiver);

    bool plug();
    void unplug();
    bool isPlugged() const { return plugged; }

    // Sends one input report to every connection; a connection that cannot
    // take it now (its queue is full) misses it, as a host that stops
    // polling misses a device's reports. Returns the connections reached.
    int send(const uint8_t* data, size_t length);
    int connectionCount() const;
    // Off: output reports are left unread, so they back up in the
    // connections until the host's writes find no room, as with a device
    // that stopped taking reports. On again, the backlog is read in order.
    void setReading(bool on);

    const std::string& sockPath() const { return sockPath_; }
    const std::string& infoPath() const { return infoPath_; }
    const vhid::DeviceInfo& info() const { return info_; }
    void setInfo(const vhid::DeviceInfo& info) { info_ = info; }

private:
    void serve();
    void closeConnections();

    const std::string sockPath_;
    const std::string infoPath_;
    vhid::DeviceInfo info_;
    Receiver receiver;

    std::atomic<bool> plugged{false};
    std::atomic<bool> reading{true};
    int listenFd = -1;
    int wakePipe[2] = {-1, -1};
    std::thread thread;

    mutable std::mutex connectionsMutex;
    std::vector<int> connections;
};

} // namespace orvsim
