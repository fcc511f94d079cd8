#include "GamesKey.h"

#include <cstring>

const wchar_t* const GamesKey::UserKeyPath =
    LR"(System\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483&PID_A355)";
const wchar_t* const GamesKey::MachineKeyPath =
    LR"(SYSTEM\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483&PID_A355)";
const wchar_t* const GamesKey::ValueName = L"OEMData";

// "^&" is how cmd takes a literal "&"; each step runs only if the one before
// succeeded. Before the user's copy is removed, a one-line regini script
// opens up the permissions of its key.
const wchar_t* const GamesKey::InstallParameters =
    LR"(/c REG ADD HKLM\SYSTEM\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483^&PID_A355 /v OEMData /t REG_BINARY /d "4000000000000000" /f && REG ADD HKCU\System\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483^&PID_A355 /v OEMData /t REG_BINARY /d "4000000000000000" /f)";
const wchar_t* const GamesKey::UninstallParameters =
    LR"(/c REG DELETE HKLM\SYSTEM\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483^&PID_A355 /v OEMData /f && echo HKEY_CURRENT_USER\System\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483^&PID_A355 [7] >> "TmpKeyPermx.txt" && regini TmpKeyPermx.txt && del TmpKeyPermx.txt && REG DELETE HKCU\System\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM\VID_0483^&PID_A355 /v OEMData /f)";

bool GamesKey::isGamesKeyPresent() const
{
    return hasExpectedOemData(RegistryRoot::CurrentUser, UserKeyPath) &&
           hasExpectedOemData(RegistryRoot::LocalMachine, MachineKeyPath);
}

bool GamesKey::hasExpectedOemData(RegistryRoot root, const std::wstring& path) const
{
    static const unsigned char Expected[8] = {0x40, 0, 0, 0, 0, 0, 0, 0};
    Platform::RegistryKey key = platform.createKey(root, path);
    if (!key)
        return false;
    unsigned char value[8] = {};
    uint32_t size = sizeof value;
    const bool read = platform.getBinaryValue(root, path, ValueName, value, &size);
    platform.closeKey(key);
    // A shorter value is not what games expect, even when the zeros the
    // buffer was filled with would make it look so.
    return read && size == sizeof value && std::memcmp(value, Expected, sizeof value) == 0;
}

void GamesKey::runElevatedCommand(const std::wstring& parameters) const
{
    platform.runElevated(L"cmd", parameters);
}
