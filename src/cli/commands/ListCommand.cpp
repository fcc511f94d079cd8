// orvctl list: every supported device with its kind, path, names and
// versions, and those present that cannot be opened, with the reason.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class ListCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("list"); }
    QString brief() const override
    {
        return QStringLiteral("List the devices, their versions, and those that cannot be opened");
    }
    QString summary() const override
    {
        return QStringLiteral("List the ORV devices: kind, path, product, serial number, "
                              "protocol, firmware and hardware versions; and devices that are "
                              "present but cannot be opened, with the reason.");
    }

protected:
    int options() const override { return JsonOption; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        session.scan();
        QJsonArray devices;
        for (UsbDevice* device : session.devices()) {
            QJsonObject entry{{"kind", CliSession::kindName(device)},
                              {"path", device->getPath()},
                              {"product", device->getProductName()},
                              {"serial", device->getSerialNumber()}};
            const QString failure = session.load(device);
            if (!failure.isEmpty()) {
                entry.insert("error", failure);
            } else {
                OrvUsbDeviceInfo info{};
                if (auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(device)) {
                    info = wheelBase->deviceInfo;
                    entry.insert("protocol", int(wheelBase->protocolVersion));
                } else if (auto* pedals = qobject_cast<UsbDeviceOrvPedals*>(device)) {
                    info = pedals->deviceInfo;
                    entry.insert("protocol", UsbDeviceOrvPedals::ProtocolVersion);
                } else if (auto* bootloader = qobject_cast<UsbDeviceOrvBootloader*>(device)) {
                    info = bootloader->deviceInfo;
                }
                entry.insert("firmware", info.firmwareVersion());
                entry.insert("hardware", info.hardwareVersion());
            }
            devices.append(entry);
        }
        QJsonArray unopenable;
        for (const DeviceAccessProblem& p : session.manager().accessProblems().problems())
            unopenable.append(
                QJsonObject{{"path", p.path}, {"product", p.product}, {"reason", p.reason()}});

        if (parser.isSet("json")) {
            session.out << QJsonDocument(
                               QJsonObject{{"devices", devices}, {"unopenable", unopenable}})
                               .toJson(QJsonDocument::Indented);
            return ExitOk;
        }
        for (const QJsonValue& value : devices) {
            const QJsonObject d = value.toObject();
            session.out << d["kind"].toString() << '\t' << d["path"].toString() << '\t'
                        << d["product"].toString() << "\tserial " << d["serial"].toString();
            if (d.contains("error"))
                session.out << '\t' << d["error"].toString();
            else {
                if (d.contains("protocol"))
                    session.out << "\tprotocol " << d["protocol"].toInt();
                session.out << "\tfirmware " << d["firmware"].toString() << "\thardware "
                            << d["hardware"].toString();
            }
            session.out << '\n';
        }
        for (const QJsonValue& value : unopenable) {
            const QJsonObject p = value.toObject();
            session.out << "unopenable\t" << p["path"].toString() << '\t' << p["product"].toString()
                        << '\t' << p["reason"].toString() << '\n';
        }
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeListCommand()
{
    return std::make_unique<ListCommand>();
}
