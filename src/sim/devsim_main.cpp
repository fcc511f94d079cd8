// orv-devsim: serves simulated devices on a virtual HID bus directory until
// it is stopped (SIGINT or SIGTERM).

#include "Simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

void usage(FILE* out)
{
    std::fputs(
        "usage: orv-devsim --bus DIR [options]\n"
        "Serves a simulated wheel base and pedals on the virtual HID bus in DIR\n"
        "(created if missing) until interrupted. Point the tool at it with\n"
        "ORV_HID_BACKEND=vhid:DIR.\n"
        "\n"
        "Devices:\n"
        "  --no-wheelbase              serve no wheel base\n"
        "  --no-pedals                 serve no pedals\n"
        "  --wheelbase-rate HZ         joystick reports per second (default 1000, 0 none)\n"
        "  --pedals-rate HZ            joystick reports per second (default 500, 0 none)\n"
        "  --wheelbase-profiles N      factory profiles of the wheel base (1-100, default 3)\n"
        "  --pedals-profiles N         factory profiles of the pedals (1-40, default 3)\n"
        "  --wheelbase-firmware X.Y    firmware version the wheel base reports\n"
        "  --pedals-firmware X.Y       firmware version the pedals report\n"
        "  --telemetry-layout L        wheel base joystick telemetry: 1 status, 2 force\n"
        "                              samples, 3 motor trace (default 1)\n"
        "  --reboot-delay MS           time off the bus when entering or leaving the\n"
        "                              bootloader (default 300)\n"
        "  --frame-time US             simulated USB frame: each command is taken one frame\n"
        "                              after it arrives, each answer sent one frame later\n"
        "                              (default 0)\n"
        "\n"
        "Faults (every device):\n"
        "  --silent                    take no commands and answer nothing\n"
        "  --silent-stream             send no joystick reports\n"
        "  --drop-every K              lose every K-th answer\n"
        "  --wheelbase-protocol V      protocol version in the wheel base's settings answer\n"
        "  --pedals-protocol V         protocol version in the pedals' settings answer\n"
        "  --corrupt-chunk I           damage the bootloader's echo of firmware chunk I\n"
        "  --silent-after-chunk I      the bootloader hangs once it has echoed firmware\n"
        "                              chunk I: no more answers (stop orv-devsim to end it)\n"
        "  --unplug-after N            leave the bus after N joystick reports\n"
        "  --echo-read-end             also answer the end of a settings read\n"
        "\n"
        "Driving the pedals:\n"
        "  --keys                      read keys from this terminal: x, y, z press or\n"
        "                              release that channel's pedal; X, Y, Z connect or\n"
        "                              disconnect the channel; space lets go of all; q quits\n",
        out);
}

const char* const KeyHelp = "keys: x y z press/release a channel, X Y Z connect/disconnect, "
                            "space let go of all, q quit\n";

// One line on what the pedals' channels are doing.
void printPedals(const orvsim::SimPedals& pedals)
{
    static const char Names[] = {'X', 'Y', 'Z'};
    std::string line = "pedals:";
    for (int axis = orvsim::SimPedals::X; axis <= orvsim::SimPedals::Z; ++axis) {
        line += ' ';
        line += Names[axis];
        line += !pedals.isConnected(axis) ? " disconnected"
                : pedals.isHeld(axis)     ? " pressed"
                                          : " released";
        line += axis < orvsim::SimPedals::Z ? "," : "";
    }
    line += pedals.isCalibrating() ? " (calibration mode)\n" : "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

// Reads single keys from the terminal and drives the pedals with them;
// q stops the program as a signal would. The pedals are let go of, under the
// lock, before they are destroyed.
struct KeyDriver
{
    std::mutex mutex;
    orvsim::SimPedals* pedals = nullptr;

    void run()
    {
        std::fputs(KeyHelp, stdout);
        std::fflush(stdout);
        char key = 0;
        while (::read(STDIN_FILENO, &key, 1) == 1) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!pedals)
                return;
            if (key == 'q' || key == 4) { // 4: Ctrl-D
                ::kill(::getpid(), SIGTERM);
                return;
            }
            if (key == '\n' || key == '\r')
                continue;
            const int lower = key | 0x20;
            if (lower >= 'x' && lower <= 'z') {
                const int axis = lower - 'x';
                if (key != lower)
                    pedals->setConnected(axis, !pedals->isConnected(axis));
                else if (pedals->isHeld(axis))
                    pedals->releaseChannel(axis);
                else
                    pedals->pressChannel(axis, 1.0);
            } else if (key == ' ') {
                pedals->releasePedals();
            } else {
                std::fputs(KeyHelp, stdout);
            }
            printPedals(*pedals);
        }
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex);
        pedals = nullptr;
    }
};

// Single keys without Enter and without echo while the keys are read; the
// terminal is put back as it was on the way out.
class RawTerminal
{
public:
    RawTerminal()
    {
        if (::tcgetattr(STDIN_FILENO, &saved) != 0)
            return;
        termios raw = saved;
        raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawTerminal()
    {
        if (active)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

private:
    termios saved{};
    bool active = false;
};

bool parseNumber(const char* text, double low, double high, double* out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (!end || end == text || *end != '\0' || !(v >= low && v <= high))
        return false;
    *out = v;
    return true;
}

bool parseVersion(const char* text, int* majorOut, int* minorOut)
{
    int a = -1;
    int b = -1;
    char tail = 0;
    if (std::sscanf(text, "%d.%d%c", &a, &b, &tail) != 2 || a < 0 || a > 255 || b < 0 || b > 255)
        return false;
    *majorOut = a;
    *minorOut = b;
    return true;
}

struct DeviceOptions
{
    bool enabled = true;
    double rate = 0;
    double profiles = 0;
    int firmwareMajor = -1;
    int firmwareMinor = -1;
    double protocol = -1;
};

struct Options
{
    std::string bus;
    DeviceOptions wheelBase{true, orvsim::Simulator::DefaultWheelBaseRateHz};
    DeviceOptions pedals{true, orvsim::Simulator::DefaultPedalsRateHz};
    double layout = 1;
    double rebootDelay = -1;
    double frameTime = 0;
    bool silent = false;
    bool silentStream = false;
    double dropEvery = 0;
    double corruptChunk = -1;
    double silentAfterChunk = -1;
    double unplugAfter = -1;
    bool echoReadEnd = false;
    bool keys = false;
};

// 0: parsed; 1: --help; 2: bad arguments.
int parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](double low, double high, double* out) {
            if (!value || !parseNumber(value, low, high, out))
                return false;
            ++i;
            return true;
        };
        auto version = [&](DeviceOptions* d) {
            if (!value || !parseVersion(value, &d->firmwareMajor, &d->firmwareMinor))
                return false;
            ++i;
            return true;
        };
        bool ok = true;
        if (arg == "--help" || arg == "-h")
            return 1;
        else if (arg == "--bus" && value)
            o->bus = argv[++i];
        else if (arg == "--no-wheelbase")
            o->wheelBase.enabled = false;
        else if (arg == "--no-pedals")
            o->pedals.enabled = false;
        else if (arg == "--wheelbase-rate")
            ok = number(0, 100000, &o->wheelBase.rate);
        else if (arg == "--pedals-rate")
            ok = number(0, 100000, &o->pedals.rate);
        else if (arg == "--wheelbase-profiles")
            ok = number(1, orvsim::SimWheelBase::Capacity, &o->wheelBase.profiles);
        else if (arg == "--pedals-profiles")
            ok = number(1, orvsim::SimPedals::Capacity, &o->pedals.profiles);
        else if (arg == "--wheelbase-firmware")
            ok = version(&o->wheelBase);
        else if (arg == "--pedals-firmware")
            ok = version(&o->pedals);
        else if (arg == "--wheelbase-protocol")
            ok = number(0, 255, &o->wheelBase.protocol);
        else if (arg == "--pedals-protocol")
            ok = number(0, 255, &o->pedals.protocol);
        else if (arg == "--telemetry-layout")
            ok = number(1, 3, &o->layout);
        else if (arg == "--reboot-delay")
            ok = number(0, 60000, &o->rebootDelay);
        else if (arg == "--frame-time")
            ok = number(0, 1000000, &o->frameTime);
        else if (arg == "--silent")
            o->silent = true;
        else if (arg == "--silent-stream")
            o->silentStream = true;
        else if (arg == "--drop-every")
            ok = number(0, 1e9, &o->dropEvery);
        else if (arg == "--corrupt-chunk")
            ok = number(0, orvsim::SimBootloader::MaxChunks, &o->corruptChunk);
        else if (arg == "--silent-after-chunk")
            ok = number(0, orvsim::SimBootloader::MaxChunks, &o->silentAfterChunk);
        else if (arg == "--unplug-after")
            ok = number(0, 1e15, &o->unplugAfter);
        else if (arg == "--echo-read-end")
            o->echoReadEnd = true;
        else if (arg == "--keys")
            o->keys = true;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "orv-devsim: bad argument: %s\n", arg.c_str());
            return 2;
        }
    }
    return o->bus.empty() ? 2 : 0;
}

void configure(orvsim::SimFirmwareDevice* device, const DeviceOptions& d, const Options& o)
{
    if (d.profiles > 0)
        device->setDefaultProfileCount(int(d.profiles));
    if (d.firmwareMajor >= 0)
        device->setFirmwareVersion(uint8_t(d.firmwareMajor), uint8_t(d.firmwareMinor));
    if (d.protocol >= 0)
        device->setProtocolVersionOverride(int(d.protocol));
    if (o.rebootDelay >= 0)
        device->setRebootDelay(std::chrono::milliseconds(int64_t(o.rebootDelay)));
    device->setFrameTime(std::chrono::microseconds(int64_t(o.frameTime)));
    device->setEchoReadEnd(o.echoReadEnd);
    device->setStreamSilent(o.silentStream);
    if (o.unplugAfter >= 0)
        device->setUnplugAfterReports(int64_t(o.unplugAfter));
    for (orvsim::SimDevice* identity : {static_cast<orvsim::SimDevice*>(device),
                                        static_cast<orvsim::SimDevice*>(&device->bootloader())}) {
        identity->setSilent(o.silent);
        identity->setDropEveryKthAnswer(int(o.dropEvery));
    }
    device->bootloader().setCorruptEchoOfChunk(int(o.corruptChunk));
    device->bootloader().setSilentAfterChunk(int(o.silentAfterChunk));
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = parse(argc, argv, &options);
    if (parsed == 1) {
        usage(stdout);
        return 0;
    }
    if (parsed != 0) {
        usage(stderr);
        return 2;
    }
    const std::string& bus = options.bus;
    ::mkdir(bus.c_str(), 0755);
    struct stat st
    {};
    if (::stat(bus.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "orv-devsim: not a directory: %s\n", bus.c_str());
        return 1;
    }

    // Block the stop signals before any thread starts, so all threads
    // inherit the mask and only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    orvsim::Simulator simulator(bus);
    orvsim::SimPedals* pedals = nullptr;
    if (options.wheelBase.enabled) {
        orvsim::SimWheelBase* wheelBase = simulator.addWheelBase("wheelbase", 0);
        if (!wheelBase) {
            std::fprintf(stderr, "orv-devsim: cannot serve the wheel base in %s\n", bus.c_str());
            return 1;
        }
        configure(wheelBase, options.wheelBase, options);
        wheelBase->setTelemetryLayout(int(options.layout));
        wheelBase->startStreaming(options.wheelBase.rate);
    }
    if (options.pedals.enabled) {
        pedals = simulator.addPedals("pedals", 0);
        if (!pedals) {
            std::fprintf(stderr, "orv-devsim: cannot serve the pedals in %s\n", bus.c_str());
            return 1;
        }
        configure(pedals, options.pedals, options);
        pedals->startStreaming(options.pedals.rate);
    }
    std::printf("orv-devsim: serving on %s\n", bus.c_str());
    std::fflush(stdout);

    std::unique_ptr<RawTerminal> terminal;
    static KeyDriver keys; // outlives main: its thread may still wait for a key
    if (options.keys && pedals) {
        if (::isatty(STDIN_FILENO))
            terminal = std::make_unique<RawTerminal>();
        keys.pedals = pedals;
        std::thread([] { keys.run(); }).detach();
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    keys.stop();
    return 0;
}
