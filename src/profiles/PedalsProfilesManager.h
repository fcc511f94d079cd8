#pragma once

#include "ProfilesManager.h"
#include "devices/OrvUsbPedalsProfileV2.h"

// Pedals profile files, format version 2.
class PedalsProfilesManager : public ProfilesManager<OrvUsbPedalsProfileV2, 2>
{
public:
    // The older form: a 41-byte record with 8-bit forces and a checksum, no header.
    static constexpr int OlderRecordSize = 41;

protected:
    QString loadOlderFormat(QFile& file, OrvUsbPedalsProfileV2& profile) override;
};
