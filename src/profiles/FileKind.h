#pragma once

#include <QString>

// Whether opening the file could leave the caller waiting on another
// program: a FIFO blocks until a writer comes, and the caller is the
// window's thread. Such a file is refused with this text.
bool opensWithWait(const QString& fileName);
QString opensWithWaitMessage();
