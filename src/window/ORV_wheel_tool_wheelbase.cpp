// The wheel base settings page: every control writes its field of the current
// profile in place and schedules an update; showing a profile fills them all.

#include "ORV_wheel_tool.h"

#include "devices/UsbDeviceOrvWheelBase.h"
#include "ui_ORV_wheel_tool.h"

namespace {

QString percent(int value)
{
    return QString::number(value) + QLatin1Char('%');
}

} // namespace

OrvUsbWheelBaseProfileV5* ORV_wheel_tool::currentWheelBaseProfile() const
{
    if (!wheelBase || wheelBase->currentProfileIndex >= UsbDeviceOrvWheelBase::MaxProfiles)
        return nullptr;
    return &wheelBase->profiles[wheelBase->currentProfileIndex];
}

void ORV_wheel_tool::scheduleWheelBaseUpdate()
{
    wheelBase->updateSettings();
}

void ORV_wheel_tool::on_horiSlider_Force_valueChanged(int value)
{
    OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile();
    if (!p)
        return;
    ui->label_Force->setText(percent(value));
    p->maxForce = value;
    scheduleWheelBaseUpdate();
    // The end stops are never weaker than the force.
    if (value > p->endStopMaxForce)
        ui->horizontalSlider_EndStopMaxForce->setValue(value);
}

void ORV_wheel_tool::on_horiSlider_Damping_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_Damping->setText(percent(value));
        p->damping = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horiSlider_Friction_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_Friction->setText(percent(value));
        p->friction = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horiSlider_Inertia_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_Inertia->setText(percent(value));
        p->inertia = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horiSlider_Spring_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_Spring->setText(percent(value));
        p->spring = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horiSlider_GenSmooth_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_GenSmooth->setText(QString::number(value));
        p->generalSmoothing = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_GenSmooth_currentIndexChanged(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->generalSmoothing = int8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_DampingEffect_activated(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->dampingEffect = uint8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_FrictionEffect_activated(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->frictionEffect = uint8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_InertiaEffect_activated(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->inertiaEffect = uint8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_SpringEffect_activated(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->springEffect = uint8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horizontalSlider_StaticForceReduction_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_StaticForceReduction->setText(percent(value));
        p->staticForceReduction = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horizontalSlider_NonLinearity_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_NonLinearity->setText(QString::number(value));
        p->nonLinearity = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_SlewRate_currentIndexChanged(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->slewRate = uint8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_horizontalSlider_EndStopMaxForce_valueChanged(int value)
{
    OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile();
    if (!p)
        return;
    if (value < p->maxForce) {
        // Refused: snap back to what is stored.
        ui->horizontalSlider_EndStopMaxForce->setValue(p->endStopMaxForce);
        return;
    }
    ui->label_EndStopMaxForce->setText(percent(value));
    p->endStopMaxForce = int8_t(value);
    scheduleWheelBaseUpdate();
}

void ORV_wheel_tool::on_horizontalSlider_EndStopStiffness_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->label_EndStopStiffness->setText(QString::number(value));
        p->endStopStiffness = int8_t(value);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_checkBox_SoftEndStop_toggled(bool checked)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        ui->spinBox_SoftEndStop->setEnabled(checked);
        p->softEndStopEnabled = checked ? 1 : 0;
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_spinBox_SoftEndStop_valueChanged(int value)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->softEndStopDegrees = value;
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_spinBox_RotationDegree_valueChanged(int arg1)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->rotationDegrees = arg1;
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_comboBox_EncoderType_activated(int index)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->encoderType = uint8_t(index);
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_spinBox_EncoderRes_valueChanged(int arg1)
{
    if (OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile()) {
        p->encoderResolution = arg1;
        scheduleWheelBaseUpdate();
    }
}

void ORV_wheel_tool::on_checkBox_outputModulo_toggled(bool checked)
{
    if (wheelBase)
        ui->spinBox_outputModulo->setEnabled(checked);
}

void ORV_wheel_tool::on_pushButton_CenterRim_clicked()
{
    if (wheelBase)
        wheelBase->centerRim();
}

void ORV_wheel_tool::showWheelBaseProfile(int index)
{
    if (index >= wheelBase->profileCount || index >= UsbDeviceOrvWheelBase::MaxProfiles)
        return;
    wheelBase->currentProfileIndex = uint8_t(index);
    OrvUsbWheelBaseProfileV5* p = &wheelBase->profiles[index];

    const float degrees = p->centerOffset * 360.0f;
    ui->label_CenterOffsetDeg->setText(QString::number(double(degrees), 'f', 2) +
                                       QStringLiteral(" deg"));
    ui->comboBox_EncoderType->setCurrentIndex(p->encoderType);
    ui->spinBox_EncoderRes->setValue(p->encoderResolution);
    ui->spinBox_RotationDegree->setValue(p->rotationDegrees);
    ui->horiSlider_Force->setValue(p->maxForce);
    on_horiSlider_Force_valueChanged(p->maxForce);
    ui->horiSlider_GenSmooth->setValue(p->generalSmoothing);
    on_horiSlider_GenSmooth_valueChanged(p->generalSmoothing);
    ui->horiSlider_GenSmooth->hide();
    ui->label_GenSmooth->hide();
    ui->horiSlider_Damping->setValue(p->damping);
    on_horiSlider_Damping_valueChanged(p->damping);
    ui->horiSlider_Friction->setValue(p->friction);
    on_horiSlider_Friction_valueChanged(p->friction);
    ui->horiSlider_Inertia->setValue(p->inertia);
    on_horiSlider_Inertia_valueChanged(p->inertia);
    ui->horiSlider_Spring->setValue(p->spring);
    on_horiSlider_Spring_valueChanged(p->spring);
    ui->comboBox_DampingEffect->setCurrentIndex(p->dampingEffect);
    ui->comboBox_FrictionEffect->setCurrentIndex(p->frictionEffect);
    ui->comboBox_InertiaEffect->setCurrentIndex(p->inertiaEffect);
    ui->comboBox_SpringEffect->setCurrentIndex(p->springEffect);
    ui->comboBox_GenSmooth->setCurrentIndex(p->generalSmoothing);
    on_comboBox_GenSmooth_currentIndexChanged(p->generalSmoothing);
    ui->horizontalSlider_StaticForceReduction->setValue(p->staticForceReduction);
    on_horizontalSlider_StaticForceReduction_valueChanged(p->staticForceReduction);
    ui->horizontalSlider_NonLinearity->setValue(p->nonLinearity);
    on_horizontalSlider_NonLinearity_valueChanged(p->nonLinearity);
    ui->comboBox_SlewRate->setCurrentIndex(p->slewRate);
    // Read now: raising the force above may have raised it too.
    ui->horizontalSlider_EndStopMaxForce->setValue(p->endStopMaxForce);
    on_horizontalSlider_EndStopMaxForce_valueChanged(p->endStopMaxForce);
    ui->horizontalSlider_EndStopStiffness->setValue(p->endStopStiffness);
    on_horizontalSlider_EndStopStiffness_valueChanged(p->endStopStiffness);
    ui->spinBox_SoftEndStop->setValue(p->softEndStopDegrees);
    const bool on = p->softEndStopEnabled == 1;
    ui->spinBox_SoftEndStop->setEnabled(on);
    p->softEndStopEnabled = on ? 1 : 0;
    scheduleWheelBaseUpdate();
    ui->checkBox_SoftEndStop->setChecked(on);
    // The next wheel position redraws with the new rotation range.
    lastAxisValue = int16_t(lastAxisValue + 1);
}
