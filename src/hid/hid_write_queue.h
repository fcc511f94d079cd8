#pragma once

// Internal to the HID layer: the output reports of one open device, written
// in order by a thread of their own, so that a device that stops taking
// reports holds up that thread and never the caller of hid_write.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct hid_device_;

namespace orvhid {

class WriteQueue
{
public:
    explicit WriteQueue(hid_device_& device) : device(device) {}
    // close() must have run while the device was whole: the thread calls it.
    ~WriteQueue() { close(); }
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Writes one report at once when nothing is ahead of it and the backend
    // can do so without waiting; otherwise hands it to the drain thread
    // (started on first use). The byte count, or -1 at once when the backend
    // refused it, when capacity reports already wait behind the one being
    // written, or after close.
    int write(std::vector<unsigned char> report, size_t capacity);
    // Reports taken but not written yet.
    size_t pending();
    // Gives reports already taken a short while to go out (the last command
    // before a close, such as the end of a save or leaving calibration,
    // still reaches a device that is taking reports), then drops the rest,
    // interrupts the one being written and joins the thread: nothing is
    // written once it returns.
    void close();
    static constexpr int DrainAtCloseMs = 50;

private:
    void drain();

    hid_device_& device;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle; // the drain thread has nothing in hand or waiting
    std::deque<std::vector<unsigned char>> waiting;
    bool writing = false; // the drain thread has a report in hand
    bool closed = false;
    std::thread thread;
};

} // namespace orvhid
