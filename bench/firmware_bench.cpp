// firmware_bench: writes a firmware image to the simulated bootloader through
// the real manager, reader thread and bootloader class, and reports the
// transfer rate and the tool's CPU time per chunk. The simulated device runs
// in a child process, so the CPU figure is the tool's alone.
//
// usage: firmware_bench [--size BYTES] [--frame-us MICROSECONDS]
//   --frame-us N  the device takes each report one USB frame of N us after it
//                 arrives and answers one frame later (0: at once)

#include "DeviceProcess.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/Simulator.h"
#include "usb/UsbManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    // The largest image the protocol can describe: 32767 chunks of 32 bytes.
    int size = UsbDeviceOrvBootloader::MaxImageSize;
    int frameUs = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--size")
            size = std::max(0, std::atoi(argv[i + 1]));
        else if (arg == "--frame-us")
            frameUs = std::max(0, std::atoi(argv[i + 1]));
    }

    DeviceProcess devices([frameUs](const std::string& bus, const DeviceProcess::WaitForEnd& wait) {
        orvsim::Simulator simulator(bus);
        auto* wheel = simulator.addWheelBase("wheel", 0);
        if (!wheel)
            return 1;
        wheel->setFrameTime(std::chrono::microseconds(frameUs));
        wait();
        return 0;
    });
    if (!devices.started())
        return 1;
    devices.useAsBackend();
    QCoreApplication app(argc, argv);
    UsbManager manager;

    QByteArray image(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 131 + 7) & 0xff);

    QElapsedTimer clock;
    double cpuAtStart = 0;
    double seconds = 0;
    double cpu = 0;
    int chunks = 0;
    bool failed = false;
    QObject::connect(&manager, &UsbManager::onDeviceConnected, [&](UsbDevice* device) {
        if (auto* wheel = qobject_cast<UsbDeviceOrvWheelBase*>(device)) {
            wheel->enterBootloader();
            return;
        }
        auto* bootloader = qobject_cast<UsbDeviceOrvBootloader*>(device);
        if (!bootloader)
            return;
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onFirmwareUpdateStarted,
                         [&](int n) { chunks = n; });
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onUpdateCompleted, [&] {
            seconds = double(clock.nsecsElapsed()) / 1e9;
            cpu = cpuSeconds() - cpuAtStart;
            app.quit();
        });
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onUpdateFailed,
                         [&](UsbDevice*, const QString& message) {
                             std::fprintf(stderr, "update failed: %s\n", qPrintable(message));
                             failed = true;
                             app.quit();
                         });
        cpuAtStart = cpuSeconds();
        clock.start();
        bootloader->updateFirmware(image);
    });
    QTimer::singleShot(600000, &app, [&] {
        failed = true;
        app.quit();
    });
    manager.start(false);
    app.exec();
    manager.stop();
    if (failed || chunks == 0)
        return 1;

    // Each chunk costs one frame out and one frame back at the least.
    const double framesOnly = 2.0 * chunks * frameUs / 1e6;
    std::printf("image_bytes=%d chunks=%d frame_us=%d total_s=%.3f chunks_per_s=%.0f "
                "cpu_us_per_chunk=%.1f",
                size, chunks, frameUs, seconds, chunks / seconds, 1e6 * cpu / chunks);
    if (frameUs > 0)
        std::printf(" frames_only_s=%.3f over_frames_percent=%.1f", framesOnly,
                    100.0 * (seconds - framesOnly) / framesOnly);
    std::printf("\n");
    return 0;
}
