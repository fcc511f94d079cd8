#pragma once

// Common part of the simulated devices: one endpoint on the bus, a joystick
// report stream at a set rate, a record of every report received, the thread
// the firmware runs on, and the faults a test can switch on.

#include "SimTaskQueue.h"
#include "VhidEndpoint.h"

#include <atomic>
#include <chrono>
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
    using Clock = SimTaskQueue::Clock;
    // Lets a caller stamp each streamed report just before it is sent.
    using StreamHook = std::function<void(uint8_t* report, uint64_t sequence)>;

    SimDevice(const std::string& busDir, const std::string& stem, vhid::DeviceInfo info);
    virtual ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    virtual bool plug();
    virtual void unplug();
    bool isPlugged() const { return endpoint.isPlugged(); }

    // Streams joystick reports at rateHz until stopStreaming (0 stops). Only
    // reports that went out while plugged count.
    void startStreaming(double rateHz);
    void stopStreaming();
    void setStreamHook(StreamHook hook);
    uint64_t streamedReports() const;

    // Sends one input report as given (any length) to every connection, now,
    // past every fault.
    int sendReport(const Report& report);

    std::vector<Report> received() const;
    void clearReceived();
    // Waits until at least count reports have been received in all.
    bool waitForReceived(size_t count, int timeoutMs) const;
    int connectionCount() const { return endpoint.connectionCount(); }

    const vhid::DeviceInfo& info() const { return endpoint.info(); }
    const std::string& sockPath() const { return endpoint.sockPath(); }

    // Faults. Each takes effect with the next report.
    // A hung firmware: commands are received but neither acted on nor answered.
    void setSilent(bool silent) { silent_ = silent; }
    bool isSilent() const { return silent_; }
    // Stops (false) or resumes taking reports from the host: unread, they
    // back up until the host can write no more.
    void setReading(bool on) { endpoint.setReading(on); }
    // No joystick reports (answers go on unless silent as well).
    void setStreamSilent(bool silent) { streamSilent = silent; }
    // Answers k, 2k, 3k... (counted from this call) are lost; 0 loses none.
    void setDropEveryKthAnswer(int k);
    // The version byte of the settings answer; -1 for the model's own.
    void setProtocolVersionOverride(int version) { protocolOverride = version; }
    // Leaves the bus once n more joystick reports have gone out; -1 never.
    void setUnplugAfterReports(int64_t n) { unplugCountdown = n; }
    // A USB frame: each command is taken one frame after it arrives, and each
    // answer goes out one frame after the command was taken. 0: no delay.
    virtual void setFrameTime(std::chrono::microseconds frame) { frameUs = frame.count(); }
    std::chrono::microseconds frameTime() const { return std::chrono::microseconds(frameUs); }
    // The first frame boundary after t (t itself when frames are off).
    Clock::time_point nextFrame(Clock::time_point t) const;
    uint64_t answersSent() const { return sent; }

protected:
    // Subclasses end the firmware, the stream and the bus presence in their
    // own destructors, before the virtual functions below stop being theirs.
    virtual void shutdown();

    virtual void fillJoystickReport(uint8_t* report, uint64_t sequence) = 0;
    // The firmware's reaction to a command report, on the firmware thread.
    // The report is always 64 bytes with the command report ID in byte 0:
    // shorter ones arrive zero-padded, longer ones cut, others are not passed on.
    virtual void handleOutputReport(const Report& report);

    // Answers through the faults and the frame delay.
    void reply(Report answer);
    // Runs a task on the firmware thread after the answers already given.
    void afterAnswers(SimTaskQueue::Task task);
    void runLater(std::chrono::milliseconds delay, SimTaskQueue::Task task);
    int protocolVersion(int own) const;

    VhidEndpoint endpoint;

private:
    void stream(double rateHz);
    void leaveByFault();
    Clock::time_point answerDue() const;

    SimTaskQueue tasks;
    std::mutex plugMutex;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Report> receivedReports;
    StreamHook hook;
    uint64_t streamed = 0;
    bool streaming = false;
    std::thread streamThread;

    std::atomic<bool> silent_{false};
    std::atomic<bool> streamSilent{false};
    std::atomic<int> dropEvery{0};
    std::atomic<uint64_t> answersSinceDropSet{0};
    std::atomic<int> protocolOverride{-1};
    std::atomic<int64_t> unplugCountdown{-1};
    std::atomic<bool> streamMuted{false}; // left the bus by the fault, until plugged again
    std::atomic<int64_t> frameUs{0};
    std::atomic<uint64_t> sent{0};
};

} // namespace orvsim
