#include "UsbDeviceOrvPedals.h"

#include "OrvCommandReport.h"
#include "profiles/ProfileList.h"

#include <cstring>

namespace {

constexpr int CountOffset = 10;
constexpr int RecordOffset = 3;
constexpr uint8_t EndOfList = 0xFF;

} // namespace

UsbDeviceOrvPedals::UsbDeviceOrvPedals(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{
    updateTimer.setSingleShot(true);
    updateTimer.setInterval(UpdateDelayMs);
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
        if (bytes[CountOffset] != EndOfList)
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
        if (bytes[CountOffset] != EndOfList)
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
    if (count < 1 || count > MaxProfiles || current >= count)
        return;
    std::memcpy(&deviceInfo, bytes + OrvUsbDeviceInfo::ResponseOffset, sizeof deviceInfo);
    profileCount = count;
    currentProfileIndex = current;
    loadCalibration();
}

int UsbDeviceOrvPedals::answeredIndex(const uint8_t* bytes) const
{
    const int i = int8_t(bytes[RecordOffset]);
    return (i >= 0 && i < profileCount && i < MaxProfiles) ? i : -1;
}

void UsbDeviceOrvPedals::sendProfileCommand(UsbCommand code, int slot)
{
    OrvCommandReport command(code, ProtocolVersion);
    if (code == UsbCommand::ReadProfile)
        command[RecordOffset] = uint8_t(slot);
    else
        command.put(RecordOffset, &profiles[slot], sizeof(OrvUsbPedalsProfileV2));
    sendReport(command.data(), true);
}

void UsbDeviceOrvPedals::sendListCommand(UsbCommand code, bool begin)
{
    OrvCommandReport command(code, ProtocolVersion);
    if (!begin) {
        command[CountOffset] = EndOfList;
    } else if (code != UsbCommand::ReadSettings) {
        command[CountOffset] = profileCount;
        command[CountOffset + 1] = currentProfileIndex;
    }
    sendReport(command.data(), begin);
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
