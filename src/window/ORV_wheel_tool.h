#pragma once

#include "devices/OrvUsbWheelBaseDebugOutput.h"
#include "devices/OrvUsbWheelBaseJoystickUpdate.h"
#include "devices/OrvUsbWheelBaseProfileV5.h"
#include "usb/UsbManager.h"

#include <QFile>
#include <QMainWindow>
#include <QPixmap>
#include <QString>

#include <cstdint>

namespace Ui {
class ORV_wheel_tool;
}
class QProgressDialog;
class UsbDevice;
class UsbDeviceOrvBootloader;
class UsbDeviceOrvPedals;
class UsbDeviceOrvWheelBase;

// The tool's only window: the device list, the current device's page and the
// buttons that act on it. Its behaviour is split over one source file per
// page behaviour; the widgets come from the designer form.
class ORV_wheel_tool : public QMainWindow
{
    Q_OBJECT

public:
    explicit ORV_wheel_tool(QWidget* parent = nullptr);
    ~ORV_wheel_tool() override;

    // The rim angle in whole degrees for an axis value and rotation range:
    // half the range to each side, integer arithmetic truncating toward 0.
    static int rimAngle(int16_t axisValue, int32_t rotationDegrees);

    // How often the rim was redrawn and its pixmap rebuilt (for measuring).
    quint64 rimRedraws() const { return rimRedrawCount; }
    quint64 rimRebuilds() const { return rimRebuildCount; }

private slots:
    void resetProgressDialog();
    void setUiEnabled(bool isEnabled);
    void onDeviceConnected(UsbDevice* device);
    void onDeviceDisconnected(UsbDevice* device);
    void onJoystickUpdate(UsbDevice* device, OrvUsbWheelBaseJoystickUpdate* update,
                          uint64_t readTimeMicros);
    void drawWheel(int16_t axis_value);
    void onSettingsLoaded(UsbDevice* device);
    void onSettingsLoadFailed(UsbDevice* device, QString message);

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
    void on_comboBox_ProfileName_activated(int index);
    void on_pushButton_AddProfile_clicked();
    void on_pushButton_RemoveProfile_clicked();
    void on_spinBox_RotationDegree_valueChanged(int arg1);
    void on_comboBox_EncoderType_activated(int index);
    void on_spinBox_EncoderRes_valueChanged(int arg1);
    void on_comboBox_ProfileName_currentTextChanged(QString arg1);
    void on_comboBox_UsbDevice_currentIndexChanged(int index);
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

private:
    // The wheel base's current profile, or null when no wheel base is shown.
    OrvUsbWheelBaseProfileV5* currentWheelBaseProfile() const;
    void scheduleWheelBaseUpdate();
    void showWheelBaseProfile(int index);
    void connectDevice();
    void disconnectDevice();

    Ui::ORV_wheel_tool* ui;
    QProgressDialog* progressDialog = nullptr;
    UsbManager usbManager;
    UsbDevice* currentDevice = nullptr;
    UsbDeviceOrvBootloader* bootloader = nullptr;
    UsbDeviceOrvWheelBase* wheelBase = nullptr;
    UsbDeviceOrvPedals* pedals = nullptr;

    // Rim display: the last value and angle shown, and when.
    int16_t lastAxisValue = 0;
    int16_t lastRimAngle = 0;
    bool rimDrawn = false;
    uint32_t lastUiUpdateMs = 0;
    QPixmap rimSource;
    quint64 rimRedrawCount = 0;
    quint64 rimRebuildCount = 0;

    // Telemetry logging.
    uint64_t lastLogTime = 0;
    uint32_t logRecordCounter = 0;
    QFile logFile;
};
