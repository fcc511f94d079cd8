#include "CalibrationWizard.h"

#include "PageRules.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "ui_ORV_wheel_tool.h"
#include "window/Dialogs.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ORV_wheel_tool", text);
}

} // namespace

CalibrationWizard::CalibrationWizard(Ui::ORV_wheel_tool& ui, QWidget* dialogParent)
    : ui(ui), dialogParent(dialogParent)
{}

void CalibrationWizard::setDevice(UsbDeviceOrvPedals* device)
{
    // Pedals that stop being current (still there, or on their way out) do
    // not stay in calibration mode with no one to end it.
    if (pedals && pedals != device && pedals->calibrationState.active) {
        pedals->calibrationState.active = 0;
        pedals->stopCalibration();
    }
    pedals = device;
    calibrationRawValue = 0;
    showIdle();
    ui.pedalsCalibrationButton->setEnabled(true);
}

void CalibrationWizard::showCalibrationLayout(bool calibrating)
{
    ui.labelClutch->setText(calibrating ? QString() : tr("Clutch"));
    ui.labelBrake->setText(calibrating ? QString() : tr("Brake"));
    ui.labelThrottle->setText(calibrating ? QString() : tr("Throttle"));
    for (QWidget* w :
         {static_cast<QWidget*>(ui.pedalClutch), static_cast<QWidget*>(ui.labelClutchValue),
          static_cast<QWidget*>(ui.pedalThrottle), static_cast<QWidget*>(ui.labelThrottleValue)})
        w->setVisible(!calibrating);
}

void CalibrationWizard::showIdle()
{
    ui.pedalsCalibrationNextStepButton->setEnabled(false);
    ui.pedalsCalibrationPrevStepButton->setEnabled(false);
    ui.pedalsCalibrationButton->setText(tr("Start calibration"));
    ui.pedalsCalibrationNextStepButton->setText(tr("Next step"));
    ui.pedalsCalibrationTipsLabel->setText(QStringLiteral(" "));
    showCalibrationLayout(false);
}

void CalibrationWizard::startOrCancel()
{
    if (!pedals)
        return;
    if (!pedals->calibrationState.active) {
        // Starting: the run begins when the pedals confirm calibration mode.
        ui.pedalsCalibrationButton->setEnabled(false);
        ui.pedalsCalibrationTipsLabel->setText(tr("Starting calibration process"));
        pedals->startCalibration();
        showCalibrationLayout(true);
        return;
    }
    showIdle();
    ui.pedalsCalibrationButton->setEnabled(true);
    pedals->calibrationState.active = 0;
    pedals->stopCalibration();
}

void CalibrationWizard::calibrationStarted()
{
    // A repeated confirmation (the start is sent again while unanswered)
    // must not throw a run in progress back to its first step.
    if (!pedals || pedals->calibrationState.active)
        return;
    PedalsCalibrationState& state = pedals->calibrationState;
    ui.pedalsCalibrationButton->setText(tr("Cancel calibration"));
    ui.pedalsCalibrationNextStepButton->setEnabled(true);
    state.active = 1;
    state.step = 0;
    state.working.clutchChannel = PedalsCalibration::NoChannel;
    state.working.brakeChannel = PedalsCalibration::NoChannel;
    state.working.throttleChannel = PedalsCalibration::NoChannel;
    ui.pedalsCalibrationTipsLabel->setText(state.stepText());
    ui.pedalsCalibrationButton->setEnabled(true);
}

void CalibrationWizard::calibrationSaved()
{
    // Only a run ends by it: a late repeat of the confirmation would
    // otherwise start a new calibration.
    if (!pedals || !pedals->calibrationState.active)
        return;
    ui.pedalsCalibrationNextStepButton->setText(tr("Next step"));
    startOrCancel();
}

void CalibrationWizard::warn(const QString& title, const QString& text)
{
    Dialogs::warning(dialogParent, title, text);
}

void CalibrationWizard::nextStep()
{
    if (!pedals || !pedals->calibrationState.active)
        return;
    PedalsCalibrationState& state = pedals->calibrationState;
    const int step = state.step;
    if (step == PedalsCalibrationState::SaveStep) {
        ui.pedalsCalibrationButton->setEnabled(false);
        ui.pedalsCalibrationNextStepButton->setEnabled(false);
        ui.pedalsCalibrationPrevStepButton->setEnabled(false);
        ui.pedalsCalibrationTipsLabel->setText(tr("Saving calibration."));
        pedals->stopCalibration();
        pedals->saveCalibration();
        return;
    }

    bool valueOk = step == 0;
    bool channelOk = true;
    if (step == 1 || step == 3 || step == 5) {
        valueOk = state.recordRawValue(calibrationRawValue);
        channelOk = state.assignChannel(state.detectedChannel);
    } else if (step == 2 || step == 4 || step == 6) {
        valueOk = state.recordRawValue(calibrationRawValue);
    }
    // The step stays; after a box nothing here touches the pedals again.
    if (!valueOk) {
        warn(tr("Wrong value"), tr("Min and Max values are the same. Have you pressed a pedal?"));
        return;
    }
    if (!channelOk) {
        warn(tr("Wrong channel"), tr("This pedal is already in use. Please, choose another one."));
        return;
    }

    if (state.nextStep() == PedalsCalibrationState::SaveStep)
        ui.pedalsCalibrationNextStepButton->setText(tr("Save calibration"));
    else
        ui.pedalsCalibrationPrevStepButton->setEnabled(true);
    ui.pedalsCalibrationTipsLabel->setText(state.stepText());
}

void CalibrationWizard::previousStep()
{
    if (!pedals || !pedals->calibrationState.active)
        return;
    PedalsCalibrationState& state = pedals->calibrationState;
    if (state.previousStep() != 0)
        ui.pedalsCalibrationNextStepButton->setText(tr("Next step"));
    else
        ui.pedalsCalibrationPrevStepButton->setEnabled(false);
    ui.pedalsCalibrationTipsLabel->setText(state.stepText());
}

std::optional<uint16_t> CalibrationWizard::joystickUpdate(const OrvUsbPedalsJoystickUpdate& update)
{
    if (!pedals || !pedals->calibrationState.active)
        return std::nullopt;
    PedalsCalibrationState& state = pedals->calibrationState;
    const OrvUsbPedalsDebugOutput& d = update.debugOutput;
    const uint32_t raw[3] = {d.xRaw, d.yRaw, d.zRaw};
    const uint16_t axis[3] = {update.xAxis, update.yAxis, update.zAxis};
    const uint8_t connected[3] = {d.xConnected, d.yConnected, d.zConnected};

    uint16_t shown = 0;
    switch (state.step) {
    case 0:
        // Counted, not summed: a connected byte other than 1 is still one
        // pedal.
        state.pedalCount = 0;
        for (int channel = 0; channel < 3; ++channel) {
            state.restRaw[channel] = raw[channel];
            state.pedalCount += connected[channel] != 0 ? 1 : 0;
        }
        break;
    case 1:
    case 3:
    case 5:
        state.detectedChannel = pagerules::movedChannel(raw, state.restRaw, connected);
        if (state.detectedChannel < 3) {
            calibrationRawValue = raw[state.detectedChannel];
            shown = axis[state.detectedChannel];
        }
        break;
    case 2:
    case 4:
    case 6:
        if (state.detectedChannel < 3) {
            calibrationRawValue = raw[state.detectedChannel];
            shown = axis[state.detectedChannel];
        }
        break;
    default:
        break;
    }
    return shown;
}
