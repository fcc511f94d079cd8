// orvctl center: the wheel base takes the rim's present position as its
// centre and reports the new offset.

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "devices/UsbDevice.h"
#include "devices/UsbDeviceOrvWheelBase.h"

#include <QPointer>

namespace {

class CenterCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("center"); }
    QString brief() const override
    {
        return QStringLiteral("Centre the rim at the wheel's present position");
    }
    QString summary() const override
    {
        return QStringLiteral("Centre the rim: the wheel base's present position becomes the "
                              "centre of the current profile.");
    }

protected:
    int options() const override { return DeviceOption; }

    int execute(CliSession& session, const QCommandLineParser& parser) override
    {
        int code = ExitOk;
        auto* wheelBase = qobject_cast<UsbDeviceOrvWheelBase*>(
            session.findLoaded(parser.value("device"), WheelBaseKind, &code));
        if (!wheelBase)
            return code;
        QPointer<UsbDeviceOrvWheelBase> target = wheelBase;
        bool answered = false;
        const auto connection =
            QObject::connect(wheelBase, &UsbDeviceOrvWheelBase::onSettingsLoaded,
                             [&](UsbDevice*) { answered = true; });
        wheelBase->centerRim();
        const bool done = session.waitUntil([&] { return answered || !target; });
        QObject::disconnect(connection);
        if (!done || !target) {
            session.err << "The wheel base did not answer." << Qt::endl;
            return CliSession::interrupted() ? ExitInterrupted : ExitFailed;
        }
        const float turns = target->profiles[target->currentProfileIndex].centerOffset;
        session.out << QString::number(double(turns * 360.0f), 'f', 2) << " deg\n";
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeCenterCommand()
{
    return std::make_unique<CenterCommand>();
}
