#include "hid_write_queue.h"

#include "hid_backend.h"

#include <chrono>

namespace orvhid {

int WriteQueue::write(std::vector<unsigned char> report, size_t capacity)
{
    const int count = static_cast<int>(report.size());
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (closed)
            return -1;
        if (waiting.empty() && !writing) {
            // Nothing to overtake: a report the device takes at once is
            // spared the trip through the thread and its wake-up.
            const int r = device.tryWrite(report.data(), report.size());
            if (r != hid_device_::WriteWouldWait)
                return r;
        }
        if (waiting.size() >= capacity)
            return -1;
        waiting.push_back(std::move(report));
        if (!thread.joinable())
            thread = std::thread([this] { drain(); });
    }
    wake.notify_one();
    return count;
}

size_t WriteQueue::pending()
{
    std::lock_guard<std::mutex> guard(mutex);
    return waiting.size() + (writing ? 1 : 0);
}

void WriteQueue::close()
{
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!device.hasLeft())
            idle.wait_for(lock, std::chrono::milliseconds(DrainAtCloseMs),
                          [this] { return waiting.empty() && !writing; });
        closed = true;
        waiting.clear();
    }
    wake.notify_one();
    if (!thread.joinable())
        return;
    device.interruptWrite();
    thread.join();
}

void WriteQueue::drain()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return closed || !waiting.empty(); });
        if (closed)
            return;
        const std::vector<unsigned char> report = std::move(waiting.front());
        waiting.pop_front();
        writing = true;
        lock.unlock();
        // The caller was told the report was taken; a failure is the device's
        // (recorded by the backend) and the next report is tried all the same.
        device.write(report.data(), report.size());
        lock.lock();
        writing = false;
        if (waiting.empty())
            idle.notify_all();
    }
}

} // namespace orvhid
