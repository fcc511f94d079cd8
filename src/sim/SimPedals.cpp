#include "SimPedals.h"

#include "SimProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace orvsim {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr size_t MaxForceOffset = 17;
constexpr size_t MinForceOffset = 23;
constexpr size_t CurveOffset = 29;
constexpr size_t CurvePoints = 6;

struct Preset
{
    const char* name;
    uint16_t maxForce[3];
    uint16_t minForce[3];
    uint8_t curve[3][CurvePoints]; // clutch, brake, throttle; percent at 0, 20 ... 100 %
};

const Preset Presets[] = {
    {"Default",
     {65535, 65535, 65535},
     {0, 0, 0},
     {{0, 20, 40, 60, 80, 100}, {0, 20, 40, 60, 80, 100}, {0, 20, 40, 60, 80, 100}}},
    {"Sim Racing",
     {65535, 58982, 65535},
     {0, 0, 0},
     {{0, 20, 40, 60, 80, 100}, {0, 10, 25, 45, 70, 100}, {0, 25, 45, 65, 83, 100}}},
    {"Rally",
     {65535, 52428, 65535},
     {655, 655, 655},
     {{0, 30, 55, 75, 90, 100}, {0, 22, 43, 63, 82, 100}, {0, 15, 32, 52, 75, 100}}},
};

const SimFirmwareDevice::Product product{0xA3BE,
                                         "ORV Torvane Pedals",
                                         "ORV Torvane Pedals Bootloader",
                                         SimDeviceInfo{2, 1, 3, 2, 7, 0x11, 0},
                                         1,
                                         1};

} // namespace

SimPedals::SimPedals(const std::string& busDir, const std::string& stem, const std::string& serial)
    : SimFirmwareDevice(busDir, stem, product, serial,
                        Layout{ProtocolVersion, RecordSize, CountByte, Capacity})
{
    restoreFactoryDefaults();
}

SimPedals::~SimPedals()
{
    shutdown();
}

vhid::DeviceInfo SimPedals::defaultInfo(const std::string& serial)
{
    return applicationInfo(product, serial);
}

SimPedalsCalibration SimPedals::factoryCalibration()
{
    // Clutch on X, brake on Y, throttle on Z; the brake's load cell moves
    // less than the two travel sensors.
    SimPedalsCalibration c;
    c.neutral = {8391210, 8386120, 8389980};
    c.full = {11203950, 10120500, 11402240};
    c.channel = {X, Y, Z};
    return c;
}

SimProfileList::Record SimPedals::factoryProfile(int index) const
{
    const Preset& p = Presets[index % 3];
    SimProfileList::Record r(RecordSize, 0);
    const std::string name = index < 3 ? p.name : "Profile " + std::to_string(index + 1);
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 15), &r[1]);
    for (size_t pedal = 0; pedal < 3; ++pedal) {
        putU16(&r[MaxForceOffset + 2 * pedal], p.maxForce[pedal]);
        putU16(&r[MinForceOffset + 2 * pedal], p.minForce[pedal]);
        std::copy_n(p.curve[pedal], CurvePoints, &r[CurveOffset + CurvePoints * pedal]);
    }
    return r;
}

void SimPedals::restoreKindDefaults()
{
    calibration_ = factoryCalibration();
}

void SimPedals::startKind()
{
    calibrating = false;
}

SimPedalsCalibration SimPedals::calibration() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return calibration_;
}

void SimPedals::setCalibration(const SimPedalsCalibration& calibration)
{
    std::lock_guard<std::mutex> model(modelMutex);
    calibration_ = calibration;
}

bool SimPedals::isCalibrating() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return calibrating;
}

void SimPedals::setRaw(int axis, uint32_t raw)
{
    if (axis < X || axis > Z)
        return;
    std::lock_guard<std::mutex> model(modelMutex);
    held[size_t(axis)] = true;
    heldRaw[size_t(axis)] = raw;
}

bool SimPedals::setPedalPosition(int pedal, double fraction)
{
    if (pedal < Clutch || pedal > Throttle || !std::isfinite(fraction))
        return false;
    std::lock_guard<std::mutex> model(modelMutex);
    const size_t p = size_t(pedal);
    const uint8_t axis = calibration_.channel[p];
    if (axis > Z)
        return false;
    const double neutral = calibration_.neutral[p];
    const double full = calibration_.full[p];
    const double raw = neutral + std::clamp(fraction, 0.0, 1.0) * (full - neutral);
    held[axis] = true;
    heldRaw[axis] = static_cast<uint32_t>(std::llround(std::clamp(raw, 0.0, 4294967295.0)));
    return true;
}

bool SimPedals::pressChannel(int axis, double fraction)
{
    if (axis < X || axis > Z || !std::isfinite(fraction))
        return false;
    std::lock_guard<std::mutex> model(modelMutex);
    const size_t a = size_t(axis);
    const double raw = restRawLocked(a) + std::clamp(fraction, 0.0, 1.0) * travelLocked(a);
    held[a] = true;
    heldRaw[a] = static_cast<uint32_t>(std::llround(std::clamp(raw, 0.0, 4294967295.0)));
    return true;
}

void SimPedals::releaseChannel(int axis)
{
    if (axis < X || axis > Z)
        return;
    std::lock_guard<std::mutex> model(modelMutex);
    held[size_t(axis)] = false;
}

bool SimPedals::isConnected(int axis) const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return axis >= X && axis <= Z && connected[size_t(axis)];
}

bool SimPedals::isHeld(int axis) const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return axis >= X && axis <= Z && held[size_t(axis)];
}

void SimPedals::setConnected(int axis, bool isConnected)
{
    if (axis < X || axis > Z)
        return;
    std::lock_guard<std::mutex> model(modelMutex);
    connected[size_t(axis)] = isConnected;
}

void SimPedals::releasePedals()
{
    std::lock_guard<std::mutex> model(modelMutex);
    held = {};
}

uint32_t SimPedals::raw(int axis) const
{
    if (axis < X || axis > Z)
        return 0;
    std::lock_guard<std::mutex> model(modelMutex);
    return rawLocked(axis, uptimeSeconds());
}

uint32_t SimPedals::restRawLocked(size_t axis) const
{
    for (size_t p = 0; p < 3; ++p)
        if (calibration_.channel[p] == axis)
            return calibration_.neutral[p];
    return RawMidpoint + 1200; // a sensor at rest that no pedal is assigned to
}

double SimPedals::travelLocked(size_t axis) const
{
    for (size_t p = 0; p < 3; ++p) {
        if (calibration_.channel[p] != axis)
            continue;
        const double span = double(calibration_.full[p]) - double(calibration_.neutral[p]);
        // A calibration too short to tell pressed from released is no guide.
        if (std::fabs(span) >= 5000)
            return span;
    }
    return DefaultTravel;
}

uint32_t SimPedals::rawLocked(int axis, double seconds) const
{
    const size_t a = size_t(axis);
    if (!connected[a])
        return RawMidpoint; // an open input reads the converter's midpoint
    if (held[a])
        return heldRaw[a];
    if (calibrating)
        return restRawLocked(a); // the wizard watches for the one pedal it asks for
    for (size_t p = 0; p < 3; ++p) {
        if (calibration_.channel[p] != axis)
            continue;
        const double travel = (1.0 - std::cos(2 * Pi * seconds / 6.0 + 2.0 * double(p))) / 2;
        const double neutral = calibration_.neutral[p];
        const double raw = neutral + travel * (double(calibration_.full[p]) - neutral);
        return static_cast<uint32_t>(std::llround(std::clamp(raw, 0.0, 4294967295.0)));
    }
    return restRawLocked(a);
}

uint16_t SimPedals::positionLocked(int axis, uint32_t raw) const
{
    if (!connected[size_t(axis)])
        return 0;
    const auto p =
        size_t(std::find(calibration_.channel.begin(), calibration_.channel.end(), uint8_t(axis)) -
               calibration_.channel.begin());
    if (p >= 3)
        return 0;
    const double neutral = calibration_.neutral[p];
    const double span = double(calibration_.full[p]) - neutral;
    if (span == 0)
        return 0; // an unfinished calibration maps nothing
    const double travel = std::clamp((double(raw) - neutral) / span, 0.0, 1.0);
    double output = travel;
    if (active.currentIndex < active.count()) {
        const uint8_t* curve =
            active.records[active.currentIndex].data() + CurveOffset + CurvePoints * p;
        const double x = travel * (CurvePoints - 1);
        const size_t segment = std::min(size_t(x), CurvePoints - 2);
        const double a = std::min<int>(curve[segment], 100);
        const double b = std::min<int>(curve[segment + 1], 100);
        output = (a + (b - a) * (x - double(segment))) / 100.0;
    }
    return static_cast<uint16_t>(std::lround(std::clamp(output, 0.0, 1.0) * 65535));
}

void SimPedals::fillJoystickReport(uint8_t* report, uint64_t)
{
    std::lock_guard<std::mutex> model(modelMutex);
    const double seconds = uptimeSeconds();
    report[0] = JoystickReportId;
    uint8_t* debug = report + 7;
    putU32(debug, static_cast<uint32_t>(std::llround(seconds * 1000)));
    for (int axis = X; axis <= Z; ++axis) {
        const uint32_t raw = rawLocked(axis, seconds);
        putU16(report + 1 + 2 * axis, positionLocked(axis, raw));
        putU32(debug + 4 + 4 * axis, raw);
        debug[16 + axis] = connected[size_t(axis)] ? 1 : 0;
    }
}

void SimPedals::handleKindCommand(const Report& command)
{
    Report response = answer(command[1]);
    switch (command[1]) {
    case Command::ReadCalibration: {
        const auto bytes = calibration().bytes();
        std::copy(bytes.begin(), bytes.end(), response.begin() + 3);
        break;
    }
    case Command::SaveCalibration: {
        // Kept as sent: the wizard decides what is sound, and a channel
        // outside X to Z simply maps nothing.
        const auto stored = SimPedalsCalibration::fromBytes(&command[3]);
        setCalibration(stored);
        const auto bytes = stored.bytes();
        std::copy(bytes.begin(), bytes.end(), response.begin() + 3);
        break;
    }
    case Command::StartCalibration: {
        std::lock_guard<std::mutex> model(modelMutex);
        calibrating = true;
        break;
    }
    case Command::StopCalibration: {
        std::lock_guard<std::mutex> model(modelMutex);
        calibrating = false;
        return; // not answered
    }
    default:
        return;
    }
    reply(std::move(response));
}

} // namespace orvsim
