#pragma once

// Internal to the HID layer: what every backend's open device provides.

#include "hid.h"
#include "hid_write_queue.h"

#include <atomic>
#include <mutex>
#include <string>

struct hid_device_
{
    virtual ~hid_device_() = default;

    virtual hid_wait_handle readBegin() = 0;
    virtual int readFinish(unsigned char* data, size_t length) = 0;
    virtual int readTimeout(unsigned char* data, size_t length, int milliseconds) = 0;
    virtual int readCancel() = 0;
    // Writes one whole report (already padded by hid_write), on the device's
    // write thread only. It may wait for as long as the device takes to
    // accept the report if it returns soon after interruptWrite(); without
    // that it waits at most HID_WRITE_TIMEOUT_MS.
    virtual int write(const unsigned char* data, size_t length) = 0;
    // From hid_close, on another thread: the write under way, and every
    // later one, give up at once.
    virtual void interruptWrite() {}
    // Writes one whole report on the caller's thread if that cannot wait:
    // the byte count, -1 on failure, or WriteWouldWait when the device does
    // not take it at once or the backend cannot tell beforehand (the write
    // thread then takes it).
    static constexpr int WriteWouldWait = -2;
    virtual int tryWrite(const unsigned char*, size_t) { return WriteWouldWait; }
    // Asked by hid_write before it queues, so a write to a device that has
    // left fails at once; it must not wait.
    virtual bool hasLeft() { return gone; }
    virtual int productString(wchar_t* string, size_t maxlen) = 0;
    virtual int serialNumberString(wchar_t* string, size_t maxlen) = 0;

    bool blocking = true;
    // Shorter reports are padded with zeros to this length before queueing.
    size_t outputReportLength = 0;
    // Set by a backend that saw the device leave (a failed read, a refused
    // write, a hang-up).
    std::atomic<bool> gone{false};
    orvhid::WriteQueue writeQueue{*this};

    // Both threads may record an error at about the same time (an unplug
    // fails the read and a write together), so the text is guarded.
    void recordError(const std::string& text)
    {
        std::lock_guard<std::mutex> guard(errorMutex);
        lastError = text;
    }

private:
    std::mutex errorMutex;
    std::string lastError;
};

namespace orvhid {

// Each system's backend sources provide these (and hid_wait_any); hid.cpp
// only chooses between them.
// Loads what the system's own backend needs (hid.dll on Windows): 0, or -1
// when it cannot; nativeExit undoes it and may run without a nativeInit.
int nativeInit();
void nativeExit();
// The system's own HID devices (hidraw on Linux).
hid_device_info* nativeEnumerate(unsigned short vendorId, unsigned short productId);
hid_device* nativeOpen(const std::string& path);
// The virtual HID bus in busDir: STEM.sock and STEM.info per device.
hid_device_info* busEnumerate(const std::string& busDir, unsigned short vendorId,
                              unsigned short productId);
hid_device* busOpen(const std::string& sockPath);

// A backend's open records why it failed (an errno value) for hid_open_error.
void setOpenError(int error);

// Copies a UTF-8 text into a NUL-terminated wide buffer of maxlen characters.
int copyWide(const std::string& utf8, wchar_t* out, size_t maxlen);
// Decodes UTF-8 into a newly allocated wide string (free with delete[]).
wchar_t* newWide(const std::string& utf8);
// Newly allocated copy of a path (free with delete[]).
char* newString(const std::string& text);

} // namespace orvhid
