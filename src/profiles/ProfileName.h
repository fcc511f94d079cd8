#pragma once

#include <QByteArray>
#include <QString>

// Profile names hold at most 15 bytes of UTF-8; a name is cut before a
// character that does not fit whole.
QByteArray profileNameBytes(const QString& text);
// A stored name: its bytes up to the first NUL (at most 16), as UTF-8.
QString profileNameText(const char (&name)[16]);
