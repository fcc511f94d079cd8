#pragma once

// The three pedal bars and their value labels. Every record's positions are
// taken, and the widgets show the latest of them at most every 16 ms: at a
// thousand records a second a paint for each would cost the main thread more
// than all else the window does, and no screen shows them. The last
// positions are always shown.

#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <cstdint>

namespace Ui {
class ORV_wheel_tool;
}

class PedalBars
{
public:
    static constexpr qint64 RedrawIntervalMs = 16;

    explicit PedalBars(Ui::ORV_wheel_tool& ui);

    // Clutch, brake and throttle positions of a record; 65535 is fully
    // pressed.
    void take(uint16_t x, uint16_t y, uint16_t z);
    // The middle bar alone, which shows the pedal being calibrated.
    void takeMiddle(uint16_t value);
    // Shows the positions at once.
    void draw(uint16_t x, uint16_t y, uint16_t z);
    // The value labels blank, as when the page comes up.
    void clearLabels();

private:
    void drawSoon();
    void drawTaken();

    Ui::ORV_wheel_tool& ui;
    std::array<uint16_t, 3> taken{};
    std::array<bool, 3> pending{};
    QElapsedTimer clock;
    qint64 lastDrawMs = -RedrawIntervalMs;
    QTimer drawTimer;
};
