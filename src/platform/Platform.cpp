#include "Platform.h"

#ifdef _WIN32
#include "WindowsPlatform.h"
using SystemPlatform = WindowsPlatform;
#else
#include "StandInPlatform.h"
using SystemPlatform = StandInPlatform;
#endif

namespace {

Platform* replacement = nullptr;

} // namespace

Platform& Platform::current()
{
    static SystemPlatform system;
    return replacement ? *replacement : system;
}

void Platform::setCurrent(Platform* platform)
{
    replacement = platform;
}
