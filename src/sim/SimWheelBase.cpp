#include "SimWheelBase.h"

#include "SimProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace orvsim {

namespace {

constexpr double Pi = 3.14159265358979323846;

struct Preset
{
    const char* name;
    int32_t rotationDegrees;
    uint8_t encoderType;
    int32_t encoderResolution;
    int32_t maxForce;
    int8_t smoothing, damping, friction, inertia, spring;
    uint8_t dampingEffect, frictionEffect, inertiaEffect, springEffect;
    int8_t staticForceReduction, nonLinearity;
    uint8_t slewRate;
    int8_t endStopMaxForce, endStopStiffness;
    int32_t softEndStopDegrees;
    uint8_t softEndStopEnabled;
};

// Three presets with visibly different settings, so a test or a user can
// tell them apart after any transfer.
const Preset Presets[] = {
    {"Default", 900, 3, 1 << 22, 50, 1, 1, 0, 0, 0, 2, 2, 2, 1, 0, 0, 1, 60, 3, 900, 1},
    {"GT Endurance", 540, 3, 1 << 22, 65, 7, 8, 4, 3, 0, 2, 2, 2, 1, 10, 2, 0, 80, 4, 540, 1},
    {"Drift", 1080, 3, 1 << 22, 40, 5, 3, 2, 6, 0, 0, 2, 0, 1, 0, 0, 2, 45, 2, 1080, 0},
};

int32_t getI32(const uint8_t* p)
{
    return static_cast<int32_t>(getU32(p));
}

int16_t clampI16(double v)
{
    return static_cast<int16_t>(std::lround(std::clamp(v, -32767.0, 32767.0)));
}

int8_t clampI8(double v)
{
    return static_cast<int8_t>(std::lround(std::clamp(v, -127.0, 127.0)));
}

// Rises towards hot from cold over minutes, like a part under steady load.
uint8_t warming(double cold, double hot, double seconds, double minutes)
{
    return static_cast<uint8_t>(
        std::lround(cold + (hot - cold) * (1.0 - std::exp(-seconds / (60.0 * minutes)))));
}

const SimFirmwareDevice::Product product{0xA355,
                                         "ORV Torvane Pro Wheel Base",
                                         "ORV Torvane Pro Bootloader",
                                         SimDeviceInfo{1, 2, 1, 3, 4, 0x2A, 0},
                                         1,
                                         2};

} // namespace

SimWheelBase::SimWheelBase(const std::string& busDir, const std::string& stem,
                           const std::string& serial)
    : SimFirmwareDevice(busDir, stem, product, serial,
                        Layout{ProtocolVersion, RecordSize, CountByte, Capacity})
{
    restoreFactoryDefaults();
}

SimWheelBase::~SimWheelBase()
{
    shutdown();
}

vhid::DeviceInfo SimWheelBase::defaultInfo(const std::string& serial)
{
    return applicationInfo(product, serial);
}

SimProfileList::Record SimWheelBase::factoryProfile(int index) const
{
    const Preset& p = Presets[index % 3];
    SimProfileList::Record r(RecordSize, 0);
    const std::string name = index < 3 ? p.name : "Profile " + std::to_string(index + 1);
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 15), &r[Name]);
    putF32(&r[CenterOffset], 0.0f);
    putU32(&r[RotationDegrees], uint32_t(p.rotationDegrees));
    r[EncoderType] = p.encoderType;
    putU32(&r[EncoderResolution], uint32_t(p.encoderResolution));
    putU32(&r[MaxForce], uint32_t(p.maxForce));
    const int8_t levels[] = {p.smoothing, p.damping, p.friction, p.inertia, p.spring};
    for (size_t i = 0; i < 5; ++i)
        r[34 + i] = uint8_t(levels[i]);
    r[39] = p.dampingEffect;
    r[40] = p.frictionEffect;
    r[41] = p.inertiaEffect;
    r[42] = p.springEffect;
    r[44] = uint8_t(p.staticForceReduction);
    r[45] = uint8_t(p.nonLinearity);
    r[46] = p.slewRate;
    r[47] = uint8_t(p.endStopMaxForce);
    r[48] = uint8_t(p.endStopStiffness);
    putU32(&r[49], uint32_t(p.softEndStopDegrees));
    r[53] = p.softEndStopEnabled;
    return r;
}

void SimWheelBase::fillSettingsAnswer(Report& answer) const
{
    // Bytes 10 to 41: the board's identification text, which the tool keeps
    // without reading it.
    static const char ident[32] = "TVP-WB HW2.1 DD 20Nm BISS-C";
    std::memcpy(&answer[10], ident, sizeof ident);
}

void SimWheelBase::startKind()
{
    testForce_ = 0.0f;
    brakeResistor = false;
}

void SimWheelBase::setWheelPosition(double turns)
{
    std::lock_guard<std::mutex> model(modelMutex);
    held = std::isfinite(turns);
    heldPosition = held ? turns : 0.0;
}

void SimWheelBase::releaseWheel()
{
    std::lock_guard<std::mutex> model(modelMutex);
    held = false;
}

double SimWheelBase::wheelPosition() const
{
    std::lock_guard<std::mutex> model(modelMutex);
    return motion().position;
}

void SimWheelBase::setTelemetryLayout(int value)
{
    if (value >= 1 && value <= 3)
        layout = value;
}

SimWheelBase::Motion SimWheelBase::motion() const
{
    Motion m{};
    m.seconds = uptimeSeconds();
    m.position = held ? heldPosition : 0.3 * std::sin(2 * Pi * m.seconds / 6.3);
    double center = 0;
    double halfRange = 1.25;
    double strength = 0.5;
    if (active.currentIndex < active.count()) {
        const uint8_t* r = active.records[active.currentIndex].data();
        const float offset = getF32(r + CenterOffset);
        center = std::isfinite(offset) ? offset : 0.0;
        const int32_t degrees = getI32(r + RotationDegrees);
        halfRange = degrees > 0 ? degrees / 720.0 : halfRange;
        strength = std::clamp(getI32(r + MaxForce), 0, 100) / 100.0;
    }
    m.fromCenter = (m.position - center) / halfRange;
    // A game's centring spring with a little road texture on top.
    m.force = std::clamp(-0.6 * std::clamp(2 * m.fromCenter, -1.0, 1.0) +
                             0.05 * std::sin(2 * Pi * 1.7 * m.seconds),
                         -1.0, 1.0);
    const float test = testForce_;
    m.applied = test != 0.0f ? double(test) : m.force * strength;
    return m;
}

void SimWheelBase::fillDebugOutput(uint8_t* out, const Motion& m) const
{
    int32_t resolution = 1 << 22;
    if (active.currentIndex < active.count()) {
        const int32_t r = getI32(active.records[active.currentIndex].data() + EncoderResolution);
        if (r > 0)
            resolution = r;
    }
    const auto counts = static_cast<int64_t>(std::llround(m.position * resolution));
    const double load = std::fabs(m.applied);
    out[0] = 1;
    putU32(out + 1, static_cast<uint32_t>(std::llround(m.seconds * 1000)));
    putU16(out + 5, 4); // running
    putU16(out + 7, 1); // encoder ready
    putF32(out + 9, static_cast<float>(std::fmod(m.position * 360.0, 360.0)));
    putU32(out + 13, static_cast<uint32_t>(counts));
    // In percent, as the force samples and the log's columns have them.
    putF32(out + 17, static_cast<float>(m.force * 100));
    putF32(out + 21, static_cast<float>(m.applied * 100));
    // A 22-bit single-turn position with the two status bits set (no error,
    // no warning), as the encoder frames it.
    putU64(out + 25, ((static_cast<uint64_t>(counts) & 0x3FFFFF) << 2) | 0x3);
    putU32(out + 33, 0);
    putU32(out + 37, 1u << 7); // the undervoltage seen while powering up
    out[41] = 200;             // 20.0 A
    out[42] = uint8_t(clampI8(5 + load * 60));
    out[43] = uint8_t(clampI8(m.applied * 100));
    out[44] = warming(31, 38, m.seconds, 3);
    out[45] = uint8_t(warming(33, 48, m.seconds, 5) + std::lround(load * 4));
    out[46] = brakeResistor ? warming(30, 70, m.seconds, 1) : warming(28, 30, m.seconds, 5);
    out[47] = uint8_t(warming(36, 50, m.seconds, 4) + std::lround(load * 6));
}

std::vector<uint8_t> SimWheelBase::debugOutput() const
{
    std::vector<uint8_t> out(DebugOutputSize, 0);
    std::lock_guard<std::mutex> model(modelMutex);
    fillDebugOutput(out.data(), motion());
    return out;
}

void SimWheelBase::sendDebugOutput()
{
    Report response = answer(Command::DebugOutput);
    const std::vector<uint8_t> out = debugOutput();
    std::copy(out.begin(), out.end(), response.begin() + 3);
    reply(std::move(response));
}

void SimWheelBase::fillJoystickReport(uint8_t* report, uint64_t sequence)
{
    std::lock_guard<std::mutex> model(modelMutex);
    const Motion m = motion();
    report[0] = JoystickReportId;
    putU16(report + 1, uint16_t(clampI16(m.fromCenter * 32767)));
    const int kind = layout;
    report[4] = uint8_t(kind);
    uint8_t* payload = report + 5; // record byte 4
    if (kind == 1) {
        fillDebugOutput(payload, m);
    } else if (kind == 2) {
        // Eleven force samples of the last millisecond, the motor following
        // its command a little late.
        const int samples = 11;
        putU16(payload, uint16_t(clampI16(m.force * 10000)));
        payload[2] = uint8_t(sequence % samples);
        payload[3] = samples;
        for (int i = 0; i < samples; ++i) {
            const double out = m.applied * (1.0 + 0.01 * std::sin(i * 0.6));
            putU16(payload + 4 + 2 * i, uint16_t(clampI16(out * 10000)));
            putU16(payload + 26 + 2 * i, uint16_t(clampI16(out * 9700)));
        }
        putF32(payload + 48, static_cast<float>(m.position));
    } else {
        // A ten-pole-pair motor driven by sine PWM, its linear Hall sensors
        // 120 degrees apart (the third, W, is what U and V leave to zero).
        const double mech = std::fmod(m.position * 360.0 + 360000.0, 360.0);
        const double electrical = std::fmod(mech * 10.0, 360.0);
        const double rad = electrical * Pi / 180.0;
        const double duty = 0.4 * std::clamp(m.applied, -1.0, 1.0);
        const float trace[9] = {
            float(mech),
            float(electrical),
            float(std::fmod(electrical + 0.35, 360.0)),
            float(0.5 + duty * std::sin(rad)),
            float(0.5 + duty * std::sin(rad - 2 * Pi / 3)),
            float(0.5 + duty * std::sin(rad + 2 * Pi / 3)),
            float(std::sin(rad)),
            float(std::sin(rad - 2 * Pi / 3)),
            5.0f, // the Hall sensors' supply
        };
        putU32(payload, static_cast<uint32_t>(std::llround(m.seconds * 1000)));
        for (int i = 0; i < 9; ++i)
            putF32(payload + 4 + 4 * i, trace[i]);
    }
}

void SimWheelBase::handleKindCommand(const Report& command)
{
    if (command[1] == Command::CenterRim)
        centerRim(command);
    else if (command[1] == Command::TestCommand)
        testCommand(command);
}

void SimWheelBase::centerRim(const Report& command)
{
    // The tool sends the profile it shows; the rim's present angle becomes
    // its centre, and the record comes back with it.
    const size_t index = command[3];
    SimProfileList::Record record(command.begin() + 3, command.begin() + 3 + RecordSize);
    {
        std::lock_guard<std::mutex> model(modelMutex);
        if (index >= active.count())
            return;
        putF32(&record[CenterOffset], static_cast<float>(motion().position));
        active.records[index] = record;
    }
    Report response = answer(Command::CenterRim);
    std::copy(record.begin(), record.end(), response.begin() + 3);
    reply(std::move(response));
}

void SimWheelBase::testCommand(const Report& command)
{
    const uint8_t kind = command[3];
    if (kind == 0) {
        const float force = getF32(&command[4]);
        testForce_ = std::isfinite(force) ? std::clamp(force, -1.0f, 1.0f) : 0.0f;
    } else if (kind == 1 || kind == 2) {
        brakeResistor = kind == 1;
    } else {
        return;
    }
    Motion m;
    {
        std::lock_guard<std::mutex> model(modelMutex);
        m = motion();
    }
    // What the test did: the force in effect, the brake resistor, the supply
    // voltage sagging under load and the motor current.
    Report response = answer(Command::TestCommand);
    response[3] = kind;
    putF32(&response[4], testForce_);
    response[8] = brakeResistor ? 1 : 0;
    putF32(&response[9], static_cast<float>(48.0 - std::fabs(m.applied) * 0.8));
    putF32(&response[13], static_cast<float>(m.applied * 20.0));
    reply(std::move(response));
}

} // namespace orvsim
