#pragma once

// The pedals page: live pedal bars, and the response curves and force
// adjustments of the current pedals profile. Every edit writes its field of
// the current profile in place and schedules an update on the pedals;
// showing a profile fills the controls.

#include "FieldBinding.h"
#include "PedalBars.h"
#include "ProfilePage.h"

#include <QtGlobal>

#include <array>
#include <cstdint>

namespace Ui {
class ORV_wheel_tool;
}
class CalibrationWizard;
class QDoubleSpinBox;
class QLabel;
class QSlider;
class QWidget;
class UsbDeviceOrvPedals;
struct OrvUsbPedalsJoystickUpdate;

// In the order of the pedals' records: clutch (X), brake (Y), throttle (Z).
enum class Pedal
{
    Clutch,
    Brake,
    Throttle,
};

// One row of the binding table each, in record order.
enum class PedalsField
{
    ClutchMaxForce,
    BrakeMaxForce,
    ThrottleMaxForce,
    ClutchMinForce,
    BrakeMinForce,
    ThrottleMinForce,
    ClutchCurve0,
    ClutchCurve1,
    ClutchCurve2,
    ClutchCurve3,
    ClutchCurve4,
    ClutchCurve5,
    BrakeCurve0,
    BrakeCurve1,
    BrakeCurve2,
    BrakeCurve3,
    BrakeCurve4,
    BrakeCurve5,
    ThrottleCurve0,
    ThrottleCurve1,
    ThrottleCurve2,
    ThrottleCurve3,
    ThrottleCurve4,
    ThrottleCurve5,
    Count
};

class PedalsPage : public ProfilePage
{
public:
    static constexpr int CurvePoints = 6;
    static const std::array<FieldBinding, size_t(PedalsField::Count)> Bindings;

    // The wizard takes the joystick records while a calibration runs.
    PedalsPage(Ui::ORV_wheel_tool& ui, CalibrationWizard& wizard);

    void setDevice(UsbDeviceOrvPedals* pedals) { this->pedals = pedals; }

    // A control of the table changed: a curve slider to value, a force box
    // to value tenths of a percent.
    void edit(PedalsField field, int value);
    // A force box's edit is done: its value goes through edit().
    void forceEdited(PedalsField field);
    // Back to the linear curve, through the sliders as a user would.
    void resetCurve(Pedal pedal);
    void showProfile(int index) override;

    // Every joystick record of the pedals: the bars show the latest
    // positions, or the wizard's during a calibration run.
    void joystickUpdate(const OrvUsbPedalsJoystickUpdate& update);
    // Shows the clutch, brake and throttle positions at once (65535 fully
    // pressed).
    void drawPedals(uint16_t x, uint16_t y, uint16_t z);
    // The page has just been brought up for loaded pedals.
    void pageShown();

    // How many joystick records the page took (for measuring).
    quint64 records() const { return recordCount; }

private:
    static PedalsField curveField(Pedal pedal, int point);
    uint8_t* currentRecord() const;
    int stored(PedalsField field) const;
    QSlider* slider(PedalsField field) const;
    QDoubleSpinBox* spinBox(PedalsField field) const;
    void editCurvePoint(PedalsField field, int position);
    void editForce(PedalsField field, int tenths);
    void store(PedalsField field, int value);

    Ui::ORV_wheel_tool& ui;
    CalibrationWizard& wizard;
    UsbDeviceOrvPedals* pedals = nullptr;
    std::array<QWidget*, size_t(PedalsField::Count)> controls{};
    std::array<QLabel*, size_t(PedalsField::Count)> labels{};
    PedalBars bars;
    quint64 recordCount = 0;
};
