#include "PedalBars.h"

#include "PageRules.h"
#include "ui_ORV_wheel_tool.h"

PedalBars::PedalBars(Ui::ORV_wheel_tool& ui) : ui(ui)
{
    // One size for the value labels, wide enough for "100.0%": a new value
    // then repaints its label without laying out the whole window again.
    for (QLabel* label : {ui.labelClutchValue, ui.labelBrakeValue, ui.labelThrottleValue}) {
        const QString text = label->text();
        label->setText(QStringLiteral("100.0%"));
        label->setFixedSize(label->sizeHint());
        label->setText(text);
    }
    clock.start();
    paintTimer.setSingleShot(true);
    QObject::connect(&paintTimer, &QTimer::timeout, &paintTimer, [this] { paintNow(); });
}

void PedalBars::draw(uint16_t x, uint16_t y, uint16_t z)
{
    set(ui.pedalClutch, ui.labelClutchValue, x);
    set(ui.pedalBrake, ui.labelBrakeValue, y);
    set(ui.pedalThrottle, ui.labelThrottleValue, z);
    paintSoon();
}

void PedalBars::drawMiddle(uint16_t value)
{
    set(ui.pedalBrake, ui.labelBrakeValue, value);
    paintSoon();
}

void PedalBars::clearLabels()
{
    for (QLabel* label : {ui.labelClutchValue, ui.labelBrakeValue, ui.labelThrottleValue}) {
        hold(label);
        label->clear();
    }
    paintSoon();
}

void PedalBars::set(QProgressBar* bar, QLabel* label, uint16_t value)
{
    if (bar->value() != value) {
        hold(bar);
        bar->setValue(value);
    }
    const QString text = pagerules::fractionLabel(value);
    if (label->text() != text) {
        hold(label);
        label->setText(text);
    }
}

void PedalBars::hold(QWidget* widget)
{
    if (!widget->updatesEnabled())
        return; // held already
    widget->setUpdatesEnabled(false);
    held.push_back(widget);
}

void PedalBars::paintSoon()
{
    if (held.empty())
        return;
    const qint64 sincePaint = clock.elapsed() - lastPaintMs;
    if (sincePaint >= RepaintIntervalMs)
        paintNow();
    else if (!paintTimer.isActive())
        paintTimer.start(int(RepaintIntervalMs - sincePaint));
}

void PedalBars::paintNow()
{
    lastPaintMs = clock.elapsed();
    // Allowed again, each widget paints what it took meanwhile, all in one go.
    for (QWidget* widget : held)
        widget->setUpdatesEnabled(true);
    held.clear();
}
