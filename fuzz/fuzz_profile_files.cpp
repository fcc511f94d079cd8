// Profile files of both kinds: the first byte picks the kind, the rest is
// the file. A load that fails leaves the record as it was; one that succeeds
// saves a file that loads back to the same record.

#include "profiles/PedalsProfilesManager.h"
#include "profiles/WheelBaseProfilesManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

namespace {

QTemporaryDir* dir = nullptr;

bool writeFile(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
}

template <class Manager, class Profile> void check(const uint8_t* data, size_t size)
{
    const QString in = dir->filePath("in.oprf");
    const QString out = dir->filePath("out.oprf");
    if (!writeFile(in, data, size))
        std::abort();

    Profile loaded;
    std::memset(&loaded, 0xa5, sizeof loaded);
    const Profile before = loaded;
    if (!Manager().loadFromFile(in, loaded).isEmpty()) {
        if (std::memcmp(&loaded, &before, sizeof loaded) != 0)
            std::abort(); // a failed load changed the record
        return;
    }
    if (!Manager().saveToFile(out, loaded).isEmpty())
        std::abort();
    Profile again;
    std::memset(&again, 0x5a, sizeof again);
    if (!Manager().loadFromFile(out, again).isEmpty() ||
        std::memcmp(&loaded, &again, sizeof loaded) != 0)
        std::abort(); // saved, but it does not load back the same
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir theDir;
    if (!theDir.isValid())
        std::abort();
    dir = &theDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 1)
        check<PedalsProfilesManager, OrvUsbPedalsProfileV2>(data + 1, size - 1);
    else
        check<WheelBaseProfilesManager, OrvUsbWheelBaseProfileV5>(data + 1, size - 1);
    return 0;
}
