#pragma once

// One thread that runs tasks at their due times, in due order (ties in the
// order posted). The simulated firmware runs on it, so a device's answers,
// delays and identity changes never block the thread that reads its socket.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvsim {

class SimTaskQueue
{
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;

    SimTaskQueue() = default;
    ~SimTaskQueue();
    SimTaskQueue(const SimTaskQueue&) = delete;
    SimTaskQueue& operator=(const SimTaskQueue&) = delete;

    void start();
    // Joins the thread; tasks not yet run are dropped. Not from a task.
    void stop();
    // False (and the task dropped) when the queue is not running.
    bool post(Clock::time_point due, Task task);
    // The due time of the task running now: answers are timed from it rather
    // than from the moment the thread woke, so wake-up latency does not add up.
    Clock::time_point currentDue() const { return runningDue; }
    bool isQueueThread() const { return std::this_thread::get_id() == workerId; }

private:
    struct Entry
    {
        Clock::time_point due;
        uint64_t sequence;
        Task task;
    };
    static bool later(const Entry& a, const Entry& b);
    void run();

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> heap;
    uint64_t nextSequence = 0;
    bool running = false;
    Clock::time_point runningDue{};
    std::thread thread;
    std::thread::id workerId; // kept after the join, so asking stays safe
};

} // namespace orvsim
