// log_bench: the main window (offscreen, on its Debug tab) logs a simulated
// wheel base streaming joystick reports: first S seconds of status records
// (layout 1), then S seconds of force samples (layout 2, eleven a record),
// each a logging run started and stopped with the real button into a real
// file. For each run: records in, lines written, bytes in the file, and the
// main thread's CPU; at the end the reports the device sent against those
// the window took. The device runs in a child process so that only the tool
// is measured.
//
// usage: log_bench [--seconds S] [--rate HZ] [--dir DIR] [--keep] [--tab debug|ffb]
//   DIR is the working directory the logs go to (a temporary one by
//   default); --keep leaves the logs there. --tab ffb measures with the
//   debug labels out of sight.

#include "DeviceProcess.h"
#include "sim/Simulator.h"
#include "telemetry/TelemetryLog.h"
#include "window/ORV_wheel_tool.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The device's side: commands from the benchmark, one byte each, until the
// benchmark closes the pipe. '1' to '3' choose the telemetry layout, 's'
// starts streaming, 'e' ends it and answers with the count sent.
int serveWheelBase(const std::string& bus, double rate, int commands, int results)
{
    orvsim::Simulator simulator(bus);
    orvsim::SimWheelBase* wheel = simulator.addWheelBase("wheel", 0);
    if (!wheel)
        return 1;
    char command = 0;
    while (::read(commands, &command, 1) == 1) {
        if (command >= '1' && command <= '3') {
            wheel->setTelemetryLayout(command - '0');
        } else if (command == 's') {
            wheel->startStreaming(rate);
        } else if (command == 'e') {
            wheel->stopStreaming();
            const uint64_t sent = wheel->streamedReports();
            if (::write(results, &sent, sizeof sent) != sizeof sent)
                return 1;
        }
    }
    return 0;
}

// Waits for condition while the event loop runs, at most timeoutMs.
bool runUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ::usleep(1000);
    }
    return true;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 linesIn(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    while (!file.atEnd())
        lines += file.read(1 << 20).count('\n');
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 60;
    double rate = 1000;
    QString dir;
    bool keep = false;
    bool debugTab = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seconds" && hasValue)
            seconds = std::max(1.0, std::atof(argv[++i]));
        else if (arg == "--rate" && hasValue)
            rate = std::max(1.0, std::atof(argv[++i]));
        else if (arg == "--dir" && hasValue)
            dir = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--keep")
            keep = true;
        else if (arg == "--tab" && hasValue)
            debugTab = std::string(argv[++i]) != "ffb";
    }

    int commandPipe[2];
    int resultPipe[2];
    if (::pipe(commandPipe) != 0 || ::pipe(resultPipe) != 0)
        return 1;
    DeviceProcess device([&](const std::string& bus, const DeviceProcess::WaitForEnd&) {
        ::close(commandPipe[1]);
        ::close(resultPipe[0]);
        return serveWheelBase(bus, rate, commandPipe[0], resultPipe[1]);
    });
    if (!device.started())
        return 1;
    ::close(commandPipe[0]);
    ::close(resultPipe[1]);
    // The device ends when the commands do: before the device process waits
    // for it, on every way out.
    struct CloseOnExit
    {
        int fd;
        ~CloseOnExit() { ::close(fd); }
    } closeCommands{commandPipe[1]};
    auto command = [&](char c) { return ::write(commandPipe[1], &c, 1) == 1; };

    device.useAsBackend();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    if (dir.isEmpty())
        dir = temporary.path();
    if (!QDir::setCurrent(dir)) {
        std::fprintf(stderr, "log_bench: cannot work in %s\n", qPrintable(dir));
        return 1;
    }

    int result = 1;
    {
        ORV_wheel_tool window;
        window.show();
        auto* pages = window.findChild<QStackedWidget*>("settingsStackedWidget");
        if (!runUntil([&] { return pages->currentIndex() == 1; }, 30000))
            return 1;
        auto* tabs = window.findChild<QTabWidget*>("tabWidget");
        if (debugTab)
            tabs->setCurrentWidget(window.findChild<QWidget*>("tabWidgetPageDebug"));
        auto* button = window.findChild<QPushButton*>("pushButton_LoggingWheelBase");
        const TelemetryLog& log = window.telemetryLog();

        command('s');
        runFor(1000); // the reader takes the device into its wait, the stream settles
        bool allLogged = true;
        for (int layout : {1, 2}) {
            command(char('0' + layout));
            runFor(200); // the log starts with this layout's header
            const uint64_t records0 = log.records();
            const uint64_t lines0 = log.linesWritten();
            const double cpu0 = threadCpuSeconds();
            QElapsedTimer clock;
            clock.start();
            button->click();
            runFor(int(seconds * 1000));
            button->click();
            const double elapsed = double(clock.nsecsElapsed()) / 1e9;
            const double cpu = threadCpuSeconds() - cpu0;
            const uint64_t records = log.records() - records0;
            const uint64_t lines = log.linesWritten() - lines0;
            const QString file = log.fileName();
            const qint64 fileLines = linesIn(file);
            // Every record of the run in the file: one line each, or one per
            // force sample; the header besides.
            const uint64_t expected = records * (layout == 2 ? 11 : 1);
            allLogged = allLogged && lines == expected && fileLines == qint64(expected) + 1;
            std::printf("layout=%d seconds=%.1f rate_hz=%.0f records_in=%llu lines_written=%llu "
                        "file_lines=%lld bytes=%lld main_thread_cpu_percent=%.2f\n",
                        layout, elapsed, rate, (unsigned long long)records,
                        (unsigned long long)lines, (long long)fileLines,
                        (long long)QFileInfo(file).size(), 100.0 * cpu / elapsed);
            std::fflush(stdout);
            if (!keep)
                QFile::remove(file);
        }

        command('e');
        uint64_t sent = 0;
        const bool answered = ::read(resultPipe[0], &sent, sizeof sent) == sizeof sent;
        runFor(300); // the last reports in flight
        const uint64_t received = log.records();
        std::printf("sent=%llu received=%llu lost=%lld all_records_logged=%s\n",
                    (unsigned long long)sent, (unsigned long long)received,
                    (long long)sent - (long long)received, allLogged ? "yes" : "no");
        result = answered && sent == received && allLogged ? 0 : 1;
    }
    return result;
}
