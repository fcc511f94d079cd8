#include "usb/UsbManager.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <cstring>

namespace {

// One synchronous scan, no application object, no window: the answer is a
// line on standard output and the exit code.
int probe()
{
    bool found = false;
    {
        UsbManager manager;
        found = manager.rescanForOrvDevices();
    }
    std::fputs(found ? "Found ORV USB device.\n" : "No ORV USB device found.\n", stdout);
    std::fflush(stdout);
    return found ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--has-usb-device") == 0)
        return probe();

    QApplication app(argc, argv);
    int result = 0;
    {
        // Until the configuration window exists, an empty window keeps the
        // tool's place and its manager finds and reads devices as it will.
        QMainWindow window;
        window.setWindowTitle(
            QCoreApplication::translate("ORV_wheel_tool", "ORV Torvane Pro - Config Tool"));
        window.resize(757, 676);
        UsbManager manager;
        manager.start(false);
        window.show();
        result = app.exec();
    }
    return result;
}
