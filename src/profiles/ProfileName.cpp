#include "ProfileName.h"

QByteArray profileNameBytes(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    constexpr int MaxNameBytes = 15;
    if (utf8.size() <= MaxNameBytes)
        return utf8;
    int cut = MaxNameBytes;
    while (cut > 0 && (uchar(utf8[cut]) & 0xC0) == 0x80)
        --cut; // utf8[cut] continues a character that began before the cut
    return utf8.left(cut);
}

QString profileNameText(const char (&name)[16])
{
    return QString::fromUtf8(name, int(qstrnlen(name, sizeof name)));
}
