#include "SimDevice.h"

#include "SimProtocol.h"

#include <algorithm>

namespace orvsim {

SimDevice::SimDevice(const std::string& busDir, const std::string& stem, vhid::DeviceInfo info)
    : endpoint(busDir, stem, std::move(info))
{
    tasks.start();
    endpoint.setReceiver([this](const Report& report) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            receivedReports.push_back(report);
        }
        changed.notify_all();
        if (report.empty() || report[0] != CommandReportId)
            return;
        // The firmware reads a fixed 64-byte buffer whatever the host sent.
        Report command(report.begin(), report.begin() + std::min(report.size(), ReportSize));
        command.resize(ReportSize, 0);
        tasks.post(nextFrame(Clock::now()), [this, command] {
            if (!silent_)
                handleOutputReport(command);
        });
    });
}

SimDevice::~SimDevice()
{
    SimDevice::shutdown();
}

void SimDevice::shutdown()
{
    tasks.stop();
    stopStreaming();
    std::lock_guard<std::mutex> guard(plugMutex);
    endpoint.unplug();
}

bool SimDevice::plug()
{
    std::lock_guard<std::mutex> guard(plugMutex);
    streamMuted = false;
    return endpoint.plug();
}

void SimDevice::unplug()
{
    std::lock_guard<std::mutex> guard(plugMutex);
    endpoint.unplug();
}

void SimDevice::handleOutputReport(const Report&) {}

void SimDevice::setDropEveryKthAnswer(int k)
{
    answersSinceDropSet = 0;
    dropEvery = std::max(0, k);
}

int SimDevice::protocolVersion(int own) const
{
    const int override = protocolOverride;
    return override >= 0 ? override : own;
}

SimDevice::Clock::time_point SimDevice::nextFrame(Clock::time_point t) const
{
    // Frames start on a fixed 1-frame grid, as a bus's start-of-frame ticks
    // do: a report is taken at the first frame boundary after it arrives.
    const auto frame = std::chrono::duration_cast<Clock::duration>(frameTime());
    if (frame.count() <= 0)
        return t;
    const auto sinceEpoch = t.time_since_epoch();
    return Clock::time_point((sinceEpoch / frame + 1) * frame);
}

SimDevice::Clock::time_point SimDevice::answerDue() const
{
    return tasks.isQueueThread() ? tasks.currentDue() + frameTime() : Clock::now();
}

void SimDevice::reply(Report answer)
{
    if (silent_)
        return;
    const int k = dropEvery;
    if (k > 0 && ++answersSinceDropSet % uint64_t(k) == 0)
        return;
    ++sent;
    if (frameUs == 0 || !tasks.isQueueThread()) {
        endpoint.send(answer.data(), answer.size());
        return;
    }
    tasks.post(answerDue(), [this, answer] { endpoint.send(answer.data(), answer.size()); });
}

void SimDevice::afterAnswers(SimTaskQueue::Task task)
{
    tasks.post(answerDue(), std::move(task));
}

void SimDevice::runLater(std::chrono::milliseconds delay, SimTaskQueue::Task task)
{
    tasks.post(Clock::now() + delay, std::move(task));
}

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
        const uint64_t thisSequence = sequence++;
        bool wentOut = false;
        if (endpoint.isPlugged() && !streamSilent && !streamMuted) {
            if (unplugCountdown == 0) {
                leaveByFault();
            } else {
                uint8_t report[ReportSize] = {};
                fillJoystickReport(report, thisSequence);
                if (currentHook)
                    currentHook(report, thisSequence);
                endpoint.send(report, sizeof report);
                wentOut = true;
                int64_t left = unplugCountdown;
                if (left > 0 && unplugCountdown.compare_exchange_strong(left, left - 1) &&
                    left == 1)
                    leaveByFault();
            }
        }
        lock.lock();
        if (wentOut)
            ++streamed;
    }
}

void SimDevice::leaveByFault()
{
    unplugCountdown = -1;
    streamMuted = true; // nothing more goes out before the firmware thread unplugs
    tasks.post(Clock::now(), [this] { unplug(); });
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
