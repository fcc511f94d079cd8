#include "PedalBars.h"

#include "PageRules.h"
#include "ui_ORV_wheel_tool.h"

PedalBars::PedalBars(Ui::ORV_wheel_tool& ui) : ui(ui)
{
    clock.start();
    drawTimer.setSingleShot(true);
    QObject::connect(&drawTimer, &QTimer::timeout, &drawTimer, [this] { drawTaken(); });
}

void PedalBars::take(uint16_t x, uint16_t y, uint16_t z)
{
    taken = {x, y, z};
    pending = {true, true, true};
    drawSoon();
}

void PedalBars::takeMiddle(uint16_t value)
{
    taken[1] = value;
    pending[1] = true;
    drawSoon();
}

void PedalBars::drawSoon()
{
    const qint64 sinceDraw = clock.elapsed() - lastDrawMs;
    if (sinceDraw >= RedrawIntervalMs)
        drawTaken();
    else if (!drawTimer.isActive())
        drawTimer.start(int(RedrawIntervalMs - sinceDraw));
}

void PedalBars::drawTaken()
{
    lastDrawMs = clock.elapsed();
    QProgressBar* const bars[] = {ui.pedalClutch, ui.pedalBrake, ui.pedalThrottle};
    QLabel* const labels[] = {ui.labelClutchValue, ui.labelBrakeValue, ui.labelThrottleValue};
    for (size_t i = 0; i < taken.size(); ++i) {
        if (!pending[i])
            continue;
        pending[i] = false;
        bars[i]->setValue(taken[i]);
        labels[i]->setText(pagerules::fractionLabel(taken[i]));
    }
}

void PedalBars::draw(uint16_t x, uint16_t y, uint16_t z)
{
    taken = {x, y, z};
    pending = {true, true, true};
    drawTaken();
}

void PedalBars::clearLabels()
{
    for (QLabel* label : {ui.labelClutchValue, ui.labelBrakeValue, ui.labelThrottleValue})
        label->clear();
}
