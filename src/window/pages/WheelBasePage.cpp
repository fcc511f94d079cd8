#include "WheelBasePage.h"

#include "PageRules.h"
#include "RimView.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "ui_ORV_wheel_tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QSpinBox>

#include <cstddef>

namespace {

using P = OrvUsbWheelBaseProfileV5;

constexpr EditSignal Value = EditSignal::ValueChanged;
constexpr EditSignal Activated = EditSignal::Activated;
constexpr EditSignal IndexChanged = EditSignal::CurrentIndexChanged;
constexpr EditSignal Toggled = EditSignal::Toggled;

constexpr FieldBinding field(const char* control, EditSignal signal, size_t offset, size_t width,
                             bool isSigned, const char* label = nullptr,
                             LabelStyle style = LabelStyle::None)
{
    return {control, signal, offset, width, isSigned, label, style};
}

} // namespace

// Ranges come from the form; 8-bit fields take the low byte of the value.
const std::array<FieldBinding, size_t(WheelBaseField::Count)> WheelBasePage::Bindings = {{
    field("horiSlider_Force", Value, offsetof(P, maxForce), 4, true, "label_Force",
          LabelStyle::Percent),
    field("horiSlider_Damping", Value, offsetof(P, damping), 1, true, "label_Damping",
          LabelStyle::Percent),
    field("horiSlider_Friction", Value, offsetof(P, friction), 1, true, "label_Friction",
          LabelStyle::Percent),
    field("horiSlider_Inertia", Value, offsetof(P, inertia), 1, true, "label_Inertia",
          LabelStyle::Percent),
    field("horiSlider_Spring", Value, offsetof(P, spring), 1, true, "label_Spring",
          LabelStyle::Percent),
    field("horiSlider_GenSmooth", Value, offsetof(P, generalSmoothing), 1, true, "label_GenSmooth",
          LabelStyle::Number),
    field("comboBox_GenSmooth", IndexChanged, offsetof(P, generalSmoothing), 1, true),
    field("comboBox_DampingEffect", Activated, offsetof(P, dampingEffect), 1, false),
    field("comboBox_FrictionEffect", Activated, offsetof(P, frictionEffect), 1, false),
    field("comboBox_InertiaEffect", Activated, offsetof(P, inertiaEffect), 1, false),
    field("comboBox_SpringEffect", Activated, offsetof(P, springEffect), 1, false),
    field("horizontalSlider_StaticForceReduction", Value, offsetof(P, staticForceReduction), 1,
          true, "label_StaticForceReduction", LabelStyle::Percent),
    field("horizontalSlider_NonLinearity", Value, offsetof(P, nonLinearity), 1, true,
          "label_NonLinearity", LabelStyle::Number),
    field("comboBox_SlewRate", IndexChanged, offsetof(P, slewRate), 1, false),
    field("horizontalSlider_EndStopMaxForce", Value, offsetof(P, endStopMaxForce), 1, true,
          "label_EndStopMaxForce", LabelStyle::Percent),
    field("horizontalSlider_EndStopStiffness", Value, offsetof(P, endStopStiffness), 1, true,
          "label_EndStopStiffness", LabelStyle::Number),
    field("spinBox_SoftEndStop", Value, offsetof(P, softEndStopDegrees), 4, true),
    field("checkBox_SoftEndStop", Toggled, offsetof(P, softEndStopEnabled), 1, false),
    field("spinBox_RotationDegree", Value, offsetof(P, rotationDegrees), 4, true),
    field("comboBox_EncoderType", Activated, offsetof(P, encoderType), 1, false),
    field("spinBox_EncoderRes", Value, offsetof(P, encoderResolution), 4, true),
}};

WheelBasePage::WheelBasePage(Ui::ORV_wheel_tool& ui, RimView& rim) : ui(ui), rim(rim)
{
    for (size_t i = 0; i < Bindings.size(); ++i) {
        controls[i] = ui.centralWidget->findChild<QWidget*>(QLatin1String(Bindings[i].control));
        if (Bindings[i].label)
            labels[i] = ui.centralWidget->findChild<QLabel*>(QLatin1String(Bindings[i].label));
    }
}

uint8_t* WheelBasePage::currentRecord() const
{
    if (!wheelBase || wheelBase->currentProfileIndex >= UsbDeviceOrvWheelBase::MaxProfiles)
        return nullptr;
    return reinterpret_cast<uint8_t*>(&wheelBase->profiles[wheelBase->currentProfileIndex]);
}

int WheelBasePage::stored(WheelBaseField field) const
{
    return readField(currentRecord(), Bindings[size_t(field)]);
}

void WheelBasePage::scheduleUpdate()
{
    wheelBase->updateSettings();
}

void WheelBasePage::setControl(WheelBaseField field, int value)
{
    QWidget* control = controls[size_t(field)];
    if (auto* slider = qobject_cast<QSlider*>(control))
        slider->setValue(value);
    else if (auto* spinBox = qobject_cast<QSpinBox*>(control))
        spinBox->setValue(value);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(value);
    else if (auto* check = qobject_cast<QCheckBox*>(control))
        check->setChecked(value != 0);
}

void WheelBasePage::edit(WheelBaseField field, int value)
{
    uint8_t* record = currentRecord();
    if (!record)
        return;
    const FieldBinding& binding = Bindings[size_t(field)];

    if (field == WheelBaseField::EndStopMaxForce && value < stored(WheelBaseField::MaxForce)) {
        // The end stops are never weaker than the force: snap back.
        setControl(field, stored(WheelBaseField::EndStopMaxForce));
        return;
    }
    if (field == WheelBaseField::SoftEndStopEnabled) {
        ui.spinBox_SoftEndStop->setEnabled(value != 0);
        value = value != 0 ? 1 : 0;
    }

    if (QLabel* label = labels[size_t(field)])
        label->setText(binding.style == LabelStyle::Percent ? pagerules::percentLabel(value)
                                                            : pagerules::numberLabel(value));
    storeField(record, binding, value);
    scheduleUpdate();

    // Raising the force drags the end stop force up with it.
    if (field == WheelBaseField::MaxForce && value > stored(WheelBaseField::EndStopMaxForce))
        setControl(WheelBaseField::EndStopMaxForce, value);
}

void WheelBasePage::showProfile(int index)
{
    if (!wheelBase || index < 0 || index >= wheelBase->profileCount ||
        index >= UsbDeviceOrvWheelBase::MaxProfiles)
        return;
    wheelBase->currentProfileIndex = uint8_t(index);
    using F = WheelBaseField;
    // Sets the control and then runs its slot, so the label is right even
    // when the value did not change.
    auto setAndEdit = [this](F field, int value) {
        setControl(field, value);
        edit(field, value);
    };

    ui.label_CenterOffsetDeg->setText(
        pagerules::centerOffsetLabel(wheelBase->profiles[index].centerOffset));
    setControl(F::EncoderType, stored(F::EncoderType));
    setControl(F::EncoderResolution, stored(F::EncoderResolution));
    setControl(F::RotationDegrees, stored(F::RotationDegrees));
    setAndEdit(F::MaxForce, stored(F::MaxForce));
    setAndEdit(F::SmoothingSlider, stored(F::SmoothingSlider));
    ui.horiSlider_GenSmooth->hide();
    ui.label_GenSmooth->hide();
    for (F f : {F::Damping, F::Friction, F::Inertia, F::Spring})
        setAndEdit(f, stored(f));
    for (F f : {F::DampingEffect, F::FrictionEffect, F::InertiaEffect, F::SpringEffect})
        setControl(f, stored(f));
    setAndEdit(F::SmoothingCombo, stored(F::SmoothingCombo));
    setAndEdit(F::StaticForceReduction, stored(F::StaticForceReduction));
    setAndEdit(F::NonLinearity, stored(F::NonLinearity));
    setControl(F::SlewRate, stored(F::SlewRate));
    // Read now: raising the force above may have raised it too.
    setAndEdit(F::EndStopMaxForce, stored(F::EndStopMaxForce));
    setAndEdit(F::EndStopStiffness, stored(F::EndStopStiffness));
    setControl(F::SoftEndStopDegrees, stored(F::SoftEndStopDegrees));

    const bool on = stored(F::SoftEndStopEnabled) == 1;
    ui.spinBox_SoftEndStop->setEnabled(on);
    storeField(currentRecord(), Bindings[size_t(F::SoftEndStopEnabled)], on ? 1 : 0);
    scheduleUpdate();
    ui.checkBox_SoftEndStop->setChecked(on);

    rim.invalidate();
}

void WheelBasePage::centerRim()
{
    if (wheelBase)
        wheelBase->centerRim();
}

void WheelBasePage::pageShown()
{
    ui.tabWidget->setCurrentIndex(0);
}
