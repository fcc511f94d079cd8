// Plugging and unplugging through the window, over and over, at the moments
// a device is most in use: right after it arrives, while its reports stream,
// while its settings load, during a firmware update, and straight back on
// the same path. Every arrival adds exactly one entry to the device list and
// every departure removes exactly one. ORV_SOAK_CYCLES sets the number of
// cycles (default 5, one of each), ORV_SOAK_SEED the random timing.

#include "ScriptedDialogs.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "window/ORV_wheel_tool.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(QPointer<UsbDevice>)

constexpr int WaitMs = 8000;

class TestHotplugSoak : public QObject
{
    Q_OBJECT

    enum Moment
    {
        RightAfterArrival,
        WhileStreaming,
        DuringSettingsRead,
        DuringFirmwareUpdate,
        InstantReplug,
        Moments
    };

    TestBus bus;
    ScriptedDialogs dialogs;
    std::unique_ptr<orvsim::Simulator> simulator;
    orvsim::SimWheelBase* wheel = nullptr;
    std::unique_ptr<ORV_wheel_tool> window;
    QRandomGenerator random{quint32(qEnvironmentVariableIntValue("ORV_SOAK_SEED"))};
    int connects = 0;
    int disconnects = 0;
    int expectedConnects = 0;
    int expectedDisconnects = 0;

    QComboBox* devices() const { return window->findChild<QComboBox*>("comboBox_UsbDevice"); }

    // One more entry added (or removed), and no other.
    static bool oneMore(const int& seen, int& expected)
    {
        const int want = ++expected;
        return waitUntil([&] { return seen >= want; }, WaitMs) && seen == want;
    }
    bool arrives() { return oneMore(connects, expectedConnects); }
    bool leaves() { return oneMore(disconnects, expectedDisconnects); }
    int upTo(int most) { return 1 + int(random.bounded(quint32(most))); }

    void cycle(Moment moment)
    {
        wheel->clearReceived();
        QVERIFY(wheel->plug());
        QVERIFY(arrives());
        switch (moment) {
        case RightAfterArrival:
            break;
        case WhileStreaming: {
            const quint64 redraws = window->rimRedraws() + quint64(upTo(20));
            QVERIFY(waitUntil([&] { return window->rimRedraws() >= redraws; }, WaitMs));
            break;
        }
        case DuringSettingsRead: {
            // The read's first command, then one a record of the hundred.
            const size_t commands = size_t(upTo(60)) + 1;
            QVERIFY(waitUntil([&] { return wheel->received().size() >= commands; }, WaitMs));
            break;
        }
        case DuringFirmwareUpdate: {
            QTest::mouseClick(window->findChild<QPushButton*>("pushButton_EnterExitBootloader"),
                              Qt::LeftButton);
            QVERIFY(leaves());
            QVERIFY(arrives());
            auto* boot = qobject_cast<UsbDeviceOrvBootloader*>(
                devices()->currentData(Qt::UserRole + 1).value<QPointer<UsbDevice>>().data());
            QVERIFY(boot);
            boot->updateFirmware(QByteArray(8192, '\x5a'));
            const uint64_t chunks = uint64_t(upTo(200));
            QVERIFY(
                waitUntil([&] { return wheel->bootloader().chunkCommands() >= chunks; }, WaitMs));
            break;
        }
        case InstantReplug:
            wheel->unplug();
            QVERIFY(wheel->plug());
            QVERIFY(leaves());
            QVERIFY(arrives());
            break;
        case Moments:
            break;
        }
        wheel->unplug();
        QVERIFY(leaves());
        QCOMPARE(devices()->count(), 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        simulator = std::make_unique<orvsim::Simulator>(bus.stdPath());
        wheel = simulator->addWheelBase("wheel", 500);
        QVERIFY(wheel);
        wheel->unplug();
        // Long enough transfers to unplug in the middle of.
        wheel->setDefaultProfileCount(100);
        wheel->setFrameTime(std::chrono::microseconds(1000));
        wheel->setRebootDelay(std::chrono::milliseconds(50));
        window = std::make_unique<ORV_wheel_tool>();
        window->show();
        QAbstractItemModel* model = devices()->model();
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { connects += last - first + 1; });
        connect(
            model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { disconnects += last - first + 1; });
    }

    void cycles()
    {
        const int cycles = qEnvironmentVariableIsSet("ORV_SOAK_CYCLES")
                               ? qEnvironmentVariableIntValue("ORV_SOAK_CYCLES")
                               : int(Moments);
        for (int i = 0; i < cycles; ++i) {
            cycle(Moment(i % Moments));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QString("in cycle %1").arg(i)));
        }
        // Nothing more arrives or leaves once the bus is quiet.
        QTest::qWait(1200);
        QCOMPARE(connects, expectedConnects);
        QCOMPARE(disconnects, expectedDisconnects);
        QCOMPARE(dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TestHotplugSoak)
#include "tst_hotplug_soak.moc"
