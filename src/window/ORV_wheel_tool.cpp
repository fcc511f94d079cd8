// The window's core: device list, current device, page switching, the top
// buttons and the answer to a device's settings.

#include "ORV_wheel_tool.h"

#include "Dialogs.h"
#include "Resources.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "pages/AccessNotice.h"
#include "pages/CalibrationWizard.h"
#include "pages/FirmwareUpdateFlow.h"
#include "pages/GamesKeyRow.h"
#include "pages/PedalsPage.h"
#include "pages/ProfileRow.h"
#include "pages/RimView.h"
#include "pages/TelemetryPanel.h"
#include "pages/WheelBasePage.h"
#include "platform/Platform.h"
#include "ui_ORV_wheel_tool.h"

#include <QMetaType>
#include <QPointer>
#include <QStandardItemModel>

Q_DECLARE_METATYPE(QPointer<UsbDevice>)

namespace {

// Entries of the device list keep their device object: a device that leaves
// and comes back on the same path is a new object, and entries are told
// apart by object, never by path.
constexpr int DeviceRole = Qt::UserRole + 1;

UsbDevice* deviceOfEntry(const QComboBox* list, int entry)
{
    return list->itemData(entry, DeviceRole).value<QPointer<UsbDevice>>().data();
}

} // namespace

ORV_wheel_tool::ORV_wheel_tool(QWidget* parent) : QMainWindow(parent), ui(new Ui::ORV_wheel_tool)
{
    initWindowResources();
    ui->setupUi(this);
    rimView = std::make_unique<RimView>(*ui);
    wheelBasePage = std::make_unique<WheelBasePage>(*ui, *rimView);
    calibrationWizard = std::make_unique<CalibrationWizard>(*ui, this);
    pedalsPage = std::make_unique<PedalsPage>(*ui, *calibrationWizard);
    profileRow = std::make_unique<ProfileRow>(*ui, this);
    accessNotice = std::make_unique<AccessNotice>(*ui);
    gamesKeyRow = std::make_unique<GamesKeyRow>(*ui, this, Platform::current());
    firmwareFlow = std::make_unique<FirmwareUpdateFlow>(this);
    telemetryPanel = std::make_unique<TelemetryPanel>(*ui, *rimView, *pedalsPage, this);
    setUiEnabled(false);
    qRegisterMetaType<uint16_t>("uint16_t");
    qRegisterMetaType<uint8_t>("uint8_t");
    connect(&usbManager, &UsbManager::onDeviceConnected, this, &ORV_wheel_tool::onDeviceConnected);
    connect(&usbManager, &UsbManager::onDeviceDisconnected, this,
            &ORV_wheel_tool::onDeviceDisconnected);
    DeviceAccessMonitor* access = &usbManager.accessProblems();
    connect(access, &DeviceAccessMonitor::changed, this,
            [this, access] { accessNotice->show(access->problems()); });
    usbManager.start(false);
}

ORV_wheel_tool::~ORV_wheel_tool()
{
    on_comboBox_UsbDevice_currentIndexChanged(-1);
    disconnect(&usbManager, nullptr, this, nullptr);
    disconnect(&usbManager.accessProblems(), nullptr, this, nullptr);
    usbManager.stop();
    delete ui;
}

quint64 ORV_wheel_tool::rimRedraws() const
{
    return rimView->redraws();
}

quint64 ORV_wheel_tool::rimRebuilds() const
{
    return rimView->rebuilds();
}

quint64 ORV_wheel_tool::pedalRecords() const
{
    return pedalsPage->records();
}

const TelemetryLog& ORV_wheel_tool::telemetryLog() const
{
    return telemetryPanel->telemetryLog();
}

void ORV_wheel_tool::resetProgressDialog()
{
    firmwareFlow->closeDialog();
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
        wheelBasePage->pageShown();
        telemetryPanel->wheelBasePageShown();
        gamesKeyRow->refresh();
    } else if (pedalsOn) {
        ui->settingsStackedWidget->setCurrentIndex(2);
        pedalsPage->pageShown();
        telemetryPanel->pedalsPageShown();
    } else {
        ui->settingsStackedWidget->setCurrentIndex(0);
    }
}

void ORV_wheel_tool::onDeviceConnected(UsbDevice* device)
{
    const QString product = device->getProductName();
    QComboBox* list = ui->comboBox_UsbDevice;
    // The entry is complete before it is added: adding the first entry makes
    // it current, which selects its device at once.
    auto* entry = new QStandardItem(product);
    entry->setData(device->getPath(), Qt::UserRole);
    entry->setData(QVariant::fromValue(QPointer<UsbDevice>(device)), DeviceRole);
    qobject_cast<QStandardItemModel*>(list->model())->appendRow(entry);
    // A bootloader is where a firmware update continues: show it at once.
    if (product.contains(QLatin1String("Bootloader"))) {
        const int found = list->findText(product, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (found >= 0)
            list->setCurrentIndex(found);
    }
}

void ORV_wheel_tool::onDeviceDisconnected(UsbDevice* device)
{
    if (!device)
        return;
    QComboBox* list = ui->comboBox_UsbDevice;
    for (int entry = list->count() - 1; entry >= 0; --entry) {
        if (deviceOfEntry(list, entry) == device) {
            // Removing the current entry selects another one while the
            // leaving object still exists, so it is disconnected in time.
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
    currentDevice = nullptr;
    if (index == -1)
        return;
    UsbDevice* device = deviceOfEntry(ui->comboBox_UsbDevice, index);
    // One the manager no longer holds is on its way out: nothing to connect.
    if (!device || usbManager.getDevice(device->getPath()) != device)
        return;
    currentDevice = device;
    connectDevice();
}

void ORV_wheel_tool::connectDevice()
{
    if ((wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(currentDevice))) {
        connect(wheelBase, &UsbDeviceOrvWheelBase::onJoystickUpdate, this,
                &ORV_wheel_tool::onJoystickUpdate);
        connect(wheelBase, &UsbDeviceOrvWheelBase::onDebugOutput, this,
                &ORV_wheel_tool::onDebugOutput);
        connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoaded, this,
                &ORV_wheel_tool::onSettingsLoaded);
        connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoadFailed, this,
                &ORV_wheel_tool::onSettingsLoadFailed);
        rimView->setDevice(wheelBase);
        telemetryPanel->setCurrent(TelemetryPanel::Current::WheelBase);
        wheelBasePage->setDevice(wheelBase);
        profileDevice = ProfileDevice::of(wheelBase);
        profileRow->setDevice(profileDevice.get(), wheelBasePage.get());
        on_pushButton_LoadConfig_clicked();
    } else if ((pedals = qobject_cast<UsbDeviceOrvPedals*>(currentDevice))) {
        connect(pedals, &UsbDeviceOrvPedals::onJoystickUpdate, this,
                &ORV_wheel_tool::onPedalsJoystickUpdate);
        connect(pedals, &UsbDeviceOrvPedals::onCalibrationSave, this,
                &ORV_wheel_tool::onPedalsCalibrationSave);
        connect(pedals, &UsbDeviceOrvPedals::onSettingsLoaded, this,
                &ORV_wheel_tool::onSettingsLoaded);
        connect(pedals, &UsbDeviceOrvPedals::onSettingsLoadFailed, this,
                &ORV_wheel_tool::onSettingsLoadFailed);
        connect(pedals, &UsbDeviceOrvPedals::onCalibrationStarted, this,
                &ORV_wheel_tool::onCalibrationStarted);
        pedalsPage->setDevice(pedals);
        telemetryPanel->setCurrent(TelemetryPanel::Current::Pedals);
        calibrationWizard->setDevice(pedals);
        profileDevice = ProfileDevice::of(pedals);
        profileRow->setDevice(profileDevice.get(), pedalsPage.get());
        on_pushButton_LoadConfig_clicked();
    } else if ((bootloader = qobject_cast<UsbDeviceOrvBootloader*>(currentDevice))) {
        connect(bootloader, &UsbDeviceOrvBootloader::onFirmwareUpdateStarted, this,
                &ORV_wheel_tool::onFirmwareUpdateStarted);
        connect(bootloader, &UsbDeviceOrvBootloader::onFirmwareUpdateProgress, this,
                &ORV_wheel_tool::onFirmwareUpdateProgress);
        connect(bootloader, &UsbDeviceOrvBootloader::onUpdateCompleted, this,
                &ORV_wheel_tool::onFirmwareUpdateCompleted);
        connect(bootloader, &UsbDeviceOrvBootloader::onUpdateFailed, this,
                &ORV_wheel_tool::onFirmwareUpdateFailed);
        firmwareFlow->setDevice(bootloader);
        setUiEnabled(true);
        // Arriving in the bootloader means an update is wanted: ask for the
        // image at once. The prompt runs the event loop, so nothing follows.
        on_pushButton_UpdateFirmware_clicked();
    }
}

void ORV_wheel_tool::disconnectDevice()
{
    disconnect(currentDevice, nullptr, this, nullptr);
    if (bootloader)
        resetProgressDialog();
    firmwareFlow->setDevice(nullptr);
    wheelBase = nullptr;
    pedals = nullptr;
    bootloader = nullptr;
    rimView->setDevice(nullptr);
    wheelBasePage->setDevice(nullptr);
    pedalsPage->setDevice(nullptr);
    calibrationWizard->setDevice(nullptr);
    telemetryPanel->setCurrent(TelemetryPanel::Current::None);
    profileRow->setDevice(nullptr, nullptr);
    profileDevice.reset();
}

void ORV_wheel_tool::on_pushButton_LoadConfig_clicked()
{
    setUiEnabled(false);
    if (profileDevice) {
        profileDevice->setSettingsLoaded(false);
        profileDevice->loadSettings();
    }
}

void ORV_wheel_tool::onSettingsLoaded(UsbDevice* device)
{
    if (!device || !profileDevice || device != profileDevice->device()) {
        setUiEnabled(true);
        return;
    }
    profileRow->fill();

    const OrvUsbDeviceInfo info = profileDevice->deviceInfo();
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

    const int current = profileDevice->currentProfileIndex();
    ui->comboBox_ProfileName->setCurrentIndex(current);
    on_comboBox_ProfileName_activated(current);
    profileDevice->setSettingsLoaded(true);
    setUiEnabled(true);
}

void ORV_wheel_tool::onSettingsLoadFailed(UsbDevice* device, QString message)
{
    Dialogs::warning(this, device ? device->getProductName() : QString(), message);
}

void ORV_wheel_tool::on_pushButton_SaveConfig_clicked()
{
    if (profileDevice)
        profileDevice->saveSettings();
}

void ORV_wheel_tool::on_pushButton_SetDefaultConfig_clicked()
{
    const QPointer<UsbDevice> target = currentDevice;
    const auto answer = Dialogs::warning(
        this, tr("Reset settings?"),
        tr("Are you sure you want to reset all settings and profiles? This cannot be undone."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    // The question ran the event loop: a Yes acts only on the device it was
    // asked about, and only while that device is still the current one.
    if (answer != QMessageBox::Yes || !target || target != currentDevice)
        return;
    if (bootloader)
        bootloader->resetToFactoryDefaults();
    else if (profileDevice)
        profileDevice->resetToFactoryDefaults();
}

void ORV_wheel_tool::on_pushButton_EnterExitBootloader_clicked()
{
    if (bootloader)
        bootloader->exitBootloader();
    else if (profileDevice)
        profileDevice->enterBootloader();
}
