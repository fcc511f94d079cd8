#include "UsbDeviceOrvWheelBase.h"

#include "LittleEndian.h"
#include "OrvCommandReport.h"

#include <cstring>

namespace {

// Where the profile count and current index travel in the list commands and
// in the answer to ReadSettings.
constexpr ProfileListTransfer Transfer{UsbDeviceOrvWheelBase::ProtocolVersion, 42,
                                       sizeof(OrvUsbWheelBaseProfileV5),
                                       UsbDeviceOrvWheelBase::MaxProfiles};
constexpr size_t CountOffset = Transfer.countOffset;

} // namespace

UsbDeviceOrvWheelBase::UsbDeviceOrvWheelBase(QString path, hid_device* device)
    : UsbDevice(std::move(path), device),
      list(Transfer, ProfileListStepper::UpdatePolicy::RestartOnEveryEdit, profileCount,
           currentProfileIndex, profiles, updateTimer,
           {reportSender(), [this] { emit onSettingsLoaded(this); },
            [this] { emit onSettingsSaved(this); }})
{}

void UsbDeviceOrvWheelBase::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    uint8_t* bytes = report->data;
    if (bytes[0] == OrvUsbReport::JoystickUpdateId)
        emit onJoystickUpdate(this, reinterpret_cast<OrvUsbWheelBaseJoystickUpdate*>(bytes + 1),
                              readTimeMicros);
    else if (bytes[0] == OrvUsbReport::ResponseId && !list.handleAnswer(bytes))
        handleResponse(bytes, readTimeMicros);
}

// A command response that is none of the list transfers' answers.
void UsbDeviceOrvWheelBase::handleResponse(uint8_t* bytes, uint64_t readTimeMicros)
{
    switch (int8_t(bytes[1])) {
    case int8_t(UsbCommand::DebugOutput):
        emit onDebugOutput(this, reinterpret_cast<OrvUsbWheelBaseDebugOutput*>(bytes + 3),
                           readTimeMicros);
        break;
    case int8_t(UsbCommand::ReadSettings):
        handleReadSettingsAnswer(bytes);
        break;
    case int8_t(UsbCommand::CenterRim):
        handleCenterRimAnswer(bytes);
        break;
    case int8_t(UsbCommand::TestCommand):
        emit onTestCommand(this, reinterpret_cast<OrvUsbWheelBaseTestCommand*>(bytes + 3));
        break;
    default:
        break;
    }
}

void UsbDeviceOrvWheelBase::handleReadSettingsAnswer(const uint8_t* bytes)
{
    const uint8_t version = bytes[2];
    const QString problem = list.settingsAnswerProblem(bytes);
    // A list the block cannot hold is neither taken nor read; the one held
    // before stays whole.
    if (version == ProtocolVersion && !problem.isEmpty()) {
        emit onSettingsLoadFailed(this, problem);
        return;
    }

    protocolVersion = version;
    if (version >= 2) {
        // Taken as reported even for another protocol version: nothing uses
        // them as slot numbers unless the list fits its block.
        std::memcpy(&deviceInfo, bytes + OrvUsbDeviceInfo::ResponseOffset, sizeof deviceInfo);
        std::memcpy(extendedInfo, bytes + 10, sizeof extendedInfo);
        profileCount = bytes[CountOffset];
        currentProfileIndex = bytes[CountOffset + 1];
    } else {
        deviceInfo = {};
        std::memset(extendedInfo, 0, sizeof extendedInfo);
        profileCount = 0;
        currentProfileIndex = 0;
    }

    if (problem.isEmpty())
        list.readProfiles();
    else
        emit onSettingsLoadFailed(this, problem);
}

void UsbDeviceOrvWheelBase::handleCenterRimAnswer(const uint8_t* bytes)
{
    if (bytes[2] >= 2) {
        const int i = list.answeredSlot(bytes);
        if (i < 0)
            return;
        list.storeProfile(i, bytes + ProfileListTransfer::RecordOffset);
    } else if (!list.adoptCountAndIndex(bytes)) {
        return;
    }
    emit onSettingsLoaded(this);
}

void UsbDeviceOrvWheelBase::enterBootloader()
{
    OrvCommandReport command(UsbCommand::EnterBootloader, 0);
    sendReport(command.data(), false);
}

void UsbDeviceOrvWheelBase::centerRim()
{
    if (currentProfileIndex >= MaxProfiles)
        return;
    sendReport(
        Transfer.profileCommand(UsbCommand::CenterRim, 0, &profiles[currentProfileIndex]).data(),
        true);
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
