// The debug tabs and the logging buttons: label texts for sample records,
// the latest pedals record shown as it came, and logging runs from the
// buttons (header, output modulo from the box at the start, a log that
// cannot be created, one that fails to write). The CSV lines themselves are
// the core log's and tested with it.

#include "PageFixture.h"
#include "ScriptedDialogs.h"
#include "support/FileSizeLimit.h"
#include "window/pages/PedalsPage.h"
#include "window/pages/TelemetryPanel.h"

#include <QTemporaryDir>
#include <QTest>

using Labels = QMap<QString, QString>; // label name -> text
using Current = TelemetryPanel::Current;
Q_DECLARE_METATYPE(OrvUsbWheelBaseDebugOutput)

class TestTelemetryPanel : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<TelemetryPanel> panel;
    ScriptedDialogs dialogs;
    QTemporaryDir workDir;
    const QString startDir = QDir::currentPath();

    QString text(const QString& name) const { return f->host.findChild<QLabel*>(name)->text(); }
    QString caption() const { return f->ui.pushButton_LoggingPedals->text(); }
    void click() { panel->loggingClicked(f->ui.pushButton_LoggingWheelBase); }
    QList<QByteArray> logLines() const
    {
        QFile file(workDir.filePath(QDir(workDir.path()).entryList({"*.csv"}).value(0)));
        file.open(QIODevice::ReadOnly);
        QList<QByteArray> lines = file.readAll().split('\n');
        lines.removeLast(); // after the last CR LF
        return lines;
    }

private slots:
    void init()
    {
        f = std::make_unique<PageFixture>(bus);
        panel = std::make_unique<TelemetryPanel>(f->ui, *f->rim, *f->pedalsPage, &f->host);
        dialogs.shown.clear();
        for (const QString& log : QDir(workDir.path()).entryList({"*.csv"}))
            QFile::remove(workDir.filePath(log));
        QDir::setCurrent(workDir.path());
    }
    void cleanup()
    {
        QDir::setCurrent(startDir);
        panel.reset();
        f.reset();
    }

    // Wheel base status records (the pedals' are the latest record's below).
    void labels_data()
    {
        QTest::addColumn<OrvUsbWheelBaseDebugOutput>("record");
        QTest::addColumn<Labels>("expected");
        OrvUsbWheelBaseDebugOutput d{};
        d.currentFaults = d.clearedFaults = 33;
        d.motorState = 7;
        d.ticks = 4294967295u;
        d.bisscRaw = ~0ull;
        QTest::newRow("faults 33, motor state 7")
            << d
            << Labels{{"label_debugCurrentFaults", "33 (Encoder error, Overcurrent)"},
                      {"label_debugTicks", "4294967295"},
                      {"label_debugBisscRaw", "1777777777777777777777"}};
        d = {};
        d.motorState = 0xFFFF;
        d.encoderRaw = -100000;
        d.motorAngle = -12.345f;
        d.maxMotorCurrent = 255;
        d.psuCurrent = -12;
        d.motorCurrent = -3;
        QTest::newRow("no faults, negative values")
            << d
            << Labels{{"label_debugCurrentFaults", "0"},      {"label_debugMotorState", "-1"},
                      {"label_debugEncoderRaw", "-100000"},   {"label_debugMotorAngle", "-12.35"},
                      {"label_debugMaxMotorCurrent", "25.5"}, {"label_debugPsuCurrent", "-1.2"},
                      {"label_debugMotorCurrent", "-0.6"}};
    }
    void labels()
    {
        QFETCH(OrvUsbWheelBaseDebugOutput, record);
        QFETCH(Labels, expected);
        panel->setCurrent(Current::WheelBase);
        panel->showWheelBaseDebug(record);
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(text(it.key()), it.value());
    }

    // Records closer together than the interval: the latest is shown, as it
    // was when it came, in the labels and in the pedals page's bars. A page
    // that comes up blanks the labels until the next record, and one held
    // back does not fill them.
    void pedalsShowTheLatestRecord()
    {
        panel->setCurrent(Current::Pedals);
        OrvUsbPedalsJoystickUpdate r{};
        r.xAxis = 65535;
        r.zAxis = 32767;
        r.debugOutput = {0, 8388608u, 0, 8388608u, 1, 0, 2};
        for (uint32_t ticks : {1, 2, 3}) {
            r.debugOutput.ticks = ticks;
            r.yAxis = uint16_t(100 * ticks);
            panel->pedalsJoystickUpdate(r, 0);
        }
        r.debugOutput.ticks = 99;
        QVERIFY(waitUntil([&] { return text("labelTicksDebug") == "Ticks: 3"; }, 1000));
        QVERIFY(waitUntil([&] { return text("labelBrakeValue") == "0.5%"; }, 1000));
        QCOMPARE(f->ui.pedalClutch->value(), 65535);
        QCOMPARE(text("labelThrottleValue"), QString("50.0%"));
        QCOMPARE(text("labelThrottleDebug"), QString("Throttle: 32767 (50.0%)"));
        QCOMPARE(text("labelYRawDebug"), QString("Y raw: -8388608 (-390.6%)"));
        QCOMPARE(text("labelYConnected"), QString("Y connected: False"));
        QCOMPARE(text("labelZConnected"), QString("Z connected: True"));
        panel->pedalsJoystickUpdate(r, 0);
        panel->pedalsJoystickUpdate(r, 0);
        panel->pedalsPageShown();
        QTest::qWait(2 * TelemetryPanel::LabelIntervalMs);
        QCOMPARE(text("labelTicksDebug"), QString());
    }

    // The header of the last layout seen before the start, output modulo as
    // the box was at the start whatever it is later; either button stops.
    void loggingRun_data()
    {
        QTest::addColumn<int>("lastLayout"); // 0: no record before the start
        QTest::addColumn<bool>("modulo");
        QTest::addColumn<int>("lines"); // after the header
        QTest::addColumn<QByteArray>("header");
        const QByteArray status = "Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %,Ticks,";
        QTest::newRow("every record") << 1 << false << 6 << status;
        QTest::newRow("every third") << 1 << true << 2 << status;
        QTest::newRow("force samples")
            << 2 << false << 66
            << QByteArray("Time,dt,SteeringWheelAngle %,Torque IN %,Torque OUT %, Torque");
        QTest::newRow("no record yet") << 0 << false << 6 << QByteArray();
    }
    void loggingRun()
    {
        QFETCH(int, lastLayout);
        QFETCH(bool, modulo);
        QFETCH(int, lines);
        QFETCH(QByteArray, header);
        f->ui.spinBox_outputModulo->setValue(3);
        f->ui.checkBox_outputModulo->setChecked(modulo);
        panel->setCurrent(Current::WheelBase);
        OrvUsbWheelBaseJoystickUpdate r{};
        r.layout = uint8_t(lastLayout);
        r.payload[3] = 11; // force samples in a layout 2 record
        panel->logWheelBase(r, 0);
        click();
        QCOMPARE(caption(), QString("Stop Logging"));
        f->ui.checkBox_outputModulo->setChecked(!modulo);
        r.layout = uint8_t(lastLayout ? lastLayout : 1);
        for (int i = 0; i < 6; ++i)
            panel->logWheelBase(r, uint64_t(i));
        panel->loggingClicked(f->ui.pushButton_LoggingPedals);
        QCOMPARE(f->ui.pushButton_LoggingWheelBase->text(), QString("Start Logging"));

        const QList<QByteArray> written = logLines();
        QCOMPARE(written.size(), lines + (header.isEmpty() ? 0 : 1));
        QVERIFY(written[0].startsWith(header));
        QVERIFY(QDir(workDir.path()).entryList({"wheel-log-20*.csv"}).size() == 1);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Nobody may create files in /proc, root included.
    void aLogThatCannotBeCreated()
    {
        QDir::setCurrent("/proc");
        panel->setCurrent(Current::Pedals);
        click();
        QCOMPARE(caption(), QString("Start Logging"));
        QCOMPARE(dialogs.shown.size(), 1);
        const QString shown = dialogs.shown[0].text;
        QVERIFY2(shown.startsWith("Could not create the log file /proc/pedals-log-20") &&
                     shown.contains(".csv: ") && !shown.endsWith(".csv: "),
                 qPrintable(shown));
    }

    // The disk fills up: the run ends with a message, what was written stays.
    void aWriteThatFails()
    {
        panel->setCurrent(Current::Pedals);
        {
            FileSizeLimit limit(100);
            click();
            for (int i = 0; i < 1000; ++i)
                panel->logPedals(OrvUsbPedalsJoystickUpdate{}, uint64_t(i));
            QVERIFY(waitUntil([&] { return !dialogs.shown.isEmpty(); }, 3000));
            for (int i = 0; i < 1000; ++i) // said once: the run has ended
                panel->logPedals(OrvUsbPedalsJoystickUpdate{}, uint64_t(i));
            QCOMPARE(dialogs.shown.size(), 1);
        }
        QCOMPARE(caption(), QString("Start Logging"));
        QVERIFY2(dialogs.shown[0].text.contains(workDir.path() + "/pedals-log-") &&
                     dialogs.shown[0].text.contains("File too large"),
                 qPrintable(dialogs.shown[0].text));
        QVERIFY(logLines().value(0).startsWith("Time,dt,x,y,z"));
    }
};

QTEST_MAIN(TestTelemetryPanel)
#include "tst_telemetrypanel.moc"
