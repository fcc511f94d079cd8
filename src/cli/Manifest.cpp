#include "Manifest.h"

#include "CliSession.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

Manifest Manifest::of(ProfileDevice& device)
{
    Manifest m;
    m.kind = CliSession::kindName(device.device());
    m.serial = device.device()->getSerialNumber();
    m.product = device.device()->getProductName();
    m.firmware = device.deviceInfo().firmwareVersion();
    m.hardware = device.deviceInfo().hardwareVersion();
    m.currentProfileIndex = device.currentProfileIndex();
    return m;
}

QString Manifest::profileFileName(int slot)
{
    return QStringLiteral("profile-%1.oprf").arg(slot, 2, 10, QLatin1Char('0'));
}

QString Manifest::folderName() const
{
    QString safeSerial = serial;
    for (QChar& c : safeSerial)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return safeSerial.isEmpty() ? kind : kind + QLatin1Char('-') + safeSerial;
}

QString Manifest::write(const QString& folder) const
{
    const QJsonObject json{{"kind", kind},
                           {"serial", serial},
                           {"product", product},
                           {"firmware", firmware},
                           {"hardware", hardware},
                           {"currentProfileIndex", currentProfileIndex},
                           {"profiles", QJsonArray::fromStringList(files)}};
    QSaveFile file(QDir(folder).filePath(FileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(json).toJson()) < 0 ||
        !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString());
    return QString();
}

QString Manifest::read(const QString& folder, Manifest* m)
{
    QFile file(QDir(folder).filePath(FileName));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString());
    QJsonParseError parseError{};
    const QJsonObject json = QJsonDocument::fromJson(file.readAll(), &parseError).object();
    if (parseError.error != QJsonParseError::NoError || !json["profiles"].isArray())
        return QStringLiteral("%1 is no backup manifest.").arg(file.fileName());
    m->kind = json["kind"].toString();
    m->serial = json["serial"].toString();
    m->product = json["product"].toString();
    m->firmware = json["firmware"].toString();
    m->hardware = json["hardware"].toString();
    m->currentProfileIndex = json["currentProfileIndex"].toInt();
    m->files.clear();
    for (const QJsonValue& name : json["profiles"].toArray())
        m->files.append(name.toString());
    return QString();
}
