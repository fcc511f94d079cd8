#include "ProfileDevice.h"

#include "UsbDeviceOrvPedals.h"
#include "UsbDeviceOrvWheelBase.h"
#include "profiles/PedalsProfilesManager.h"
#include "profiles/ProfileName.h"
#include "profiles/WheelBaseProfilesManager.h"

#include <QCoreApplication>

#include <cstring>

namespace {

// Both kinds keep their list in members of the same names; only the record
// and its file manager differ.
template <class Device, class Manager> class ProfileDeviceOf final : public ProfileDevice
{
public:
    explicit ProfileDeviceOf(Device* d) : d(d) {}

    UsbDevice* device() const override { return d; }

    int capacity() const override { return Device::MaxProfiles; }
    int profileCount() const override { return d->profileCount; }
    bool setProfileCount(int count) override
    {
        if (count < 1 || count > Device::MaxProfiles)
            return false;
        d->profileCount = uint8_t(count);
        for (int slot = 0; slot < count; ++slot)
            d->profiles[slot].index = uint8_t(slot);
        if (d->currentProfileIndex >= count)
            d->currentProfileIndex = uint8_t(count - 1);
        return true;
    }
    int currentProfileIndex() const override { return d->currentProfileIndex; }
    void setCurrentProfileIndex(int slot) override
    {
        if (inList(slot))
            d->currentProfileIndex = uint8_t(slot);
    }
    QString profileName(int slot) const override
    {
        return inList(slot) ? profileNameText(d->profiles[slot].name) : QString();
    }
    int profileIndexField(int slot) const override
    {
        return inList(slot) ? int(int8_t(d->profiles[slot].index)) : -1;
    }
    void renameCurrentProfile(const QString& text) override
    {
        const int slot = d->currentProfileIndex;
        if (!inList(slot))
            return;
        char* name = d->profiles[slot].name;
        const QByteArray bytes = profileNameBytes(text);
        std::memset(name, 0, 15); // the sixteenth byte stays NUL
        std::memcpy(name, bytes.constData(), size_t(bytes.size()));
    }
    OrvUsbDeviceInfo deviceInfo() const override { return d->deviceInfo; }
    void setSettingsLoaded(bool loaded) override { d->settingsLoaded = loaded; }

    void loadSettings() override { d->loadSettings(); }
    void saveSettings() override { d->saveSettings(); }
    void addProfile() override { d->addProfile(); }
    void removeCurrentProfile() override { d->removeCurrentProfile(); }
    void resetToFactoryDefaults() override { d->resetToFactoryDefaults(); }
    void enterBootloader() override { d->enterBootloader(); }

    QString loadCurrentProfile(const QString& fileName, QString* name) override
    {
        Profile profile{};
        const QString error = Manager().loadFromFile(fileName, profile);
        if (!error.isEmpty())
            return error;
        d->replaceCurrentProfile(profile);
        if (name)
            *name = profileNameText(profile.name);
        return QString();
    }
    QString saveCurrentProfile(const QString& fileName) const override
    {
        return saveProfile(d->currentProfileIndex, fileName);
    }
    QString loadProfile(int slot, const QString& fileName, QString* name) override
    {
        if (!inList(slot))
            return noProfile(slot);
        // The device replaces its current slot; any other is made current
        // for the moment.
        const uint8_t current = d->currentProfileIndex;
        d->currentProfileIndex = uint8_t(slot);
        const QString error = loadCurrentProfile(fileName, name);
        d->currentProfileIndex = current;
        return error;
    }
    QString saveProfile(int slot, const QString& fileName) const override
    {
        if (!inList(slot))
            return noProfile(slot);
        return Manager().saveToFile(fileName, d->profiles[slot]);
    }
    QByteArray profileBytes(int slot) const override
    {
        if (!inList(slot))
            return QByteArray();
        return QByteArray(reinterpret_cast<const char*>(&d->profiles[slot]), sizeof(Profile));
    }

private:
    static QString noProfile(int slot)
    {
        return QCoreApplication::translate("ORV_wheel_tool", "There is no profile %1").arg(slot);
    }

    using Profile = std::remove_reference_t<decltype(std::declval<Device>().profiles[0])>;

    // A count or index straight from a device is never used as a slot
    // outside the array.
    bool inList(int slot) const
    {
        return slot >= 0 && slot < d->profileCount && slot < Device::MaxProfiles;
    }

    Device* const d;
};

} // namespace

std::unique_ptr<ProfileDevice> ProfileDevice::of(UsbDevice* device)
{
    if (auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(device))
        return std::make_unique<ProfileDeviceOf<UsbDeviceOrvWheelBase, WheelBaseProfilesManager>>(
            wheelBase);
    if (auto* pedals = qobject_cast<UsbDeviceOrvPedals*>(device))
        return std::make_unique<ProfileDeviceOf<UsbDeviceOrvPedals, PedalsProfilesManager>>(pedals);
    return nullptr;
}
