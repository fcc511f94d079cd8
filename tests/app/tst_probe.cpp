// The command line of orv-config-tool, run as a separate process: the probe's
// exact output and exit code, and which arguments start the window instead.

#include "sim/VhidEndpoint.h"
#include "support/TestBus.h"
#include "vhid/BusFiles.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <memory>

class TestProbe : public QObject
{
    Q_OBJECT

    QString program;

private slots:
    void initTestCase()
    {
        program = qEnvironmentVariable("ORV_TEST_BINARY_DIR") + "/orv-config-tool";
        QVERIFY2(QFile::exists(program), qPrintable(program));
    }

    void probe_data()
    {
        QTest::addColumn<QStringList>("args");
        // The product string of a wheel base on the bus; or "sim", the
        // built-in simulator; "unopenable", a wheel base announced on the bus
        // that takes no connection; "no HID layer", an unknown backend. Which
        // devices count is the manager's and tested with it.
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("found"); // -1: the window starts instead
        const QStringList probe{"--has-usb-device"};
        QTest::newRow("empty bus") << probe << QString() << 0;
        QTest::newRow("wheel base, extra arguments ignored")
            << QStringList{"--has-usb-device", "--foo", "bar"} << "ORV Wheel Base" << 1;
        QTest::newRow("built-in simulator") << probe << "sim" << 1;
        QTest::newRow("unopenable device") << probe << "unopenable" << 0;
        QTest::newRow("HID layer unavailable") << probe << "no HID layer" << 0;
        // Only the first argument counts, exactly as written.
        QTest::newRow("no arguments") << QStringList{} << QString() << -1;
        QTest::newRow("option second")
            << QStringList{"word", "--has-usb-device"} << QString() << -1;
        QTest::newRow("with a value") << QStringList{"--has-usb-device=1"} << QString() << -1;
    }
    void probe()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, device);
        QFETCH(int, found);
        TestBus bus;
        std::unique_ptr<orvsim::VhidEndpoint> endpoint;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ORV_HID_BACKEND", "vhid:" + bus.path());
        const vhid::DeviceInfo info = testDeviceInfo(0xA355, device.toStdString());
        if (device == "sim" || device == "no HID layer") {
            env.insert("ORV_HID_BACKEND", device == "sim" ? "sim" : "carrier-pigeon");
        } else if (device == "unopenable") {
            QVERIFY(vhid::writeFileAtomically(bus.stdPath() + "/dev.info", info.format()));
        } else if (!device.isEmpty()) {
            endpoint = std::make_unique<orvsim::VhidEndpoint>(bus.stdPath(), "dev", info);
            QVERIFY(endpoint->plug());
        }
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, args);
        if (found < 0) {
            // A probe answers and exits at once; the window keeps running.
            QVERIFY(process.waitForStarted(5000));
            QVERIFY(!process.waitForFinished(1500));
            QCOMPARE(process.readAllStandardOutput(), QByteArray());
            return; // killed as the process object goes
        }
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), found ? 0 : 1);
        QCOMPARE(process.readAllStandardOutput(),
                 QByteArray(found ? "Found ORV USB device.\n" : "No ORV USB device found.\n"));
        QCOMPARE(process.readAllStandardError(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
