#pragma once

// The flat HID access API used by the whole tool. It follows hidapi's
// conventions (-1 failure, 0 or a byte count success, null for a failed open)
// and adds a split read so one thread can wait for reports from many devices.

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
typedef void* hid_wait_handle; // a HANDLE (auto-reset event)
#define HID_INVALID_WAIT_HANDLE ((hid_wait_handle)(intptr_t)-1)
#else
typedef int hid_wait_handle; // a file descriptor that polls readable
#define HID_INVALID_WAIT_HANDLE (-1)
#endif

struct hid_device_info
{
    char* path;
    unsigned short vendor_id;
    unsigned short product_id;
    wchar_t* serial_number;
    unsigned short release_number;
    wchar_t* manufacturer_string;
    wchar_t* product_string;
    unsigned short usage_page;
    unsigned short usage;
    int interface_number;
    struct hid_device_info* next;
};

struct hid_device_;
typedef struct hid_device_ hid_device;

int hid_init(void);
int hid_exit(void);

hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id);
void hid_free_enumeration(hid_device_info* devs);

hid_device* hid_open_path(const char* path);
// Not part of the hidapi-style surface: why the last hid_open_path of the
// calling thread returned null, as an errno value (EACCES or EPERM: the user
// may not open the device; EBUSY: another program holds it; ENOENT: it is
// gone), or 0 when that open succeeded.
int hid_open_error(void);
int hid_set_nonblocking(hid_device* dev, int nonblock);

int hid_read(hid_device* dev, unsigned char* data, size_t length);
int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds);

// Starts a read unless one is outstanding; returns what becomes ready when a
// report (or an error) is waiting. Collect it with hid_read_finish.
hid_wait_handle hid_read_begin(hid_device* dev);
// Collects the outstanding read without waiting: bytes copied, 0 while still
// running or for an empty report, -1 when the device failed or went away.
int hid_read_finish(hid_device* dev, unsigned char* data, size_t length);
int hid_read_cancel(hid_device* dev);

// Waits until any handle is ready; returns the lowest ready index, or -1 on
// timeout or failure. A negative timeout waits without limit.
int hid_wait_any(const hid_wait_handle* handles, size_t count, int timeout_ms);

// Writes or queues one output report (report ID in data[0]) and returns at
// once: the byte count that goes out (a report shorter than the device's
// output reports is padded with zeros), or -1 when the device is gone or
// refused it, or when HID_WRITE_QUEUE_LENGTH reports already wait behind the
// one being written, as they do while a device stops taking reports. A
// report is written on the spot only when nothing is ahead of it and the
// device takes it without any wait; otherwise a thread per open device
// writes the queued reports in order, each as long as the device needs, and
// drops one the device refuses. Nothing is reordered, and nothing queued is
// dropped unless refused or closed. hid_close gives what is queued a short
// while (50 ms) to go out to a device still present, then drops the rest and
// writes nothing more.
int hid_write(hid_device* dev, const unsigned char* data, size_t length);
// Not part of the hidapi-style surface: reports taken by hid_write and not
// written yet (0 for null).
size_t hid_write_pending(hid_device* dev);

int hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen);
int hid_get_serial_number_string(hid_device* dev, wchar_t* string, size_t maxlen);

void hid_close(hid_device* dev);

// Not part of the hidapi-style surface: how many reports may wait for a
// device's write thread, and how long a backend whose write cannot be
// interrupted may wait for one report (hid_close then waits as long).
constexpr size_t HID_WRITE_QUEUE_LENGTH = 16;
constexpr int HID_WRITE_TIMEOUT_MS = 1000;

// The "sim" backend (ORV_HID_BACKEND=sim) runs simulated devices inside the
// process. The layer knows no simulator: a program that wants one installs
// these before hid_init. start brings the devices up on a private bus and
// returns its directory (kept valid until stop), or null on failure; stop,
// at the last hid_exit, takes them down. Without them "sim" finds nothing.
typedef const char* (*hid_sim_start_fn)(void);
typedef void (*hid_sim_stop_fn)(void);
void hid_set_sim_backend(hid_sim_start_fn start, hid_sim_stop_fn stop);
