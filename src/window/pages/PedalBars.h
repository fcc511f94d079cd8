#pragma once

// The three pedal bars and their value labels. Every value goes to the
// widgets at once, but their paints are held back and made together at most
// every 16 ms: at a thousand records a second a paint for each would cost the
// main thread more than all else the window does, and no screen shows them.

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <vector>

namespace Ui {
class ORV_wheel_tool;
}
class QLabel;
class QProgressBar;
class QWidget;

class PedalBars
{
public:
    static constexpr qint64 RepaintIntervalMs = 16;

    explicit PedalBars(Ui::ORV_wheel_tool& ui);

    // Clutch, brake and throttle positions; 65535 is fully pressed.
    void draw(uint16_t x, uint16_t y, uint16_t z);
    // The middle bar alone, which shows the pedal being calibrated.
    void drawMiddle(uint16_t value);
    // The value labels blank, as when the page comes up.
    void clearLabels();

private:
    void set(QProgressBar* bar, QLabel* label, uint16_t value);
    // Keeps the widget from painting until paintNow().
    void hold(QWidget* widget);
    void paintSoon();
    void paintNow();

    Ui::ORV_wheel_tool& ui;
    std::vector<QWidget*> held;
    QElapsedTimer clock;
    qint64 lastPaintMs = -RepaintIntervalMs;
    QTimer paintTimer;
};
