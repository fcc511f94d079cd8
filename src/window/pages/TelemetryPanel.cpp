#include "TelemetryPanel.h"

#include "PageRules.h"
#include "PedalsPage.h"
#include "RimView.h"
#include "telemetry/TelemetryCsv.h"
#include "ui_ORV_wheel_tool.h"
#include "window/Dialogs.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ORV_wheel_tool", text);
}

uint64_t nowMicros()
{
    return uint64_t(QDateTime::currentMSecsSinceEpoch()) * 1000;
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// A pedal's position: "Clutch: 32767 (50.0%)".
QString pedalText(const char* name, uint16_t value)
{
    return tr(name) + QString::number(value) + QStringLiteral(" (") +
           pagerules::fractionLabel(value) + QLatin1Char(')');
}

// A raw reading against the middle of its range: "X raw: -1000 (-0.0%)".
QString rawText(const char* name, uint32_t raw)
{
    const auto centred = int32_t(raw - 8388608u);
    const float percent = float(centred) / 2147450.0f * 100.0f;
    return tr(name) + QString::number(centred) + QStringLiteral(" (") + fixed(double(percent), 1) +
           QStringLiteral("%)");
}

QString connectedText(const char* name, uint8_t connected)
{
    return tr(name) + (connected != 0 ? tr("True") : tr("False"));
}

} // namespace

TelemetryPanel::TelemetryPanel(Ui::ORV_wheel_tool& ui, RimView& rim, PedalsPage& pedalsPage,
                               QWidget* dialogParent)
    : ui(ui), rim(rim), pedalsPage(pedalsPage), dialogParent(dialogParent), log(nowMicros())
{
    clock.start();
    showTimer.setSingleShot(true);
    QObject::connect(&showTimer, &QTimer::timeout, &showTimer, [this] { showTaken(); });
    QObject::connect(
        &log, &TelemetryLog::failed, &log,
        [this](const QString& fileName, const QString& reason) { logFailed(fileName, reason); });
}

TelemetryPanel::~TelemetryPanel()
{
    // Nobody is left to tell about a last flush that fails.
    QObject::disconnect(&log, nullptr, nullptr, nullptr);
    log.stop();
}

void TelemetryPanel::setCurrent(Current kind)
{
    current = kind;
    wheelBaseTaken = false;
    pedalsTaken = false;
}

void TelemetryPanel::wheelBaseJoystickUpdate(const OrvUsbWheelBaseJoystickUpdate& update,
                                             uint64_t readTimeMicros)
{
    logWheelBase(update, readTimeMicros);
    // Force samples and motor traces are for the log only: read as a status
    // record they would show made-up faults and states.
    if (rim.joystickUpdate(update) && update.layout == telemetrycsv::StatusLayout &&
        current == Current::WheelBase) {
        takenWheelBase = update.debugOutput;
        wheelBaseTaken = true;
        showSoon();
    }
}

void TelemetryPanel::showSoon()
{
    const qint64 sinceShown = clock.elapsed() - lastShownMs;
    if (sinceShown >= LabelIntervalMs)
        showTaken();
    else if (!showTimer.isActive())
        showTimer.start(int(LabelIntervalMs - sinceShown));
}

void TelemetryPanel::showTaken()
{
    lastShownMs = clock.elapsed();
    if (wheelBaseTaken)
        showWheelBaseDebug(takenWheelBase);
    if (pedalsTaken)
        showPedalsRecord(takenPedals);
}

void TelemetryPanel::showWheelBaseDebug(const OrvUsbWheelBaseDebugOutput& d)
{
    wheelBaseTaken = false; // older than this
    if (current != Current::WheelBase)
        return;
    QString faults = QString::number(d.currentFaults);
    const QString faultNames = pagerules::faultsText(d.currentFaults);
    if (!faultNames.isEmpty())
        faults += QStringLiteral(" (") + faultNames + QLatin1Char(')');
    // A label ignores a text it already shows: only what changed is laid out
    // and painted again.
    ui.label_debugTicks->setText(QString::number(d.ticks));
    ui.label_debugMotorState->setText(pagerules::motorStateText(int16_t(d.motorState)));
    ui.label_debugEncoderState->setText(QString::number(d.encoderState));
    ui.label_debugBisscRaw->setText(QString::number(qulonglong(d.bisscRaw), 8));
    ui.label_debugCurrentFaults->setText(faults);
    ui.label_debugClearedFaults->setText(QString::number(d.clearedFaults));
    ui.label_debugMotorAngle->setText(fixed(double(d.motorAngle), 2));
    ui.label_debugEncoderRaw->setText(QString::number(d.encoderRaw));
    ui.label_debugFfbIn->setText(fixed(double(d.ffbIn), 2));
    ui.label_debugFfbOut->setText(fixed(double(d.ffbOut), 2));
    ui.label_debugMaxMotorCurrent->setText(fixed(double(float(d.maxMotorCurrent) / 10.0f), 1));
    ui.label_debugPsuCurrent->setText(fixed(double(float(d.psuCurrent) / 10.0f), 1));
    ui.label_debugMotorCurrent->setText(fixed(double(float(d.motorCurrent) / 5.0f), 1));
    ui.label_debugPsuTemperature->setText(QString::number(d.psuTemperature));
    ui.label_debugMotorTemperature->setText(QString::number(d.motorTemperature));
    ui.label_debugBrakeTemperature->setText(QString::number(d.brakeTemperature));
    ui.label_debugPowerstageTemperature->setText(QString::number(d.powerstageTemperature));
}

void TelemetryPanel::logWheelBase(const OrvUsbWheelBaseJoystickUpdate& update,
                                  uint64_t readTimeMicros)
{
    log.wheelBaseRecord(reinterpret_cast<const uint8_t*>(&update), readTimeMicros,
                        uint32_t(ui.spinBox_outputModulo->value()));
}

void TelemetryPanel::pedalsJoystickUpdate(const OrvUsbPedalsJoystickUpdate& update,
                                          uint64_t readTimeMicros)
{
    pedalsPage.joystickUpdate(update);
    if (current == Current::Pedals) {
        takenPedals = update;
        pedalsTaken = true;
        showSoon();
    }
    logPedals(update, readTimeMicros);
}

void TelemetryPanel::showPedalsRecord(const OrvUsbPedalsJoystickUpdate& update)
{
    pedalsTaken = false;
    ui.labelClutchDebug->setText(pedalText("Clutch: ", update.xAxis));
    ui.labelBrakeDebug->setText(pedalText("Brake: ", update.yAxis));
    ui.labelThrottleDebug->setText(pedalText("Throttle: ", update.zAxis));
    showPedalsDebug(update.debugOutput);
}

void TelemetryPanel::showPedalsDebug(const OrvUsbPedalsDebugOutput& d)
{
    if (current != Current::Pedals)
        return;
    ui.labelTicksDebug->setText(tr("Ticks: ") + QString::number(d.ticks));
    ui.labelXRawDebug->setText(rawText("X raw: ", d.xRaw));
    ui.labelYRawDebug->setText(rawText("Y raw: ", d.yRaw));
    ui.labelZRawDebug->setText(rawText("Z raw: ", d.zRaw));
    ui.labelXConnected->setText(connectedText("X connected: ", d.xConnected));
    ui.labelYConnected->setText(connectedText("Y connected: ", d.yConnected));
    ui.labelZConnected->setText(connectedText("Z connected: ", d.zConnected));
}

void TelemetryPanel::logPedals(const OrvUsbPedalsJoystickUpdate& update, uint64_t readTimeMicros)
{
    log.pedalsRecord(reinterpret_cast<const uint8_t*>(&update), readTimeMicros);
}

void TelemetryPanel::loggingClicked(QPushButton* button)
{
    if (log.isOpen()) {
        log.stop();
        showLogging(false, button);
        return;
    }
    if (current == Current::None)
        return;
    const bool wheel = current == Current::WheelBase;
    const QString error = log.start(
        wheel ? TelemetryLog::Source::WheelBase : TelemetryLog::Source::Pedals, QDir::current(),
        QDateTime::currentDateTime(), wheel && ui.checkBox_outputModulo->isChecked());
    showLogging(error.isEmpty(), button);
    if (!error.isEmpty())
        Dialogs::warning(dialogParent, tr("Logging"),
                         tr("Could not create the log file %1: %2")
                             .arg(QDir::toNativeSeparators(log.fileName()), error));
}

void TelemetryPanel::showLogging(bool on, QPushButton* button)
{
    // One log at a time, whichever tab started it: both buttons say what a
    // click does to it.
    const QString caption = on ? tr("Stop Logging") : tr("Start Logging");
    for (QPushButton* b : {button, ui.pushButton_LoggingWheelBase, ui.pushButton_LoggingPedals})
        if (b)
            b->setText(caption);
}

void TelemetryPanel::logFailed(const QString& fileName, const QString& reason)
{
    showLogging(false, nullptr);
    // A record's delivery is under way here: the message waits until it is
    // over, so nothing that delivery holds is touched after a modal loop.
    const QString text =
        tr("Logging stopped: could not write to the log file %1: %2. What was written before "
           "is kept.")
            .arg(QDir::toNativeSeparators(fileName), reason);
    QWidget* parent = dialogParent;
    QMetaObject::invokeMethod(
        &log, [parent, text] { Dialogs::warning(parent, tr("Logging"), text); },
        Qt::QueuedConnection);
}

void TelemetryPanel::outputModuloToggled(bool checked)
{
    ui.spinBox_outputModulo->setEnabled(checked);
}

void TelemetryPanel::wheelBasePageShown()
{
    wheelBaseTaken = false; // blank until the next record
    for (QLabel* label :
         {ui.label_debugTicks, ui.label_debugMotorState, ui.label_debugEncoderState,
          ui.label_debugBisscRaw, ui.label_debugCurrentFaults, ui.label_debugClearedFaults,
          ui.label_debugMotorAngle, ui.label_debugEncoderRaw, ui.label_debugFfbIn,
          ui.label_debugFfbOut, ui.label_debugMaxMotorCurrent, ui.label_debugPsuCurrent,
          ui.label_debugMotorCurrent, ui.label_debugPsuTemperature, ui.label_debugMotorTemperature,
          ui.label_debugBrakeTemperature, ui.label_debugPowerstageTemperature})
        label->clear();
}

void TelemetryPanel::pedalsPageShown()
{
    pedalsTaken = false; // blank until the next record
    for (QLabel* label :
         {ui.labelTicksDebug, ui.labelClutchDebug, ui.labelBrakeDebug, ui.labelThrottleDebug,
          ui.labelXRawDebug, ui.labelYRawDebug, ui.labelZRawDebug, ui.labelXConnected,
          ui.labelYConnected, ui.labelZConnected})
        label->clear();
}
