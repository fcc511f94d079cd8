#include "ProfileRow.h"

#include "ProfilePage.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"
#include "ui_ORV_wheel_tool.h"
#include "window/Dialogs.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ORV_wheel_tool", text);
}

QString fileFilter()
{
    return tr("ORV Profile Files (*.oprf)");
}

} // namespace

ProfileRow::ProfileRow(Ui::ORV_wheel_tool& ui, QWidget* dialogParent)
    : ui(ui), dialogParent(dialogParent)
{}

void ProfileRow::setDevice(ProfileDevice* device, ProfilePage* page)
{
    this->device = device;
    this->page = page;
}

void ProfileRow::fill()
{
    QComboBox* box = ui.comboBox_ProfileName;
    box->clear();
    if (!device)
        return;
    for (int slot = 0; slot < device->profileCount(); ++slot)
        box->addItem(device->profileName(slot), device->profileIndexField(slot));
}

void ProfileRow::activate(int index)
{
    if (index >= 0 && page)
        page->showProfile(index);
}

void ProfileRow::rename(const QString& text)
{
    const int entry = ui.comboBox_ProfileName->currentIndex();
    if (!device || entry < 0 || entry != device->currentProfileIndex())
        return;
    device->renameCurrentProfile(text);
    ui.comboBox_ProfileName->setItemText(entry, text);
}

void ProfileRow::addProfile()
{
    if (device)
        device->addProfile();
}

void ProfileRow::removeProfile()
{
    if (device)
        device->removeCurrentProfile();
}

void ProfileRow::loadFromFile()
{
    if (!device)
        return;
    const QPointer<UsbDevice> target = device->device();
    const QString fileName = Dialogs::getOpenFileName(dialogParent, tr("Open Profile File"),
                                                      QStringLiteral("."), fileFilter());
    // The dialog ran the event loop: act only on the device it was opened
    // for, and only while that device is still the current one.
    if (!target || !device || device->device() != target)
        return;
    QString name;
    const QString error = device->loadCurrentProfile(fileName, &name);
    if (!error.isEmpty()) {
        Dialogs::information(dialogParent, tr("Unable to read file"), error);
        return;
    }
    activate(device->currentProfileIndex());
    ui.comboBox_ProfileName->setCurrentText(name);
}

void ProfileRow::saveToFile()
{
    if (!device)
        return;
    const QPointer<UsbDevice> target = device->device();
    const QString fileName = Dialogs::getSaveFileName(dialogParent, tr("Save Profile File"),
                                                      QStringLiteral("."), fileFilter());
    if (!target || !device || device->device() != target)
        return;
    const QString error = device->saveCurrentProfile(fileName);
    if (!error.isEmpty())
        Dialogs::information(dialogParent, tr("Unable to save file"), error);
}
