#pragma once

#include "devices/OrvUsbPedalsJoystickUpdate.h"
#include "devices/OrvUsbWheelBaseDebugOutput.h"
#include "devices/OrvUsbWheelBaseJoystickUpdate.h"
#include "usb/UsbManager.h"

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>

namespace Ui {
class ORV_wheel_tool;
}
class AccessNotice;
class GamesKeyRow;
class CalibrationWizard;
class FirmwareUpdateFlow;
class PedalsPage;
class ProfileDevice;
class ProfileRow;
class QPushButton;
class RimView;
class TelemetryLog;
class TelemetryPanel;
class UsbDevice;
class UsbDeviceOrvBootloader;
class UsbDeviceOrvPedals;
class UsbDeviceOrvWheelBase;
class WheelBasePage;

// The tool's only window: the device list, the current device, page
// switching and the buttons that act on the device. What each page does
// lives in its page class; the named slots (bound to the form by name, in
// this order) forward to them.
class ORV_wheel_tool : public QMainWindow
{
    Q_OBJECT

public:
    explicit ORV_wheel_tool(QWidget* parent = nullptr);
    ~ORV_wheel_tool() override;

    // How often the rim was redrawn and its pixmap rebuilt (for measuring).
    quint64 rimRedraws() const;
    quint64 rimRebuilds() const;
    // How many pedals joystick records the pedals page took (for measuring).
    quint64 pedalRecords() const;
    // The telemetry log behind the logging buttons (for measuring).
    const TelemetryLog& telemetryLog() const;

private slots:
    void resetProgressDialog();
    void setUiEnabled(bool isEnabled);
    void onDeviceConnected(UsbDevice* device);
    void onDeviceDisconnected(UsbDevice* device);
    void onJoystickUpdate(UsbDevice* device, OrvUsbWheelBaseJoystickUpdate* update,
                          uint64_t readTimeMicros);
    void onDebugOutput(UsbDevice* device, OrvUsbWheelBaseDebugOutput* debugOutput,
                       uint64_t readTimeMicros);
    void onLogDebugOutput(UsbDevice* device, OrvUsbWheelBaseJoystickUpdate* update,
                          uint64_t readTimeMicros);
    void onPedalsJoystickUpdate(UsbDevice* device, OrvUsbPedalsJoystickUpdate* update,
                                uint64_t readTimeMicors);
    void onPedalsCalibrationSave();
    void onPedalsDebugOutput(UsbDevice* device, OrvUsbPedalsDebugOutput* debugOutput,
                             uint64_t readTimeMicros);
    void onPedalsLogDebugOutput(UsbDevice* device, OrvUsbPedalsJoystickUpdate* update,
                                uint64_t readTimeMicros);
    void onFirmwareUpdateStarted(int chunks);
    void onFirmwareUpdateProgress(int currentChunk);
    void onFirmwareUpdateCompleted(UsbDevice* device);
    void onFirmwareUpdateFailed(UsbDevice* device, QString errorMessage);
    void drawWheel(int16_t axis_value);
    void drawPedals(uint16_t x, uint16_t y, uint16_t z);
    void onSettingsLoaded(UsbDevice* device);
    void onSettingsLoadFailed(UsbDevice* device, QString message);
    void onCalibrationStarted();

    void on_pushButton_CenterRim_clicked();
    void on_horiSlider_Force_valueChanged(int value);
    void on_horiSlider_Damping_valueChanged(int value);
    void on_horiSlider_Friction_valueChanged(int value);
    void on_horiSlider_Inertia_valueChanged(int value);
    void on_horiSlider_Spring_valueChanged(int value);
    void on_horiSlider_GenSmooth_valueChanged(int value);
    void on_comboBox_DampingEffect_activated(int index);
    void on_comboBox_FrictionEffect_activated(int index);
    void on_comboBox_InertiaEffect_activated(int index);
    void on_comboBox_SpringEffect_activated(int index);
    void on_pushButton_SaveConfig_clicked();
    void on_pushButton_LoadConfig_clicked();
    void on_pushButton_SetDefaultConfig_clicked();
    void on_pushButton_EnterExitBootloader_clicked();
    void on_pushButton_UpdateFirmware_clicked();
    void on_comboBox_ProfileName_activated(int index);
    void on_pushButton_AddProfile_clicked();
    void on_pushButton_RemoveProfile_clicked();
    void on_spinBox_RotationDegree_valueChanged(int arg1);
    void on_comboBox_EncoderType_activated(int index);
    void on_spinBox_EncoderRes_valueChanged(int arg1);
    void on_comboBox_ProfileName_currentTextChanged(QString arg1);
    void on_comboBox_UsbDevice_currentIndexChanged(int index);
    // Named like the others but matching no widget: the two below call it.
    void on_pushButtonLogging_clicked(QPushButton* button);
    void on_pushButton_LoggingWheelBase_clicked();
    void on_pedalsCalibrationButton_clicked();
    void on_pedalsCalibrationNextStepButton_clicked();
    void on_pedalsCalibrationPrevStepButton_clicked();
    void on_slider_throttle_0_valueChanged(int position);
    void on_slider_throttle_1_valueChanged(int position);
    void on_slider_throttle_2_valueChanged(int position);
    void on_slider_throttle_3_valueChanged(int position);
    void on_slider_throttle_4_valueChanged(int position);
    void on_slider_throttle_5_valueChanged(int position);
    void on_slider_brake_0_valueChanged(int position);
    void on_slider_brake_1_valueChanged(int position);
    void on_slider_brake_2_valueChanged(int position);
    void on_slider_brake_3_valueChanged(int position);
    void on_slider_brake_4_valueChanged(int position);
    void on_slider_brake_5_valueChanged(int position);
    void on_slider_clutch_0_valueChanged(int position);
    void on_slider_clutch_1_valueChanged(int position);
    void on_slider_clutch_2_valueChanged(int position);
    void on_slider_clutch_3_valueChanged(int position);
    void on_slider_clutch_4_valueChanged(int position);
    void on_slider_clutch_5_valueChanged(int position);
    void on_spinBox_throttleMaxForceAdjustment_editingFinished();
    void on_spinBox_brakeMaxForceAdjustment_editingFinished();
    void on_spinBox_clutchMaxForceAdjustment_editingFinished();
    void on_spinBox_throttleMinForceAdjustment_editingFinished();
    void on_spinBox_brakeMinForceAdjustment_editingFinished();
    void on_spinBox_clutchMinForceAdjustment_editingFinished();
    void on_pushButton_throttleToDefault_clicked();
    void on_pushButton_brakeToDefault_clicked();
    void on_pushButton_clutchToDefault_clicked();
    void on_horizontalSlider_StaticForceReduction_valueChanged(int value);
    void on_horizontalSlider_NonLinearity_valueChanged(int value);
    void on_horizontalSlider_EndStopMaxForce_valueChanged(int value);
    void on_horizontalSlider_EndStopStiffness_valueChanged(int value);
    void on_checkBox_SoftEndStop_toggled(bool checked);
    void on_pushButton_SaveProfileToFile_clicked();
    void on_pushButton_LoadProfileFromFile_clicked();
    void on_comboBox_SlewRate_currentIndexChanged(int index);
    void on_comboBox_GenSmooth_currentIndexChanged(int index);
    void on_spinBox_SoftEndStop_valueChanged(int value);
    void on_checkBox_outputModulo_toggled(bool checked);
    void on_pushButton_LoggingPedals_clicked();
    void on_pushButtonGamesCompatibilityKey_clicked(); // stays the last slot

private:
    void connectDevice();
    void disconnectDevice();

    Ui::ORV_wheel_tool* ui;
    // The firmware update flow; it holds the progress dialog.
    std::unique_ptr<FirmwareUpdateFlow> firmwareFlow;
    UsbManager usbManager;
    UsbDevice* currentDevice = nullptr;
    UsbDeviceOrvBootloader* bootloader = nullptr;
    UsbDeviceOrvWheelBase* wheelBase = nullptr;
    UsbDeviceOrvPedals* pedals = nullptr;
    // The current wheel base or pedals, seen through their profile list.
    std::unique_ptr<ProfileDevice> profileDevice;

    // Built once the form exists; no named slot runs before that.
    std::unique_ptr<RimView> rimView;
    std::unique_ptr<WheelBasePage> wheelBasePage;
    std::unique_ptr<CalibrationWizard> calibrationWizard;
    std::unique_ptr<PedalsPage> pedalsPage;
    std::unique_ptr<ProfileRow> profileRow;
    std::unique_ptr<AccessNotice> accessNotice;
    std::unique_ptr<GamesKeyRow> gamesKeyRow;
    std::unique_ptr<TelemetryPanel> telemetryPanel;
};
