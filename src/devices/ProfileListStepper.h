#pragma once

#include "ProfileListTransfer.h"
#include "profiles/ProfileList.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

// Steps a device's profile list through its read, save and live-update
// transfers, each record command sent once the device has answered the one
// before, and changes the list in place. Owned by the device object, which
// holds the settings block and the update timer; it talks back through
// callbacks. A callback that announces something is always the last thing a
// step does: its receiver may run the event loop, in which an unplug deletes
// the device and this helper with it.
class ProfileListStepper
{
public:
    static constexpr int UpdateDelayMs = 250;

    // How edits schedule the live update that goes out 250 ms later.
    enum class UpdatePolicy
    {
        RestartOnEveryEdit, // one update, after the last edit of a burst
        FirstEditStarts,    // one update, after the first edit, carrying all made until then
    };

    struct Callbacks
    {
        std::function<void(const uint8_t* command, bool expectReply)> send;
        std::function<void()> loaded; // the list was read or changed
        std::function<void()> saved;  // a save completed; empty where the kind reports none
    };

    ProfileListStepper(const ProfileListTransfer& transfer, UpdatePolicy policy,
                       uint8_t& profileCount, uint8_t& currentProfileIndex, void* profiles,
                       QTimer& updateTimer, Callbacks callbacks);
    ProfileListStepper(const ProfileListStepper&) = delete;
    ProfileListStepper& operator=(const ProfileListStepper&) = delete;

    void beginRead();
    void beginSave();
    void scheduleUpdate(bool settingsLoaded);

    // The answer to read begin. Empty when the list it describes can be read;
    // otherwise the text that tells the user why not.
    QString settingsAnswerProblem(const uint8_t* report) const;
    // Takes the count and current index of an answer when the list can hold
    // them.
    bool adoptCountAndIndex(const uint8_t* report);
    void readProfiles();

    // The answers of the list transfers. True when the answer was one of
    // theirs; by then the device may be gone.
    bool handleAnswer(const uint8_t* report);

    // The slot an answer's record index names, or -1 when it names none of a
    // list that fits its block.
    int answeredSlot(const uint8_t* report) const;
    void storeProfile(int slot, const uint8_t* record);

    // profiles is the block's own array, typed.
    template <typename Profile> void addProfile(Profile* profiles)
    {
        if (list(profiles).addProfile())
            callbacks.loaded();
    }
    template <typename Profile> void removeCurrentProfile(Profile* profiles)
    {
        if (list(profiles).removeCurrentProfile())
            callbacks.loaded();
    }
    template <typename Profile>
    void replaceCurrentProfile(Profile* profiles, const Profile& profile)
    {
        list(profiles).replaceCurrentProfile(profile);
    }

private:
    template <typename Profile> ProfileList<Profile> list(Profile* profiles)
    {
        Q_ASSERT(static_cast<void*>(profiles) == records && sizeof(Profile) == transfer.recordSize);
        return ProfileList<Profile>(count, current, profiles, transfer.capacity);
    }

    bool listFits() const { return transfer.fits(count, current); }
    void recordAnswered(const uint8_t* report, UsbCommand recordCode, UsbCommand listCode);
    void sendProfileCommand(UsbCommand code, int slot);
    void sendListCommand(UsbCommand code, bool begin);

    const ProfileListTransfer transfer;
    const UpdatePolicy policy;
    uint8_t& count;
    uint8_t& current;
    uint8_t* const records;
    QTimer& updateTimer;
    const Callbacks callbacks;
};
