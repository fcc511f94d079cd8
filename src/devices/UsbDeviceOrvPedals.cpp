#include "UsbDeviceOrvPedals.h"

#include "OrvCommandReport.h"

#include <cstring>

namespace {

// Where the profile count and current index travel in the list commands and
// in the answer to ReadSettings.
constexpr ProfileListTransfer Transfer{UsbDeviceOrvPedals::ProtocolVersion, 10,
                                       sizeof(OrvUsbPedalsProfileV2),
                                       UsbDeviceOrvPedals::MaxProfiles};
constexpr size_t RecordOffset = ProfileListTransfer::RecordOffset;

} // namespace

// The pedals report nothing when a save completes.
UsbDeviceOrvPedals::UsbDeviceOrvPedals(QString path, hid_device* device)
    : UsbDevice(std::move(path), device),
      list(Transfer, ProfileListStepper::UpdatePolicy::FirstEditStarts, profileCount,
           currentProfileIndex, profiles, updateTimer,
           {reportSender(), [this] { emit onSettingsLoaded(this); }, nullptr})
{}

void UsbDeviceOrvPedals::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    uint8_t* bytes = report->data;
    if (bytes[0] == OrvUsbReport::JoystickUpdateId)
        emit onJoystickUpdate(this, reinterpret_cast<OrvUsbPedalsJoystickUpdate*>(bytes + 1),
                              readTimeMicros);
    else if (bytes[0] == OrvUsbReport::ResponseId && !list.handleAnswer(bytes))
        handleResponse(bytes);
}

// A command response that is none of the list transfers' answers.
void UsbDeviceOrvPedals::handleResponse(uint8_t* bytes)
{
    switch (int8_t(bytes[1])) {
    case int8_t(UsbCommand::ReadSettings):
        handleReadSettingsAnswer(bytes);
        break;
    case int8_t(UsbCommand::ReadCalibration):
        // The calibration is read between the settings answer and profile 0,
        // so it is current whenever the list is announced.
        std::memcpy(&calibration, bytes + RecordOffset, sizeof calibration);
        list.readProfiles();
        break;
    case int8_t(UsbCommand::SaveCalibration):
        emit onCalibrationSave();
        break;
    case int8_t(UsbCommand::StartCalibration):
        retryTimer.setInterval(RetryIntervalMs);
        emit onCalibrationStarted();
        break;
    default:
        break;
    }
}

void UsbDeviceOrvPedals::handleReadSettingsAnswer(const uint8_t* bytes)
{
    const QString problem = list.settingsAnswerProblem(bytes);
    if (!problem.isEmpty()) {
        emit onSettingsLoadFailed(this, problem); // nothing of the answer is kept
        return;
    }
    std::memcpy(&deviceInfo, bytes + OrvUsbDeviceInfo::ResponseOffset, sizeof deviceInfo);
    list.adoptCountAndIndex(bytes);
    loadCalibration();
}

void UsbDeviceOrvPedals::enterBootloader()
{
    // Unlike the wheel base, the pedals confirm this one.
    OrvCommandReport command(UsbCommand::EnterBootloader, 0);
    sendReport(command.data(), true);
}

void UsbDeviceOrvPedals::loadCalibration()
{
    OrvCommandReport command(UsbCommand::ReadCalibration, ProtocolVersion);
    sendReport(command.data(), true);
}

void UsbDeviceOrvPedals::saveCalibration()
{
    calibration = calibrationState.working;
    OrvCommandReport command(UsbCommand::SaveCalibration, ProtocolVersion);
    command.put(RecordOffset, &calibration, sizeof calibration);
    sendReport(command.data(), true);
}

void UsbDeviceOrvPedals::startCalibration()
{
    // The device may take a while to enter calibration mode: ask less often.
    retryTimer.setInterval(CalibrationRetryIntervalMs);
    OrvCommandReport command(UsbCommand::StartCalibration, ProtocolVersion);
    sendReport(command.data(), true);
}

void UsbDeviceOrvPedals::stopCalibration()
{
    OrvCommandReport command(UsbCommand::StopCalibration, ProtocolVersion);
    sendReport(command.data(), false);
}
