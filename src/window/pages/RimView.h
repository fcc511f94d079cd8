#pragma once

// The wheel rim display: the rim picture turned to the wheel's angle and the
// raw axis value, redrawn at most every 16 ms and rebuilt only when the angle
// in whole degrees changes.

#include <QPixmap>

#include <cstdint>

namespace Ui {
class ORV_wheel_tool;
}
class UsbDeviceOrvWheelBase;
struct OrvUsbWheelBaseJoystickUpdate;

class RimView
{
public:
    static constexpr uint32_t RedrawIntervalMs = 16;

    explicit RimView(Ui::ORV_wheel_tool& ui);

    void setDevice(UsbDeviceOrvWheelBase* wheelBase) { this->wheelBase = wheelBase; }

    // Every joystick record: true when this one was drawn (at most one in
    // 16 ms), so the caller refreshes what goes with the drawing.
    bool joystickUpdate(const OrvUsbWheelBaseJoystickUpdate& update);
    void drawWheel(int16_t axisValue);
    // A new profile may turn the rim by another range: the next record draws.
    void invalidate() { lastAxisValue = int16_t(lastAxisValue + 1); }

    // How often the rim was redrawn and its pixmap rebuilt (for measuring).
    quint64 redraws() const { return redrawCount; }
    quint64 rebuilds() const { return rebuildCount; }

private:
    Ui::ORV_wheel_tool& ui;
    UsbDeviceOrvWheelBase* wheelBase = nullptr;
    QPixmap source;
    int16_t lastAxisValue = 0;
    int16_t lastRimAngle = 0;
    bool drawn = false; // before the first record both "last" values are unset
    uint32_t lastUiUpdateMs;
    quint64 redrawCount = 0;
    quint64 rebuildCount = 0;
};
