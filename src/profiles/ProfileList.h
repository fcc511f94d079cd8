#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

// The list operations on a device's settings block: the profile count, the
// current index and the slot array, all owned by the device object. Each
// operation returns whether the block changed, so the device knows whether to
// announce new settings. The count and index may come straight from a device:
// values outside the array are refused, never used as slot numbers.
template <typename Profile> class ProfileList
{
public:
    // Fills a first profile in place when the list is empty; index and name
    // are set by the list.
    using FirstProfileDefaults = void (*)(Profile&);

    ProfileList(uint8_t& profileCount, uint8_t& currentProfileIndex, Profile* profiles,
                int capacity,
                FirstProfileDefaults firstProfileDefaults = &Profile::applyFirstProfileDefaults)
        : count(profileCount), current(currentProfileIndex), profiles(profiles), capacity(capacity),
          firstProfileDefaults(firstProfileDefaults)
    {}

    // Appends a copy of the last profile (not the current one), named after
    // its own slot, and makes it current. A full list stays as it is.
    bool addProfile()
    {
        const int n = count;
        if (n >= capacity)
            return false;
        Profile& added = profiles[n];
        if (n == 0)
            firstProfileDefaults(added);
        else
            added = profiles[n - 1];
        added.index = uint8_t(n);
        std::memset(added.name, 0, sizeof added.name);
        std::snprintf(added.name, sizeof added.name, "Profile %d", n);
        current = uint8_t(n);
        count = uint8_t(n + 1);
        return true;
    }

    // Closes the gap left by the current profile; the one that followed it
    // becomes current, or the new last one when the last was removed. The
    // list never becomes empty this way.
    bool removeCurrentProfile()
    {
        const int n = count;
        const int removed = current;
        if (n <= 1 || n > capacity || removed >= n)
            return false;
        for (int slot = removed; slot < n - 1; ++slot) {
            profiles[slot] = profiles[slot + 1];
            profiles[slot].index = uint8_t(slot);
        }
        count = uint8_t(n - 1);
        if (current == count)
            --current;
        return true;
    }

    // Puts a whole record (from a file) in the current slot, keeping the
    // slot's own index.
    bool replaceCurrentProfile(const Profile& profile)
    {
        const int slot = current;
        if (slot >= count || slot >= capacity)
            return false;
        const uint8_t index = profiles[slot].index;
        profiles[slot] = profile;
        profiles[slot].index = index;
        profiles[slot].name[sizeof profile.name - 1] = '\0';
        return true;
    }

private:
    uint8_t& count;
    uint8_t& current;
    Profile* const profiles;
    const int capacity;
    const FirstProfileDefaults firstProfileDefaults;
};
