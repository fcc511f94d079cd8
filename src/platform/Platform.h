#pragma once

// What the tool asks of the operating system beyond Qt: reading the
// registry and running a command elevated. Windows has both; elsewhere a
// stand-in has neither, and tests put a fake in their place.

#include <cstdint>
#include <string>

enum class RegistryRoot
{
    CurrentUser,
    LocalMachine
};

class Platform
{
public:
    using RegistryKey = void*; // an opened key; null for none

    virtual ~Platform() = default;

    // False where there is no registry: nothing in it can be present.
    virtual bool hasRegistry() const = 0;

    // Opens the key for reading, creating it when it is missing and rights
    // allow; null on failure. Close it with closeKey.
    virtual RegistryKey createKey(RegistryRoot root, const std::wstring& path) = 0;
    // Reads a REG_BINARY value of root and path into data; *size is the
    // capacity on entry and the stored size on success. A longer value or
    // one of another type fails.
    virtual bool getBinaryValue(RegistryRoot root, const std::wstring& path,
                                const std::wstring& name, void* data, uint32_t* size) = 0;
    virtual void closeKey(RegistryKey key) = 0;

    // Runs file with parameters as administrator, hidden, and returns when
    // it has ended (exitCode, when given, receives its exit code). False
    // when it did not start, also when the user declined.
    virtual bool runElevated(const std::wstring& file, const std::wstring& parameters,
                             unsigned long* exitCode = nullptr) = 0;

    // The system's platform, or the one a test put in its place.
    static Platform& current();
    // Replaces the system's platform (null restores it); not owned.
    static void setCurrent(Platform* platform);
};
