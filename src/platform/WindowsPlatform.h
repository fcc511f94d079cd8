#pragma once

#include "Platform.h"

// The registry (advapi32) and elevation through the shell's "runas".
class WindowsPlatform : public Platform
{
public:
    bool hasRegistry() const override { return true; }
    RegistryKey createKey(RegistryRoot root, const std::wstring& path) override;
    bool getBinaryValue(RegistryRoot root, const std::wstring& path, const std::wstring& name,
                        void* data, uint32_t* size) override;
    void closeKey(RegistryKey key) override;
    bool runElevated(const std::wstring& file, const std::wstring& parameters,
                     unsigned long* exitCode) override;
};
