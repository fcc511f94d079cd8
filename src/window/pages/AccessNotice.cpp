#include "AccessNotice.h"

#include "ui_ORV_wheel_tool.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ORV_wheel_tool", text);
}

} // namespace

AccessNotice::AccessNotice(Ui::ORV_wheel_tool& ui) : label(new QLabel(ui.centralWidget))
{
    label->setObjectName(QStringLiteral("labelDeviceAccessNotice"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command can be copied
    label->setFrameShape(QFrame::StyledPanel);
    label->setMargin(6);
    label->setStyleSheet(QStringLiteral("QLabel { background: #fff3cd; color: #533f03; }"));
    label->hide();
    ui.centralLayout->insertWidget(0, label);
}

void AccessNotice::show(const QList<DeviceAccessProblem>& problems)
{
    label->setText(text(problems));
    label->setVisible(!problems.isEmpty());
}

QString AccessNotice::text(const QList<DeviceAccessProblem>& problems)
{
    QStringList lines;
    bool permission = false;
    bool busy = false;
    for (const DeviceAccessProblem& p : problems) {
        const QString name = p.product.isEmpty() ? tr("An ORV device") : p.product;
        lines
            << tr("%1 (%2) is plugged in but cannot be opened: %3.").arg(name, p.path, p.reason());
        permission = permission || p.permissionDenied();
        busy = busy || p.busy();
    }
    if (permission)
        lines << tr("Install the udev rule that lets you use the devices (the orv-config-tool "
                    "package installs it), then unplug the device and plug it in again. From "
                    "the source tree:")
              << QStringLiteral("sudo cp packaging/70-orv-devices.rules /etc/udev/rules.d/ && "
                                "sudo udevadm control --reload && sudo udevadm trigger");
    if (busy)
        lines << tr("Close the other program that uses it; the device is opened as soon as it "
                    "is free.");
    return lines.join(QLatin1Char('\n'));
}
