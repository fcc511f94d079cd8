#pragma once

// The games compatibility key: the joystick OEM value "OEMData" of the wheel
// base's USB ID (VID_0483&PID_A355) that games read, per user and for the
// machine. It is read directly and written by an elevated cmd.

#include "Platform.h"

#include <string>

class GamesKey
{
public:
    static const wchar_t* const UserKeyPath;    // under HKEY_CURRENT_USER
    static const wchar_t* const MachineKeyPath; // under HKEY_LOCAL_MACHINE
    static const wchar_t* const ValueName;
    // Parameters of cmd that write, respectively remove, both copies.
    static const wchar_t* const InstallParameters;
    static const wchar_t* const UninstallParameters;

    explicit GamesKey(Platform& platform) : platform(platform) {}

    // Both copies hold the expected content; the machine's copy is only
    // read when the user's does.
    bool isGamesKeyPresent() const;
    // The value under root and path is exactly 40 00 00 00 00 00 00 00.
    // Opening the key creates it when it is missing and rights allow.
    bool hasExpectedOemData(RegistryRoot root, const std::wstring& path) const;
    // Runs cmd elevated with parameters and waits for it; success shows
    // only in the registry afterwards.
    void runElevatedCommand(const std::wstring& parameters) const;

private:
    Platform& platform;
};
