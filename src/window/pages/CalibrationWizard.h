#pragma once

// The pedals calibration wizard below the pedal bars: step by step it finds
// which channel carries the throttle, the brake and the clutch, takes each
// pedal's pressed and released raw readings, and stores the result on the
// pedals. The run's state lives with the pedals (their calibrationState), so
// the wizard and the device share one calibration record; the wizard keeps
// the widgets and the latest raw reading of the channel found moving.

#include <QPointer>

#include <cstdint>
#include <optional>

namespace Ui {
class ORV_wheel_tool;
}
class QString;
class QWidget;
class UsbDeviceOrvPedals;
struct OrvUsbPedalsJoystickUpdate;

class CalibrationWizard
{
public:
    CalibrationWizard(Ui::ORV_wheel_tool& ui, QWidget* dialogParent);

    // The pedals the wizard serves, null for none. A run on the previous
    // pedals ends there, and the bars go back to their normal layout.
    void setDevice(UsbDeviceOrvPedals* pedals);

    // The three buttons: start or cancel, next step (or save), previous step.
    void startOrCancel();
    void nextStep();
    void previousStep();
    // The pedals confirmed calibration mode, or the stored calibration.
    void calibrationStarted();
    void calibrationSaved();

    // A joystick record of the pedals, while a run is on: the position of
    // the pedal being calibrated, which the middle bar shows. Nothing when
    // no run is on.
    std::optional<uint16_t> joystickUpdate(const OrvUsbPedalsJoystickUpdate& update);

private:
    void warn(const QString& title, const QString& text);
    // Only the middle bar shows the pedal being calibrated during a run.
    void showCalibrationLayout(bool calibrating);
    void showIdle();

    Ui::ORV_wheel_tool& ui;
    QWidget* const dialogParent;
    QPointer<UsbDeviceOrvPedals> pedals;
    uint32_t calibrationRawValue = 0;
};
