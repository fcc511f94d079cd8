// The device base's resend-on-silence rule, against a device on a private
// bus that records what it receives. Its strings are tst_discovery's.

#include "devices/UsbDevice.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QTest>

#include <memory>
#include <vector>

namespace {

using Report = FakeDevice::Report;

class ProbeDevice : public UsbDevice
{
public:
    using UsbDevice::sendReport;
    using UsbDevice::UsbDevice;
    bool retrying() const { return retryTimer.isActive(); }
};

const Report Read = FakeDevice::command(3, 6);

} // namespace

class TestUsbDevice : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    std::unique_ptr<ProbeDevice> device;

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }
    void init()
    {
        fake = std::make_unique<FakeDevice>(bus.stdPath(), "wheel",
                                            testDeviceInfo(0xA355, "ORV Wheel Base"));
        QVERIFY(fake->plug());
        device = std::make_unique<ProbeDevice>(fake->path(), fake->open());
        fake->clear();
    }
    void cleanup()
    {
        device.reset();
        fake.reset();
    }

    // Each round's clock starts before the send, so no resend may show
    // sooner than 600 ms on it (a coarse timer often comes a few ms early).
    void silentDeviceGetsTheCommandEvery600ms()
    {
        for (size_t round = 1; round <= 4; ++round) {
            fake->clear();
            device->sendReport(Read.data(), true);
            QVERIFY(fake->waitFor(round == 4 ? 3 : 2, 2000));
            QCOMPARE(fake->received(), std::vector<Report>(fake->count(), Read));
            const qint64 resent = fake->timeAt(1);
            QVERIFY2(resent >= 600 && resent < 1200, qPrintable(QString::number(resent)));
        }
    }

    void whatKeepsTheResend_data()
    {
        QTest::addColumn<bool>("expectReply");
        QTest::addColumn<bool>("writeFails");
        QTest::addColumn<int>("reportId"); // of the answer, 0 for none
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("resending");
        QTest::newRow("joystick update") << true << false << 0x01 << 3 << true;
        QTest::newRow("the answer") << true << false << 0x65 << 3 << false;
        QTest::newRow("an answer to another command") << true << false << 0x65 << 9 << false;
        QTest::newRow("an unknown report") << true << false << 0x42 << 0 << false;
        QTest::newRow("no reply expected") << false << false << 0 << 0 << false;
        QTest::newRow("no reply expected, write failed") << false << true << 0 << 0 << true;
    }
    void whatKeepsTheResend()
    {
        QFETCH(bool, expectReply);
        QFETCH(bool, writeFails);
        QFETCH(int, reportId);
        QFETCH(int, code);
        QFETCH(bool, resending);
        if (writeFails)
            fake->unplug();
        device->sendReport(Read.data(), expectReply);
        Report answer = FakeDevice::response(uint8_t(code), 6);
        answer[0] = uint8_t(reportId);
        if (reportId)
            FakeDevice::deliver(device.get(), answer);
        QCOMPARE(device->retrying(), resending);
    }

    void laterCommandReplacesTheResentOne()
    {
        const Report second = FakeDevice::command(5, 6);
        device->sendReport(Read.data(), true);
        device->sendReport(second.data(), true);
        QVERIFY(fake->waitFor(3));
        QCOMPARE(fake->received(), std::vector<Report>({Read, second, second}));
    }
};

QTEST_GUILESS_MAIN(TestUsbDevice)
#include "tst_usbdevice.moc"
