// The Windows-only code on a Windows API (Wine in CI): the HID backend over
// hid.dll and over a named pipe standing in for a device, and the games key
// over the real registry and an elevated cmd. Plain C++: no Qt on this side.

#include "hid/hid.h"
#include "hid/hid_windows.h"
#include "platform/GamesKey.h"
#include "platform/WindowsPlatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

int failedChecks = 0;

#define CHECK(cond) check((cond), #cond, __LINE__)

void check(bool ok, const char* what, int line)
{
    if (!ok) {
        ++failedChecks;
        std::printf("  FAIL line %d: %s\n", line, what);
    }
}

using Bytes = std::vector<unsigned char>;

// One end of a message pipe is the device, the other the test: what the test
// writes arrives as one input report, what the device writes is one output
// report. inBuffer 0 makes the device's writes wait for a reader.
struct FakeDevice
{
    HANDLE server = INVALID_HANDLE_VALUE;
    hid_device* dev = nullptr;

    FakeDevice(size_t inputLength, size_t outputLength, DWORD inBuffer = 4096)
    {
        static int serial = 0;
        const std::string name = "\\\\.\\pipe\\orv-test-" + std::to_string(GetCurrentProcessId()) +
                                 "-" + std::to_string(++serial);
        server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                  inBuffer, 0, nullptr);
        HANDLE client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(client, &mode, nullptr, nullptr);
        dev = orvhid::deviceFromHandle(client, inputLength, outputLength);
    }
    ~FakeDevice()
    {
        hid_close(dev);
        CloseHandle(server);
    }
    void send(const Bytes& report) const
    {
        DWORD n = 0;
        WriteFile(server, report.data(), DWORD(report.size()), &n, nullptr);
    }
    Bytes receive() const
    {
        Bytes buffer(256);
        DWORD n = 0; // zero on failure
        ReadFile(server, buffer.data(), DWORD(buffer.size()), &n, nullptr);
        buffer.resize(n);
        return buffer;
    }
    // Begins a read, waits for it and collects it into length bytes.
    Bytes read(size_t length) const
    {
        const hid_wait_handle h = hid_read_begin(dev);
        Bytes out(length);
        if (hid_wait_any(&h, 1, 2000) != 0)
            return {0xee};
        const int n = hid_read_finish(dev, out.data(), out.size());
        out.resize(n < 0 ? 0 : size_t(n));
        return out;
    }
};

// A report of size bytes: the ID, then 1, 2, 3 ...
Bytes report(unsigned char id, size_t size)
{
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<unsigned char>(i == 0 ? id : i);
    return b;
}

// hid.dll is loaded at init, let go at exit and loaded again by the next
// enumeration. Wine offers a virtual mouse and keyboard through it: each
// listed interface is found again by its IDs, opens, names itself and can be
// read. A missing path, or a file that is no HID device, opens nothing.
void hidLibraryAndListedInterfaces()
{
    auto allResolved = [](bool resolved) {
        const auto entries = orvhid::hidEntryPoints();
        return entries.size() == 11 &&
               std::all_of(entries.begin(), entries.end(),
                           [&](const orvhid::HidEntryPoint& e) { return e.resolved == resolved; });
    };
    CHECK(hid_init() == 0 && allResolved(true));
    CHECK(hid_exit() == 0 && allResolved(false));
    hid_device_info* list = hid_enumerate(0, 0);
    CHECK(allResolved(true));
    int listed = 0;
    for (hid_device_info* d = list; d; d = d->next, ++listed) {
        hid_device_info* same = hid_enumerate(d->vendor_id, d->product_id);
        bool found = false;
        for (hid_device_info* s = same; s; s = s->next) {
            CHECK(s->vendor_id == d->vendor_id && s->product_id == d->product_id);
            found = found || std::strcmp(s->path, d->path) == 0;
        }
        CHECK(found);
        hid_free_enumeration(same);

        hid_device* dev = hid_open_path(d->path);
        CHECK(dev != nullptr);
        if (!dev)
            continue;
        wchar_t name[256] = {};
        CHECK(hid_get_product_string(dev, name, 256) == 0 && name[0] != L'\0');
        unsigned char report[64];
        hid_set_nonblocking(dev, 1);
        CHECK(hid_read(dev, report, sizeof report) >= 0);
        CHECK(hid_read_begin(dev) != HID_INVALID_WAIT_HANDLE);
        hid_close(dev); // with the read outstanding
    }
    std::printf("  %d HID interfaces listed\n", listed);
    hid_free_enumeration(list);

    CHECK(hid_open_path("\\\\?\\hid#vid_0483&pid_a355#0&0000#{4d1e55b2-f16f-11cf-88cb-"
                        "001111000030}") == nullptr);
    // Opens as a file but is no HID device: the half-built device goes.
    char file[MAX_PATH];
    GetModuleFileNameA(nullptr, file, MAX_PATH);
    CHECK(hid_open_path(file) == nullptr);
    hid_close(nullptr);
    hid_exit();
}

// Byte 0 of a transfer is the report ID; 0 means the device has none and is
// dropped. Never more than the caller's length.
void reportCopy()
{
    const Bytes unnumbered = report(0x00, 65);
    const std::tuple<Bytes, size_t, Bytes> rows[] = {
        {unnumbered, 64, Bytes(unnumbered.begin() + 1, unnumbered.end())},
        {report(0x65, 65), 64, report(0x65, 64)},
        {report(0x01, 10), 64, report(0x01, 10)},
        {Bytes{0x00}, 64, Bytes{}},
    };
    FakeDevice fake(65, 65);
    for (const auto& [sent, length, expected] : rows) {
        fake.send(sent);
        CHECK(fake.read(length) == expected);
    }
}

void splitReadKeepsOneReadOutstanding()
{
    FakeDevice fake(65, 65);
    const hid_wait_handle h = hid_read_begin(fake.dev);
    CHECK(h != HID_INVALID_WAIT_HANDLE);
    Bytes out(64);
    CHECK(hid_read_finish(fake.dev, out.data(), out.size()) == 0); // nothing yet
    CHECK(hid_read_begin(fake.dev) == h);
    CHECK(hid_wait_any(&h, 1, 0) == -1);
    fake.send(report(0x01, 65));
    CHECK(hid_wait_any(&h, 1, 2000) == 0);
    CHECK(hid_read_finish(fake.dev, out.data(), out.size()) == 64 && out[0] == 0x01);
    // Collected: asking again hands out nothing a second time.
    CHECK(hid_read_finish(fake.dev, out.data(), out.size()) == 0);

    // The non-blocking direct read leaves its read running and collects it
    // on a later call.
    hid_set_nonblocking(fake.dev, 1);
    CHECK(hid_read(fake.dev, out.data(), out.size()) == 0);
    fake.send(report(0x02, 65));
    Sleep(50);
    CHECK(hid_read(fake.dev, out.data(), out.size()) == 64 && out[0] == 0x02);

    // A device that goes away fails its outstanding read.
    hid_read_begin(fake.dev);
    DisconnectNamedPipe(fake.server);
    CHECK(hid_wait_any(&h, 1, 2000) == 0);
    CHECK(hid_read_finish(fake.dev, out.data(), out.size()) == -1);
    CHECK(hid_read_begin(fake.dev) == HID_INVALID_WAIT_HANDLE);
}

void writePadsToTheOutputReport()
{
    const std::tuple<size_t, size_t, size_t> rows[] = {{64, 65, 65}, {65, 65, 65}, {70, 65, 70}};
    for (const auto& [length, outputLength, written] : rows) {
        FakeDevice fake(65, outputLength);
        const Bytes data = report(0x64, length);
        CHECK(hid_write(fake.dev, data.data(), data.size()) == int(written));
        Bytes expected = data;
        expected.resize(written, 0);
        CHECK(fake.receive() == expected);
    }
}

// The window's thread must not hang on a device that takes no reports: its
// writes are queued, a full queue refuses at once, and a close gets the
// stuck write called off.
void writeToAStalledDeviceNeverWaits()
{
    FakeDevice fake(65, 65, 0);
    const Bytes data = report(0x64, 64);
    int accepted = 0;
    for (int i = 0; i < 20; ++i)
        accepted += hid_write(fake.dev, data.data(), data.size()) == 65;
    // One in the write thread's hand at most, and the queue's sixteen.
    CHECK(accepted == 16 || accepted == 17);
    CHECK(hid_write_pending(fake.dev) >= 16);
}

void waitAnyNamesTheLowestReadyHandle()
{
    HANDLE events[3];
    for (auto& e : events)
        e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CHECK(hid_wait_any(events, 3, 10) == -1);
    SetEvent(events[2]);
    SetEvent(events[1]);
    CHECK(hid_wait_any(events, 3, 2000) == 1);
    for (auto e : events)
        CloseHandle(e);
}

const wchar_t* const TestKey = L"Software\\OrvConfigToolTest";

void oemDataIsExactlyTheExpectedEightBytes()
{
    const std::tuple<DWORD, Bytes, bool> rows[] = {
        {REG_BINARY, {0x40, 0, 0, 0, 0, 0, 0, 0}, true},
        {REG_BINARY, {0x40, 0, 0, 0, 0, 0, 0, 1}, false},
        {REG_BINARY, {0x40, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {REG_QWORD, {0x40, 0, 0, 0, 0, 0, 0, 0}, false},
    };
    WindowsPlatform platform;
    GamesKey key(platform);
    for (const auto& [type, data, expected] : rows) {
        RegSetKeyValueW(HKEY_CURRENT_USER, TestKey, L"OEMData", type, data.data(),
                        DWORD(data.size()));
        CHECK(key.hasExpectedOemData(RegistryRoot::CurrentUser, TestKey) == expected);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, TestKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, TestKey);

    // Checking for the value leaves the user's key path in place.
    RegDeleteKeyW(HKEY_CURRENT_USER, GamesKey::UserKeyPath);
    CHECK(!key.hasExpectedOemData(RegistryRoot::CurrentUser, GamesKey::UserKeyPath));
    HKEY opened = nullptr;
    CHECK(RegOpenKeyExW(HKEY_CURRENT_USER, GamesKey::UserKeyPath, 0, KEY_READ, &opened) ==
          ERROR_SUCCESS);
    RegCloseKey(opened);
}

// The commands themselves, run by cmd, REG and regini (no elevation prompt
// under Wine).
void installAndUninstallThroughCmd()
{
    WindowsPlatform platform;
    unsigned long code = 0;
    CHECK(platform.runElevated(L"cmd", L"/c exit 7", &code) && code == 7); // waited for its end
    GamesKey key(platform);
    key.runElevatedCommand(GamesKey::InstallParameters);
    CHECK(key.isGamesKeyPresent());
    key.runElevatedCommand(GamesKey::UninstallParameters);
    CHECK(!key.hasExpectedOemData(RegistryRoot::CurrentUser, GamesKey::UserKeyPath));
    CHECK(!key.hasExpectedOemData(RegistryRoot::LocalMachine, GamesKey::MachineKeyPath));
    CHECK(GetFileAttributesA("TmpKeyPermx.txt") == INVALID_FILE_ATTRIBUTES);
}

} // namespace

int main()
{
    const std::pair<const char*, void (*)()> tests[] = {
        {"hidLibraryAndListedInterfaces", hidLibraryAndListedInterfaces},
        {"reportCopy", reportCopy},
        {"splitReadKeepsOneReadOutstanding", splitReadKeepsOneReadOutstanding},
        {"writePadsToTheOutputReport", writePadsToTheOutputReport},
        {"writeToAStalledDeviceNeverWaits", writeToAStalledDeviceNeverWaits},
        {"waitAnyNamesTheLowestReadyHandle", waitAnyNamesTheLowestReadyHandle},
        {"oemDataIsExactlyTheExpectedEightBytes", oemDataIsExactlyTheExpectedEightBytes},
        {"installAndUninstallThroughCmd", installAndUninstallThroughCmd},
    };
    int passed = 0;
    for (const auto& [name, run] : tests) {
        const int before = failedChecks;
        run();
        passed += failedChecks == before;
        std::printf("%s %s\n", failedChecks == before ? "PASS" : "FAIL", name);
    }
    const int failed = int(std::size(tests)) - passed;
    std::printf("windows: %d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
