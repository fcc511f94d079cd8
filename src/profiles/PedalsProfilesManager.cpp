#include "PedalsProfilesManager.h"

QString PedalsProfilesManager::loadOlderFormat(QFile& file, OrvUsbPedalsProfileV2& profile)
{
    uint8_t older[OlderRecordSize];
    const QString error = readOlderRecord(file, OlderRecordSize, older);
    if (!error.isEmpty())
        return error;

    // Older layout: index, name, three 8-bit values whose difference from
    // 1000 is the maximum force, three 8-bit minimum forces, then the curves
    // exactly as the current record has them.
    OrvUsbPedalsProfileV2 converted;
    converted.index = older[0];
    std::memcpy(converted.name, older + 1, sizeof converted.name);
    terminateName(converted);
    converted.clutchMaxForce = uint16_t(1000 - older[17]);
    converted.brakeMaxForce = uint16_t(1000 - older[18]);
    converted.throttleMaxForce = uint16_t(1000 - older[19]);
    converted.clutchMinForce = older[20];
    converted.brakeMinForce = older[21];
    converted.throttleMinForce = older[22];
    std::memcpy(converted.clutchCurve, older + 23, sizeof converted.clutchCurve);
    std::memcpy(converted.brakeCurve, older + 29, sizeof converted.brakeCurve);
    std::memcpy(converted.throttleCurve, older + 35, sizeof converted.throttleCurve);
    profile = converted;
    return QString();
}
