#include "FakeDevice.h"

#include "TestBus.h"
#include "devices/UsbDevice.h"

#include <cstring>

FakeDevice::FakeDevice(const std::string& busDir, const std::string& stem, vhid::DeviceInfo info)
    : endpoint(busDir, stem, std::move(info))
{
    clock.start();
    endpoint.setReceiver([this](const Report& r) {
        std::lock_guard<std::mutex> guard(mutex);
        reports.push_back(r);
        times.push_back(clock.elapsed());
    });
}

hid_device* FakeDevice::open() const
{
    return hid_open_path(endpoint.sockPath().c_str());
}

size_t FakeDevice::count()
{
    std::lock_guard<std::mutex> guard(mutex);
    return reports.size();
}

FakeDevice::Report FakeDevice::at(size_t i)
{
    std::lock_guard<std::mutex> guard(mutex);
    return i < reports.size() ? reports[i] : Report();
}

qint64 FakeDevice::timeAt(size_t i)
{
    std::lock_guard<std::mutex> guard(mutex);
    return i < times.size() ? times[i] : -1;
}

std::vector<FakeDevice::Report> FakeDevice::received()
{
    std::lock_guard<std::mutex> guard(mutex);
    return reports;
}

void FakeDevice::clear()
{
    std::lock_guard<std::mutex> guard(mutex);
    reports.clear();
    times.clear();
    clock.restart();
}

bool FakeDevice::waitFor(size_t n, int timeoutMs)
{
    return waitUntil([&] { return count() >= n; }, timeoutMs);
}

FakeDevice::Report FakeDevice::command(uint8_t code, uint8_t version)
{
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = code;
    r[2] = version;
    return r;
}

FakeDevice::Report FakeDevice::response(uint8_t code, uint8_t version, int index)
{
    Report r(64, 0);
    r[0] = 0x65;
    r[1] = code;
    r[2] = version;
    if (index >= 0)
        r[3] = uint8_t(index);
    return r;
}

void FakeDevice::deliver(UsbDevice* device, Report report)
{
    report.resize(64);
    OrvUsbReport input{};
    std::memcpy(input.data, report.data(), 64);
    device->handleReport(&input, 1);
}
