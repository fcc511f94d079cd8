// The debug tabs and the logging buttons: label texts for sample records,
// which records reach the labels and when, and a logging run from the
// buttons (header, output modulo from the box at the start, a log that
// cannot be created, one that fails to write). The CSV lines themselves are
// the core log's and tested with it.

#include "PageFixture.h"
#include "ScriptedDialogs.h"
#include "support/FileSizeLimit.h"
#include "window/pages/CalibrationWizard.h"
#include "window/pages/PedalsPage.h"
#include "window/pages/RimView.h"
#include "window/pages/TelemetryPanel.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using Labels = QMap<QString, QString>; // label name -> text

class TestTelemetryPanel : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<RimView> rim;
    std::unique_ptr<CalibrationWizard> wizard;
    std::unique_ptr<PedalsPage> pedalsPage;
    std::unique_ptr<TelemetryPanel> panel;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<QTemporaryDir> workDir;
    QString startDir;

    QString text(const QString& name) const { return f->host.findChild<QLabel*>(name)->text(); }
    QPushButton* button(const char* name) const { return f->host.findChild<QPushButton*>(name); }
    void compareLabels(const Labels& expected)
    {
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(text(it.key()), it.value());
    }
    static OrvUsbWheelBaseJoystickUpdate wheelRecord(int layout)
    {
        OrvUsbWheelBaseJoystickUpdate r{};
        r.layout = uint8_t(layout);
        r.payload[3] = 11; // force samples in a layout 2 record
        return r;
    }
    // The lines of the one log in the working directory.
    QList<QByteArray> logLines() const
    {
        const QStringList logs = QDir(workDir->path()).entryList({"*.csv"});
        if (logs.size() != 1)
            return {};
        QFile file(workDir->filePath(logs[0]));
        file.open(QIODevice::ReadOnly);
        QList<QByteArray> lines = file.readAll().split('\n');
        lines.removeLast();
        return lines;
    }

private slots:
    void init()
    {
        f = std::make_unique<PageFixture>(bus);
        rim = std::make_unique<RimView>(f->ui);
        wizard = std::make_unique<CalibrationWizard>(f->ui, &f->host);
        pedalsPage = std::make_unique<PedalsPage>(f->ui, *wizard);
        panel = std::make_unique<TelemetryPanel>(f->ui, *rim, *pedalsPage, &f->host);
        dialogs = std::make_unique<ScriptedDialogs>();
        workDir = std::make_unique<QTemporaryDir>();
        startDir = QDir::currentPath();
        QDir::setCurrent(workDir->path());
    }
    void cleanup()
    {
        QDir::setCurrent(startDir);
        panel.reset();
        dialogs.reset();
        pedalsPage.reset();
        wizard.reset();
        rim.reset();
        f.reset();
        workDir.reset();
    }

    void wheelBaseLabels_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<Labels>("expected");
        OrvUsbWheelBaseDebugOutput d{};
        auto row = [&d](const char* name, const Labels& labels) {
            QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(&d), sizeof d)
                                << labels;
        };
        row("all zero", {{"label_debugMotorState", "Uninitialized"},
                         {"label_debugCurrentFaults", "0"},
                         {"label_debugBisscRaw", "0"},
                         {"label_debugMotorAngle", "0.00"},
                         {"label_debugMotorCurrent", "0.0"}});
        d.currentFaults = 33;
        d.clearedFaults = 33;
        d.motorState = 7;
        row("faults 33, motor state 7",
            {{"label_debugCurrentFaults", "33 (Encoder error, Overcurrent)"},
             {"label_debugClearedFaults", "33"},
             {"label_debugMotorState", "7"}});
        d = {};
        d.currentFaults = 0x300; // bit 9 has no name
        d.motorState = 5;
        d.ticks = 4294967295u;
        d.bisscRaw = ~0ull;
        row("high bits", {{"label_debugCurrentFaults", "768 (Electrical stop)"},
                          {"label_debugMotorState", "Locked Test"},
                          {"label_debugTicks", "4294967295"},
                          {"label_debugBisscRaw", "1777777777777777777777"}});
        d = {};
        d.bisscRaw = 01234567;
        d.motorState = 0xFFFF;
        d.encoderState = -5;
        d.encoderRaw = -100000;
        d.motorAngle = -12.345f;
        d.ffbIn = -0.5f;
        d.ffbOut = 99.999f;
        d.maxMotorCurrent = 255;
        d.psuCurrent = -12;
        d.motorCurrent = -3;
        d.powerstageTemperature = 200;
        row("negative values, octal raw", {{"label_debugBisscRaw", "1234567"},
                                           {"label_debugMotorState", "-1"},
                                           {"label_debugEncoderState", "-5"},
                                           {"label_debugEncoderRaw", "-100000"},
                                           {"label_debugMotorAngle", "-12.35"},
                                           {"label_debugFfbIn", "-0.50"},
                                           {"label_debugFfbOut", "100.00"},
                                           {"label_debugMaxMotorCurrent", "25.5"},
                                           {"label_debugPsuCurrent", "-1.2"},
                                           {"label_debugMotorCurrent", "-0.6"},
                                           {"label_debugPowerstageTemperature", "200"}});
    }
    void wheelBaseLabels()
    {
        QFETCH(QByteArray, record);
        QFETCH(Labels, expected);
        OrvUsbWheelBaseDebugOutput d;
        std::memcpy(&d, record.constData(), sizeof d);
        const QString before = text("label_debugMotorState");
        panel->showWheelBaseDebug(d); // not current: nothing
        QCOMPARE(text("label_debugMotorState"), before);
        panel->setCurrent(TelemetryPanel::Current::WheelBase);
        panel->showWheelBaseDebug(d);
        compareLabels(expected);
    }

    // Force samples and motor traces are not status records: drawn records of
    // those layouts leave the tab as it is.
    void onlyStatusRecordsReachTheTab()
    {
        panel->setCurrent(TelemetryPanel::Current::WheelBase);
        panel->wheelBasePageShown();
        for (int layout : {2, 3, 1}) {
            QTest::qWait(RimView::RedrawIntervalMs + 4);
            OrvUsbWheelBaseJoystickUpdate r = wheelRecord(layout);
            r.debugOutput.ticks = 1000u + uint32_t(layout);
            r.debugOutput.currentFaults = 0xFF;
            panel->wheelBaseJoystickUpdate(r, 0);
            QCOMPARE(text("label_debugTicks"), layout == 1 ? QString("1001") : QString());
        }
    }

    void pedalsLabels_data()
    {
        QTest::addColumn<int>("axis");
        QTest::addColumn<uint>("raw");
        QTest::addColumn<int>("connected");
        QTest::addColumn<Labels>("expected");
        QTest::newRow("centre") << 32767 << 8388608u << 1
                                << Labels{{"labelClutchDebug", "Clutch: 32767 (50.0%)"},
                                          {"labelXRawDebug", "X raw: 0 (0.0%)"},
                                          {"labelXConnected", "X connected: True"}};
        QTest::newRow("low end") << 0 << 0u << 0
                                 << Labels{{"labelBrakeDebug", "Brake: 0 (0.0%)"},
                                           {"labelYRawDebug", "Y raw: -8388608 (-390.6%)"},
                                           {"labelYConnected", "Y connected: False"}};
        QTest::newRow("full") << 65535 << 8388608u + 2147450u << 2
                              << Labels{{"labelThrottleDebug", "Throttle: 65535 (100.0%)"},
                                        {"labelZRawDebug", "Z raw: 2147450 (100.0%)"},
                                        {"labelZConnected", "Z connected: True"},
                                        {"labelTicksDebug", "Ticks: 4000000000"}};
    }
    void pedalsLabels()
    {
        QFETCH(int, axis);
        QFETCH(uint, raw);
        QFETCH(int, connected);
        QFETCH(Labels, expected);
        OrvUsbPedalsJoystickUpdate r{};
        r.xAxis = r.yAxis = r.zAxis = uint16_t(axis);
        r.debugOutput.xRaw = r.debugOutput.yRaw = r.debugOutput.zRaw = raw;
        r.debugOutput.xConnected = r.debugOutput.yConnected = r.debugOutput.zConnected =
            uint8_t(connected);
        r.debugOutput.ticks = 4000000000u;
        panel->setCurrent(TelemetryPanel::Current::Pedals);
        panel->pedalsJoystickUpdate(r, 0);
        compareLabels(expected);
    }

    // Records closer together than the redraw interval: the latest is shown,
    // as it was when it came; a page that comes up blanks the labels until
    // the next record, and one held back does not fill them.
    void pedalsShowTheLatestRecord()
    {
        panel->setCurrent(TelemetryPanel::Current::Pedals);
        OrvUsbPedalsJoystickUpdate r{};
        for (uint32_t ticks : {1, 2, 3}) {
            r.debugOutput.ticks = ticks;
            panel->pedalsJoystickUpdate(r, 0);
        }
        r.debugOutput.ticks = 99; // after the call: not what was handed over
        QVERIFY(waitUntil([&] { return text("labelTicksDebug") == "Ticks: 3"; }, 1000));

        panel->pedalsJoystickUpdate(r, 0);
        panel->pedalsJoystickUpdate(r, 0);
        panel->pedalsPageShown();
        QTest::qWait(2 * TelemetryPanel::LabelIntervalMs);
        QCOMPARE(text("labelTicksDebug"), QString());
        QCOMPARE(text("labelClutchDebug"), QString());
    }

    // A run from start to stop: the header of the last layout seen, output
    // modulo as the box was at the start (whatever it is later).
    void loggingRun_data()
    {
        QTest::addColumn<int>("lastLayout"); // 0: no record before the start
        QTest::addColumn<bool>("modulo");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("every record")
            << 1 << false << 6 << QByteArray("Time,dt,SteeringWheelAngle");
        QTest::newRow("every third") << 1 << true << 2 << QByteArray("Time,dt,SteeringWheelAngle");
        QTest::newRow("force samples") << 2 << false << 66 << QByteArray("Time,dt,");
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
        panel->setCurrent(TelemetryPanel::Current::WheelBase);
        if (lastLayout)
            panel->logWheelBase(wheelRecord(lastLayout), 0);
        panel->loggingClicked(button("pushButton_LoggingWheelBase"));
        QCOMPARE(button("pushButton_LoggingWheelBase")->text(), QString("Stop Logging"));
        QCOMPARE(button("pushButton_LoggingPedals")->text(), QString("Stop Logging"));
        f->ui.checkBox_outputModulo->setChecked(!modulo);
        for (int i = 0; i < 6; ++i)
            panel->logWheelBase(wheelRecord(lastLayout ? lastLayout : 1), uint64_t(i));
        panel->loggingClicked(button("pushButton_LoggingPedals"));
        QCOMPARE(button("pushButton_LoggingWheelBase")->text(), QString("Start Logging"));

        const QList<QByteArray> written = logLines();
        QCOMPARE(written.size(), lines + (header.isEmpty() ? 0 : 1));
        QVERIFY(written[0].startsWith(header));
        QCOMPARE(written[0].contains(" Torque Actual %"), lastLayout == 2);
        QVERIFY(QDir(workDir->path()).entryList({"*.csv"})[0].startsWith("wheel-log-"));
        QVERIFY(dialogs->shown.isEmpty());
    }

    // Nobody may create files in /proc, root included.
    void aLogThatCannotBeCreated()
    {
        QDir::setCurrent("/proc");
        panel->setCurrent(TelemetryPanel::Current::Pedals);
        panel->loggingClicked(button("pushButton_LoggingPedals"));
        QCOMPARE(button("pushButton_LoggingPedals")->text(), QString("Start Logging"));
        QCOMPARE(dialogs->shown.size(), 1);
        const QString text = dialogs->shown[0].text;
        QVERIFY2(text.startsWith("Could not create the log file /proc/pedals-log-20") &&
                     text.contains(".csv: ") && !text.endsWith(".csv: "),
                 qPrintable(text));
    }

    // The disk fills up: the run ends with a message, what was written stays.
    void aWriteThatFails()
    {
        panel->setCurrent(TelemetryPanel::Current::Pedals);
        bool told = false;
        {
            FileSizeLimit limit(100);
            panel->loggingClicked(button("pushButton_LoggingPedals"));
            QCOMPARE(button("pushButton_LoggingPedals")->text(), QString("Stop Logging"));
            for (int i = 0; i < 1000; ++i)
                panel->logPedals(OrvUsbPedalsJoystickUpdate{}, uint64_t(i));
            told = waitUntil([&] { return !dialogs->shown.isEmpty(); }, 3000);
        }
        QVERIFY(told);
        QCOMPARE(button("pushButton_LoggingPedals")->text(), QString("Start Logging"));
        QCOMPARE(dialogs->shown.size(), 1);
        QVERIFY2(dialogs->shown[0].text.contains(workDir->path() + "/pedals-log-") &&
                     dialogs->shown[0].text.contains("File too large"),
                 qPrintable(dialogs->shown[0].text));
        QCOMPARE(QFileInfo(QDir(workDir->path()).entryInfoList({"*.csv"})[0]).size(), 100);
        QVERIFY(logLines()[0].startsWith("Time,dt,x,y,z"));
    }
};

QTEST_MAIN(TestTelemetryPanel)
#include "tst_telemetrypanel.moc"
