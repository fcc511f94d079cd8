#include "UsbDeviceOrvPedals.h"

#include "OrvCommandReport.h"
#include "ProfileListTransfer.h"
#include "profiles/ProfileList.h"

#include <cstring>

namespace {

// Where the profile count and current index travel in the list commands and
// in the answer to ReadSettings.
constexpr ProfileListTransfer Transfer{UsbDeviceOrvPedals::ProtocolVersion, 10,
                                       sizeof(OrvUsbPedalsProfileV2),
                                       UsbDeviceOrvPedals::MaxProfiles};
constexpr size_t CountOffset = Transfer.countOffset;
constexpr size_t RecordOffset = ProfileListTransfer::RecordOffset;

} // namespace

UsbDeviceOrvPedals::UsbDeviceOrvPedals(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{
    updateTimer.setSingleShot(true);
    updateTimer.setInterval(UpdateDelayMs);
    // A coarse timer may fire up to 5 % early, before the edit's quiet time.
    updateTimer.setTimerType(Qt::PreciseTimer);
    connect(&updateTimer, &QTimer::timeout, this, &UsbDeviceOrvPedals::sendUpdateBegin);
}

void UsbDeviceOrvPedals::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    uint8_t* bytes = report->data;
    if (bytes[0] == OrvUsbReport::JoystickUpdateId) {
        emit onJoystickUpdate(this, reinterpret_cast<OrvUsbPedalsJoystickUpdate*>(bytes + 1),
                              readTimeMicros);
        return;
    }
    if (bytes[0] != OrvUsbReport::ResponseId)
        return;

    switch (int8_t(bytes[1])) {
    case int8_t(UsbCommand::ReadSettings):
        handleReadSettingsAnswer(bytes);
        break;
    case int8_t(UsbCommand::SaveSettings):
        if (!Transfer.isEndEcho(bytes))
            sendProfileCommand(UsbCommand::WriteProfile, 0);
        break;
    case int8_t(UsbCommand::ReadProfile): {
        const int i = answeredIndex(bytes);
        if (i < 0)
            break;
        std::memcpy(&profiles[i], bytes + RecordOffset, sizeof(OrvUsbPedalsProfileV2));
        // A name must end inside its 16 bytes, whatever the device sent.
        profiles[i].name[sizeof profiles[i].name - 1] = '\0';
        if (i == profileCount - 1) {
            sendListCommand(UsbCommand::ReadSettings, false);
            emit onSettingsLoaded(this);
        } else {
            sendProfileCommand(UsbCommand::ReadProfile, i + 1);
        }
        break;
    }
    case int8_t(UsbCommand::WriteProfile): {
        const int i = answeredIndex(bytes);
        if (i < 0)
            break;
        if (i == profileCount - 1)
            sendListCommand(UsbCommand::SaveSettings, false);
        else
            sendProfileCommand(UsbCommand::WriteProfile, i + 1);
        break;
    }
    case int8_t(UsbCommand::ReadCalibration):
        std::memcpy(&calibration, bytes + RecordOffset, sizeof calibration);
        sendProfileCommand(UsbCommand::ReadProfile, 0);
        break;
    case int8_t(UsbCommand::SaveCalibration):
        emit onCalibrationSave();
        break;
    case int8_t(UsbCommand::UpdateSettings):
        if (!Transfer.isEndEcho(bytes))
            sendProfileCommand(UsbCommand::UpdateProfile, 0);
        break;
    case int8_t(UsbCommand::UpdateProfile): {
        const int i = answeredIndex(bytes);
        if (i < 0)
            break;
        if (i == profileCount - 1)
            sendListCommand(UsbCommand::UpdateSettings, false);
        else
            sendProfileCommand(UsbCommand::UpdateProfile, i + 1);
        break;
    }
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
    const uint8_t version = bytes[2];
    if (version != ProtocolVersion) {
        emit onSettingsLoadFailed(this, versionMismatchMessage(version, ProtocolVersion));
        return;
    }
    const uint8_t count = bytes[CountOffset];
    const uint8_t current = bytes[CountOffset + 1];
    // A list the block cannot hold would send the read past its slots.
    if (!Transfer.fits(count, current))
        return;
    std::memcpy(&deviceInfo, bytes + OrvUsbDeviceInfo::ResponseOffset, sizeof deviceInfo);
    profileCount = count;
    currentProfileIndex = current;
    loadCalibration();
}

int UsbDeviceOrvPedals::answeredIndex(const uint8_t* bytes) const
{
    return Transfer.answeredIndex(bytes, profileCount);
}

void UsbDeviceOrvPedals::sendProfileCommand(UsbCommand code, int slot)
{
    sendReport(Transfer.profileCommand(code, slot, &profiles[slot]).data(), true);
}

void UsbDeviceOrvPedals::sendListCommand(UsbCommand code, bool begin)
{
    sendReport(Transfer.listCommand(code, begin, profileCount, currentProfileIndex).data(), begin);
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

void UsbDeviceOrvPedals::loadSettings()
{
    sendListCommand(UsbCommand::ReadSettings, true);
}

void UsbDeviceOrvPedals::saveSettings()
{
    sendListCommand(UsbCommand::SaveSettings, true);
}

void UsbDeviceOrvPedals::updateSettings()
{
    // Not postponed by later edits: the update leaves 250 ms after the first
    // edit of a series and carries all edits made until then.
    if (settingsLoaded && !updateTimer.isActive())
        updateTimer.start();
}

void UsbDeviceOrvPedals::sendUpdateBegin()
{
    sendListCommand(UsbCommand::UpdateSettings, true);
}

void UsbDeviceOrvPedals::resetToFactoryDefaults()
{
    OrvCommandReport command(UsbCommand::Reset, ProtocolVersion);
    command[5] = 1;
    sendReport(command.data(), false);
}

void UsbDeviceOrvPedals::addProfile()
{
    if (ProfileList<OrvUsbPedalsProfileV2>(profileCount, currentProfileIndex, profiles, MaxProfiles)
            .addProfile())
        emit onSettingsLoaded(this);
}

void UsbDeviceOrvPedals::removeCurrentProfile()
{
    if (ProfileList<OrvUsbPedalsProfileV2>(profileCount, currentProfileIndex, profiles, MaxProfiles)
            .removeCurrentProfile())
        emit onSettingsLoaded(this);
}

void UsbDeviceOrvPedals::replaceCurrentProfile(const OrvUsbPedalsProfileV2& profile)
{
    ProfileList<OrvUsbPedalsProfileV2>(profileCount, currentProfileIndex, profiles, MaxProfiles)
        .replaceCurrentProfile(profile);
}
