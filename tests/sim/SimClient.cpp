#include "SimClient.h"

#include <chrono>
#include <thread>

Report command(uint8_t code, uint8_t version,
               std::initializer_list<std::pair<size_t, uint8_t>> bytes)
{
    Report r(64, 0);
    r[0] = 0x64;
    r[1] = code;
    r[2] = version;
    for (const auto& b : bytes)
        r.at(b.first) = b.second;
    return r;
}

SimClient::SimClient(const std::string& path) : device(hid_open_path(path.c_str())) {}

SimClient::~SimClient()
{
    if (device)
        hid_close(device);
}

bool SimClient::send(const Report& report)
{
    // A burst may outrun the device's write queue: wait for room, a while.
    for (int attempt = 0; device && attempt < 2000; ++attempt) {
        if (hid_write(device, report.data(), report.size()) >= 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

Report SimClient::next(uint8_t reportId, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (device && !lost) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            break;
        const hid_wait_handle handle = hid_read_begin(device);
        if (hid_wait_any(&handle, 1, int(left)) != 0)
            continue;
        Report report(64, 0);
        const int n = hid_read_finish(device, report.data(), report.size());
        if (n < 0)
            lost = true;
        else if (n > 0 && report[0] == reportId)
            return report;
    }
    return {};
}
