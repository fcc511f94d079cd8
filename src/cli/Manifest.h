#pragma once

// What a backup folder says about its device: its kind, serial number and
// versions, and its list (count, current profile, one file per profile).

#include <QString>
#include <QStringList>

class ProfileDevice;

struct Manifest
{
    static constexpr const char* FileName = "manifest.json";

    QString kind; // "wheelbase" or "pedals"
    QString serial;
    QString product;
    QString firmware;
    QString hardware;
    int currentProfileIndex = 0;
    QStringList files; // in list order

    static Manifest of(ProfileDevice& device);
    static QString profileFileName(int slot);
    // kind-serial, or the kind alone for a device without a serial number.
    QString folderName() const;

    // Empty on success, else why not.
    QString write(const QString& folder) const;
    static QString read(const QString& folder, Manifest* manifest);
};
