#include "RimView.h"

#include "PageRules.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "ui_ORV_wheel_tool.h"

#include <QDateTime>
#include <QPainter>

namespace {

uint32_t nowMs()
{
    return uint32_t(QDateTime::currentMSecsSinceEpoch());
}

} // namespace

RimView::RimView(Ui::ORV_wheel_tool& ui)
    : ui(ui), source(QStringLiteral(":/rim.png")), lastUiUpdateMs(nowMs())
{}

bool RimView::joystickUpdate(const OrvUsbWheelBaseJoystickUpdate& update)
{
    const uint32_t now = nowMs();
    // A clock set back refreshes at once rather than freezing the display.
    if (now >= lastUiUpdateMs && now - lastUiUpdateMs < RedrawIntervalMs)
        return false;
    lastUiUpdateMs = now;
    drawWheel(update.steeringAxis);
    return true;
}

void RimView::drawWheel(int16_t axisValue)
{
    if (!wheelBase || (drawn && axisValue == lastAxisValue))
        return;
    lastAxisValue = axisValue;
    ++redrawCount;
    ui.label_JoystickValue->setText(QString::number(axisValue));

    const int slot = wheelBase->currentProfileIndex;
    const int32_t range =
        slot < UsbDeviceOrvWheelBase::MaxProfiles ? wheelBase->profiles[slot].rotationDegrees : 0;
    const int angle = pagerules::rimAngle(axisValue, range);
    if (drawn && angle == lastRimAngle)
        return;
    drawn = true;
    lastRimAngle = int16_t(angle);
    ++rebuildCount;

    QPixmap rotated(source.size());
    rotated.fill(QColor(0, 0, 0, 0));
    QPainter painter(&rotated);
    // Antialiasing is the high-quality kind in current Qt; the separate
    // high-quality hint is obsolete and ignored.
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const int c = source.height() / 2;
    painter.translate(c, c);
    painter.rotate(angle);
    painter.translate(-c, -c);
    painter.drawPixmap(0, 0, source);
    painter.end();
    ui.label_Rim_Image->setPixmap(rotated);
}
