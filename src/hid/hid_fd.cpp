#include "hid_fd.h"

#include "vhid/BusSocket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Poll one descriptor, retrying on signals; the result of poll() otherwise.
int pollOne(int fd, short events, int timeoutMs, short* revents)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) {
            if (timeoutMs >= 0) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                timeoutMs = static_cast<int>(std::max<long long>(0, left.count()));
            }
            continue;
        }
        if (revents)
            *revents = p.revents;
        return r;
    }
}

} // namespace

FdHidDevice::FdHidDevice(int fd, Kind kind, size_t inputReportLength, size_t outputReportLength,
                         std::string product, std::string serial)
    : fd(fd), kind(kind), interruptFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      product(std::move(product)), serial(std::move(serial)),
      readBuf(std::max<size_t>(inputReportLength, 1))
{
    this->outputReportLength = outputReportLength;
}

FdHidDevice::~FdHidDevice()
{
    ::close(fd);
    if (interruptFd >= 0)
        ::close(interruptFd);
}

bool FdHidDevice::peerHungUp() const
{
    short revents = 0;
    if (pollOne(fd, POLLIN | POLLRDHUP, 0, &revents) < 0)
        return true;
    return (revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) != 0;
}

int FdHidDevice::receiveOnce()
{
    std::fill(readBuf.begin(), readBuf.end(), 0);
    if (kind == Kind::Hidraw) {
        const ssize_t r = ::read(fd, readBuf.data(), readBuf.size());
        if (r < 0)
            return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? WouldBlock : -1;
        return static_cast<int>(r);
    }

    // MSG_TRUNC makes recv() report the real message size, so an oversized
    // report is recognised instead of silently delivered cut short.
    const ssize_t r = vhid::receiveMessage(fd, readBuf.data(), readBuf.size(), MSG_TRUNC);
    if (r < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? WouldBlock : -1;
    if (r == 0)
        // Zero is both an empty message and end-of-file on a seqpacket socket.
        return peerHungUp() ? -1 : 0;
    if (static_cast<size_t>(r) > readBuf.size())
        return 0; // longer than any input report of the device: dropped
    return static_cast<int>(r);
}

int FdHidDevice::copyOut(int transferred, unsigned char* data, size_t length) const
{
    if (transferred <= 0)
        return 0;
    size_t from = 0;
    size_t count = static_cast<size_t>(transferred);
    // On the bus, as on Windows, byte 0 is always a report ID; 0 means the
    // device has none, and the caller gets the report without it. hidraw
    // already leaves it out for such devices.
    if (kind == Kind::Seqpacket && readBuf[0] == 0) {
        from = 1;
        count -= 1;
    }
    count = std::min(count, length);
    if (count > 0)
        std::memcpy(data, readBuf.data() + from, count);
    return static_cast<int>(count);
}

int FdHidDevice::collect(unsigned char* data, size_t length)
{
    const int r = receiveOnce();
    if (r == WouldBlock)
        return 0;
    readPending = false;
    if (r < 0) {
        recordError(std::strerror(errno));
        gone = true;
        return -1;
    }
    return copyOut(r, data, length);
}

hid_wait_handle FdHidDevice::readBegin()
{
    // A read is nothing but readiness of the descriptor here; the state only
    // keeps "one outstanding read per device" observable for callers.
    readPending = true;
    return fd;
}

int FdHidDevice::readFinish(unsigned char* data, size_t length)
{
    return collect(data, length);
}

int FdHidDevice::readTimeout(unsigned char* data, size_t length, int milliseconds)
{
    readPending = true;
    if (milliseconds != 0) {
        short revents = 0;
        const int r = pollOne(fd, POLLIN, milliseconds, &revents);
        if (r < 0) {
            readPending = false;
            recordError(std::strerror(errno));
            return -1;
        }
        if (r == 0)
            return 0;
    }
    return collect(data, length);
}

int FdHidDevice::readCancel()
{
    readPending = false;
    return 0;
}

int FdHidDevice::writeOnce(const unsigned char* data, size_t length)
{
    if (interrupted)
        return -1;
    const ssize_t r = (kind == Kind::Seqpacket)
                          ? ::send(fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL)
                          : ::write(fd, data, length);
    if (r >= 0)
        return static_cast<int>(r);
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)
        return WriteWouldWait;
    recordError(std::strerror(error));
    if (error == EPIPE || error == ECONNRESET || error == ENOTCONN || error == ENODEV ||
        error == ESHUTDOWN)
        gone = true;
    return -1;
}

int FdHidDevice::write(const unsigned char* data, size_t length)
{
    for (;;) {
        const int r = writeOnce(data, length);
        if (r != WriteWouldWait)
            return r;
        if (!waitWritable())
            return -1;
    }
}

int FdHidDevice::tryWrite(const unsigned char* data, size_t length)
{
    // A hidraw write may wait in the kernel for the device whatever the
    // descriptor's flags; a send on a bus connection never does.
    return kind == Kind::Seqpacket ? writeOnce(data, length) : WriteWouldWait;
}

bool FdHidDevice::waitWritable()
{
    // Without an interrupt descriptor the flag is looked at between waits.
    const int slice = interruptFd >= 0 ? -1 : 50;
    for (;;) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {interruptFd, POLLIN, 0}};
        const int r = ::poll(p, 2, slice);
        if (r < 0 && errno != EINTR) {
            recordError(std::strerror(errno));
            return false;
        }
        if (interrupted)
            return false;
        if (r <= 0)
            continue;
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            recordError("device gone");
            gone = true;
            return false;
        }
        if (p[0].revents & POLLOUT)
            return true;
    }
}

bool FdHidDevice::hasLeft()
{
    if (!gone && peerHungUp())
        gone = true;
    return gone;
}

void FdHidDevice::interruptWrite()
{
    interrupted = true;
    if (interruptFd >= 0) {
        const uint64_t one = 1;
        (void)!::write(interruptFd, &one, sizeof one);
    }
}

int FdHidDevice::productString(wchar_t* string, size_t maxlen)
{
    return orvhid::copyWide(product, string, maxlen);
}

int FdHidDevice::serialNumberString(wchar_t* string, size_t maxlen)
{
    return orvhid::copyWide(serial, string, maxlen);
}
