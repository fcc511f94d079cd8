// firmware_bench: writes a firmware image to the simulated bootloader through
// the real manager, reader thread and bootloader class, and reports the
// transfer rate and the tool's CPU time per chunk. The simulated device runs
// in a child process, so the CPU figure is the tool's alone.
//
// usage: firmware_bench [--size BYTES] [--frame-us MICROSECONDS] [--window 1]
//   --frame-us N  the device takes each report one USB frame of N us after it
//                 arrives and answers one frame later (0: at once)
//   --window 1    through the main window (offscreen) instead: Enter
//                 Bootloader, the image file chosen at the prompt, the
//                 progress dialog, timed from the prompt to the result box

#include "DeviceProcess.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/Simulator.h"
#include "usb/UsbManager.h"
#include "window/Dialogs.h"
#include "window/ORV_wheel_tool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
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

struct Measure
{
    QElapsedTimer clock;
    double cpuAtStart = 0;
    double seconds = 0;
    double cpu = 0;

    void start()
    {
        cpuAtStart = cpuSeconds();
        clock.start();
    }
    void stop()
    {
        seconds = double(clock.nsecsElapsed()) / 1e9;
        cpu = cpuSeconds() - cpuAtStart;
    }
};

// The window's dialogs, answered as a user would: the image at the prompt;
// the result box ends the run.
class BenchDialogs : public DialogHandler
{
public:
    std::function<QString()> prompt;
    std::function<void(const QString&)> result;

    QMessageBox::StandardButton message(QMessageBox::Icon, QWidget*, const QString&,
                                        const QString& text, QMessageBox::StandardButtons,
                                        QMessageBox::StandardButton) override
    {
        result(text);
        return QMessageBox::Ok;
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return prompt();
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
};

// Straight to the bootloader class: its signals time the transfer.
bool direct(QCoreApplication& app, const QByteArray& image, Measure& measure)
{
    UsbManager manager;
    bool failed = false;
    QObject::connect(&manager, &UsbManager::onDeviceConnected, [&](UsbDevice* device) {
        if (auto* wheel = qobject_cast<UsbDeviceOrvWheelBase*>(device)) {
            wheel->enterBootloader();
            return;
        }
        auto* bootloader = qobject_cast<UsbDeviceOrvBootloader*>(device);
        if (!bootloader)
            return;
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onUpdateCompleted, [&] {
            measure.stop();
            app.quit();
        });
        QObject::connect(bootloader, &UsbDeviceOrvBootloader::onUpdateFailed,
                         [&](UsbDevice*, const QString& message) {
                             std::fprintf(stderr, "update failed: %s\n", qPrintable(message));
                             failed = true;
                             app.quit();
                         });
        measure.start();
        bootloader->updateFirmware(image);
    });
    QTimer::singleShot(600000, &app, [&] {
        failed = true;
        app.quit();
    });
    manager.start(false);
    app.exec();
    manager.stop();
    return !failed;
}

bool throughWindow(QCoreApplication& app, const QByteArray& image, Measure& measure)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("bench.fw"));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return false;
    file.close();

    bool completed = false;
    BenchDialogs dialogs;
    dialogs.prompt = [&] {
        measure.start();
        return file.fileName();
    };
    dialogs.result = [&](const QString& text) {
        measure.stop();
        completed = text == QLatin1String("Update completed successfully!");
        if (!completed)
            std::fprintf(stderr, "update failed: %s\n", qPrintable(text));
        app.quit();
    };
    Dialogs::setHandler(&dialogs);
    {
        ORV_wheel_tool window;
        window.show();
        auto* pages = window.findChild<QStackedWidget*>("settingsStackedWidget");
        auto* enter = window.findChild<QPushButton*>("pushButton_EnterExitBootloader");
        QTimer poll;
        // Once the wheel base page is up, the user enters the bootloader.
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (pages->currentIndex() != 1)
                return;
            poll.stop();
            enter->click();
        });
        poll.start(50);
        QTimer::singleShot(600000, &app, &QCoreApplication::quit);
        app.exec();
    }
    Dialogs::setHandler(nullptr);
    return completed;
}

} // namespace

int main(int argc, char** argv)
{
    // The largest image the protocol can describe: 32767 chunks of 32 bytes.
    int size = UsbDeviceOrvBootloader::MaxImageSize;
    int frameUs = 0;
    bool window = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--size")
            size = std::max(0, std::atoi(argv[i + 1]));
        else if (arg == "--frame-us")
            frameUs = std::max(0, std::atoi(argv[i + 1]));
        else if (arg == "--window")
            window = std::atoi(argv[i + 1]) != 0;
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
    if (window && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::unique_ptr<QCoreApplication> app(window ? new QApplication(argc, argv)
                                                 : new QCoreApplication(argc, argv));

    QByteArray image(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 131 + 7) & 0xff);

    Measure measure;
    const int chunks =
        (size + UsbDeviceOrvBootloader::ChunkSize - 1) / UsbDeviceOrvBootloader::ChunkSize;
    const bool failed =
        window ? !throughWindow(*app, image, measure) : !direct(*app, image, measure);
    if (failed)
        return 1;

    // Each chunk costs one frame out and one frame back at the least.
    const double framesOnly = 2.0 * chunks * frameUs / 1e6;
    std::printf("image_bytes=%d chunks=%d frame_us=%d total_s=%.3f chunks_per_s=%.0f "
                "cpu_us_per_chunk=%.1f",
                size, chunks, frameUs, measure.seconds, chunks / measure.seconds,
                1e6 * measure.cpu / std::max(1, chunks));
    if (frameUs > 0)
        std::printf(" frames_only_s=%.3f over_frames_percent=%.1f", framesOnly,
                    100.0 * (measure.seconds - framesOnly) / framesOnly);
    std::printf("\n");
    return 0;
}
