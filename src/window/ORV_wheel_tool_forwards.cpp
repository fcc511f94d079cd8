// The named slots of the pages: each forwards to the page that owns the
// behaviour.

#include "ORV_wheel_tool.h"

#include "pages/CalibrationWizard.h"
#include "pages/GamesKeyRow.h"
#include "pages/PedalsPage.h"
#include "pages/FirmwareUpdateFlow.h"
#include "pages/ProfileRow.h"
#include "pages/RimView.h"
#include "pages/TelemetryPanel.h"
#include "pages/WheelBasePage.h"
#include "ui_ORV_wheel_tool.h"

using F = WheelBaseField;
using P = PedalsField;

void ORV_wheel_tool::onJoystickUpdate(UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update,
                                      uint64_t readTimeMicros)
{
    telemetryPanel->wheelBaseJoystickUpdate(*update, readTimeMicros);
}

void ORV_wheel_tool::onDebugOutput(UsbDevice*, OrvUsbWheelBaseDebugOutput* debugOutput, uint64_t)
{
    telemetryPanel->showWheelBaseDebug(*debugOutput);
}

void ORV_wheel_tool::onLogDebugOutput(UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update,
                                      uint64_t readTimeMicros)
{
    telemetryPanel->logWheelBase(*update, readTimeMicros);
}

void ORV_wheel_tool::onPedalsJoystickUpdate(UsbDevice*, OrvUsbPedalsJoystickUpdate* update,
                                            uint64_t readTimeMicors)
{
    telemetryPanel->pedalsJoystickUpdate(*update, readTimeMicors);
}

void ORV_wheel_tool::onPedalsCalibrationSave()
{
    calibrationWizard->calibrationSaved();
}

void ORV_wheel_tool::onPedalsDebugOutput(UsbDevice*, OrvUsbPedalsDebugOutput* debugOutput, uint64_t)
{
    telemetryPanel->showPedalsDebug(*debugOutput);
}

void ORV_wheel_tool::onPedalsLogDebugOutput(UsbDevice*, OrvUsbPedalsJoystickUpdate* update,
                                            uint64_t readTimeMicros)
{
    telemetryPanel->logPedals(*update, readTimeMicros);
}

void ORV_wheel_tool::onFirmwareUpdateStarted(int chunks)
{
    firmwareFlow->started(chunks);
}

void ORV_wheel_tool::onFirmwareUpdateProgress(int currentChunk)
{
    firmwareFlow->progress(currentChunk);
}

void ORV_wheel_tool::onFirmwareUpdateCompleted(UsbDevice*)
{
    firmwareFlow->completed();
}

void ORV_wheel_tool::onFirmwareUpdateFailed(UsbDevice*, QString errorMessage)
{
    firmwareFlow->failed(errorMessage);
}

void ORV_wheel_tool::drawWheel(int16_t axis_value)
{
    rimView->drawWheel(axis_value);
}

void ORV_wheel_tool::drawPedals(uint16_t x, uint16_t y, uint16_t z)
{
    pedalsPage->drawPedals(x, y, z);
}

void ORV_wheel_tool::onCalibrationStarted()
{
    calibrationWizard->calibrationStarted();
}

void ORV_wheel_tool::on_pushButton_CenterRim_clicked()
{
    wheelBasePage->centerRim();
}

void ORV_wheel_tool::on_horiSlider_Force_valueChanged(int value)
{
    wheelBasePage->edit(F::MaxForce, value);
}

void ORV_wheel_tool::on_horiSlider_Damping_valueChanged(int value)
{
    wheelBasePage->edit(F::Damping, value);
}

void ORV_wheel_tool::on_horiSlider_Friction_valueChanged(int value)
{
    wheelBasePage->edit(F::Friction, value);
}

void ORV_wheel_tool::on_horiSlider_Inertia_valueChanged(int value)
{
    wheelBasePage->edit(F::Inertia, value);
}

void ORV_wheel_tool::on_horiSlider_Spring_valueChanged(int value)
{
    wheelBasePage->edit(F::Spring, value);
}

void ORV_wheel_tool::on_horiSlider_GenSmooth_valueChanged(int value)
{
    wheelBasePage->edit(F::SmoothingSlider, value);
}

void ORV_wheel_tool::on_comboBox_DampingEffect_activated(int index)
{
    wheelBasePage->edit(F::DampingEffect, index);
}

void ORV_wheel_tool::on_comboBox_FrictionEffect_activated(int index)
{
    wheelBasePage->edit(F::FrictionEffect, index);
}

void ORV_wheel_tool::on_comboBox_InertiaEffect_activated(int index)
{
    wheelBasePage->edit(F::InertiaEffect, index);
}

void ORV_wheel_tool::on_comboBox_SpringEffect_activated(int index)
{
    wheelBasePage->edit(F::SpringEffect, index);
}

void ORV_wheel_tool::on_pushButton_UpdateFirmware_clicked()
{
    firmwareFlow->chooseImage();
}

void ORV_wheel_tool::on_comboBox_ProfileName_activated(int index)
{
    profileRow->activate(index);
}

void ORV_wheel_tool::on_pushButton_AddProfile_clicked()
{
    profileRow->addProfile();
}

void ORV_wheel_tool::on_pushButton_RemoveProfile_clicked()
{
    profileRow->removeProfile();
}

void ORV_wheel_tool::on_spinBox_RotationDegree_valueChanged(int arg1)
{
    wheelBasePage->edit(F::RotationDegrees, arg1);
}

void ORV_wheel_tool::on_comboBox_EncoderType_activated(int index)
{
    wheelBasePage->edit(F::EncoderType, index);
}

void ORV_wheel_tool::on_spinBox_EncoderRes_valueChanged(int arg1)
{
    wheelBasePage->edit(F::EncoderResolution, arg1);
}

void ORV_wheel_tool::on_comboBox_ProfileName_currentTextChanged(QString arg1)
{
    profileRow->rename(arg1);
}

void ORV_wheel_tool::on_pushButtonLogging_clicked(QPushButton* button)
{
    telemetryPanel->loggingClicked(button);
}

void ORV_wheel_tool::on_pushButton_LoggingWheelBase_clicked()
{
    on_pushButtonLogging_clicked(ui->pushButton_LoggingWheelBase);
}

void ORV_wheel_tool::on_pedalsCalibrationButton_clicked()
{
    calibrationWizard->startOrCancel();
}

void ORV_wheel_tool::on_pedalsCalibrationNextStepButton_clicked()
{
    calibrationWizard->nextStep();
}

void ORV_wheel_tool::on_pedalsCalibrationPrevStepButton_clicked()
{
    calibrationWizard->previousStep();
}

void ORV_wheel_tool::on_slider_throttle_0_valueChanged(int position)
{
    pedalsPage->edit(P::ThrottleCurve0, position);
}

void ORV_wheel_tool::on_slider_throttle_1_valueChanged(int position)
{
    pedalsPage->edit(P::ThrottleCurve1, position);
}

void ORV_wheel_tool::on_slider_throttle_2_valueChanged(int position)
{
    pedalsPage->edit(P::ThrottleCurve2, position);
}

void ORV_wheel_tool::on_slider_throttle_3_valueChanged(int position)
{
    pedalsPage->edit(P::ThrottleCurve3, position);
}

void ORV_wheel_tool::on_slider_throttle_4_valueChanged(int position)
{
    pedalsPage->edit(P::ThrottleCurve4, position);
}

void ORV_wheel_tool::on_slider_throttle_5_valueChanged(int position)
{
    pedalsPage->edit(P::ThrottleCurve5, position);
}

void ORV_wheel_tool::on_slider_brake_0_valueChanged(int position)
{
    pedalsPage->edit(P::BrakeCurve0, position);
}

void ORV_wheel_tool::on_slider_brake_1_valueChanged(int position)
{
    pedalsPage->edit(P::BrakeCurve1, position);
}

void ORV_wheel_tool::on_slider_brake_2_valueChanged(int position)
{
    pedalsPage->edit(P::BrakeCurve2, position);
}

void ORV_wheel_tool::on_slider_brake_3_valueChanged(int position)
{
    pedalsPage->edit(P::BrakeCurve3, position);
}

void ORV_wheel_tool::on_slider_brake_4_valueChanged(int position)
{
    pedalsPage->edit(P::BrakeCurve4, position);
}

void ORV_wheel_tool::on_slider_brake_5_valueChanged(int position)
{
    pedalsPage->edit(P::BrakeCurve5, position);
}

void ORV_wheel_tool::on_slider_clutch_0_valueChanged(int position)
{
    pedalsPage->edit(P::ClutchCurve0, position);
}

void ORV_wheel_tool::on_slider_clutch_1_valueChanged(int position)
{
    pedalsPage->edit(P::ClutchCurve1, position);
}

void ORV_wheel_tool::on_slider_clutch_2_valueChanged(int position)
{
    pedalsPage->edit(P::ClutchCurve2, position);
}

void ORV_wheel_tool::on_slider_clutch_3_valueChanged(int position)
{
    pedalsPage->edit(P::ClutchCurve3, position);
}

void ORV_wheel_tool::on_slider_clutch_4_valueChanged(int position)
{
    pedalsPage->edit(P::ClutchCurve4, position);
}

void ORV_wheel_tool::on_slider_clutch_5_valueChanged(int position)
{
    pedalsPage->edit(P::ClutchCurve5, position);
}

void ORV_wheel_tool::on_spinBox_throttleMaxForceAdjustment_editingFinished()
{
    pedalsPage->forceEdited(P::ThrottleMaxForce);
}

void ORV_wheel_tool::on_spinBox_brakeMaxForceAdjustment_editingFinished()
{
    pedalsPage->forceEdited(P::BrakeMaxForce);
}

void ORV_wheel_tool::on_spinBox_clutchMaxForceAdjustment_editingFinished()
{
    pedalsPage->forceEdited(P::ClutchMaxForce);
}

void ORV_wheel_tool::on_spinBox_throttleMinForceAdjustment_editingFinished()
{
    pedalsPage->forceEdited(P::ThrottleMinForce);
}

void ORV_wheel_tool::on_spinBox_brakeMinForceAdjustment_editingFinished()
{
    pedalsPage->forceEdited(P::BrakeMinForce);
}

void ORV_wheel_tool::on_spinBox_clutchMinForceAdjustment_editingFinished()
{
    pedalsPage->forceEdited(P::ClutchMinForce);
}

void ORV_wheel_tool::on_pushButton_throttleToDefault_clicked()
{
    pedalsPage->resetCurve(Pedal::Throttle);
}

void ORV_wheel_tool::on_pushButton_brakeToDefault_clicked()
{
    pedalsPage->resetCurve(Pedal::Brake);
}

void ORV_wheel_tool::on_pushButton_clutchToDefault_clicked()
{
    pedalsPage->resetCurve(Pedal::Clutch);
}

void ORV_wheel_tool::on_horizontalSlider_StaticForceReduction_valueChanged(int value)
{
    wheelBasePage->edit(F::StaticForceReduction, value);
}

void ORV_wheel_tool::on_horizontalSlider_NonLinearity_valueChanged(int value)
{
    wheelBasePage->edit(F::NonLinearity, value);
}

void ORV_wheel_tool::on_horizontalSlider_EndStopMaxForce_valueChanged(int value)
{
    wheelBasePage->edit(F::EndStopMaxForce, value);
}

void ORV_wheel_tool::on_horizontalSlider_EndStopStiffness_valueChanged(int value)
{
    wheelBasePage->edit(F::EndStopStiffness, value);
}

void ORV_wheel_tool::on_checkBox_SoftEndStop_toggled(bool checked)
{
    wheelBasePage->edit(F::SoftEndStopEnabled, checked ? 1 : 0);
}

void ORV_wheel_tool::on_pushButton_SaveProfileToFile_clicked()
{
    profileRow->saveToFile();
}

void ORV_wheel_tool::on_pushButton_LoadProfileFromFile_clicked()
{
    profileRow->loadFromFile();
}

void ORV_wheel_tool::on_comboBox_SlewRate_currentIndexChanged(int index)
{
    wheelBasePage->edit(F::SlewRate, index);
}

void ORV_wheel_tool::on_comboBox_GenSmooth_currentIndexChanged(int index)
{
    wheelBasePage->edit(F::SmoothingCombo, index);
}

void ORV_wheel_tool::on_spinBox_SoftEndStop_valueChanged(int value)
{
    wheelBasePage->edit(F::SoftEndStopDegrees, value);
}

void ORV_wheel_tool::on_checkBox_outputModulo_toggled(bool checked)
{
    telemetryPanel->outputModuloToggled(checked);
}

void ORV_wheel_tool::on_pushButton_LoggingPedals_clicked()
{
    on_pushButtonLogging_clicked(ui->pushButton_LoggingPedals);
}

void ORV_wheel_tool::on_pushButtonGamesCompatibilityKey_clicked()
{
    gamesKeyRow->toggle();
}
