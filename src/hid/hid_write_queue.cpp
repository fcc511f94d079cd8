#include "hid_write_queue.h"

#include "hid_backend.h"

namespace orvhid {

bool WriteQueue::push(std::vector<unsigned char> report, size_t capacity)
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (closed || waiting.size() >= capacity)
            return false;
        waiting.push_back(std::move(report));
        if (!thread.joinable())
            thread = std::thread([this] { drain(); });
    }
    wake.notify_one();
    return true;
}

void WriteQueue::close()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
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
        lock.unlock();
        // The caller was told the report was taken; a failure is the device's
        // (recorded by the backend) and the next report is tried all the same.
        device.write(report.data(), report.size());
        lock.lock();
    }
}

} // namespace orvhid
