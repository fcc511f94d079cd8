#pragma once

// Simulated three-pedal set (protocol 4): up to 40 profiles of 47 bytes, a
// calibration record, calibration mode, and a joystick stream of the three
// channel positions with their raw readings. A channel's position follows
// from its raw reading through the calibration of the pedal wired to it and
// that pedal's response curve in the current profile.

#include "SimFirmwareDevice.h"
#include "SimPedalsCalibration.h"

#include <array>

namespace orvsim {

class SimPedals : public SimFirmwareDevice
{
public:
    static constexpr int ProtocolVersion = 4;
    static constexpr size_t RecordSize = 47;
    static constexpr size_t Capacity = 40;
    static constexpr size_t CountByte = 10;
    // A 24-bit bipolar converter: readings sit around its midpoint.
    static constexpr uint32_t RawMidpoint = 8388608;
    // Full travel of a sensor that no calibrated pedal is assigned to.
    static constexpr uint32_t DefaultTravel = 2800000;

    enum Pedal
    {
        Clutch,
        Brake,
        Throttle,
    };
    enum Axis
    {
        X,
        Y,
        Z,
    };

    SimPedals(const std::string& busDir, const std::string& stem,
              const std::string& serial = "PD0001");
    ~SimPedals() override;

    static vhid::DeviceInfo defaultInfo(const std::string& serial);
    static SimPedalsCalibration factoryCalibration();

    SimPedalsCalibration calibration() const;
    void setCalibration(const SimPedalsCalibration& calibration);
    bool isCalibrating() const;

    // Holds a channel at a raw reading until released. Channels not held
    // press and release their pedal slowly, each out of step with the
    // others, except in calibration mode: there they rest, so that only the
    // pedal being driven moves.
    void setRaw(int axis, uint32_t raw);
    // Holds the pedal's channel at the reading its calibration maps to
    // fraction (0 at rest, 1 at full travel); false when it has no channel.
    bool setPedalPosition(int pedal, double fraction);
    // Presses whatever pedal is on the channel, by fraction of its travel
    // from the channel's rest reading; false for no such channel.
    bool pressChannel(int axis, double fraction);
    // Lets go of the channel: it rests in calibration mode, moves on its own
    // otherwise.
    void releaseChannel(int axis);
    void setConnected(int axis, bool connected);
    bool isConnected(int axis) const;
    bool isHeld(int axis) const;
    void releasePedals();
    uint32_t raw(int axis) const;

protected:
    SimProfileList::Record factoryProfile(int index) const override;
    void restoreKindDefaults() override;
    void startKind() override;
    void handleKindCommand(const Report& command) override;
    bool answersEnterBootloader() const override { return true; }
    void fillJoystickReport(uint8_t* report, uint64_t sequence) override;

private:
    uint32_t rawLocked(int axis, double seconds) const;
    uint32_t restRawLocked(size_t axis) const;
    double travelLocked(size_t axis) const;
    uint16_t positionLocked(int axis, uint32_t raw) const;

    // modelMutex
    SimPedalsCalibration calibration_;
    bool calibrating = false;
    std::array<bool, 3> held{};
    std::array<uint32_t, 3> heldRaw{};
    std::array<bool, 3> connected{true, true, true};
};

} // namespace orvsim
