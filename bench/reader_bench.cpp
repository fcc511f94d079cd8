// reader_bench: N simulated wheel bases stream joystick reports at R Hz for
// S seconds through the real manager and reader thread. The devices run in a
// child process, so the CPU figure is the tool's alone; latency is measured
// from the device's send to handleReport on CLOCK_MONOTONIC, which both
// processes share.
//
// usage: reader_bench [--devices N] [--rate HZ] [--seconds S]

#include "DeviceProcess.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/Simulator.h"
#include "usb/UsbManager.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int SequenceOffset = 8; // report bytes that no wheel base field uses here
constexpr int SentTimeOffset = 12;

uint64_t monotonicNanos()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool readAll(int fd, void* data, size_t size)
{
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t r = ::read(fd, p, size);
        if (r <= 0)
            return false;
        p += r;
        size -= size_t(r);
    }
    return true;
}

// The devices: wait for the tool to connect, stream, report the count sent,
// then stay on the bus until the tool says goodbye.
int runDevices(const std::string& bus, int devices, double rate, double seconds, int resultFd,
               const DeviceProcess::WaitForEnd& waitForEnd)
{
    orvsim::Simulator simulator(bus);
    std::vector<orvsim::SimWheelBase*> wheels;
    for (int i = 0; i < devices; ++i) {
        auto* wheel = simulator.addWheelBase("wheel" + std::to_string(i), 0);
        if (!wheel)
            return 1;
        wheel->setStreamHook([](uint8_t* report, uint64_t sequence) {
            const auto seq = uint32_t(sequence);
            const uint64_t now = monotonicNanos();
            std::memcpy(report + SequenceOffset, &seq, sizeof seq);
            std::memcpy(report + SentTimeOffset, &now, sizeof now);
        });
        wheels.push_back(wheel);
    }
    for (int waited = 0;; waited += 10) {
        bool all = true;
        for (auto* w : wheels)
            all = all && w->connectionCount() > 0;
        if (all)
            break;
        if (waited > 15000)
            return 1;
        ::usleep(10000);
    }
    // The reader takes a new device into its wait from its next pass on (up to
    // 500 ms later); stream once that has surely happened, so the figures are
    // the steady state.
    ::usleep(1000000);
    for (auto* w : wheels)
        w->startStreaming(rate);
    ::usleep(useconds_t(seconds * 1e6));
    uint64_t sent = 0;
    for (auto* w : wheels) {
        w->stopStreaming();
        sent += w->streamedReports();
    }
    if (::write(resultFd, &sent, sizeof sent) != sizeof sent)
        return 1;
    waitForEnd();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int devices = 4;
    double rate = 1000;
    double seconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--devices")
            devices = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--rate")
            rate = std::max(1.0, std::atof(argv[i + 1]));
        else if (arg == "--seconds")
            seconds = std::max(0.5, std::atof(argv[i + 1]));
    }

    int resultPipe[2];
    if (::pipe(resultPipe) != 0)
        return 1;
    DeviceProcess children([&](const std::string& bus, const DeviceProcess::WaitForEnd& wait) {
        ::close(resultPipe[0]);
        return runDevices(bus, devices, rate, seconds, resultPipe[1], wait);
    });
    if (!children.started())
        return 1;
    ::close(resultPipe[1]);
    children.useAsBackend();
    QCoreApplication app(argc, argv);
    UsbManager manager;
    std::vector<uint32_t> latencies;
    latencies.reserve(size_t(devices * rate * seconds * 1.1));
    uint64_t delivered = 0;
    double cpuAtFirst = 0;
    uint64_t wallAtFirst = 0;

    QObject::connect(&manager, &UsbManager::onDeviceConnected, [&](UsbDevice* device) {
        auto* wheel = qobject_cast<UsbDeviceOrvWheelBase*>(device);
        if (!wheel)
            return;
        QObject::connect(wheel, &UsbDeviceOrvWheelBase::onJoystickUpdate,
                         [&](UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update, uint64_t) {
                             const uint64_t now = monotonicNanos();
                             const auto* report = reinterpret_cast<const uint8_t*>(update) - 1;
                             uint64_t sentAt = 0;
                             std::memcpy(&sentAt, report + SentTimeOffset, sizeof sentAt);
                             if (delivered++ == 0) {
                                 cpuAtFirst = cpuSeconds();
                                 wallAtFirst = now;
                             }
                             latencies.push_back(
                                 uint32_t(std::min<uint64_t>((now - sentAt) / 1000, UINT32_MAX)));
                         });
    });

    uint64_t sent = 0;
    double cpuPercent = 0;
    QSocketNotifier resultReady(resultPipe[0], QSocketNotifier::Read);
    QObject::connect(&resultReady, &QSocketNotifier::activated, [&] {
        resultReady.setEnabled(false);
        if (!readAll(resultPipe[0], &sent, sizeof sent))
            sent = 0;
        const double wall = double(monotonicNanos() - wallAtFirst) / 1e9;
        cpuPercent = wall > 0 ? 100.0 * (cpuSeconds() - cpuAtFirst) / wall : 0;
        // Let the last reports in flight arrive.
        QTimer::singleShot(300, &app, &QCoreApplication::quit);
    });
    QTimer::singleShot(int((seconds + 30) * 1000), &app, [&] { app.exit(1); });
    manager.start(false);
    const int result = app.exec();
    manager.stop();

    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double p) -> uint32_t {
        if (latencies.empty())
            return 0;
        return latencies[std::min(latencies.size() - 1, size_t(p * double(latencies.size())))];
    };
    std::printf("devices=%d rate_hz=%.0f seconds=%.1f sent=%llu delivered=%llu lost=%lld "
                "latency_p50_us=%u latency_p99_us=%u cpu_percent=%.2f\n",
                devices, rate, seconds, (unsigned long long)sent, (unsigned long long)delivered,
                (long long)sent - (long long)delivered, percentile(0.50), percentile(0.99),
                cpuPercent);
    return result == 0 && sent > 0 ? 0 : 1;
}
