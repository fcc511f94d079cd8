// orvctl against simulated devices on a private bus, run as a user's script
// would run it: its exit codes, what it prints, and what reaches the devices.

#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "vhid/BusFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Run
{
    int code = -1;
    QString out, err;
};

} // namespace

class TestOrvctl : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<orvsim::Simulator> simulator;
    orvsim::SimWheelBase* wheel = nullptr;
    orvsim::SimPedals* pedals = nullptr;

    static Run orvctl(const QStringList& args)
    {
        QProcess process;
        process.start(qEnvironmentVariable("ORV_TEST_BINARY_DIR") + "/orvctl", args);
        if (!process.waitForFinished(30000))
            return {}; // killed as the process object goes
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

public:
    TestOrvctl() { bus.useAsBackend(); }

private slots:
    void init()
    {
        simulator = std::make_unique<orvsim::Simulator>(bus.stdPath());
        wheel = simulator->addWheelBase("wheel", 200);
        pedals = simulator->addPedals("pedals", 200);
        QVERIFY(wheel && pedals);
        wheel->setRebootDelay(std::chrono::milliseconds(50));
    }
    void cleanup() { simulator.reset(); }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("nothing") << QStringList{} << 2 << "usage: orvctl COMMAND";
        QTest::newRow("unknown command") << QStringList{"fly"} << 2 << "no command \"fly\"";
        QTest::newRow("help") << QStringList{"export", "--help"} << 0
                              << "Usage: orvctl export [options] FILE";
        QTest::newRow("missing file") << QStringList{"export"} << 2 << "Expected: FILE.";
        QTest::newRow("no number") << QStringList{"select", "two"} << 2 << "N is a profile";
        QTest::newRow("bad timeout") << QStringList{"list", "--timeout", "x"} << 2 << "--timeout";
        QTest::newRow("ambiguous") << QStringList{"profiles"} << 2 << "Several devices match";
        QTest::newRow("no such device")
            << QStringList{"profiles", "--device", "XX99"} << 3 << "matches \"XX99\"";
        QTest::newRow("profile out of range")
            << QStringList{"export", "--device", "wheelbase", "--profile", "7", "x.oprf"} << 2
            << "profiles 0 to 2";
        QTest::newRow("defaults without yes")
            << QStringList{"defaults", "--device", "pedals"} << 2 << "--yes";
    }
    void arguments()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Run run = orvctl(args);
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
    }

    void listAndProfilesAsJson()
    {
        const Run list = orvctl({"list", "--json"});
        QCOMPARE(list.code, 0);
        const QJsonArray devices = QJsonDocument::fromJson(list.out.toUtf8())["devices"].toArray();
        QCOMPARE(devices.size(), 2);
        const QJsonObject w = devices[1].toObject();
        QCOMPARE(w["kind"].toString(), QString("wheelbase"));
        QCOMPARE(w["serial"].toString(), QString("WB0001"));
        QCOMPARE(w["protocol"].toInt(), 6);
        QCOMPARE(w["firmware"].toString(), QString("3.4"));
        QCOMPARE(w["hardware"].toString(), QString("2.1"));

        const Run profiles = orvctl({"profiles", "--device", "PD0001", "--json"});
        QCOMPARE(profiles.code, 0);
        const QJsonDocument doc = QJsonDocument::fromJson(profiles.out.toUtf8());
        QCOMPARE(doc["current"].toInt(), 0);
        QCOMPARE(doc["profiles"].toArray().size(), 3);
    }

    void profileCommands()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("p.oprf");
        QCOMPARE(orvctl({"export", "--device", "wheelbase", "--profile", "2", file}).code, 0);
        QCOMPARE(orvctl({"import", "--device", "wheelbase", "--profile", "0", file}).code, 0);
        // Saved: the permanent list holds profile 2's settings in slot 0,
        // which keeps its own index.
        const auto stored = wheel->storedProfiles();
        QCOMPARE(stored.records[0][0], uint8_t(0));
        QCOMPARE(QByteArray((const char*)stored.records[0].data() + 1, 53),
                 QByteArray((const char*)stored.records[2].data() + 1, 53));
        const Run corrupt = orvctl({"import", "--device", "pedals", file});
        QCOMPARE(corrupt.code, 1);
        QVERIFY2(corrupt.err.contains("Unknown file format"), qPrintable(corrupt.err));

        QCOMPARE(orvctl({"select", "2", "--device", "pedals"}).code, 0);
        QCOMPARE(int(pedals->profiles().currentIndex), 2);
        const Run center = orvctl({"center"});
        QCOMPARE(center.code, 0);
        QVERIFY(center.out.endsWith(" deg\n"));
        QCOMPARE(orvctl({"save", "--device", "pedals"}).code, 0);
        QCOMPARE(int(pedals->storedProfiles().currentIndex), 2);
        QCOMPARE(orvctl({"defaults", "--yes", "--device", "pedals"}).code, 0);
        QVERIFY(pedals->waitForIdentity(orvsim::SimFirmwareDevice::Identity::Application, 1000));
        QTRY_COMPARE(int(pedals->storedProfiles().currentIndex), 0);
    }

    void backupAndRestoreRoundTrip()
    {
        QTemporaryDir dir;
        const auto wheelBefore = wheel->storedProfiles().records;
        const auto pedalsBefore = pedals->storedProfiles().records;
        QCOMPARE(orvctl({"backup", dir.path()}).code, 0);
        const Run again = orvctl({"backup", dir.path()});
        QCOMPARE(again.code, 1); // never overwritten

        auto changed = wheel->storedProfiles();
        changed.records.pop_back();
        changed.records[0][20] ^= 0xFF;
        QVERIFY(wheel->setProfiles(changed));
        pedals->restoreFactoryDefaults();
        QCOMPARE(orvctl({"restore", dir.path()}).code, 0);
        QCOMPARE(wheel->storedProfiles().records, wheelBefore);
        QCOMPARE(pedals->storedProfiles().records, pedalsBefore);

        const Run refused =
            orvctl({"restore", "--device", "pedals", dir.filePath("wheelbase-WB0001")});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains("is of a wheel base"), qPrintable(refused.err));
    }

    void flash_data()
    {
        QTest::addColumn<int>("corruptChunk");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("complete") << -1 << false << 0 << "Update completed successfully!";
        QTest::newRow("damaged echo") << 5 << false << 1 << "CRC failed on chunk 5 of 512";
        QTest::newRow("silent bootloader") << -1 << true << 1 << "stopped answering at chunk 0";
    }
    void flash()
    {
        QFETCH(int, corruptChunk);
        QFETCH(bool, silent);
        QFETCH(int, code);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString image = dir.filePath("new.fw");
        const std::string bytes(16 * 1024, '\x5A');
        QVERIFY(vhid::writeFileAtomically(image.toStdString(), bytes));
        wheel->bootloader().setCorruptEchoOfChunk(corruptChunk);
        wheel->bootloader().setSilent(silent);

        const Run run = orvctl({"flash", "--device", "wheelbase", "--timeout", "1", image});
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(wheel->installedUpdates(), code == 0 ? 1 : 0);
        if (code == 0) {
            QCOMPARE(run.out, QString("ORV Torvane Pro Wheel Base firmware 3.5\n"));
            QCOMPARE(wheel->installedImage(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
        }
    }

    void monitorWritesTheLogFormat()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath("m.csv");
        const Run run = orvctl({"monitor", "--device", "pedals", "--seconds", "0.5", "--csv", csv});
        QCOMPARE(run.code, 0);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readLine(), QByteArray("Time,dt,x,y,z,x_raw,y_raw,z_raw\r\n"));
        QVERIFY(file.readLine().count(',') == 7);
    }
};

QTEST_GUILESS_MAIN(TestOrvctl)
#include "tst_orvctl.moc"
