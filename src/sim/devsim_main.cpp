// orv-devsim: serves simulated devices on a virtual HID bus directory until
// it is stopped (SIGINT or SIGTERM).

#include "Simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

void usage(FILE* out)
{
    std::fputs("usage: orv-devsim --bus DIR [--no-wheelbase] [--no-pedals]\n"
               "                  [--wheelbase-rate HZ] [--pedals-rate HZ]\n"
               "Serves a simulated wheel base and pedals on the virtual HID bus in DIR\n"
               "(created if missing) until interrupted. Point the tool at it with\n"
               "ORV_HID_BACKEND=vhid:DIR.\n",
               out);
}

bool parseRate(const char* text, double* out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (!end || *end != '\0' || !(v >= 0 && v <= 100000))
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string bus;
    bool wheelBase = true;
    bool pedals = true;
    double wheelBaseRate = orvsim::Simulator::DefaultWheelBaseRateHz;
    double pedalsRate = orvsim::Simulator::DefaultPedalsRateHz;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--bus" && hasValue) {
            bus = argv[++i];
        } else if (arg == "--no-wheelbase") {
            wheelBase = false;
        } else if (arg == "--no-pedals") {
            pedals = false;
        } else if (arg == "--wheelbase-rate" && hasValue &&
                   parseRate(argv[i + 1], &wheelBaseRate)) {
            ++i;
        } else if (arg == "--pedals-rate" && hasValue && parseRate(argv[i + 1], &pedalsRate)) {
            ++i;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "orv-devsim: bad argument: %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (bus.empty()) {
        usage(stderr);
        return 2;
    }
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
    if (wheelBase && !simulator.addWheelBase("wheelbase", wheelBaseRate)) {
        std::fprintf(stderr, "orv-devsim: cannot serve the wheel base in %s\n", bus.c_str());
        return 1;
    }
    if (pedals && !simulator.addPedals("pedals", pedalsRate)) {
        std::fprintf(stderr, "orv-devsim: cannot serve the pedals in %s\n", bus.c_str());
        return 1;
    }
    std::printf("orv-devsim: serving on %s\n", bus.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
