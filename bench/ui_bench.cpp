// ui_bench: the main window (offscreen) fed by a simulated wheel base that
// streams 1000 joystick reports per second; reports rim redraws per second,
// rim pixmap rebuilds and the main thread's CPU. The device runs in a child
// process so that only the tool is measured.
//
// usage: ui_bench [--seconds S] [--rate HZ]

#include "DeviceProcess.h"
#include "sim/Simulator.h"
#include "window/ORV_wheel_tool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStackedWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    double rate = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seconds")
            seconds = std::max(1.0, std::atof(argv[i + 1]));
        else if (arg == "--rate")
            rate = std::max(1.0, std::atof(argv[i + 1]));
    }

    DeviceProcess devices([rate](const std::string& bus, const DeviceProcess::WaitForEnd& wait) {
        orvsim::Simulator simulator(bus);
        if (!simulator.addWheelBase("wheel", rate))
            return 1;
        wait();
        return 0;
    });
    if (!devices.started())
        return 1;
    devices.useAsBackend();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    int result = 1;
    {
        ORV_wheel_tool window;
        window.show();
        auto* pages = window.findChild<QStackedWidget*>("settingsStackedWidget");

        quint64 redraws0 = 0;
        quint64 rebuilds0 = 0;
        double cpu0 = 0;
        QElapsedTimer clock;
        QTimer poll;
        // Measure from the moment the wheel base page is up and live.
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (pages->currentIndex() != 1)
                return;
            poll.stop();
            redraws0 = window.rimRedraws();
            rebuilds0 = window.rimRebuilds();
            cpu0 = threadCpuSeconds();
            clock.start();
            QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &app, [&] {
                const double elapsed = double(clock.nsecsElapsed()) / 1e9;
                const double cpu = threadCpuSeconds() - cpu0;
                std::printf("seconds=%.1f report_rate_hz=%.0f redraws_per_s=%.1f "
                            "rim_rebuilds=%llu rebuilds_per_s=%.1f main_thread_cpu_percent=%.2f\n",
                            elapsed, rate, double(window.rimRedraws() - redraws0) / elapsed,
                            (unsigned long long)(window.rimRebuilds() - rebuilds0),
                            double(window.rimRebuilds() - rebuilds0) / elapsed,
                            100.0 * cpu / elapsed);
                result = 0;
                app.quit();
            });
        });
        poll.start(50);
        QTimer::singleShot(int((seconds + 30) * 1000), &app, &QApplication::quit);
        app.exec();
    }
    return result;
}
