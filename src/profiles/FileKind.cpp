#include "FileKind.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

bool opensWithWait(const QString& fileName)
{
#ifdef Q_OS_UNIX
    struct stat info
    {};
    return ::stat(QFile::encodeName(fileName).constData(), &info) == 0 &&
           (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
#else
    Q_UNUSED(fileName);
    return false;
#endif
}

QString opensWithWaitMessage()
{
    return QCoreApplication::translate("ORV_wheel_tool", "Not a regular file");
}
