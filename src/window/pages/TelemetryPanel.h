#pragma once

// The debug tabs of the wheel base and the pedals, and the CSV telemetry log
// behind their logging buttons. Every joystick record of the current device
// comes through here: the log sees each one, the rim and the pedal bars get
// theirs, and the debug labels show the latest with the rim's cadence, at
// most every 16 ms (a label whose text changes has the tab around it laid out
// and repainted, one to two milliseconds each time).

#include "telemetry/TelemetryLog.h"

#include "devices/OrvUsbPedalsJoystickUpdate.h"
#include "devices/OrvUsbWheelBaseJoystickUpdate.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>

namespace Ui {
class ORV_wheel_tool;
}
class PedalsPage;
class QPushButton;
class QWidget;
class RimView;

class TelemetryPanel
{
public:
    static constexpr qint64 LabelIntervalMs = 16;

    enum class Current
    {
        None,
        WheelBase,
        Pedals,
    };

    TelemetryPanel(Ui::ORV_wheel_tool& ui, RimView& rim, PedalsPage& pedalsPage,
                   QWidget* dialogParent);
    ~TelemetryPanel();

    // Which kind of device is current; a running log goes on across a change.
    void setCurrent(Current current);

    // Every wheel base joystick record: logged, then at most one in 16 ms
    // drawn on the rim and, when it carries the status layout, taken for the
    // debug tab.
    void wheelBaseJoystickUpdate(const OrvUsbWheelBaseJoystickUpdate& update,
                                 uint64_t readTimeMicros);
    // The wheel base debug tab, at once (while the wheel base is current).
    void showWheelBaseDebug(const OrvUsbWheelBaseDebugOutput& output);
    void logWheelBase(const OrvUsbWheelBaseJoystickUpdate& update, uint64_t readTimeMicros);

    // Every pedals joystick record: the bars and the debug tab take it, the
    // log writes it.
    void pedalsJoystickUpdate(const OrvUsbPedalsJoystickUpdate& update, uint64_t readTimeMicros);
    // The pedals debug record's labels, at once (while the pedals are current).
    void showPedalsDebug(const OrvUsbPedalsDebugOutput& output);
    void logPedals(const OrvUsbPedalsJoystickUpdate& update, uint64_t readTimeMicros);

    // Starts a log of the current device, or stops the running one.
    void loggingClicked(QPushButton* button);
    void outputModuloToggled(bool checked);

    // A page has just come up: its debug labels blank until the next record.
    void wheelBasePageShown();
    void pedalsPageShown();

    const TelemetryLog& telemetryLog() const { return log; }

private:
    void showPedalsRecord(const OrvUsbPedalsJoystickUpdate& update);
    // The debug tab of the current device shows what it took, now or when
    // the interval is over.
    void showSoon();
    void showTaken();
    void showLogging(bool on, QPushButton* button);
    void logFailed(const QString& fileName, const QString& reason);

    Ui::ORV_wheel_tool& ui;
    RimView& rim;
    PedalsPage& pedalsPage;
    QWidget* const dialogParent;
    Current current = Current::None;
    TelemetryLog log;

    // The latest records taken for the debug tabs, copied: the records
    // handed over live only as long as the call.
    OrvUsbWheelBaseDebugOutput takenWheelBase{};
    OrvUsbPedalsJoystickUpdate takenPedals{};
    bool wheelBaseTaken = false;
    bool pedalsTaken = false;
    QElapsedTimer clock;
    qint64 lastShownMs = -LabelIntervalMs;
    QTimer showTimer;
};
