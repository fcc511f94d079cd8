#include "ProfileListStepper.h"

#include <QCoreApplication>

#include <cstring>

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("ORV_wheel_tool", source);
}

} // namespace

ProfileListStepper::ProfileListStepper(const ProfileListTransfer& transfer, UpdatePolicy policy,
                                       uint8_t& profileCount, uint8_t& currentProfileIndex,
                                       void* profiles, QTimer& updateTimer, Callbacks callbacks)
    : transfer(transfer), policy(policy), count(profileCount), current(currentProfileIndex),
      records(static_cast<uint8_t*>(profiles)), updateTimer(updateTimer),
      callbacks(std::move(callbacks))
{
    updateTimer.setSingleShot(true);
    updateTimer.setInterval(UpdateDelayMs);
    // A coarse timer may fire up to 5 % early, before the edit's quiet time.
    updateTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&updateTimer, &QTimer::timeout, [this] {
        if (listFits())
            sendListCommand(UsbCommand::UpdateSettings, true);
    });
}

void ProfileListStepper::beginRead()
{
    sendListCommand(UsbCommand::ReadSettings, true);
}

void ProfileListStepper::beginSave()
{
    // A list the block cannot hold would be saved past its slots, or cut short.
    if (listFits())
        sendListCommand(UsbCommand::SaveSettings, true);
}

void ProfileListStepper::scheduleUpdate(bool settingsLoaded)
{
    if (!settingsLoaded)
        return;
    if (policy == UpdatePolicy::FirstEditStarts && updateTimer.isActive())
        return;
    updateTimer.start();
}

QString ProfileListStepper::settingsAnswerProblem(const uint8_t* report) const
{
    const uint8_t version = report[2];
    if (version < transfer.version)
        return text("Device has an older firmware. Please update the firmware.");
    if (version > transfer.version)
        return text("Device had a newer firmware. Please update this config tool.");
    const int reportedCount = report[transfer.countOffset];
    const int reportedCurrent = report[transfer.countOffset + 1];
    if (reportedCount < 1 || reportedCount > transfer.capacity)
        return text("Device reported %1 profiles").arg(reportedCount);
    if (reportedCurrent >= reportedCount)
        return text("Device reported current profile %1 of %2")
            .arg(reportedCurrent)
            .arg(reportedCount);
    return QString();
}

bool ProfileListStepper::adoptCountAndIndex(const uint8_t* report)
{
    const uint8_t reportedCount = report[transfer.countOffset];
    const uint8_t reportedCurrent = report[transfer.countOffset + 1];
    if (!transfer.fits(reportedCount, reportedCurrent))
        return false;
    count = reportedCount;
    current = reportedCurrent;
    return true;
}

void ProfileListStepper::readProfiles()
{
    sendProfileCommand(UsbCommand::ReadProfile, 0);
}

bool ProfileListStepper::handleAnswer(const uint8_t* report)
{
    switch (UsbCommand(report[1])) {
    case UsbCommand::SaveSettings:
        if (!transfer.isEndEcho(report)) {
            if (listFits())
                sendProfileCommand(UsbCommand::WriteProfile, 0);
        } else if (callbacks.saved) {
            callbacks.saved(); // the device's echo of save end
        }
        return true;
    case UsbCommand::UpdateSettings:
        if (!transfer.isEndEcho(report) && listFits())
            sendProfileCommand(UsbCommand::UpdateProfile, 0);
        return true;
    case UsbCommand::ReadProfile:
        recordAnswered(report, UsbCommand::ReadProfile, UsbCommand::ReadSettings);
        return true;
    case UsbCommand::WriteProfile:
        recordAnswered(report, UsbCommand::WriteProfile, UsbCommand::SaveSettings);
        return true;
    case UsbCommand::UpdateProfile:
        recordAnswered(report, UsbCommand::UpdateProfile, UsbCommand::UpdateSettings);
        return true;
    default:
        return false;
    }
}

// The next record, or after the last one the end command and what the
// transfer announces.
void ProfileListStepper::recordAnswered(const uint8_t* report, UsbCommand recordCode,
                                        UsbCommand listCode)
{
    const int slot = answeredSlot(report);
    if (slot < 0)
        return;
    if (recordCode == UsbCommand::ReadProfile)
        storeProfile(slot, report + ProfileListTransfer::RecordOffset);
    if (slot + 1 < count) {
        sendProfileCommand(recordCode, slot + 1);
        return;
    }
    sendListCommand(listCode, false);
    if (recordCode == UsbCommand::ReadProfile)
        callbacks.loaded();
    else if (recordCode == UsbCommand::WriteProfile && callbacks.saved)
        callbacks.saved();
}

int ProfileListStepper::answeredSlot(const uint8_t* report) const
{
    return listFits() ? transfer.answeredIndex(report, count) : -1;
}

void ProfileListStepper::storeProfile(int slot, const uint8_t* record)
{
    uint8_t* profile = records + size_t(slot) * transfer.recordSize;
    std::memcpy(profile, record, transfer.recordSize);
    // A name must end inside its 16 bytes, whatever the device sent.
    profile[ProfileListTransfer::NameOffset + ProfileListTransfer::NameSize - 1] = '\0';
}

void ProfileListStepper::sendProfileCommand(UsbCommand code, int slot)
{
    const uint8_t* profile = records + size_t(slot) * transfer.recordSize;
    callbacks.send(transfer.profileCommand(code, slot, profile).data(), true);
}

void ProfileListStepper::sendListCommand(UsbCommand code, bool begin)
{
    callbacks.send(transfer.listCommand(code, begin, count, current).data(), begin);
}
