#pragma once

#include "OrvUsbDeviceInfo.h"
#include "OrvUsbPedalsJoystickUpdate.h"
#include "OrvUsbPedalsProfileV2.h"
#include "PedalsCalibration.h"
#include "PedalsCalibrationState.h"
#include "ProfileListStepper.h"
#include "UsbDevice.h"

#include <QTimer>

// The three-pedal set: its profile list and calibration, calibration mode
// for the wizard, and the joystick records it streams.
class UsbDeviceOrvPedals : public UsbDevice
{
    Q_OBJECT

public:
    static constexpr uint8_t ProtocolVersion = 4;
    static constexpr int MaxProfiles = 40;
    static constexpr int UpdateDelayMs = ProfileListStepper::UpdateDelayMs;
    static constexpr int CalibrationRetryIntervalMs = 1000;

    UsbDeviceOrvPedals(QString path, hid_device* device);

    void handleReport(OrvUsbReport* report, uint64_t readTimeMicros) override;

    void addProfile() { list.addProfile(profiles); }
    void removeCurrentProfile() { list.removeCurrentProfile(profiles); }
    void replaceCurrentProfile(const OrvUsbPedalsProfileV2& profile)
    {
        list.replaceCurrentProfile(profiles, profile);
    }

    // The settings block: count, current index, calibration, device
    // information and the list, back to back.
    uint8_t profileCount = 0;
    uint8_t currentProfileIndex = 0;
    PedalsCalibration calibration = {};
    OrvUsbDeviceInfo deviceInfo = {};
    OrvUsbPedalsProfileV2 profiles[MaxProfiles] = {};
    QTimer updateTimer;
    bool settingsLoaded = false;
    PedalsCalibrationState calibrationState;

signals:
    void onJoystickUpdate(UsbDevice* device, OrvUsbPedalsJoystickUpdate* update,
                          uint64_t readTimeMicros);
    void onCalibrationSave();
    void onCalibrationStarted();
    void onSettingsLoaded(UsbDevice* device);
    void onSettingsLoadFailed(UsbDevice* device, QString message);

public slots:
    void enterBootloader();
    void loadCalibration();
    void saveCalibration();
    void startCalibration();
    void stopCalibration();
    void loadSettings() { list.beginRead(); }
    void saveSettings() { list.beginSave(); }
    void updateSettings() { list.scheduleUpdate(settingsLoaded); }
    void resetToFactoryDefaults() { sendFactoryDefaults(ProtocolVersion); }

private:
    void handleResponse(uint8_t* report);
    void handleReadSettingsAnswer(const uint8_t* report);

    ProfileListStepper list;
};
