// Saving the current profile to a file and loading one into it.

#include "ORV_wheel_tool.h"

#include "Dialogs.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "profiles/PedalsProfilesManager.h"
#include "profiles/WheelBaseProfilesManager.h"
#include "ui_ORV_wheel_tool.h"

namespace {

QString fileFilter()
{
    return QCoreApplication::translate("ORV_wheel_tool", "ORV Profile Files (*.oprf)");
}

} // namespace

void ORV_wheel_tool::on_pushButton_LoadProfileFromFile_clicked()
{
    if (!wheelBase && !pedals)
        return;
    const QString fileName =
        Dialogs::getOpenFileName(this, tr("Open Profile File"), QStringLiteral("."), fileFilter());
    // The device may have gone while the dialog was open.
    if (!wheelBase && !pedals)
        return;

    QString error;
    QString name;
    if (wheelBase) {
        OrvUsbWheelBaseProfileV5 profile{};
        error = WheelBaseProfilesManager().loadFromFile(fileName, profile);
        if (error.isEmpty()) {
            wheelBase->replaceCurrentProfile(profile);
            name = QString::fromUtf8(profile.name, int(qstrnlen(profile.name, 16)));
        }
    } else {
        OrvUsbPedalsProfileV2 profile{};
        error = PedalsProfilesManager().loadFromFile(fileName, profile);
        if (error.isEmpty()) {
            pedals->replaceCurrentProfile(profile);
            name = QString::fromUtf8(profile.name, int(qstrnlen(profile.name, 16)));
        }
    }
    if (!error.isEmpty()) {
        Dialogs::information(this, tr("Unable to read file"), error);
        return;
    }
    on_comboBox_ProfileName_activated(wheelBase ? wheelBase->currentProfileIndex
                                                : pedals->currentProfileIndex);
    ui->comboBox_ProfileName->setCurrentText(name);
}

void ORV_wheel_tool::on_pushButton_SaveProfileToFile_clicked()
{
    if (!wheelBase && !pedals)
        return;
    const QString fileName =
        Dialogs::getSaveFileName(this, tr("Save Profile File"), QStringLiteral("."), fileFilter());
    if (!wheelBase && !pedals)
        return;

    QString error;
    if (wheelBase) {
        if (wheelBase->currentProfileIndex >= UsbDeviceOrvWheelBase::MaxProfiles)
            return;
        error = WheelBaseProfilesManager().saveToFile(
            fileName, wheelBase->profiles[wheelBase->currentProfileIndex]);
    } else {
        if (pedals->currentProfileIndex >= UsbDeviceOrvPedals::MaxProfiles)
            return;
        error = PedalsProfilesManager().saveToFile(fileName,
                                                   pedals->profiles[pedals->currentProfileIndex]);
    }
    if (!error.isEmpty())
        Dialogs::information(this, tr("Unable to save file"), error);
}
