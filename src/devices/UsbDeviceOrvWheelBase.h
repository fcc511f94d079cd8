#pragma once

#include "OrvUsbDeviceInfo.h"
#include "OrvUsbWheelBaseDebugOutput.h"
#include "OrvUsbWheelBaseJoystickUpdate.h"
#include "OrvUsbWheelBaseProfileV5.h"
#include "OrvUsbWheelBaseTestCommand.h"
#include "ProfileListStepper.h"
#include "UsbDevice.h"

#include <QTimer>

// The force-feedback wheel base: its profile list, read from the device,
// saved to it, and sent live while the user edits; centring, tests, and the
// joystick and telemetry records it streams.
class UsbDeviceOrvWheelBase : public UsbDevice
{
    Q_OBJECT

public:
    static constexpr uint8_t ProtocolVersion = 6;
    static constexpr int MaxProfiles = 100;
    static constexpr int UpdateDelayMs = ProfileListStepper::UpdateDelayMs;

    UsbDeviceOrvWheelBase(QString path, hid_device* device);

    void handleReport(OrvUsbReport* report, uint64_t readTimeMicros) override;

    // List operations; add and remove announce the new list through
    // onSettingsLoaded, replace announces nothing.
    void addProfile() { list.addProfile(profiles); }
    void removeCurrentProfile() { list.removeCurrentProfile(profiles); }
    void replaceCurrentProfile(const OrvUsbWheelBaseProfileV5& profile)
    {
        list.replaceCurrentProfile(profiles, profile);
    }

    uint32_t protocolVersion = 0;
    OrvUsbDeviceInfo deviceInfo = {};
    uint8_t extendedInfo[32] = {};
    // The settings block: count, current index and the list, back to back.
    uint8_t profileCount = 0;
    uint8_t currentProfileIndex = 0;
    OrvUsbWheelBaseProfileV5 profiles[MaxProfiles] = {};
    QTimer updateTimer;
    bool settingsLoaded = false;

signals:
    void onSettingsLoaded(UsbDevice* device);
    void onSettingsLoadFailed(UsbDevice* device, QString message);
    void onSettingsSaved(UsbDevice* device);
    void onJoystickUpdate(UsbDevice* device, OrvUsbWheelBaseJoystickUpdate* update,
                          uint64_t readTimeMicros);
    void onDebugOutput(UsbDevice* device, OrvUsbWheelBaseDebugOutput* output,
                       uint64_t readTimeMicros);
    void onTestCommand(UsbDevice* device, OrvUsbWheelBaseTestCommand* testCommand);

public slots:
    void enterBootloader();
    void loadSettings() { list.beginRead(); }
    void saveSettings() { list.beginSave(); }
    void updateSettings() { list.scheduleUpdate(settingsLoaded); }
    void resetToFactoryDefaults() { sendFactoryDefaults(ProtocolVersion); }
    void centerRim();
    void sendTestForceCommand(float constantForce);
    void sendTestBrakeResistorCommand(bool enabled);

private:
    void handleResponse(uint8_t* report, uint64_t readTimeMicros);
    void handleReadSettingsAnswer(const uint8_t* report);
    void handleCenterRimAnswer(const uint8_t* report);

    ProfileListStepper list;
};
