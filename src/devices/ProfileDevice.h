#pragma once

// The profile list of a wheel base or a set of pedals, seen the same way, so
// that the window and the command line do not branch on the device kind.

#include "OrvUsbDeviceInfo.h"

#include <QByteArray>
#include <QString>

#include <memory>

class UsbDevice;

class ProfileDevice
{
public:
    virtual ~ProfileDevice() = default;

    // Null for anything but a wheel base or pedals.
    static std::unique_ptr<ProfileDevice> of(UsbDevice* device);

    virtual UsbDevice* device() const = 0;

    virtual int capacity() const = 0;
    virtual int profileCount() const = 0;
    // For a restore: between 1 and the capacity; each slot's index field
    // becomes its position, the current index stays inside the list. False
    // (and nothing changed) for any other count.
    virtual bool setProfileCount(int count) = 0;
    virtual int currentProfileIndex() const = 0;
    // Ignored for a slot outside the list.
    virtual void setCurrentProfileIndex(int slot) = 0;
    virtual QString profileName(int slot) const = 0;
    // The record's own index field, read as a signed byte.
    virtual int profileIndexField(int slot) const = 0;
    // Stores at most 15 bytes of text as the current profile's name.
    virtual void renameCurrentProfile(const QString& text) = 0;
    virtual OrvUsbDeviceInfo deviceInfo() const = 0;
    virtual void setSettingsLoaded(bool loaded) = 0;

    virtual void loadSettings() = 0;
    virtual void saveSettings() = 0;
    virtual void addProfile() = 0;
    virtual void removeCurrentProfile() = 0;
    virtual void resetToFactoryDefaults() = 0;
    virtual void enterBootloader() = 0;

    // Profile files: an empty text on success, else the message to show.
    // A load replaces the current profile and gives its name.
    virtual QString loadCurrentProfile(const QString& fileName, QString* name) = 0;
    virtual QString saveCurrentProfile(const QString& fileName) const = 0;
    // The same for any slot of the list: a load replaces the slot's record
    // and keeps its index.
    virtual QString loadProfile(int slot, const QString& fileName, QString* name) = 0;
    virtual QString saveProfile(int slot, const QString& fileName) const = 0;
    // The slot's record as the device holds it; empty outside the list.
    virtual QByteArray profileBytes(int slot) const = 0;
};
