#pragma once

#include "ProfilesManager.h"
#include "devices/OrvUsbWheelBaseProfileV5.h"

// Wheel base profile files. The file format is version 4 although the record
// is named V5: the two are numbered separately.
class WheelBaseProfilesManager : public ProfilesManager<OrvUsbWheelBaseProfileV5, 4>
{
public:
    // The older form: the first 43 record bytes and a checksum, no header.
    static constexpr int OlderRecordSize = 43;

protected:
    QString loadOlderFormat(QFile& file, OrvUsbWheelBaseProfileV5& profile) override;
};
