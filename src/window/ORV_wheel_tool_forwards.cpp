// The named slots of the pages: each forwards to the page that owns the
// behaviour.

#include "ORV_wheel_tool.h"

#include "pages/FirmwareUpdateFlow.h"
#include "pages/ProfileRow.h"
#include "pages/RimView.h"
#include "pages/WheelBasePage.h"

using F = WheelBaseField;

void ORV_wheel_tool::onJoystickUpdate(UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update, uint64_t)
{
    rimView->joystickUpdate(*update);
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
    wheelBasePage->outputModuloToggled(checked);
}
