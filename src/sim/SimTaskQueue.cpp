#include "SimTaskQueue.h"

#include <algorithm>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace orvsim {

SimTaskQueue::~SimTaskQueue()
{
    stop();
}

bool SimTaskQueue::later(const Entry& a, const Entry& b)
{
    return a.due > b.due || (a.due == b.due && a.sequence > b.sequence);
}

void SimTaskQueue::start()
{
    std::lock_guard<std::mutex> guard(mutex);
    if (running)
        return;
    running = true;
    thread = std::thread([this] { run(); });
    workerId = thread.get_id();
}

void SimTaskQueue::stop()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        running = false;
        heap.clear();
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
}

bool SimTaskQueue::post(Clock::time_point due, Task task)
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (!running)
            return false;
        heap.push_back({due, nextSequence++, std::move(task)});
        std::push_heap(heap.begin(), heap.end(), later);
    }
    changed.notify_all();
    return true;
}

void SimTaskQueue::run()
{
#ifdef __linux__
    // Simulated USB frames are a millisecond long; the default 50 us timer
    // slack would be a noticeable part of each.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    std::unique_lock<std::mutex> lock(mutex);
    while (running) {
        if (heap.empty()) {
            changed.wait(lock);
            continue;
        }
        const Clock::time_point due = heap.front().due;
        if (Clock::now() < due) {
            changed.wait_until(lock, due);
            continue;
        }
        std::pop_heap(heap.begin(), heap.end(), later);
        Entry entry = std::move(heap.back());
        heap.pop_back();
        runningDue = entry.due;
        lock.unlock();
        entry.task();
        lock.lock();
    }
}

} // namespace orvsim
