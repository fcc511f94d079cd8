#include "FakeSysfs.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QString usbDir(const QString& root, const QString& node)
{
    return root + "/devices/pci0000:00/usb1/1-" + node;
}

} // namespace

QByteArray fakeUevent(const char* hidId, const char* name, const char* uniq)
{
    return QByteArray("DRIVER=hid-generic\nHID_ID=") + hidId + "\nHID_NAME=" + name +
           "\nHID_UNIQ=" + uniq + "\nMODALIAS=hid:b0003\n";
}

bool addFakeHidraw(const QString& root, const FakeHidraw& d)
{
    const QString usb = usbDir(root, d.node);
    const QString iface = usb + "/1-" + d.node + ":1.0";
    const QString hid = iface + "/0003:0483:A355." + d.node;
    if (!QDir().mkpath(hid + "/hidraw/" + d.node) ||
        !QDir().mkpath(root + "/class/hidraw/" + d.node))
        return false;
    if (!d.uevent.isNull() && !writeFile(hid + "/uevent", d.uevent))
        return false;
    if (!d.descriptor.isEmpty() && !writeFile(hid + "/report_descriptor", d.descriptor))
        return false;
    if (!d.interface.isEmpty() &&
        !writeFile(iface + "/bInterfaceNumber", d.interface.toUtf8() + "\n"))
        return false;
    if (!d.usbProduct.isEmpty() && !writeFile(usb + "/product", d.usbProduct.toUtf8() + "\n"))
        return false;
    if (!d.usbSerial.isEmpty() && !writeFile(usb + "/serial", d.usbSerial.toUtf8() + "\n"))
        return false;
    writeFile(usb + "/manufacturer", "ORV\n");
    writeFile(usb + "/bcdDevice", "0210\n");
    if (d.linked)
        return ::symlink(hid.toUtf8().constData(),
                         (root + "/class/hidraw/" + d.node + "/device").toUtf8().constData()) == 0;
    return true;
}

bool removeFakeHidraw(const QString& root, const QString& node)
{
    return QDir(root + "/class/hidraw/" + node).removeRecursively() &&
           QDir(usbDir(root, node)).removeRecursively();
}
