#pragma once

#include "Platform.h"

// Systems without a registry or an elevation prompt: nothing is present and
// nothing can be run.
class StandInPlatform : public Platform
{
public:
    bool hasRegistry() const override { return false; }
    RegistryKey createKey(RegistryRoot, const std::wstring&) override { return nullptr; }
    bool getBinaryValue(RegistryRoot, const std::wstring&, const std::wstring&, void*,
                        uint32_t*) override
    {
        return false;
    }
    void closeKey(RegistryKey) override {}
    bool runElevated(const std::wstring&, const std::wstring&, unsigned long*) override
    {
        return false;
    }
};
