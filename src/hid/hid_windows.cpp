// The Windows HID backend: device interfaces from SetupAPI, the HID class
// library loaded at run time, and overlapped I/O so that one thread can wait
// for the reports of every device while the window's thread writes.

#include "hid_windows.h"

#include "hid_backend.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

namespace {

// The HID device interface class.
const GUID HidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// What hid.dll fills in, as its interface defines them; declared here so the
// build needs no driver-kit headers.
struct HidAttributes
{
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};

struct HidCaps
{
    USHORT Usage;
    USHORT UsagePage;
    USHORT InputReportByteLength;
    USHORT OutputReportByteLength;
    USHORT FeatureReportByteLength;
    USHORT Reserved[17];
    USHORT NumberCounts[10]; // link collection nodes, button and value caps
};

static_assert(sizeof(HidAttributes) == 12 && sizeof(HidCaps) == 64, "hid.dll's layouts");

using PreparsedData = void*;

constexpr LONG HidpStatusSuccess = 0x00110000;
constexpr ULONG InputReportQueue = 64;
constexpr size_t MaxStringChars = 4095;

// The entry points of hid.dll, in the order they are looked up. Four of them
// have no caller; they are looked up all the same, so a library that lacks
// one is refused as a whole.
enum Entry
{
    GetAttributes,
    GetSerialNumberString,
    GetManufacturerString,
    GetProductString,
    SetFeature,
    GetFeature,
    GetIndexedString,
    GetPreparsedData,
    FreePreparsedData,
    GetCaps,
    SetNumInputBuffers,
    EntryCount
};

const char* const EntryNames[EntryCount] = {"HidD_GetAttributes",
                                            "HidD_GetSerialNumberString",
                                            "HidD_GetManufacturerString",
                                            "HidD_GetProductString",
                                            "HidD_SetFeature",
                                            "HidD_GetFeature",
                                            "HidD_GetIndexedString",
                                            "HidD_GetPreparsedData",
                                            "HidD_FreePreparsedData",
                                            "HidP_GetCaps",
                                            "HidD_SetNumInputBuffers"};

using GetAttributesFn = BOOLEAN(WINAPI*)(HANDLE, HidAttributes*);
using GetStringFn = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);
using GetPreparsedDataFn = BOOLEAN(WINAPI*)(HANDLE, PreparsedData*);
using FreePreparsedDataFn = BOOLEAN(WINAPI*)(PreparsedData);
using GetCapsFn = LONG(WINAPI*)(PreparsedData, HidCaps*);
using SetNumInputBuffersFn = BOOLEAN(WINAPI*)(HANDLE, ULONG);

// void(*)() converts to and from every function pointer type without a
// cast-function-type warning.
using AnyFunction = void (*)();

struct HidLibrary
{
    HMODULE module = nullptr;
    bool initialised = false;
    AnyFunction entries[EntryCount] = {};

    template <class F> F get(Entry e) const { return reinterpret_cast<F>(entries[e]); }
};

HidLibrary library;

void unloadLibrary()
{
    if (library.module)
        FreeLibrary(library.module);
    library = HidLibrary();
}

int loadLibrary()
{
    if (library.initialised)
        return 0;
    library.module = LoadLibraryA("hid.dll");
    if (!library.module)
        return -1;
    for (int e = 0; e < EntryCount; ++e) {
        FARPROC proc = GetProcAddress(library.module, EntryNames[e]);
        if (!proc) {
            unloadLibrary();
            return -1;
        }
        library.entries[e] = reinterpret_cast<AnyFunction>(proc);
    }
    library.initialised = true;
    return 0;
}

// Reads the top-level collection's capabilities; false when they cannot be.
bool readCaps(HANDLE handle, HidCaps* caps)
{
    PreparsedData data = nullptr;
    if (!library.get<GetPreparsedDataFn>(GetPreparsedData)(handle, &data))
        return false;
    const bool ok = library.get<GetCapsFn>(GetCaps)(data, caps) == HidpStatusSuccess;
    library.get<FreePreparsedDataFn>(FreePreparsedData)(data);
    return ok;
}

class WindowsHidDevice : public hid_device_
{
public:
    WindowsHidDevice()
    {
        std::memset(&ol, 0, sizeof ol);
        std::memset(&writeOl, 0, sizeof writeOl);
        ol.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        writeOl.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }

    ~WindowsHidDevice() override
    {
        if (deviceHandle != INVALID_HANDLE_VALUE) {
            // CancelIoEx reaches the reader thread's read as well, and the
            // read must have ended before its buffer goes.
            CancelIoEx(deviceHandle, nullptr);
            if (readPending) {
                DWORD ignored = 0;
                GetOverlappedResult(deviceHandle, &ol, &ignored, TRUE);
            }
            CloseHandle(deviceHandle);
        }
        if (ol.hEvent)
            CloseHandle(ol.hEvent);
        if (writeOl.hEvent)
            CloseHandle(writeOl.hEvent);
        if (lastErrorStr)
            LocalFree(lastErrorStr);
    }

    bool eventsCreated() const { return ol.hEvent && writeOl.hEvent; }

    // Takes the handle over and sizes the read buffer.
    void attach(HANDLE handle, size_t inputLength, size_t outputLength)
    {
        deviceHandle = handle;
        inputReportLength = inputLength;
        outputReportLength = outputLength;
        readBuf.assign(inputReportLength, 0);
    }

    // The text of an OS error code, cut at its first line end. Both threads
    // record errors (an unplug fails a read and a write together), so the
    // replacement is serialised and each old text freed exactly once.
    void recordOsError(DWORD code, bool keepNumber = false)
    {
        LPWSTR text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        if (text) {
            if (wchar_t* cr = std::wcschr(text, L'\r'))
                *cr = L'\0';
        }
        LPWSTR old = nullptr;
        {
            std::lock_guard<std::mutex> guard(errorMutex);
            old = lastErrorStr;
            lastErrorStr = text;
            if (keepNumber)
                lastErrorNum = code;
        }
        if (old)
            LocalFree(old);
    }

    hid_wait_handle readBegin() override
    {
        if (readPending)
            return ol.hEvent;
        return startRead() ? ol.hEvent : HID_INVALID_WAIT_HANDLE;
    }

    int readFinish(unsigned char* data, size_t length) override
    {
        // Without a read outstanding the record still holds the last one's
        // result, which must not be handed out a second time.
        if (!readPending)
            return 0;
        DWORD transferred = 0;
        if (!GetOverlappedResult(deviceHandle, &ol, &transferred, FALSE)) {
            const DWORD code = GetLastError();
            if (code == ERROR_IO_INCOMPLETE)
                return 0;
            readPending = false;
            recordOsError(code);
            return -1;
        }
        readPending = false;
        return copyOut(transferred, data, length);
    }

    int readTimeout(unsigned char* data, size_t length, int milliseconds) override
    {
        if (!readPending && !startRead())
            return -1;
        // Asking the record first also finds a read whose event a wait on
        // the reader thread has already consumed.
        if (milliseconds >= 0 && !HasOverlappedIoCompleted(&ol) &&
            WaitForSingleObject(ol.hEvent, DWORD(milliseconds)) != WAIT_OBJECT_0)
            return 0;
        DWORD transferred = 0;
        const BOOL ok = GetOverlappedResult(deviceHandle, &ol, &transferred, TRUE);
        const DWORD code = GetLastError();
        readPending = false;
        if (!ok) {
            recordOsError(code);
            return -1;
        }
        return copyOut(transferred, data, length);
    }

    int readCancel() override
    {
        if (readPending) {
            // A read that is only asked to stop may still fill the buffer;
            // the next read may start once this one has ended.
            CancelIoEx(deviceHandle, &ol);
            DWORD ignored = 0;
            GetOverlappedResult(deviceHandle, &ol, &ignored, TRUE);
            readPending = false;
        }
        return 0;
    }

    // On the device's write thread; hid_write has padded the report.
    int write(const unsigned char* data, size_t length) override
    {
        if (!data || writeInterrupted)
            return -1;
        const unsigned char* out = data;
        const size_t count = length;

        HANDLE event = writeOl.hEvent;
        std::memset(&writeOl, 0, sizeof writeOl);
        writeOl.hEvent = event;
        ResetEvent(event);
        if (!WriteFile(deviceHandle, out, DWORD(count), nullptr, &writeOl)) {
            const DWORD code = GetLastError();
            if (code != ERROR_IO_PENDING) {
                recordOsError(code, true);
                return -1;
            }
        }
        // A device that stops taking reports holds the write thread, and
        // through it hid_close: the write gets a bounded time and is then
        // called off. The buffer stays in use until it has ended.
        DWORD written = 0;
        if (!HasOverlappedIoCompleted(&writeOl) &&
            WaitForSingleObject(event, HID_WRITE_TIMEOUT_MS) != WAIT_OBJECT_0) {
            CancelIoEx(deviceHandle, &writeOl);
            if (GetOverlappedResult(deviceHandle, &writeOl, &written, TRUE))
                return int(written); // it went through just before the cancel
            recordOsError(ERROR_TIMEOUT, true);
            return -1;
        }
        if (!GetOverlappedResult(deviceHandle, &writeOl, &written, FALSE)) {
            recordOsError(GetLastError());
            return -1;
        }
        return int(written);
    }

    // From hid_close: the write under way ends at once, and no other starts.
    void interruptWrite() override
    {
        writeInterrupted = true;
        CancelIoEx(deviceHandle, &writeOl);
    }

    int productString(wchar_t* string, size_t maxlen) override
    {
        return askString(GetProductString, string, maxlen);
    }

    int serialNumberString(wchar_t* string, size_t maxlen) override
    {
        return askString(GetSerialNumberString, string, maxlen);
    }

private:
    // Issues the overlapped read into readBuf; false (recorded) when the
    // system took it neither at once nor as pending.
    bool startRead()
    {
        readPending = true;
        std::fill(readBuf.begin(), readBuf.end(), 0);
        HANDLE event = ol.hEvent;
        std::memset(&ol, 0, sizeof ol);
        ol.hEvent = event;
        ResetEvent(event);
        if (ReadFile(deviceHandle, readBuf.data(), DWORD(readBuf.size()), nullptr, &ol))
            return true;
        // Taken before cancelling, which may set another code.
        const DWORD code = GetLastError();
        if (code == ERROR_IO_PENDING)
            return true;
        CancelIo(deviceHandle);
        readPending = false;
        recordOsError(code, true);
        return false;
    }

    // A report ID of 0 means the device numbers no reports: the caller gets
    // the report without it.
    int copyOut(DWORD transferred, unsigned char* data, size_t length) const
    {
        if (transferred == 0)
            return 0;
        size_t from = 0;
        size_t count = std::min<size_t>(transferred, readBuf.size());
        if (readBuf[0] == 0) {
            from = 1;
            count -= 1;
        }
        count = std::min(count, length);
        if (count > 0)
            std::memcpy(data, readBuf.data() + from, count);
        return int(count);
    }

    int askString(Entry entry, wchar_t* string, size_t maxlen)
    {
        if (!string || !library.initialised)
            return -1;
        const ULONG bytes = ULONG(sizeof(wchar_t) * std::min(maxlen, MaxStringChars));
        if (!library.get<GetStringFn>(entry)(deviceHandle, string, bytes)) {
            recordOsError(GetLastError());
            return -1;
        }
        return 0;
    }

    HANDLE deviceHandle = INVALID_HANDLE_VALUE;
    size_t inputReportLength = 0;
    std::atomic<bool> writeInterrupted{false};
    std::mutex errorMutex;
    LPWSTR lastErrorStr = nullptr;
    DWORD lastErrorNum = 0;
    std::atomic<bool> readPending{false};
    std::vector<unsigned char> readBuf;
    OVERLAPPED ol;
    OVERLAPPED writeOl;
};

HANDLE openInterface(const char* path, DWORD access)
{
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

// Whether a driver is bound, judged on the set's elements in order: the
// first whose driver can be read says yes; one whose class cannot be read,
// or the end of the set, says no. The class name itself is not compared.
bool driverBound(HDEVINFO set)
{
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA info;
        info.cbSize = sizeof info;
        if (!SetupDiEnumDeviceInfo(set, i, &info))
            return false;
        char text[256];
        if (!SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_CLASS, nullptr,
                                               reinterpret_cast<PBYTE>(text), sizeof text, nullptr))
            return false;
        if (SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_DRIVER, nullptr,
                                              reinterpret_cast<PBYTE>(text), sizeof text, nullptr))
            return true;
    }
}

// The interface's path, or empty when it cannot be read.
std::vector<char> interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data)
{
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return {};
    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, data, detail, required, nullptr, nullptr))
        return {};
    const char* path = detail->DevicePath;
    return std::vector<char>(path, path + std::strlen(path) + 1);
}

// One entry for the interface at path, or null when it does not match or
// cannot be asked.
hid_device_info* describe(const char* path, unsigned short vendorId, unsigned short productId)
{
    HANDLE handle = openInterface(path, 0);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    HidAttributes attributes;
    attributes.Size = sizeof attributes;
    if (!library.get<GetAttributesFn>(GetAttributes)(handle, &attributes) ||
        (vendorId != 0 && attributes.VendorID != vendorId) ||
        (productId != 0 && attributes.ProductID != productId)) {
        CloseHandle(handle);
        return nullptr;
    }
    auto* entry = new hid_device_info();
    HidCaps caps;
    if (readCaps(handle, &caps)) {
        entry->usage_page = caps.UsagePage;
        entry->usage = caps.Usage;
    }
    entry->path = orvhid::newString(path);
    entry->vendor_id = attributes.VendorID;
    entry->product_id = attributes.ProductID;
    entry->release_number = attributes.VersionNumber;
    entry->interface_number = orvhid::interfaceNumberFromPath(path);
    CloseHandle(handle);
    return entry;
}

} // namespace

namespace orvhid {

int nativeInit()
{
    return loadLibrary();
}

void nativeExit()
{
    unloadLibrary();
}

std::vector<HidEntryPoint> hidEntryPoints()
{
    std::vector<HidEntryPoint> result;
    for (int e = 0; e < EntryCount; ++e)
        result.push_back({EntryNames[e], library.entries[e] != nullptr});
    return result;
}

int interfaceNumberFromPath(const char* path)
{
    const char* mark = path ? std::strstr(path, "&mi_") : nullptr;
    if (!mark)
        return -1;
    int number = -1;
    // Two digits in practice; a few more still fit an int.
    for (const char* p = mark + 4; p < mark + 4 + 6; ++p) {
        int digit = -1;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        if (digit < 0)
            break;
        number = (number < 0 ? 0 : number * 16) + digit;
    }
    return number;
}

hid_device_info* nativeEnumerate(unsigned short vendorId, unsigned short productId)
{
    if (loadLibrary() != 0)
        return nullptr;
    HDEVINFO set = SetupDiGetClassDevsA(&HidInterfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return nullptr;
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data;
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &HidInterfaceClass, index, &data))
            break;
        const std::vector<char> path = interfacePath(set, &data);
        if (path.empty() || !driverBound(set))
            continue;
        if (hid_device_info* entry = describe(path.data(), vendorId, productId)) {
            *tail = entry;
            tail = &entry->next;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return head;
}

hid_device* nativeOpen(const std::string& path)
{
    if (loadLibrary() != 0)
        return nullptr;
    auto* dev = new WindowsHidDevice();
    HANDLE handle = INVALID_HANDLE_VALUE;
    HidCaps caps;
    bool ok = dev->eventsCreated();
    if (ok)
        handle = openInterface(path.c_str(), GENERIC_READ | GENERIC_WRITE);
    ok = ok && handle != INVALID_HANDLE_VALUE &&
         library.get<SetNumInputBuffersFn>(SetNumInputBuffers)(handle, InputReportQueue) &&
         readCaps(handle, &caps);
    if (!ok) {
        // Nobody can ask a record that is about to go for its error text.
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        delete dev;
        return nullptr;
    }
    dev->attach(handle, caps.InputReportByteLength, caps.OutputReportByteLength);
    return dev;
}

hid_device* deviceFromHandle(void* handle, size_t inputReportLength, size_t outputReportLength)
{
    auto* dev = new WindowsHidDevice();
    if (!dev->eventsCreated()) {
        delete dev;
        CloseHandle(handle);
        return nullptr;
    }
    dev->attach(handle, inputReportLength, outputReportLength);
    return dev;
}

// The virtual HID bus is made of Unix sockets: there is none here.
hid_device_info* busEnumerate(const std::string&, unsigned short, unsigned short)
{
    return nullptr;
}

hid_device* busOpen(const std::string&)
{
    return nullptr;
}

} // namespace orvhid

int hid_wait_any(const hid_wait_handle* handles, size_t count, int timeout_ms)
{
    if (!handles || count == 0)
        return -1;
    // One wait covers at most 64 handles; devices past that are not served.
    const DWORD n = DWORD(std::min<size_t>(count, MAXIMUM_WAIT_OBJECTS));
    const DWORD r =
        WaitForMultipleObjects(n, handles, FALSE, timeout_ms < 0 ? INFINITE : DWORD(timeout_ms));
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + n)
        return int(r - WAIT_OBJECT_0);
    return -1;
}
