#pragma once

// Simulated direct-drive wheel base (protocol 6): up to 100 profiles of 54
// bytes, rim centring from the current wheel position, test commands, and a
// joystick stream of the steering position with telemetry in one of three
// layouts.

#include "SimFirmwareDevice.h"

#include <atomic>

namespace orvsim {

class SimWheelBase : public SimFirmwareDevice
{
public:
    static constexpr int ProtocolVersion = 6;
    static constexpr size_t RecordSize = 54;
    static constexpr size_t Capacity = 100;
    static constexpr size_t CountByte = 42;
    static constexpr size_t DebugOutputSize = 48;

    // Byte offsets in a profile record.
    enum ProfileField : size_t
    {
        Name = 1,
        CenterOffset = 17,
        RotationDegrees = 21,
        EncoderType = 25,
        EncoderResolution = 26,
        MaxForce = 30,
    };

    SimWheelBase(const std::string& busDir, const std::string& stem,
                 const std::string& serial = "WB0001");
    ~SimWheelBase() override;

    static vhid::DeviceInfo defaultInfo(const std::string& serial);

    // The rim's angle in turns from the encoder's zero. Held where set until
    // released; a released rim swings slowly to either side.
    void setWheelPosition(double turns);
    void releaseWheel();
    double wheelPosition() const;

    // What joystick reports carry after the steering axis: 1 telemetry
    // (the default), 2 force samples, 3 a motor control trace.
    void setTelemetryLayout(int layout);
    // Sends the current telemetry as an unsolicited debug output response.
    void sendDebugOutput();
    // The telemetry record as the device would send it now.
    std::vector<uint8_t> debugOutput() const;

    // Set by the test commands.
    float testForce() const { return testForce_; }
    bool brakeResistorOn() const { return brakeResistor; }

protected:
    SimProfileList::Record factoryProfile(int index) const override;
    void fillSettingsAnswer(Report& answer) const override;
    void startKind() override;
    void handleKindCommand(const Report& command) override;
    void fillJoystickReport(uint8_t* report, uint64_t sequence) override;

private:
    struct Motion
    {
        double seconds;    // since the application started
        double position;   // turns
        double fromCenter; // half the rotation range is 1
        double force;      // the game's force, -1 to 1
        double applied;    // after the profile's strength and the test force
    };
    Motion motion() const; // locked
    void fillDebugOutput(uint8_t* out, const Motion& m) const;
    void centerRim(const Report& command);
    void testCommand(const Report& command);

    std::atomic<int> layout{1};
    std::atomic<float> testForce_{0.0f};
    std::atomic<bool> brakeResistor{false};
    // modelMutex
    bool held = false;
    double heldPosition = 0;
};

} // namespace orvsim
