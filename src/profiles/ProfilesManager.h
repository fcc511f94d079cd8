#pragma once

#include "FileKind.h"
#include "crc32Words.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstring>

// Reads and writes one profile per ".oprf" file. The current form is a header
// (format version, magic), the record, zero padding to a whole word and a
// checksum over everything before it; subclasses read their older headerless
// form. Every operation returns an error text to show, empty on success.
// Lives for one file operation only.
template <typename Profile, uint32_t Version> class ProfilesManager
{
public:
    static constexpr uint32_t Magic = 0xF0BADEAF;
    static constexpr int HeaderSize = 8;
    static constexpr int RecordSize = int(sizeof(Profile));
    // The checksum counts whole words only, so the record is padded to one.
    static constexpr int ChecksumOffset = (HeaderSize + RecordSize + 3) / 4 * 4;
    static constexpr int FileSize = ChecksumOffset + 4;

    static constexpr const char* FileNameEmpty = "File name can't be empty";
    static constexpr const char* CantReadAll = "Can't read all data from file";
    static constexpr const char* Corrupted = "Corrupted file";
    static constexpr const char* UnknownFormat = "Unknown file format";
    static constexpr const char* CantWriteAll = "Can't write all data";

    ProfilesManager() = default;
    ProfilesManager(const ProfilesManager&) = delete;
    ProfilesManager& operator=(const ProfilesManager&) = delete;
    virtual ~ProfilesManager() = default;

    // On success the whole record is overwritten; on failure it is untouched.
    QString loadFromFile(const QString& fileName, Profile& profile);
    // Replaces the file only once the whole image is written, so a failed
    // save leaves an existing file as it was; only where no new file may be
    // made beside it is the file written in place.
    QString saveToFile(const QString& fileName, const Profile& profile);

protected:
    // The older form, tried when the file is not a current one. file is open
    // and positioned at its start.
    virtual QString loadOlderFormat(QFile& file, Profile& profile) = 0;

    // Reads an older file: recordSize bytes and the checksum over them.
    // record must hold recordSize bytes.
    static QString readOlderRecord(QFile& file, int recordSize, uint8_t* record);

    // Names read from files may lack their NUL; no reader may run past them.
    static void terminateName(Profile& profile) { profile.name[sizeof profile.name - 1] = '\0'; }

    static QString message(const char* text)
    {
        return QCoreApplication::translate("ORV_wheel_tool", text);
    }

    uint8_t image[FileSize] = {};
};

template <typename Profile, uint32_t Version>
QString ProfilesManager<Profile, Version>::loadFromFile(const QString& fileName, Profile& profile)
{
    if (fileName.isEmpty())
        return message(FileNameEmpty);
    if (opensWithWait(fileName))
        return opensWithWaitMessage();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();

    if (file.size() == FileSize) {
        if (file.read(reinterpret_cast<char*>(image), FileSize) != FileSize)
            return message(CantReadAll);
        if (qFromLittleEndian<quint32>(image) == Version &&
            qFromLittleEndian<quint32>(image + 4) == Magic) {
            if (crc32Words(image, ChecksumOffset) !=
                qFromLittleEndian<quint32>(image + ChecksumOffset))
                return message(Corrupted);
            std::memcpy(&profile, image + HeaderSize, RecordSize);
            terminateName(profile);
            return QString();
        }
        file.seek(0);
    }
    return loadOlderFormat(file, profile);
}

template <typename Profile, uint32_t Version>
QString ProfilesManager<Profile, Version>::saveToFile(const QString& fileName,
                                                      const Profile& profile)
{
    if (fileName.isEmpty())
        return message(FileNameEmpty);
    QSaveFile file(fileName);
    // A writable file in a folder closed to new files is still saved.
    file.setDirectWriteFallback(true);
    // Unbuffered: a buffered write only meets the disk inside commit(), and
    // QSaveFile may then rename a short file over the old one regardless.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();

    std::memset(image, 0, FileSize);
    qToLittleEndian<quint32>(Version, image);
    qToLittleEndian<quint32>(Magic, image + 4);
    std::memcpy(image + HeaderSize, &profile, RecordSize);
    // Older readers take the name as a C string: never hand them one without its NUL.
    image[HeaderSize + offsetof(Profile, name) + sizeof profile.name - 1] = 0;
    qToLittleEndian<quint32>(crc32Words(image, ChecksumOffset), image + ChecksumOffset);

    // Not committed, the temporary file is dropped and the old file stays
    // (written in place, it is as far as the write got).
    if (file.write(reinterpret_cast<const char*>(image), FileSize) != FileSize || !file.commit())
        return message(CantWriteAll);
    return QString();
}

template <typename Profile, uint32_t Version>
QString ProfilesManager<Profile, Version>::readOlderRecord(QFile& file, int recordSize,
                                                           uint8_t* record)
{
    if (file.size() != recordSize + 4)
        return message(UnknownFormat);
    uint8_t checksum[4];
    if (file.read(reinterpret_cast<char*>(record), recordSize) != recordSize ||
        file.read(reinterpret_cast<char*>(checksum), 4) != 4)
        return message(CantReadAll);
    if (crc32Words(record, recordSize) != qFromLittleEndian<quint32>(checksum))
        return message(Corrupted);
    return QString();
}
