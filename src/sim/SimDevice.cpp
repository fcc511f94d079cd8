#include "SimDevice.h"

#include <chrono>

namespace orvsim {

SimDevice::SimDevice(const std::string& busDir, const std::string& stem, VhidInfo info)
    : endpoint(busDir, stem, std::move(info))
{
    endpoint.setReceiver([this](const Report& report) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            receivedReports.push_back(report);
        }
        changed.notify_all();
        handleOutputReport(report);
    });
}

SimDevice::~SimDevice()
{
    shutdown();
}

void SimDevice::shutdown()
{
    stopStreaming();
    endpoint.unplug();
}

bool SimDevice::plug()
{
    return endpoint.plug();
}

void SimDevice::unplug()
{
    endpoint.unplug();
}

void SimDevice::handleOutputReport(const Report&) {}

void SimDevice::startStreaming(double rateHz)
{
    stopStreaming();
    if (rateHz <= 0)
        return;
    {
        std::lock_guard<std::mutex> guard(mutex);
        streaming = true;
    }
    streamThread = std::thread([this, rateHz] { stream(rateHz); });
}

void SimDevice::stopStreaming()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        streaming = false;
    }
    changed.notify_all();
    if (streamThread.joinable())
        streamThread.join();
}

void SimDevice::setStreamHook(StreamHook h)
{
    std::lock_guard<std::mutex> guard(mutex);
    hook = std::move(h);
}

uint64_t SimDevice::streamedReports() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return streamed;
}

void SimDevice::stream(double rateHz)
{
    using Clock = std::chrono::steady_clock;
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rateHz));
    auto next = Clock::now();
    uint64_t sequence = 0;
    std::unique_lock<std::mutex> lock(mutex);
    while (streaming) {
        // Absolute deadlines keep the rate exact over time however long a
        // send takes.
        next += period;
        if (changed.wait_until(lock, next, [this] { return !streaming; }))
            break;
        StreamHook currentHook = hook;
        lock.unlock();
        uint8_t report[ReportSize] = {};
        fillJoystickReport(report, sequence);
        if (currentHook)
            currentHook(report, sequence);
        endpoint.send(report, sizeof report);
        ++sequence;
        lock.lock();
        streamed = sequence;
    }
}

int SimDevice::sendReport(const Report& report)
{
    return endpoint.send(report.data(), report.size());
}

std::vector<SimDevice::Report> SimDevice::received() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return receivedReports;
}

void SimDevice::clearReceived()
{
    std::lock_guard<std::mutex> guard(mutex);
    receivedReports.clear();
}

bool SimDevice::waitForReceived(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return receivedReports.size() >= count; });
}

} // namespace orvsim
