#pragma once

// The window's side of a firmware update: the image file prompt, the modal
// progress dialog while the chunks go out, and the box that says plainly
// whether it worked.

#include <QList>
#include <QPointer>
#include <QProgressDialog>

class QString;
class QWidget;
class UsbDeviceOrvBootloader;

class FirmwareUpdateFlow
{
public:
    explicit FirmwareUpdateFlow(QWidget* dialogParent);
    ~FirmwareUpdateFlow();
    FirmwareUpdateFlow(const FirmwareUpdateFlow&) = delete;
    FirmwareUpdateFlow& operator=(const FirmwareUpdateFlow&) = delete;

    // The bootloader chosen in the device list; null when none is.
    void setDevice(UsbDeviceOrvBootloader* bootloader);

    // Asks for an image file and hands its bytes to the bootloader.
    void chooseImage();

    // The bootloader's update signals.
    void started(int chunks);
    void progress(int currentChunk);
    void completed();
    void failed(const QString& message);

    // Closes the progress dialog, if one is open.
    void closeDialog();
    // The dialog of the update under way; null when none is shown.
    QProgressDialog* dialog() const { return progressDialog; }

private:
    void releaseClosedDialogs();

    QWidget* const dialogParent;
    QPointer<UsbDeviceOrvBootloader> bootloader;
    QPointer<QProgressDialog> progressDialog;
    // A modal dialog runs the event loop inside setValue, where the device
    // may leave and the dialog be closed: it is deleted only once no
    // setValue is under way.
    int settingValue = 0;
    QList<QPointer<QProgressDialog>> closedDialogs;
    // Set while the chosen image is being handed over: a refusal then comes
    // before any dialog exists and must still be shown.
    bool handingOver = false;
};
