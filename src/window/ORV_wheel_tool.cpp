// The window's core: device list, current device, top buttons, profile row.

#include "ORV_wheel_tool.h"

#include "Dialogs.h"
#include "Resources.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "ui_ORV_wheel_tool.h"

#include <QDateTime>
#include <QMetaType>
#include <QProgressDialog>

#include <cstring>

namespace {

// Profile names hold at most 15 bytes of UTF-8; never cut a character.
QByteArray nameBytes(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    constexpr int MaxNameBytes = 15;
    if (utf8.size() <= MaxNameBytes)
        return utf8;
    int cut = MaxNameBytes;
    while (cut > 0 && (uchar(utf8[cut]) & 0xC0) == 0x80)
        --cut; // utf8[cut] continues a character that began before the cut
    return utf8.left(cut);
}

QString nameText(const char (&name)[16])
{
    return QString::fromUtf8(name, int(qstrnlen(name, sizeof name)));
}

template <typename Device> void renameCurrent(Device* device, int entry, const QString& text)
{
    if (entry != device->currentProfileIndex || entry >= Device::MaxProfiles)
        return;
    char* name = device->profiles[entry].name;
    const QByteArray bytes = nameBytes(text);
    std::memset(name, 0, 15); // the sixteenth byte stays NUL
    std::memcpy(name, bytes.constData(), size_t(bytes.size()));
}

} // namespace

ORV_wheel_tool::ORV_wheel_tool(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::ORV_wheel_tool),
      lastUiUpdateMs(uint32_t(QDateTime::currentMSecsSinceEpoch())),
      rimSource((initWindowResources(), QStringLiteral(":/rim.png"))),
      lastLogTime(uint64_t(QDateTime::currentMSecsSinceEpoch()) * 1000)
{
    ui->setupUi(this);
#ifndef Q_OS_WIN
    // The games compatibility key is a Windows registry value: elsewhere the
    // row would offer something that cannot exist.
    ui->labelGamesCompatibilityKey->hide();
    ui->pushButtonGamesCompatibilityKey->hide();
#endif
    setUiEnabled(false);
    qRegisterMetaType<uint16_t>("uint16_t");
    qRegisterMetaType<uint8_t>("uint8_t");
    connect(&usbManager, &UsbManager::onDeviceConnected, this, &ORV_wheel_tool::onDeviceConnected);
    connect(&usbManager, &UsbManager::onDeviceDisconnected, this,
            &ORV_wheel_tool::onDeviceDisconnected);
    usbManager.start(false);
}

ORV_wheel_tool::~ORV_wheel_tool()
{
    on_comboBox_UsbDevice_currentIndexChanged(-1);
    disconnect(&usbManager, nullptr, this, nullptr);
    usbManager.stop();
    delete ui;
}

void ORV_wheel_tool::resetProgressDialog()
{
    if (!progressDialog)
        return;
    progressDialog->close();
    progressDialog->deleteLater();
    progressDialog = nullptr;
}

void ORV_wheel_tool::setUiEnabled(bool isEnabled)
{
    const bool wheelOn = wheelBase && isEnabled;
    const bool pedalsOn = pedals && isEnabled;
    const bool bootOn = bootloader && isEnabled;

    ui->pushButton_EnterExitBootloader->setText(bootloader ? tr("Exit Bootloader")
                                                           : tr("Enter Bootloader"));
    ui->pushButton_UpdateFirmware->setVisible(bootOn);
    const bool profilesOn = wheelOn || pedalsOn;
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->pushButton_LoadConfig, ui->pushButton_SaveConfig, ui->comboBox_ProfileName,
             ui->pushButton_AddProfile, ui->pushButton_RemoveProfile,
             ui->pushButton_SaveProfileToFile, ui->pushButton_LoadProfileFromFile})
        w->setEnabled(profilesOn);
    ui->pushButton_SetDefaultConfig->setEnabled(true);

    if (wheelOn) {
        ui->settingsStackedWidget->setCurrentIndex(1);
        for (QLabel* label : std::initializer_list<QLabel*>{
                 ui->label_debugTicks, ui->label_debugMotorState, ui->label_debugEncoderState,
                 ui->label_debugBisscRaw, ui->label_debugCurrentFaults,
                 ui->label_debugClearedFaults, ui->label_debugMotorAngle, ui->label_debugEncoderRaw,
                 ui->label_debugFfbIn, ui->label_debugFfbOut, ui->label_debugMaxMotorCurrent,
                 ui->label_debugPsuCurrent, ui->label_debugMotorCurrent,
                 ui->label_debugPsuTemperature, ui->label_debugMotorTemperature,
                 ui->label_debugBrakeTemperature, ui->label_debugPowerstageTemperature})
            label->clear();
        ui->tabWidget->setCurrentIndex(0);
    } else if (pedalsOn) {
        ui->settingsStackedWidget->setCurrentIndex(2);
        ui->pedalsCalibrationTipsLabel->setText(QStringLiteral(" "));
        ui->pedalsCalibrationPrevStepButton->setEnabled(false);
        ui->pedalsCalibrationNextStepButton->setEnabled(false);
        for (QLabel* label : std::initializer_list<QLabel*>{
                 ui->labelTicksDebug, ui->labelClutchDebug, ui->labelBrakeDebug,
                 ui->labelThrottleDebug, ui->labelXRawDebug, ui->labelYRawDebug, ui->labelZRawDebug,
                 ui->labelClutchValue, ui->labelBrakeValue, ui->labelThrottleValue,
                 ui->labelXConnected, ui->labelYConnected, ui->labelZConnected})
            label->clear();
        ui->tabPedalsWidget->setCurrentIndex(0);
    } else {
        ui->settingsStackedWidget->setCurrentIndex(0);
    }
}

void ORV_wheel_tool::onDeviceConnected(UsbDevice* device)
{
    const QString product = device->getProductName();
    ui->comboBox_UsbDevice->addItem(product, device->getPath());
    // A bootloader is where a firmware update continues: show it at once.
    if (product.contains(QLatin1String("Bootloader"))) {
        const int entry =
            ui->comboBox_UsbDevice->findText(product, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (entry >= 0)
            ui->comboBox_UsbDevice->setCurrentIndex(entry);
    }
}

void ORV_wheel_tool::onDeviceDisconnected(UsbDevice* device)
{
    if (!device)
        return;
    QComboBox* list = ui->comboBox_UsbDevice;
    for (int entry = list->count() - 1; entry >= 0; --entry) {
        if (list->itemData(entry, Qt::UserRole).toString() == device->getPath()) {
            list->removeItem(entry);
            return;
        }
    }
}

void ORV_wheel_tool::on_comboBox_UsbDevice_currentIndexChanged(int index)
{
    if (currentDevice) {
        setUiEnabled(false);
        disconnectDevice();
    }
    if (index == -1) {
        currentDevice = nullptr;
        return;
    }
    currentDevice =
        usbManager.getDevice(ui->comboBox_UsbDevice->itemData(index, Qt::UserRole).toString());
    connectDevice();
}

void ORV_wheel_tool::connectDevice()
{
    if ((wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(currentDevice))) {
        connect(wheelBase, &UsbDeviceOrvWheelBase::onJoystickUpdate, this,
                &ORV_wheel_tool::onJoystickUpdate);
        connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoaded, this,
                &ORV_wheel_tool::onSettingsLoaded);
        connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoadFailed, this,
                &ORV_wheel_tool::onSettingsLoadFailed);
        on_pushButton_LoadConfig_clicked();
    } else if ((pedals = qobject_cast<UsbDeviceOrvPedals*>(currentDevice))) {
        connect(pedals, &UsbDeviceOrvPedals::onSettingsLoaded, this,
                &ORV_wheel_tool::onSettingsLoaded);
        connect(pedals, &UsbDeviceOrvPedals::onSettingsLoadFailed, this,
                &ORV_wheel_tool::onSettingsLoadFailed);
        on_pushButton_LoadConfig_clicked();
    } else if ((bootloader = qobject_cast<UsbDeviceOrvBootloader*>(currentDevice))) {
        setUiEnabled(true);
    }
}

void ORV_wheel_tool::disconnectDevice()
{
    if (wheelBase)
        disconnect(wheelBase, nullptr, this, nullptr);
    if (pedals)
        disconnect(pedals, nullptr, this, nullptr);
    if (bootloader) {
        disconnect(bootloader, nullptr, this, nullptr);
        resetProgressDialog();
    }
    wheelBase = nullptr;
    pedals = nullptr;
    bootloader = nullptr;
}

void ORV_wheel_tool::on_pushButton_LoadConfig_clicked()
{
    setUiEnabled(false);
    if (wheelBase) {
        wheelBase->settingsLoaded = false;
        wheelBase->loadSettings();
    } else if (pedals) {
        pedals->settingsLoaded = false;
        pedals->loadSettings();
    }
}

void ORV_wheel_tool::onSettingsLoaded(UsbDevice* device)
{
    if (!device || (device != wheelBase && device != pedals)) {
        setUiEnabled(true);
        return;
    }
    const int count = wheelBase ? wheelBase->profileCount : pedals->profileCount;
    const int current = wheelBase ? wheelBase->currentProfileIndex : pedals->currentProfileIndex;
    const OrvUsbDeviceInfo& info = wheelBase ? wheelBase->deviceInfo : pedals->deviceInfo;

    QComboBox* profilesBox = ui->comboBox_ProfileName;
    profilesBox->clear();
    for (int i = 0; i < count; ++i) {
        if (wheelBase)
            profilesBox->addItem(nameText(wheelBase->profiles[i].name),
                                 int(int8_t(wheelBase->profiles[i].index)));
        else
            profilesBox->addItem(nameText(pedals->profiles[i].name),
                                 int(int8_t(pedals->profiles[i].index)));
    }

    QComboBox* devices = ui->comboBox_UsbDevice;
    const int entry = devices->currentIndex();
    const QString text = devices->currentText();
    if (entry >= 0 && !text.contains(QLatin1String("SW version:"))) {
        devices->setItemText(entry, text + QStringLiteral(" (SW version: ") +
                                        info.firmwareVersion() + QStringLiteral(", HW version: ") +
                                        info.hardwareVersion() + QStringLiteral(")"));
    }

    // Newer wheel bases configure their encoder themselves.
    constexpr int EncoderTab = 3;
    if (wheelBase && info.hardwareMajor > 3 && ui->tabWidget->count() == 5)
        ui->tabWidget->removeTab(EncoderTab);

    profilesBox->setCurrentIndex(current);
    on_comboBox_ProfileName_activated(current);
    if (wheelBase)
        wheelBase->settingsLoaded = true;
    else
        pedals->settingsLoaded = true;
    setUiEnabled(true);
}

void ORV_wheel_tool::onSettingsLoadFailed(UsbDevice* device, QString message)
{
    Dialogs::warning(this, device ? device->getProductName() : QString(), message);
}

void ORV_wheel_tool::on_pushButton_SaveConfig_clicked()
{
    if (wheelBase)
        wheelBase->saveSettings();
    else if (pedals)
        pedals->saveSettings();
}

void ORV_wheel_tool::on_pushButton_SetDefaultConfig_clicked()
{
    const auto answer = Dialogs::warning(
        this, tr("Reset settings?"),
        tr("Are you sure you want to reset all settings and profiles? This cannot be undone."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // The device may have left while the question was open.
    if (bootloader)
        bootloader->resetToFactoryDefaults();
    else if (wheelBase)
        wheelBase->resetToFactoryDefaults();
    else if (pedals)
        pedals->resetToFactoryDefaults();
}

void ORV_wheel_tool::on_pushButton_EnterExitBootloader_clicked()
{
    if (bootloader)
        bootloader->exitBootloader();
    else if (wheelBase)
        wheelBase->enterBootloader();
    else if (pedals)
        pedals->enterBootloader();
}

void ORV_wheel_tool::on_comboBox_ProfileName_activated(int index)
{
    if (index < 0)
        return;
    if (wheelBase) {
        showWheelBaseProfile(index);
    } else if (pedals) {
        if (index < pedals->profileCount)
            pedals->currentProfileIndex = uint8_t(index);
    }
}

void ORV_wheel_tool::on_pushButton_AddProfile_clicked()
{
    if (wheelBase)
        wheelBase->addProfile();
    else if (pedals)
        pedals->addProfile();
}

void ORV_wheel_tool::on_pushButton_RemoveProfile_clicked()
{
    if (wheelBase)
        wheelBase->removeCurrentProfile();
    else if (pedals)
        pedals->removeCurrentProfile();
}

void ORV_wheel_tool::on_comboBox_ProfileName_currentTextChanged(QString arg1)
{
    const int entry = ui->comboBox_ProfileName->currentIndex();
    if (entry < 0)
        return;
    if (wheelBase)
        renameCurrent(wheelBase, entry, arg1);
    else if (pedals)
        renameCurrent(pedals, entry, arg1);
    else
        return;
    if ((wheelBase ? wheelBase->currentProfileIndex : pedals->currentProfileIndex) == entry)
        ui->comboBox_ProfileName->setItemText(entry, arg1);
}
