#include "FirmwareUpdateFlow.h"

#include "devices/UsbDeviceOrvBootloader.h"
#include "profiles/FileKind.h"
#include "window/Dialogs.h"

#include <QCoreApplication>
#include <QFile>

#include <utility>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ORV_wheel_tool", text);
}

} // namespace

FirmwareUpdateFlow::FirmwareUpdateFlow(QWidget* dialogParent) : dialogParent(dialogParent) {}

// Dialogs still open are children of the window and go with it.
FirmwareUpdateFlow::~FirmwareUpdateFlow() = default;

void FirmwareUpdateFlow::setDevice(UsbDeviceOrvBootloader* device)
{
    bootloader = device;
}

void FirmwareUpdateFlow::chooseImage()
{
    if (!bootloader)
        return;
    const QPointer<UsbDeviceOrvBootloader> target = bootloader;
    const QString fileName = Dialogs::getOpenFileName(
        dialogParent, tr("Open new FW File"), QString(), tr("ORV FW Files (*.fw);;All Files (*)"));
    // The prompt ran the event loop: the image goes only to the device it was
    // chosen for, and only while that device is still the chosen one.
    if (fileName.isEmpty() || !target || target != bootloader)
        return;

    if (opensWithWait(fileName)) {
        Dialogs::information(dialogParent, tr("Unable to open file"), opensWithWaitMessage());
        return;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::information(dialogParent, tr("Unable to open file"), file.errorString());
        return;
    }
    constexpr qint64 Limit = UsbDeviceOrvBootloader::MaxImageSize;
    // The device could not take more; no need to read it all to say so.
    if (file.size() > Limit) {
        Dialogs::information(dialogParent, tr("Firmware update"),
                             UsbDeviceOrvBootloader::imageTooLargeMessage(file.size()));
        return;
    }
    // One byte past the limit at most, whatever the file turns out to hold
    // (one that grows, or a device node of no size): the device refuses that.
    const QByteArray image = file.read(Limit + 1);
    if (file.error() != QFileDevice::NoError) {
        // An image that could not be read must not go out as an empty one.
        Dialogs::information(dialogParent, tr("Unable to open file"), file.errorString());
        return;
    }
    file.close();
    handingOver = true;
    target->updateFirmware(image);
    handingOver = false;
}

void FirmwareUpdateFlow::started(int chunks)
{
    closeDialog();
    progressDialog =
        new QProgressDialog(tr("Updating firmware"), QString(), 0, chunks, dialogParent);
    progressDialog->setModal(true);
}

void FirmwareUpdateFlow::progress(int currentChunk)
{
    if (!progressDialog)
        return;
    // Once shown, a modal dialog runs the event loop in every setValue; per
    // chunk that would cost more than the chunk itself. A thousandth of the
    // way is finer than the bar can show.
    const int shown = progressDialog->value();
    const bool first = shown < progressDialog->minimum();
    const bool last = currentChunk >= progressDialog->maximum();
    const int step = qMax(1, progressDialog->maximum() / 1000);
    if (!first && !last && currentChunk >= shown && currentChunk - shown < step)
        return;
    ++settingValue;
    progressDialog->setValue(currentChunk);
    --settingValue;
    releaseClosedDialogs();
}

void FirmwareUpdateFlow::completed()
{
    if (progressDialog)
        Dialogs::information(dialogParent, tr("Firmware update"),
                             tr("Update completed successfully!"));
    closeDialog();
}

void FirmwareUpdateFlow::failed(const QString& message)
{
    // A refused image never opened a dialog; the user still gets the answer.
    if (progressDialog || handingOver)
        Dialogs::information(dialogParent, tr("Firmware update"), message);
    closeDialog();
}

void FirmwareUpdateFlow::closeDialog()
{
    if (!progressDialog)
        return;
    progressDialog->close();
    closedDialogs.append(progressDialog);
    progressDialog = nullptr;
    releaseClosedDialogs();
}

void FirmwareUpdateFlow::releaseClosedDialogs()
{
    if (settingValue > 0)
        return;
    for (const QPointer<QProgressDialog>& closed : std::exchange(closedDialogs, {}))
        if (closed)
            closed->deleteLater();
}
