#pragma once

// A HID device reached through one file descriptor: a hidraw node or a
// connection on the virtual HID bus. Reads happen on the reader thread,
// writes on the device's write thread; the descriptor is shared, nothing
// else is.

#include "hid_backend.h"

#include <atomic>
#include <string>
#include <vector>

class FdHidDevice : public hid_device_
{
public:
    enum class Kind
    {
        Hidraw,   // read()/write() on a hidraw node
        Seqpacket // one report per message on a Unix socket
    };

    FdHidDevice(int fd, Kind kind, size_t inputReportLength, size_t outputReportLength,
                std::string product, std::string serial);
    ~FdHidDevice() override;

    hid_wait_handle readBegin() override;
    int readFinish(unsigned char* data, size_t length) override;
    int readTimeout(unsigned char* data, size_t length, int milliseconds) override;
    int readCancel() override;
    int write(const unsigned char* data, size_t length) override;
    void interruptWrite() override;
    int tryWrite(const unsigned char* data, size_t length) override;
    bool hasLeft() override;
    int productString(wchar_t* string, size_t maxlen) override;
    int serialNumberString(wchar_t* string, size_t maxlen) override;

private:
    static constexpr int WouldBlock = -2;

    // One non-blocking receive into readBuf: the byte count, WouldBlock, or -1.
    int receiveOnce();
    int copyOut(int transferred, unsigned char* data, size_t length) const;
    int collect(unsigned char* data, size_t length);
    bool peerHungUp() const;
    // One attempt: the byte count, -1 on failure, or WriteWouldWait.
    int writeOnce(const unsigned char* data, size_t length);
    // Waits until the descriptor takes a report: false when it failed or
    // the write was interrupted.
    bool waitWritable();

    const int fd;
    const Kind kind;
    // Readable once interruptWrite() ran; -1 if none could be made.
    const int interruptFd;
    std::atomic<bool> interrupted{false};
    const std::string product;
    const std::string serial;
    std::vector<unsigned char> readBuf;
    std::atomic<bool> readPending{false};
};
