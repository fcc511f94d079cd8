// The wheel rim display: the rim picture turned to the wheel's angle, and the
// raw axis value, redrawn at most every 16 ms and rebuilt only when the angle
// in whole degrees changes.

#include "ORV_wheel_tool.h"

#include "devices/UsbDeviceOrvWheelBase.h"
#include "ui_ORV_wheel_tool.h"

#include <QDateTime>
#include <QPainter>

namespace {

constexpr uint32_t RedrawIntervalMs = 16;

} // namespace

int ORV_wheel_tool::rimAngle(int16_t axisValue, int32_t rotationDegrees)
{
    // Wide arithmetic: a device may store any range, and the product of an
    // out-of-range value must not overflow.
    return int((int64_t(axisValue / 2) * rotationDegrees) / 32767);
}

void ORV_wheel_tool::onJoystickUpdate(UsbDevice*, OrvUsbWheelBaseJoystickUpdate* update, uint64_t)
{
    const uint32_t now = uint32_t(QDateTime::currentMSecsSinceEpoch());
    // A clock set back refreshes at once rather than freezing the display.
    if (now >= lastUiUpdateMs && now - lastUiUpdateMs < RedrawIntervalMs)
        return;
    lastUiUpdateMs = now;
    drawWheel(update->steeringAxis);
}

void ORV_wheel_tool::drawWheel(int16_t axis_value)
{
    if (!wheelBase || (rimDrawn && axis_value == lastAxisValue))
        return;
    lastAxisValue = axis_value;
    ++rimRedrawCount;
    ui->label_JoystickValue->setText(QString::number(axis_value));

    const OrvUsbWheelBaseProfileV5* p = currentWheelBaseProfile();
    const int angle = rimAngle(axis_value, p ? p->rotationDegrees : 0);
    if (rimDrawn && angle == lastRimAngle)
        return;
    rimDrawn = true;
    lastRimAngle = int16_t(angle);
    ++rimRebuildCount;

    QPixmap rotated(rimSource.size());
    rotated.fill(QColor(0, 0, 0, 0));
    QPainter painter(&rotated);
    // Antialiasing is the high-quality kind in current Qt; the separate
    // high-quality hint is obsolete and ignored.
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const int c = rimSource.height() / 2;
    painter.translate(c, c);
    painter.rotate(angle);
    painter.translate(-c, -c);
    painter.drawPixmap(0, 0, rimSource);
    painter.end();
    ui->label_Rim_Image->setPixmap(rotated);
}
