#include "ProfileTransfer.h"

#include "CliSession.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDevice.h"

#include <QList>
#include <QPointer>

int saveAndVerify(CliSession& session, ProfileDevice& list)
{
    QPointer<UsbDevice> device = list.device();
    const int count = list.profileCount();
    const int current = list.currentProfileIndex();
    QList<QByteArray> sent;
    for (int i = 0; i < count; ++i)
        sent.append(list.profileBytes(i));

    list.saveSettings();
    // A save ends with a command that expects no answer: once none is out,
    // the device has taken every profile.
    if (!session.settle(device)) {
        session.err << (device ? "The device did not take the profiles in time."
                               : "The device left while saving.")
                    << Qt::endl;
        return CliSession::interrupted() ? ExitInterrupted : ExitFailed;
    }
    const QString failure = session.load(device);
    if (!failure.isEmpty()) {
        session.err << "Saved, but could not read back: " << failure << Qt::endl;
        return ExitFailed;
    }
    bool same = list.profileCount() == count && list.currentProfileIndex() == current;
    for (int i = 0; same && i < count; ++i)
        same = list.profileBytes(i) == sent[i];
    if (!same) {
        session.err << "The device holds other profiles than were saved." << Qt::endl;
        return ExitFailed;
    }
    return ExitOk;
}
