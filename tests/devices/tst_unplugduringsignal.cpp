// A window slot that shows a dialog runs the event loop, and an unplug seen
// in that loop deletes the device object (the manager deletes it directly).
// Each row has the receiver of one signal do just that; whatever the device
// does after the signal must not touch the deleted object (an error under
// ASan).

#include "devices/ProfileDevice.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "profiles/crc32Words.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QEventLoop>
#include <QTest>

class TestUnplugDuringSignal : public QObject
{
    Q_OBJECT

    TestBus bus;
    UsbDevice* device = nullptr;
    uint8_t version = 0;
    int dialogs = 0;

    // Steps, in order: "!" connects the row's signal, "aC:I" answers code C
    // (naming record I), "vV:N" answers read begin with version V and N
    // profiles, "+" and "-" add and remove a profile, "fwN" starts an update
    // of N bytes, "eI" and "xI" echo chunk I intact and damaged; any other
    // step calls a slot.
    void run(const QString& steps, const char* signal)
    {
        for (const QString& step : steps.split(' ')) {
            const QStringList n = step.mid(step.startsWith("fw") ? 2 : 1).split(':');
            FakeDevice::Report r =
                FakeDevice::response(uint8_t(n[0].toInt()), version, n.value(1, "-1").toInt());
            if (!device) {
                return;
            } else if (step == "!") {
                QVERIFY(connect(device, signal, this, SLOT(showDialog())));
            } else if (step[0] == 'v') {
                r = FakeDevice::response(3, uint8_t(n[0].toInt()));
                r[qobject_cast<UsbDeviceOrvWheelBase*>(device) ? 42 : 10] = uint8_t(n[1].toInt());
            } else if (step == "+") {
                ProfileDevice::of(device)->addProfile();
            } else if (step == "-") {
                ProfileDevice::of(device)->removeCurrentProfile();
            } else if (step.startsWith("fw")) {
                qobject_cast<UsbDeviceOrvBootloader*>(device)->updateFirmware(
                    QByteArray(n[0].toInt(), 0));
            } else if (step[0] == 'e' || step[0] == 'x') {
                r = FakeDevice::response(1, 0); // chunk I of an image of two zero chunks
                r[34] = uint8_t(n[0].toInt());
                r[36] = 2;
                const quint32 crc = crc32Words(&r[2], 32) ^ (step[0] == 'x');
                std::memcpy(&r[38], &crc, 4);
            } else if (step[0] != 'a') {
                QVERIFY(QMetaObject::invokeMethod(device, qPrintable(step)));
            }
            if (QString("vaex").contains(step[0]) && device)
                FakeDevice::deliver(device, r);
        }
    }

private slots:
    void showDialog()
    {
        ++dialogs;
        QEventLoop loop;
        QMetaObject::invokeMethod(
            this,
            [this, &loop] {
                delete device;
                device = nullptr;
                loop.quit();
            },
            Qt::QueuedConnection);
        loop.exec();
    }

    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }

    void deletedInTheReceiversLoop_data()
    {
        QTest::addColumn<int>("kind"); // wheel base, pedals, bootloader
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<QString>("steps");
        const QByteArray loaded = SIGNAL(onSettingsLoaded(UsbDevice*)),
                         failed = SIGNAL(onSettingsLoadFailed(UsbDevice*, QString));
        const QString wheelRead = "loadSettings v6:2 a5:0 a5:1",
                      pedalsRead = "loadSettings v4:2 a10 a5:0 a5:1";
        QTest::newRow("wheel base, list read") << 0 << loaded << "! " + wheelRead;
        QTest::newRow("wheel base, other version") << 0 << failed << "! v5:2";
        QTest::newRow("wheel base, list refused") << 0 << failed << "! v6:0";
        QTest::newRow("wheel base, centred") << 0 << loaded << wheelRead + " ! centerRim a7:0";
        QTest::newRow("wheel base, added") << 0 << loaded << "! +";
        QTest::newRow("wheel base, removed") << 0 << loaded << wheelRead + " ! -";
        QTest::newRow("wheel base, saved") << 0 << QByteArray(SIGNAL(onSettingsSaved(UsbDevice*)))
                                           << wheelRead + " ! saveSettings a4 a6:0 a6:1";
        QTest::newRow("pedals, list read") << 1 << loaded << "! " + pedalsRead;
        QTest::newRow("pedals, other version") << 1 << failed << "! v3:2";
        QTest::newRow("pedals, list refused") << 1 << failed << "! v4:41";
        QTest::newRow("pedals, added") << 1 << loaded << "! +";
        QTest::newRow("pedals, removed") << 1 << loaded << pedalsRead + " ! -";
        QTest::newRow("pedals, calibration started")
            << 1 << QByteArray(SIGNAL(onCalibrationStarted())) << "! startCalibration a14";
        QTest::newRow("pedals, calibration saved")
            << 1 << QByteArray(SIGNAL(onCalibrationSave())) << "! saveCalibration a11";
        QTest::newRow("bootloader, information read") << 2 << loaded << "! a3";
        QTest::newRow("bootloader, update started")
            << 2 << QByteArray(SIGNAL(onFirmwareUpdateStarted(int))) << "! fw64";
        const QByteArray progress = SIGNAL(onFirmwareUpdateProgress(int, int)),
                         completed = SIGNAL(onUpdateCompleted(UsbDevice*)),
                         updateFailed = SIGNAL(onUpdateFailed(UsbDevice*, QString));
        QTest::newRow("bootloader, first progress") << 2 << progress << "! fw64";
        QTest::newRow("bootloader, progress on an echo") << 2 << progress << "fw64 ! e0";
        QTest::newRow("bootloader, empty image completed") << 2 << completed << "! fw0";
        QTest::newRow("bootloader, completed") << 2 << completed << "fw64 ! e0 e1";
        QTest::newRow("bootloader, damaged echo") << 2 << updateFailed << "fw64 ! x0";
        QTest::newRow("bootloader, image too large") << 2 << updateFailed << "! fw2000000";
    }
    void deletedInTheReceiversLoop()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, signal);
        QFETCH(QString, steps);
        FakeDevice fake(bus.stdPath(), "dev", testDeviceInfo(0xA355, "ORV"));
        QVERIFY(fake.plug());
        if (kind == 0)
            device = new UsbDeviceOrvWheelBase(fake.path(), fake.open());
        else if (kind == 1)
            device = new UsbDeviceOrvPedals(fake.path(), fake.open());
        else
            device = new UsbDeviceOrvBootloader(fake.path(), fake.open());
        version = uint8_t(6 - 2 * kind);
        dialogs = 0;
        run(steps, signal.constData());
        QCOMPARE(dialogs, 1);
        QVERIFY(!device);
    }
};

QTEST_GUILESS_MAIN(TestUnplugDuringSignal)
#include "tst_unplugduringsignal.moc"
