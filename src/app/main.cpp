#ifdef ORV_WITH_SIMULATOR
#include "simbackend/installSimulatorBackend.h"
#endif
#include "usb/UsbManager.h"
#include "window/ORV_wheel_tool.h"
#include "window/Resources.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

// One synchronous scan, no application object, no window: the answer is a
// line on standard output and the exit code. The line goes out before the
// manager is torn down, so that nothing in the teardown can swallow it.
int probe()
{
    UsbManager manager;
    const bool found = manager.rescanForOrvDevices();
    std::fputs(found ? "Found ORV USB device.\n" : "No ORV USB device found.\n", stdout);
    std::fflush(stdout);
    return found ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
#ifdef ORV_WITH_SIMULATOR
    // ORV_HID_BACKEND=sim is the demo: the tool brings its own devices.
    installSimulatorBackend();
#endif
    if (argc > 1 && std::strcmp(argv[1], "--has-usb-device") == 0)
        return probe();

    QApplication app(argc, argv);
    // The desktop entry's name ties the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orv.ConfigTool"));
    initWindowResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orv-config-tool.png")));
    int result = 0;
    {
        // Destroyed before the application: the window stops the manager,
        // which joins the reader thread and releases every device.
        ORV_wheel_tool window;
        window.show();
        result = app.exec();
    }
    return result;
}
