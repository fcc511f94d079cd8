// hung_device_bench: the main window (offscreen) with a wheel base that
// stops taking reports once its settings have been read, as a hung firmware
// does while it stays on the bus. The window keeps writing to it: Reload
// Settings many times at first, so that every buffer on the way fills, then
// the resend every 600 ms. A 1 ms timer on the main thread measures the
// longest gap between its ticks: the longest the window was held up. Of
// each gap, the part the thread spent neither running nor waiting for a
// core (the scheduler's own accounts) is the time it waited on something:
// on a machine shared with other work that is the tool's own share of the
// gap. Budget: no stall over 100 ms. The device runs in a child process.
//
// usage: hung_device_bench [--seconds S] [--reloads N]

#include "DeviceProcess.h"
#include "sim/Simulator.h"
#include "window/ORV_wheel_tool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStackedWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr double BudgetMs = 100;

// Nanoseconds this thread has run and has waited for a core.
struct SchedTimes
{
    long long running = 0;
    long long runnable = 0;
};

SchedTimes schedTimes()
{
    SchedTimes t;
    if (FILE* f = std::fopen("/proc/thread-self/schedstat", "r")) {
        if (std::fscanf(f, "%lld %lld", &t.running, &t.runnable) != 2)
            t = {};
        std::fclose(f);
    }
    return t;
}

// Once the tool has read the settings (a read's begin and end), the wheel
// base stops reading what the tool sends.
int serveHungWheelBase(const std::string& bus, const DeviceProcess::WaitForEnd& wait)
{
    orvsim::Simulator simulator(bus);
    orvsim::SimWheelBase* wheel = simulator.addWheelBase("wheel", 500);
    if (!wheel)
        return 1;
    for (;;) {
        int reads = 0;
        for (const auto& r : wheel->received())
            reads += r.size() > 1 && r[1] == 3;
        if (reads >= 2)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    wheel->setReading(false);
    wait();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    int reloads = 600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--seconds")
            seconds = std::max(2.0, std::atof(argv[i + 1]));
        else if (arg == "--reloads")
            reloads = std::max(1, std::atoi(argv[i + 1]));
    }

    DeviceProcess devices(serveHungWheelBase);
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

        QElapsedTimer clock;
        qint64 lastTick = 0;
        SchedTimes lastTimes;
        qint64 maxGapNs = 0;
        qint64 maxBlockedNs = 0;
        qint64 maxCallNs = 0;
        int stalls = 0;
        int reloaded = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            const SchedTimes times = schedTimes();
            const qint64 gap = now - lastTick;
            maxGapNs = std::max(maxGapNs, gap);
            maxBlockedNs = std::max(maxBlockedNs, gap - (times.running - lastTimes.running) -
                                                      (times.runnable - lastTimes.runnable));
            stalls += gap > qint64(BudgetMs * 1e6);
            lastTick = now;
            lastTimes = times;
        });
        QTimer reload;
        QObject::connect(&reload, &QTimer::timeout, [&] {
            const qint64 before = clock.nsecsElapsed();
            QMetaObject::invokeMethod(&window, "on_pushButton_LoadConfig_clicked");
            maxCallNs = std::max(maxCallNs, clock.nsecsElapsed() - before);
            if (++reloaded == reloads)
                reload.stop();
        });

        // Measure from the moment the settings are loaded; the device hangs then.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (pages->currentIndex() != 1)
                return;
            poll.stop();
            clock.start();
            lastTimes = schedTimes();
            tick.start(1);
            reload.start(2);
            QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &app, [&] {
                std::printf("seconds=%.1f reloads=%d max_gap_ms=%.1f stalls_over_%.0fms=%d "
                            "max_blocked_ms=%.1f max_write_call_ms=%.2f\n",
                            double(clock.nsecsElapsed()) / 1e9, reloaded, double(maxGapNs) / 1e6,
                            BudgetMs, stalls, double(maxBlockedNs) / 1e6, double(maxCallNs) / 1e6);
                result = maxGapNs > qint64(BudgetMs * 1e6) ? 2 : 0;
                app.quit();
            });
        });
        poll.start(50);
        QTimer::singleShot(int((seconds + 30) * 1000), &app, &QApplication::quit);
        app.exec();
    }
    return result;
}
