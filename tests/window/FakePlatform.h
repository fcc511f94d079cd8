#pragma once

// A registry in memory and an elevated command that does what the games key
// commands would do to it, or is refused.

#include "platform/GamesKey.h"
#include "platform/Platform.h"

#include <QByteArray>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

class FakePlatform : public Platform
{
public:
    static QByteArray expected() { return QByteArray::fromHex("4000000000000000"); }

    std::map<RegistryRoot, QByteArray> oemData; // absent: no value
    std::vector<RegistryRoot> reads;
    std::vector<std::wstring> commands;
    bool refuseElevation = false;

    bool hasRegistry() const override { return true; }
    RegistryKey createKey(RegistryRoot, const std::wstring&) override { return this; }
    bool getBinaryValue(RegistryRoot root, const std::wstring& path, const std::wstring& name,
                        void* data, uint32_t* size) override
    {
        reads.push_back(root);
        const auto found = oemData.find(root);
        const auto* keyPath =
            root == RegistryRoot::CurrentUser ? GamesKey::UserKeyPath : GamesKey::MachineKeyPath;
        if (path != keyPath || name != GamesKey::ValueName || found == oemData.end() ||
            uint32_t(found->second.size()) > *size)
            return false;
        std::memcpy(data, found->second.constData(), size_t(found->second.size()));
        *size = uint32_t(found->second.size());
        return true;
    }
    void closeKey(RegistryKey) override {}
    bool runElevated(const std::wstring& file, const std::wstring& parameters,
                     unsigned long*) override
    {
        commands.push_back(file + L" " + parameters);
        if (refuseElevation)
            return false;
        for (RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
            if (parameters == GamesKey::InstallParameters)
                oemData[root] = expected();
            else if (parameters == GamesKey::UninstallParameters)
                oemData.erase(root);
        }
        return true;
    }
};
