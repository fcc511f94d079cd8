#include "WheelBaseProfilesManager.h"

QString WheelBaseProfilesManager::loadOlderFormat(QFile& file, OrvUsbWheelBaseProfileV5& profile)
{
    uint8_t older[OlderRecordSize];
    const QString error = readOlderRecord(file, OlderRecordSize, older);
    if (!error.isEmpty())
        return error;

    // The older record is the current one cut short after the effect
    // sources; the settings added since start from fixed values.
    OrvUsbWheelBaseProfileV5 converted;
    std::memcpy(&converted, older, OlderRecordSize);
    converted.reserved43 = 0;
    converted.staticForceReduction = 0;
    converted.nonLinearity = 0;
    converted.slewRate = 2;
    converted.endStopMaxForce = 100;
    converted.endStopStiffness = 1;
    converted.softEndStopDegrees = 900;
    converted.softEndStopEnabled = 0;
    terminateName(converted);
    profile = converted;
    return QString();
}
