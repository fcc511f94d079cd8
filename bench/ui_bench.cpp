// ui_bench: the main window (offscreen) fed by a simulated device that
// streams joystick reports at a set rate, and the main thread's CPU while it
// does. The wheel base run reports rim redraws per second and rim pixmap
// rebuilds; the pedals run the records the pedals page took per second and
// how often the three bars and their labels were painted. The device runs in
// a child process so that only the tool is measured.
//
// usage: ui_bench [--device wheelbase|pedals] [--seconds S] [--rate HZ]

#include "DeviceProcess.h"
#include "sim/Simulator.h"
#include "window/ORV_wheel_tool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
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

// Counts the paints of the widgets it watches.
class PaintCounter : public QObject
{
public:
    quint64 paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    double rate = 1000;
    bool pedals = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seconds")
            seconds = std::max(1.0, std::atof(argv[i + 1]));
        else if (arg == "--rate")
            rate = std::max(1.0, std::atof(argv[i + 1]));
        else if (arg == "--device")
            pedals = std::string(argv[i + 1]) == "pedals";
    }

    DeviceProcess devices([rate, pedals](const std::string& bus,
                                         const DeviceProcess::WaitForEnd& wait) {
        orvsim::Simulator simulator(bus);
        if (pedals ? !simulator.addPedals("pedals", rate) : !simulator.addWheelBase("wheel", rate))
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
        PaintCounter painted;
        for (const char* name : {"pedalClutch", "pedalBrake", "pedalThrottle", "labelClutchValue",
                                 "labelBrakeValue", "labelThrottleValue"})
            window.findChild<QWidget*>(name)->installEventFilter(&painted);

        quint64 redraws0 = 0;
        quint64 rebuilds0 = 0;
        quint64 records0 = 0;
        quint64 paints0 = 0;
        double cpu0 = 0;
        QElapsedTimer clock;
        QTimer poll;
        // Measure from the moment the device's page is up and live.
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (pages->currentIndex() != (pedals ? 2 : 1))
                return;
            poll.stop();
            redraws0 = window.rimRedraws();
            rebuilds0 = window.rimRebuilds();
            records0 = window.pedalRecords();
            paints0 = painted.paints;
            cpu0 = threadCpuSeconds();
            clock.start();
            QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &app, [&] {
                const double elapsed = double(clock.nsecsElapsed()) / 1e9;
                const double cpu = threadCpuSeconds() - cpu0;
                if (pedals)
                    std::printf("device=pedals seconds=%.1f report_rate_hz=%.0f "
                                "records_per_s=%.1f bar_and_label_paints_per_s=%.1f "
                                "main_thread_cpu_percent=%.2f\n",
                                elapsed, rate, double(window.pedalRecords() - records0) / elapsed,
                                double(painted.paints - paints0) / elapsed, 100.0 * cpu / elapsed);
                else
                    std::printf("seconds=%.1f report_rate_hz=%.0f redraws_per_s=%.1f "
                                "rim_rebuilds=%llu rebuilds_per_s=%.1f "
                                "main_thread_cpu_percent=%.2f\n",
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
