#include "WindowsPlatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

namespace {

HKEY rootKey(RegistryRoot root)
{
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

} // namespace

Platform::RegistryKey WindowsPlatform::createKey(RegistryRoot root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(rootKey(root), path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool WindowsPlatform::getBinaryValue(RegistryRoot root, const std::wstring& path,
                                     const std::wstring& name, void* data, uint32_t* size)
{
    DWORD bytes = *size;
    if (RegGetValueW(rootKey(root), path.c_str(), name.c_str(), RRF_RT_REG_BINARY, nullptr, data,
                     &bytes) != ERROR_SUCCESS)
        return false;
    *size = bytes;
    return true;
}

void WindowsPlatform::closeKey(RegistryKey key)
{
    if (key)
        RegCloseKey(static_cast<HKEY>(key));
}

bool WindowsPlatform::runElevated(const std::wstring& file, const std::wstring& parameters,
                                  unsigned long* exitCode)
{
    SHELLEXECUTEINFOW info = {};
    // The structure's real size: a fixed 60 is the 32-bit layout, which
    // 64-bit Windows refuses.
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info))
        return false;
    if (!info.hProcess)
        return false; // handed to a running program: nothing to wait for
    // A blocking wait rather than polling the exit code: it costs nothing
    // while the command runs, and an exit code of STILL_ACTIVE cannot make
    // it wait forever.
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(info.hProcess, &code) != FALSE;
    CloseHandle(info.hProcess);
    if (exitCode && ended)
        *exitCode = code;
    return true;
}
