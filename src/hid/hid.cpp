// Backend choice (ORV_HID_BACKEND) and the entry points shared by all
// backends. Nothing here is particular to one system: each system's backends
// and its hid_wait_any live in their own files.

#include "hid.h"

#include "hid_backend.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

namespace {

// Opens run on the thread that scans; each thread sees its own last reason.
thread_local int openError = 0;

} // namespace

namespace orvhid {

void setOpenError(int error)
{
    openError = error;
}

int copyWide(const std::string& utf8, wchar_t* out, size_t maxlen)
{
    if (!out || maxlen == 0)
        return -1;
    wchar_t* wide = newWide(utf8);
    size_t n = std::wcslen(wide);
    if (n >= maxlen)
        n = maxlen - 1;
    std::wmemcpy(out, wide, n);
    out[n] = L'\0';
    delete[] wide;
    return 0;
}

wchar_t* newWide(const std::string& utf8)
{
    std::vector<wchar_t> out;
    out.reserve(utf8.size() + 1);
    size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xe0) == 0xc0) {
            cp = c & 0x1f;
            extra = 1;
        } else if ((c & 0xf0) == 0xe0) {
            cp = c & 0x0f;
            extra = 2;
        } else if ((c & 0xf8) == 0xf0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(0xfffd);
            ++i;
            continue;
        }
        bool valid = i + static_cast<size_t>(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            if ((cc & 0xc0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (cc & 0x3f);
        }
        if (!valid || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
            out.push_back(0xfffd);
            ++i;
            continue;
        }
        i += 1 + static_cast<size_t>(extra);
        if (sizeof(wchar_t) == 2 && cp > 0xffff) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xd800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xdc00 + (cp & 0x3ff)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
    }
    auto* result = new wchar_t[out.size() + 1];
    std::wmemcpy(result, out.data(), out.size());
    result[out.size()] = L'\0';
    return result;
}

char* newString(const std::string& text)
{
    auto* result = new char[text.size() + 1];
    std::memcpy(result, text.c_str(), text.size() + 1);
    return result;
}

} // namespace orvhid

namespace {

enum class Backend
{
    Native,
    Bus
};

struct Module
{
    std::mutex mutex;
    bool initialised = false;
    int initCount = 0;
    Backend backend = Backend::Native;
    std::string busDir;
    hid_sim_start_fn simStart = nullptr;
    hid_sim_stop_fn simStop = nullptr;
    hid_sim_stop_fn runningSimStop = nullptr; // of the simulator now running
};

Module& module()
{
    // Never destroyed: other static objects and exit handlers may still
    // take and release the layer while the program ends.
    static Module* m = new Module;
    return *m;
}

int initLocked(Module& m)
{
    if (m.initialised)
        return 0;
    const char* env = std::getenv("ORV_HID_BACKEND");
    const std::string choice = env ? env : "";
    if (choice.empty() || choice == "native") {
        if (orvhid::nativeInit() != 0)
            return -1;
        m.backend = Backend::Native;
    } else if (choice.rfind("vhid:", 0) == 0 && choice.size() > 5) {
        m.backend = Backend::Bus;
        m.busDir = choice.substr(5);
    } else if (choice == "sim" && m.simStart) {
        const char* dir = m.simStart();
        if (!dir)
            return -1;
        m.runningSimStop = m.simStop;
        m.backend = Backend::Bus;
        m.busDir = dir;
    } else {
        return -1; // an unknown backend finds nothing, like a missing library
    }
    m.initialised = true;
    return 0;
}

void exitLocked(Module& m)
{
    if (m.runningSimStop)
        m.runningSimStop();
    m.runningSimStop = nullptr;
    orvhid::nativeExit();
    m.busDir.clear();
    m.initialised = false;
}

} // namespace

void hid_set_sim_backend(hid_sim_start_fn start, hid_sim_stop_fn stop)
{
    Module& m = module();
    std::lock_guard<std::mutex> guard(m.mutex);
    m.simStart = start;
    m.simStop = stop;
}

int hid_init(void)
{
    Module& m = module();
    std::lock_guard<std::mutex> guard(m.mutex);
    if (initLocked(m) != 0)
        return -1;
    ++m.initCount;
    return 0;
}

int hid_exit(void)
{
    Module& m = module();
    std::lock_guard<std::mutex> guard(m.mutex);
    // Paired with hid_init, so one user's exit does not pull the simulator
    // or the backend away from another user still holding it.
    if (m.initCount > 0)
        --m.initCount;
    if (m.initCount == 0)
        exitLocked(m);
    return 0;
}

hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    Module& m = module();
    std::lock_guard<std::mutex> guard(m.mutex);
    if (initLocked(m) != 0)
        return nullptr;
    if (m.backend == Backend::Bus)
        return orvhid::busEnumerate(m.busDir, vendor_id, product_id);
    return orvhid::nativeEnumerate(vendor_id, product_id);
}

void hid_free_enumeration(hid_device_info* devs)
{
    while (devs) {
        hid_device_info* next = devs->next;
        delete[] devs->path;
        delete[] devs->serial_number;
        delete[] devs->manufacturer_string;
        delete[] devs->product_string;
        delete devs;
        devs = next;
    }
}

hid_device* hid_open_path(const char* path)
{
    openError = 0;
    if (!path) {
        openError = EINVAL;
        return nullptr;
    }
    Module& m = module();
    std::lock_guard<std::mutex> guard(m.mutex);
    if (initLocked(m) != 0) {
        openError = ENODEV;
        return nullptr;
    }
    hid_device* dev = m.backend == Backend::Bus ? orvhid::busOpen(path) : orvhid::nativeOpen(path);
    if (!dev && openError == 0)
        openError = EIO; // the backend knows no better reason
    return dev;
}

int hid_open_error(void)
{
    return openError;
}

int hid_set_nonblocking(hid_device* dev, int nonblock)
{
    if (!dev)
        return -1;
    dev->blocking = (nonblock == 0);
    return 0;
}

int hid_read(hid_device* dev, unsigned char* data, size_t length)
{
    return hid_read_timeout(dev, data, length, dev && dev->blocking ? -1 : 0);
}

int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds)
{
    if (!dev || !data)
        return -1;
    return dev->readTimeout(data, length, milliseconds);
}

hid_wait_handle hid_read_begin(hid_device* dev)
{
    return dev ? dev->readBegin() : HID_INVALID_WAIT_HANDLE;
}

int hid_read_finish(hid_device* dev, unsigned char* data, size_t length)
{
    if (!dev || !data)
        return -1;
    return dev->readFinish(data, length);
}

int hid_read_cancel(hid_device* dev)
{
    return dev ? dev->readCancel() : 0;
}

int hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    if (!dev || !data || length == 0 || dev->hasLeft())
        return -1;
    // The caller is the window's thread: it queues, and never waits on the device.
    std::vector<unsigned char> report(data, data + length);
    if (report.size() < dev->outputReportLength)
        report.resize(dev->outputReportLength, 0);
    return dev->writeQueue.write(std::move(report), HID_WRITE_QUEUE_LENGTH);
}

size_t hid_write_pending(hid_device* dev)
{
    return dev ? dev->writeQueue.pending() : 0;
}

int hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen)
{
    return dev ? dev->productString(string, maxlen) : -1;
}

int hid_get_serial_number_string(hid_device* dev, wchar_t* string, size_t maxlen)
{
    return dev ? dev->serialNumberString(string, maxlen) : -1;
}

void hid_close(hid_device* dev)
{
    if (!dev)
        return;
    // The write thread uses the backend's part of the device: it ends first.
    dev->writeQueue.close();
    delete dev;
}
