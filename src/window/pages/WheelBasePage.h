#pragma once

// The wheel base settings page: every control writes its field of the
// current profile in place and schedules an update on the device; showing a
// profile fills them all.

#include "FieldBinding.h"
#include "ProfilePage.h"

#include <array>

namespace Ui {
class ORV_wheel_tool;
}
class QLabel;
class QWidget;
class RimView;
class UsbDeviceOrvWheelBase;

// One row of the binding table each, in the order of the table.
enum class WheelBaseField
{
    MaxForce,
    Damping,
    Friction,
    Inertia,
    Spring,
    SmoothingSlider,
    SmoothingCombo,
    DampingEffect,
    FrictionEffect,
    InertiaEffect,
    SpringEffect,
    StaticForceReduction,
    NonLinearity,
    SlewRate,
    EndStopMaxForce,
    EndStopStiffness,
    SoftEndStopDegrees,
    SoftEndStopEnabled,
    RotationDegrees,
    EncoderType,
    EncoderResolution,
    Count
};

class WheelBasePage : public ProfilePage
{
public:
    static const std::array<FieldBinding, size_t(WheelBaseField::Count)> Bindings;

    WheelBasePage(Ui::ORV_wheel_tool& ui, RimView& rim);

    void setDevice(UsbDeviceOrvWheelBase* wheelBase) { this->wheelBase = wheelBase; }

    // A control of the table changed to value (an index for combo boxes,
    // 0 or 1 for the check box).
    void edit(WheelBaseField field, int value);
    void showProfile(int index) override;
    void centerRim();
    // The page has just been brought up for a loaded wheel base.
    void pageShown();

private:
    uint8_t* currentRecord() const;
    int stored(WheelBaseField field) const;
    // Sets the control as a user would, so its own slot runs on a change.
    void setControl(WheelBaseField field, int value);
    void scheduleUpdate();

    Ui::ORV_wheel_tool& ui;
    RimView& rim;
    UsbDeviceOrvWheelBase* wheelBase = nullptr;
    std::array<QWidget*, size_t(WheelBaseField::Count)> controls{};
    std::array<QLabel*, size_t(WheelBaseField::Count)> labels{};
};
