#pragma once

#include "OrvUsbDeviceInfo.h"
#include "OrvUsbPedalsJoystickUpdate.h"
#include "OrvUsbPedalsProfileV2.h"
#include "PedalsCalibration.h"
#include "PedalsCalibrationState.h"
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
    static constexpr int UpdateDelayMs = 250;
    static constexpr int CalibrationRetryIntervalMs = 1000;

    UsbDeviceOrvPedals(QString path, hid_device* device);

    void handleReport(OrvUsbReport* report, uint64_t readTimeMicros) override;

    void addProfile();
    void removeCurrentProfile();
    void replaceCurrentProfile(const OrvUsbPedalsProfileV2& profile);

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
    void loadSettings();
    void saveSettings();
    void updateSettings();
    void resetToFactoryDefaults();

private slots:
    void sendUpdateBegin();

private:
    void handleReadSettingsAnswer(const uint8_t* report);
    int answeredIndex(const uint8_t* report) const;
    void sendProfileCommand(UsbCommand code, int slot);
    void sendListCommand(UsbCommand code, bool begin);
};
