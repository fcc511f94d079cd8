// Supported devices that are present but cannot be opened: the manager's
// scans report each once, with its node, product name and reason, and stop
// reporting it when it opens or leaves. hidraw runs against a fake sysfs
// tree with device nodes whose open fails at the test's will (tests run as
// root, where file modes stop nothing).

#include "hid/hid_hidraw.h"
#include "support/FakeSysfs.h"
#include "usb/UsbManager.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What opening the node does: 0 succeeds, anything else fails with it.
int openOutcome = EACCES;
int peer = -1;

int fakeOpen(const char*, int)
{
    if (openOutcome != 0) {
        errno = openOutcome;
        return -1;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, pair) != 0)
        return -1;
    if (peer >= 0)
        ::close(peer);
    peer = pair[1]; // kept open: the device stays present and quiet
    return pair[0];
}

} // namespace

class TestAccessProblems : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

private slots:
    void initTestCase()
    {
        qunsetenv("ORV_HID_BACKEND");
        orvhid::setHidrawForTesting(root.path().toStdString(), fakeOpen);
        FakeHidraw wheel;
        wheel.node = "hidraw3";
        wheel.uevent = fakeUevent("0003:00000483:0000A355");
        wheel.usbProduct = "ORV Torvane Pro Wheel Base";
        QVERIFY(addFakeHidraw(root.path(), wheel));
    }

    void reportedOnceUntilItOpensOrLeaves_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("leaves");
        QTest::newRow("no permission, then opens") << EACCES << "permission denied" << false;
        QTest::newRow("not permitted, then leaves") << EPERM << "permission denied" << true;
        QTest::newRow("busy, then opens") << EBUSY << "in use by another program" << false;
    }
    void reportedOnceUntilItOpensOrLeaves()
    {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QFETCH(bool, leaves);
        openOutcome = error;
        UsbManager manager;
        QSignalSpy changed(&manager.accessProblems(), &DeviceAccessMonitor::changed);

        for (int scan = 0; scan < 3; ++scan)
            QVERIFY(!manager.rescanForOrvDevices());
        QCOMPARE(changed.count(), 1); // said once, not at every scan
        const QList<DeviceAccessProblem> problems = manager.accessProblems().problems();
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems[0].path, QString("/dev/hidraw3"));
        QCOMPARE(problems[0].product, QString("ORV Torvane Pro Wheel Base"));
        QCOMPARE(problems[0].reason(), reason);

        if (leaves) {
            QVERIFY(removeFakeHidraw(root.path(), "hidraw3"));
            QVERIFY(!manager.rescanForOrvDevices());
        } else {
            openOutcome = 0;
            QVERIFY(manager.rescanForOrvDevices());
            QCOMPARE(manager.getDevices().size(), 1);
        }
        QCOMPARE(changed.count(), 2);
        QVERIFY(manager.accessProblems().problems().isEmpty());
        manager.rescanForOrvDevices();
        QCOMPARE(changed.count(), 2);
        if (leaves)
            initTestCase(); // put it back for the next row
    }

    void cleanupTestCase()
    {
        if (peer >= 0)
            ::close(peer);
    }
};

QTEST_GUILESS_MAIN(TestAccessProblems)
#include "tst_accessproblems.moc"
