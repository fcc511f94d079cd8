#include "PedalsPage.h"

#include "CalibrationWizard.h"
#include "PageRules.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "ui_ORV_wheel_tool.h"

#include <QDoubleSpinBox>
#include <QSlider>

#include <algorithm>
#include <cstddef>

namespace {

using P = OrvUsbPedalsProfileV2;
using F = PedalsField;

constexpr FieldBinding force(const char* control, size_t offset)
{
    return {control, EditSignal::EditingFinished, offset, 2, false, nullptr, LabelStyle::None};
}

constexpr FieldBinding point(const char* control, size_t curve, size_t i, const char* label)
{
    return {control, EditSignal::ValueChanged, curve + i, 1, false, label, LabelStyle::Percent};
}

constexpr int LinearStep = 20; // the default curve: 0, 20, 40, 60, 80, 100

} // namespace

const std::array<FieldBinding, size_t(PedalsField::Count)> PedalsPage::Bindings = {{
    force("spinBox_clutchMaxForceAdjustment", offsetof(P, clutchMaxForce)),
    force("spinBox_brakeMaxForceAdjustment", offsetof(P, brakeMaxForce)),
    force("spinBox_throttleMaxForceAdjustment", offsetof(P, throttleMaxForce)),
    force("spinBox_clutchMinForceAdjustment", offsetof(P, clutchMinForce)),
    force("spinBox_brakeMinForceAdjustment", offsetof(P, brakeMinForce)),
    force("spinBox_throttleMinForceAdjustment", offsetof(P, throttleMinForce)),
    point("slider_clutch_0", offsetof(P, clutchCurve), 0, "slider_clutchValue_0"),
    point("slider_clutch_1", offsetof(P, clutchCurve), 1, "slider_clutchValue_1"),
    point("slider_clutch_2", offsetof(P, clutchCurve), 2, "slider_clutchValue_2"),
    point("slider_clutch_3", offsetof(P, clutchCurve), 3, "slider_clutchValue_3"),
    point("slider_clutch_4", offsetof(P, clutchCurve), 4, "slider_clutchValue_4"),
    point("slider_clutch_5", offsetof(P, clutchCurve), 5, "slider_clutchValue_5"),
    point("slider_brake_0", offsetof(P, brakeCurve), 0, "slider_brakeValue_0"),
    point("slider_brake_1", offsetof(P, brakeCurve), 1, "slider_brakeValue_1"),
    point("slider_brake_2", offsetof(P, brakeCurve), 2, "slider_brakeValue_2"),
    point("slider_brake_3", offsetof(P, brakeCurve), 3, "slider_brakeValue_3"),
    point("slider_brake_4", offsetof(P, brakeCurve), 4, "slider_brakeValue_4"),
    point("slider_brake_5", offsetof(P, brakeCurve), 5, "slider_brakeValue_5"),
    point("slider_throttle_0", offsetof(P, throttleCurve), 0, "slider_throttleValue_0"),
    point("slider_throttle_1", offsetof(P, throttleCurve), 1, "slider_throttleValue_1"),
    point("slider_throttle_2", offsetof(P, throttleCurve), 2, "slider_throttleValue_2"),
    point("slider_throttle_3", offsetof(P, throttleCurve), 3, "slider_throttleValue_3"),
    point("slider_throttle_4", offsetof(P, throttleCurve), 4, "slider_throttleValue_4"),
    point("slider_throttle_5", offsetof(P, throttleCurve), 5, "slider_throttleValue_5"),
}};

PedalsPage::PedalsPage(Ui::ORV_wheel_tool& ui, CalibrationWizard& wizard)
    : ui(ui), wizard(wizard), bars(ui)
{
    for (size_t i = 0; i < Bindings.size(); ++i) {
        controls[i] = ui.centralWidget->findChild<QWidget*>(QLatin1String(Bindings[i].control));
        if (Bindings[i].label)
            labels[i] = ui.centralWidget->findChild<QLabel*>(QLatin1String(Bindings[i].label));
    }
}

PedalsField PedalsPage::curveField(Pedal pedal, int point)
{
    return PedalsField(int(F::ClutchCurve0) + CurvePoints * int(pedal) + point);
}

uint8_t* PedalsPage::currentRecord() const
{
    if (!pedals || pedals->currentProfileIndex >= UsbDeviceOrvPedals::MaxProfiles)
        return nullptr;
    return reinterpret_cast<uint8_t*>(&pedals->profiles[pedals->currentProfileIndex]);
}

int PedalsPage::stored(PedalsField field) const
{
    return readField(currentRecord(), Bindings[size_t(field)]);
}

QSlider* PedalsPage::slider(PedalsField field) const
{
    return static_cast<QSlider*>(controls[size_t(field)]);
}

QDoubleSpinBox* PedalsPage::spinBox(PedalsField field) const
{
    return static_cast<QDoubleSpinBox*>(controls[size_t(field)]);
}

void PedalsPage::store(PedalsField field, int value)
{
    storeField(currentRecord(), Bindings[size_t(field)], value);
    pedals->updateSettings();
}

void PedalsPage::edit(PedalsField field, int value)
{
    if (!currentRecord())
        return;
    if (field >= F::ClutchCurve0)
        editCurvePoint(field, value);
    else
        editForce(field, value);
}

void PedalsPage::forceEdited(PedalsField field)
{
    edit(field, qRound(spinBox(field)->value() * 10));
}

void PedalsPage::editCurvePoint(PedalsField field, int position)
{
    const int offset = int(field) - int(F::ClutchCurve0);
    const PedalsField first = PedalsField(int(field) - offset % CurvePoints);
    uint8_t points[CurvePoints];
    for (int i = 0; i < CurvePoints; ++i)
        points[i] = uint8_t(stored(PedalsField(int(first) + i)));

    const pagerules::CurvePointEdit edit =
        pagerules::clampCurvePoint(points, offset % CurvePoints, position);
    if (!edit.store) {
        // Comes back here with that value: stored then, or left as it is.
        slider(field)->setValue(edit.value);
        return;
    }
    labels[size_t(field)]->setText(pagerules::percentLabel(position));
    store(field, position);
}

void PedalsPage::editForce(PedalsField field, int tenths)
{
    const int value = pagerules::forceFromTenths(std::clamp(tenths, 0, 1000));
    const bool isMaximum = field <= F::ThrottleMaxForce;
    const int other = stored(PedalsField(int(field) + (isMaximum ? 3 : -3)));
    // The maximum stays at least 10 above the minimum.
    if ((isMaximum ? value - other : other - value) <= 9) {
        spinBox(field)->setValue(pagerules::forcePercent(uint16_t(stored(field))));
        return;
    }
    store(field, value);
}

void PedalsPage::resetCurve(Pedal pedal)
{
    if (!currentRecord())
        return;
    // The second, descending pass repairs points the neighbour rule held
    // back in the first.
    static constexpr int Order[] = {0, 5, 1, 2, 3, 4, 3, 2, 1};
    for (int i : Order)
        slider(curveField(pedal, i))->setValue(LinearStep * i);

    // Points stored out of order or above 100 can hold the passes back for
    // good; the default curve is in order, so it is then stored whole.
    bool linear = true;
    for (int i = 0; i < CurvePoints; ++i)
        linear = linear && stored(curveField(pedal, i)) == LinearStep * i;
    if (linear)
        return;
    for (int i = 0; i < CurvePoints; ++i) {
        labels[size_t(curveField(pedal, i))]->setText(pagerules::percentLabel(LinearStep * i));
        store(curveField(pedal, i), LinearStep * i);
    }
    for (int i = 0; i < CurvePoints; ++i)
        slider(curveField(pedal, i))->setValue(LinearStep * i);
}

void PedalsPage::showProfile(int index)
{
    if (!pedals || index < 0 || index >= pedals->profileCount ||
        index >= UsbDeviceOrvPedals::MaxProfiles)
        return;
    pedals->currentProfileIndex = uint8_t(index);
    static constexpr PedalsField Forces[][2] = {
        {F::ThrottleMaxForce, F::ThrottleMinForce},
        {F::BrakeMaxForce, F::BrakeMinForce},
        {F::ClutchMaxForce, F::ClutchMinForce},
    };
    int row = 0;
    for (Pedal pedal : {Pedal::Throttle, Pedal::Brake, Pedal::Clutch}) {
        for (int i = 0; i < CurvePoints; ++i) {
            const PedalsField field = curveField(pedal, i);
            labels[size_t(field)]->setText(pagerules::percentLabel(stored(field)));
            // Its slot stores the value again, under the neighbour rule.
            slider(field)->setValue(stored(field));
        }
        for (PedalsField field : Forces[row++])
            spinBox(field)->setValue(pagerules::shownForcePercent(uint16_t(stored(field))));
    }
}

void PedalsPage::joystickUpdate(const OrvUsbPedalsJoystickUpdate& update)
{
    ++recordCount;
    if (const std::optional<uint16_t> calibrating = wizard.joystickUpdate(update))
        bars.takeMiddle(*calibrating);
    else
        bars.take(update.xAxis, update.yAxis, update.zAxis);
}

void PedalsPage::drawPedals(uint16_t x, uint16_t y, uint16_t z)
{
    bars.draw(x, y, z);
}

void PedalsPage::pageShown()
{
    ui.pedalsCalibrationTipsLabel->setText(QStringLiteral(" "));
    ui.pedalsCalibrationPrevStepButton->setEnabled(false);
    ui.pedalsCalibrationNextStepButton->setEnabled(false);
    bars.clearLabels();
    ui.tabPedalsWidget->setCurrentIndex(0);
}
