#include "UsbDeviceOrvWheelBase.h"

#include "LittleEndian.h"
#include "OrvCommandReport.h"
#include "ProfileListTransfer.h"
#include "profiles/ProfileList.h"

#include <cstring>

namespace {

// Where the profile count and current index travel in the list commands and
// in the answer to ReadSettings.
constexpr ProfileListTransfer Transfer{UsbDeviceOrvWheelBase::ProtocolVersion, 42,
                                       sizeof(OrvUsbWheelBaseProfileV5),
                                       UsbDeviceOrvWheelBase::MaxProfiles};
constexpr size_t CountOffset = Transfer.countOffset;
constexpr size_t RecordOffset = ProfileListTransfer::RecordOffset;

} // namespace

UsbDeviceOrvWheelBase::UsbDeviceOrvWheelBase(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{
    updateTimer.setSingleShot(true);
    updateTimer.setInterval(UpdateDelayMs);
    // A coarse timer may fire up to 5 % early, before the edit's quiet time.
    updateTimer.setTimerType(Qt::PreciseTimer);
    connect(&updateTimer, &QTimer::timeout, this, &UsbDeviceOrvWheelBase::sendUpdateBegin);
}

void UsbDeviceOrvWheelBase::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    uint8_t* bytes = report->data;
    if (bytes[0] == OrvUsbReport::JoystickUpdateId) {
        emit onJoystickUpdate(this, reinterpret_cast<OrvUsbWheelBaseJoystickUpdate*>(bytes + 1),
                              readTimeMicros);
        return;
    }
    if (bytes[0] != OrvUsbReport::ResponseId)
        return;

    switch (int8_t(bytes[1])) {
    case int8_t(UsbCommand::DebugOutput):
        emit onDebugOutput(this, reinterpret_cast<OrvUsbWheelBaseDebugOutput*>(bytes + 3),
                           readTimeMicros);
        break;
    case int8_t(UsbCommand::ReadSettings):
        handleReadSettingsAnswer(bytes);
        break;
    case int8_t(UsbCommand::SaveSettings):
        if (Transfer.isEndEcho(bytes))
            emit onSettingsSaved(this); // the device's echo of save end
        else
            sendProfileCommand(UsbCommand::WriteProfile, 0);
        break;
    case int8_t(UsbCommand::ReadProfile): {
        const int i = answeredIndex(bytes);
        if (i < 0)
            break;
        storeProfile(i, bytes + RecordOffset);
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
        if (i == profileCount - 1) {
            sendListCommand(UsbCommand::SaveSettings, false);
            emit onSettingsSaved(this);
        } else {
            sendProfileCommand(UsbCommand::WriteProfile, i + 1);
        }
        break;
    }
    case int8_t(UsbCommand::CenterRim):
        handleCenterRimAnswer(bytes);
        break;
    case int8_t(UsbCommand::TestCommand):
        emit onTestCommand(this, reinterpret_cast<OrvUsbWheelBaseTestCommand*>(bytes + 3));
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
    default:
        break;
    }
}

void UsbDeviceOrvWheelBase::handleReadSettingsAnswer(const uint8_t* bytes)
{
    const uint8_t version = bytes[2];
    const uint8_t count = bytes[CountOffset];
    const uint8_t current = bytes[CountOffset + 1];
    // A list the block cannot hold would send the read past its slots.
    const bool listFits = Transfer.fits(count, current);
    if (version == ProtocolVersion && !listFits)
        return;

    protocolVersion = version;
    if (version >= 2) {
        std::memcpy(&deviceInfo, bytes + OrvUsbDeviceInfo::ResponseOffset, sizeof deviceInfo);
        std::memcpy(extendedInfo, bytes + 10, sizeof extendedInfo);
        profileCount = listFits ? count : 0;
        currentProfileIndex = listFits ? current : 0;
    } else {
        deviceInfo = {};
        std::memset(extendedInfo, 0, sizeof extendedInfo);
        profileCount = 0;
        currentProfileIndex = 0;
    }

    if (version == ProtocolVersion)
        sendProfileCommand(UsbCommand::ReadProfile, 0);
    else
        emit onSettingsLoadFailed(this, versionMismatchMessage(version, ProtocolVersion));
}

void UsbDeviceOrvWheelBase::handleCenterRimAnswer(const uint8_t* bytes)
{
    if (bytes[2] >= 2) {
        const int i = answeredIndex(bytes);
        if (i < 0)
            return;
        storeProfile(i, bytes + RecordOffset);
    } else {
        const uint8_t count = bytes[CountOffset];
        const uint8_t current = bytes[CountOffset + 1];
        if (!Transfer.fits(count, current))
            return;
        profileCount = count;
        currentProfileIndex = current;
    }
    emit onSettingsLoaded(this);
}

int UsbDeviceOrvWheelBase::answeredIndex(const uint8_t* bytes) const
{
    return Transfer.answeredIndex(bytes, profileCount);
}

void UsbDeviceOrvWheelBase::storeProfile(int slot, const uint8_t* record)
{
    std::memcpy(&profiles[slot], record, sizeof(OrvUsbWheelBaseProfileV5));
    // A name must end inside its 16 bytes, whatever the device sent.
    profiles[slot].name[sizeof profiles[slot].name - 1] = '\0';
}

void UsbDeviceOrvWheelBase::sendProfileCommand(UsbCommand code, int slot)
{
    sendReport(Transfer.profileCommand(code, slot, &profiles[slot]).data(), true);
}

void UsbDeviceOrvWheelBase::sendListCommand(UsbCommand code, bool begin)
{
    sendReport(Transfer.listCommand(code, begin, profileCount, currentProfileIndex).data(), begin);
}

void UsbDeviceOrvWheelBase::enterBootloader()
{
    OrvCommandReport command(UsbCommand::EnterBootloader, 0);
    sendReport(command.data(), false);
}

void UsbDeviceOrvWheelBase::loadSettings()
{
    sendListCommand(UsbCommand::ReadSettings, true);
}

void UsbDeviceOrvWheelBase::saveSettings()
{
    sendListCommand(UsbCommand::SaveSettings, true);
}

void UsbDeviceOrvWheelBase::updateSettings()
{
    // Restarted on every edit: one update goes out after the last of a burst.
    if (settingsLoaded)
        updateTimer.start();
}

void UsbDeviceOrvWheelBase::sendUpdateBegin()
{
    sendListCommand(UsbCommand::UpdateSettings, true);
}

void UsbDeviceOrvWheelBase::resetToFactoryDefaults()
{
    OrvCommandReport command(UsbCommand::Reset, ProtocolVersion);
    command[5] = 1;
    sendReport(command.data(), false);
}

void UsbDeviceOrvWheelBase::centerRim()
{
    if (currentProfileIndex >= MaxProfiles)
        return;
    sendProfileCommand(UsbCommand::CenterRim, currentProfileIndex);
}

void UsbDeviceOrvWheelBase::sendTestForceCommand(float constantForce)
{
    OrvCommandReport command(UsbCommand::TestCommand, ProtocolVersion);
    command[3] = 0;
    uint8_t force[4];
    le::putF32(force, constantForce);
    command.put(4, force, sizeof force);
    sendReport(command.data(), false);
}

void UsbDeviceOrvWheelBase::sendTestBrakeResistorCommand(bool enabled)
{
    OrvCommandReport command(UsbCommand::TestCommand, ProtocolVersion);
    command[3] = enabled ? 1 : 2;
    sendReport(command.data(), false);
}

void UsbDeviceOrvWheelBase::addProfile()
{
    if (ProfileList<OrvUsbWheelBaseProfileV5>(profileCount, currentProfileIndex, profiles,
                                              MaxProfiles)
            .addProfile())
        emit onSettingsLoaded(this);
}

void UsbDeviceOrvWheelBase::removeCurrentProfile()
{
    if (ProfileList<OrvUsbWheelBaseProfileV5>(profileCount, currentProfileIndex, profiles,
                                              MaxProfiles)
            .removeCurrentProfile())
        emit onSettingsLoaded(this);
}

void UsbDeviceOrvWheelBase::replaceCurrentProfile(const OrvUsbWheelBaseProfileV5& profile)
{
    ProfileList<OrvUsbWheelBaseProfileV5>(profileCount, currentProfileIndex, profiles, MaxProfiles)
        .replaceCurrentProfile(profile);
}
