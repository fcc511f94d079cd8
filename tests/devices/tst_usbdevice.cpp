// The device base: strings read at construction and the resend-on-silence
// rule, against a device on a private bus that records what it receives.

#include "devices/UsbDevice.h"
#include "sim/SimWheelBase.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"

#include <QTest>

#include <memory>
#include <vector>

namespace {

using Report = std::vector<uint8_t>;

class ProbeDevice : public UsbDevice
{
public:
    using UsbDevice::sendReport;
    using UsbDevice::UsbDevice;
    bool retrying() const { return retryTimer.isActive(); }
};

Report command(uint8_t code)
{
    return FakeDevice::command(code, 6);
}

} // namespace

class TestUsbDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stringsAtConstruction();
    void emptyStringsStillMakeADevice();
    void silentDeviceGetsTheCommandEvery600ms();
    void whatStopsTheResend_data();
    void whatStopsTheResend();
    void laterCommandReplacesTheResentOne();
    void oneShotCommandIsNotRepeated();
    void failedWriteIsResent();

private:
    TestBus bus;
    std::unique_ptr<FakeDevice> fake;
    std::unique_ptr<ProbeDevice> device;
};

void TestUsbDevice::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestUsbDevice::init()
{
    fake = std::make_unique<FakeDevice>(bus.stdPath(), "wheel",
                                        orvsim::SimWheelBase::defaultInfo("SERIAL-7"));
    QVERIFY(fake->plug());
    hid_device* handle = fake->open();
    QVERIFY(handle);
    device = std::make_unique<ProbeDevice>(fake->path(), handle);
    fake->clear();
}

void TestUsbDevice::cleanup()
{
    device.reset();
    fake.reset();
}

void TestUsbDevice::stringsAtConstruction()
{
    QCOMPARE(device->getProductName(), QString("ORV Torvane Pro Wheel Base"));
    QCOMPARE(device->getSerialNumber(), QString("SERIAL-7"));
    QCOMPARE(device->getPath(), fake->path());
}

void TestUsbDevice::emptyStringsStillMakeADevice()
{
    orvsim::VhidEndpoint bare(bus.stdPath(), "bare", testDeviceInfo(0xA355, ""));
    QVERIFY(bare.plug());
    hid_device* handle = hid_open_path(bare.sockPath().c_str());
    QVERIFY(handle);
    ProbeDevice d(QString::fromStdString(bare.sockPath()), handle);
    QVERIFY(d.getProductName().isEmpty());
}

// Each round's clock starts before the send, so no resend may show sooner
// than 600 ms on it (a coarse timer often comes a few ms early).
void TestUsbDevice::silentDeviceGetsTheCommandEvery600ms()
{
    const Report read = command(3);
    for (size_t round = 1; round <= 6; ++round) {
        fake->clear();
        device->sendReport(read.data(), true);
        QVERIFY(fake->waitFor(round == 6 ? 3 : 2, 2000));
        QCOMPARE(fake->received(), std::vector<Report>(fake->count(), read));
        const qint64 resent = fake->timeAt(1);
        QVERIFY2(resent >= 600 && resent < 1200, qPrintable(QString::number(resent)));
    }
}

void TestUsbDevice::whatStopsTheResend_data()
{
    QTest::addColumn<int>("reportId");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("stops");

    QTest::newRow("joystick update") << 0x01 << 3 << false;
    QTest::newRow("the answer") << 0x65 << 3 << true;
    QTest::newRow("an answer to another command") << 0x65 << 9 << true;
    QTest::newRow("an unknown report") << 0x42 << 0 << true;
}

void TestUsbDevice::whatStopsTheResend()
{
    QFETCH(int, reportId);
    QFETCH(int, code);
    QFETCH(bool, stops);
    const Report read = command(3);
    device->sendReport(read.data(), true);
    Report answer = FakeDevice::response(uint8_t(code), 6);
    answer[0] = uint8_t(reportId);
    FakeDevice::deliver(device.get(), answer);
    QCOMPARE(device->retrying(), !stops);
    QTest::qWait(800);
    QCOMPARE(fake->count(), stops ? size_t(1) : size_t(2));
}

void TestUsbDevice::laterCommandReplacesTheResentOne()
{
    const Report first = command(3);
    const Report second = command(5);
    device->sendReport(first.data(), true);
    device->sendReport(second.data(), true);
    QVERIFY(waitUntil([&] { return fake->count() >= 3; }, 2000));
    QCOMPARE(fake->at(0), first);
    QCOMPARE(fake->at(1), second);
    QCOMPARE(fake->at(2), second);
}

void TestUsbDevice::oneShotCommandIsNotRepeated()
{
    const Report end = command(4);
    device->sendReport(end.data(), false);
    QVERIFY(!device->retrying());
    QTest::qWait(800);
    QCOMPARE(fake->count(), size_t(1));
}

void TestUsbDevice::failedWriteIsResent()
{
    fake->unplug();
    const Report end = command(4);
    device->sendReport(end.data(), false);
    // Written nowhere; the resend rule takes over as if a reply were due.
    QVERIFY(device->retrying());
    QTest::qWait(700);
    QVERIFY(device->retrying());
}

QTEST_GUILESS_MAIN(TestUsbDevice)
#include "tst_usbdevice.moc"
