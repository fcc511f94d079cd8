// The HID layer over the virtual HID bus: the backend choice, the .info
// contract, enumeration, the split read, writes, and bad input. Waiting on
// several devices is covered through the manager (tst_usbmanager).

#include "hid/hid.h"
#include "sim/VhidEndpoint.h"
#include "simbackend/installSimulatorBackend.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"
#include "vhid/BusFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using orvsim::VhidEndpoint;
using vhid::DeviceInfo;

namespace {

using Report = std::vector<uint8_t>;

struct DeviceDeleter
{
    void operator()(hid_device* dev) const { hid_close(dev); }
};
using Device = std::unique_ptr<hid_device, DeviceDeleter>;

// Waits until the device's read is ready, then collects it.
int collect(hid_device* dev, unsigned char* buf, size_t length)
{
    const hid_wait_handle h = hid_read_begin(dev);
    return hid_wait_any(&h, 1, 2000) == 0 ? hid_read_finish(dev, buf, length) : -2;
}

// A program's own static object may take and release the HID layer as it
// is destroyed, after the layer's first use: the layer must still be whole.
struct ReleasedAtExit
{
    ~ReleasedAtExit()
    {
        hid_init();
        hid_exit();
    }
} releasedAtExit;

} // namespace

class TestVhid : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::vector<std::unique_ptr<VhidEndpoint>> endpoints;

    VhidEndpoint* plug(const std::string& stem,
                       DeviceInfo info = testDeviceInfo(0xA355, "Wheel Base"))
    {
        endpoints.push_back(std::make_unique<VhidEndpoint>(bus.stdPath(), stem, std::move(info)));
        return endpoints.back()->plug() ? endpoints.back().get() : nullptr;
    }
    // Opened, once the device has taken the connection.
    static Device openConnected(VhidEndpoint* ep)
    {
        Device dev(ep ? hid_open_path(ep->sockPath().c_str()) : nullptr);
        if (dev && !waitUntil([&] { return ep->connectionCount() == 1; }, 2000))
            dev.reset();
        return dev;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(bus.isValid());
        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }
    void cleanupTestCase() { QCOMPARE(hid_exit(), 0); }
    void cleanup()
    {
        endpoints.clear();
        QDir dir(bus.path());
        for (const QString& name : dir.entryList(QDir::Files | QDir::System))
            dir.remove(name);
    }

    void infoParsing_data()
    {
        // A line after the two IDs, and how its value is then written (empty:
        // the whole announcement is refused).
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("written");
        const auto row = [](const char* name, const char* line, const char* written) {
            QTest::newRow(name) << QString(line) << QString(written);
        };
        row("hex", "usage_page=0xff00", "usage_page=65280");
        row("upper-case 0X", "product_id=0XA3BE", "product_id=0xa3be");
        row("no interface", "interface=-1", "interface=-1");
        row("crlf, unknown key", "colour=blue\r\nusage=7\r", "usage=7");
        row("line without =", "broken", "");
        row("out of range", "vendor_id=0x10483", "");
        row("bare 0x", "usage=0x", "");
        row("hex digit in decimal", "usage=12a", "");
        row("signed", "usage=+5", "");
        row("blank before digits", "usage= 5", "");
        row("zero report length", "input_report_length=0", "");
    }

    void infoParsing()
    {
        QFETCH(QString, line);
        QFETCH(QString, written);
        DeviceInfo info;
        const std::string text = "vendor_id=0x0483\r\nproduct_id=0xa355\n" + line.toStdString();
        QCOMPARE(DeviceInfo::parse(text, &info), !written.isEmpty());
        if (!written.isEmpty())
            QVERIFY(QString::fromStdString(info.format()).contains("\n" + written + "\n"));
    }

    void infoIsWrittenAsOlderReadersExpect()
    {
        DeviceInfo info = testDeviceInfo(0xA3BE, "Pedals");
        info.release = 0x0102;
        info.interfaceNumber = 2;
        info.usagePage = 0xff00;
        info.usage = 1;
        info.inputReportLength = 65;
        QCOMPARE(QByteArray::fromStdString(info.format()),
                 QByteArray("vendor_id=0x0483\nproduct_id=0xa3be\nrelease=0x0102\nproduct=Pedals\n"
                            "manufacturer=\nserial=S1\ninterface=2\nusage_page=65280\nusage=1\n"
                            "input_report_length=65\noutput_report_length=64\n"));
        DeviceInfo back;

        // Line breaks and NULs cannot travel in a value: they go as spaces,
        // so that what is read back is what was meant, and nothing more.
        info.product = "Two\nvendor_id=0x1\r";
        info.serial = std::string("S\0001", 3);
        QVERIFY(DeviceInfo::parse(info.format(), &back));
        QCOMPARE(back.product, std::string("Two vendor_id=0x1 "));
        QCOMPARE(back.serial, std::string("S 1"));
        QCOMPARE(back.format(), info.format()); // each key read into its own field
    }

    // Enumeration is sorted by stem and filtered, and skips what it cannot
    // read: bad announcements, and a FIFO nobody writes to (an open that
    // waited for a writer would never return).
    void enumerationFiltersAndSkipsBadAnnouncements()
    {
        QVERIFY(plug("b-wheel"));
        QVERIFY(plug("a-pedals", testDeviceInfo(0xA3BE, "Pedals")));
        QVERIFY(vhid::writeFileAtomically(bus.stdPath() + "/c-garbage.info", "\xff\xfe binary"));
        QVERIFY(vhid::writeFileAtomically(bus.stdPath() + "/d-partial.info", "vendor_id=0x0483\n"));
        const QByteArray fifo = (bus.path() + "/x.info").toUtf8();
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        auto found = std::async(std::launch::async, [&] {
            Enumeration all(hid_enumerate(0, 0)), wheel(hid_enumerate(0x0483, 0xA355));
            Device x(hid_open_path((bus.path() + "/x.sock").toUtf8().constData()));
            return countEntries(all.get()) == 2 && countEntries(wheel.get()) == 1 && !x
                       ? QString(all->path) + " " + wheel->path
                       : QString();
        });
        if (found.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Let each open stuck on the FIFO go, so that the failure ends.
            for (int i = 0; i < 100 && found.wait_for(std::chrono::milliseconds(10)) !=
                                           std::future_status::ready;
                 ++i)
                ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK));
            QFAIL("enumeration waited for the FIFO's writer");
        }
        QCOMPARE(found.get(), bus.path() + "/a-pedals.sock " + bus.path() + "/b-wheel.sock");
        QVERIFY(!Enumeration(hid_enumerate(0x1234, 0)));
    }

    void backendChoice_data()
    {
        QTest::addColumn<QByteArray>("choice");
        QTest::addColumn<bool>("simulator"); // installed by the program
        QTest::addColumn<int>("devices");    // -1: hid_init fails
        QTest::newRow("missing bus") << QByteArray("vhid:/nonexistent/orv/bus") << false << 0;
        QTest::newRow("bus without a directory") << QByteArray("vhid:") << false << -1;
        QTest::newRow("sim without a simulator") << QByteArray("sim") << false << -1;
        QTest::newRow("sim") << QByteArray("sim") << true << 2;
    }
    void backendChoice()
    {
        QFETCH(QByteArray, choice);
        QFETCH(bool, simulator);
        QFETCH(int, devices);
        QCOMPARE(hid_exit(), 0); // drop initTestCase's hold: the choice is made afresh
        qputenv("ORV_HID_BACKEND", choice);
        hid_set_sim_backend(nullptr, nullptr);
        if (simulator)
            installSimulatorBackend();

        // Two users, as the probe's manager and the window's may be.
        QCOMPARE(hid_init(), devices < 0 ? -1 : 0);
        QCOMPARE(hid_init(), devices < 0 ? -1 : 0);
        Enumeration list(hid_enumerate(0, 0));
        QCOMPARE(countEntries(list.get()), std::max(devices, 0));
        QVERIFY(!hid_open_path("/nonexistent/orv/bus/x.sock"));
        const QString dir = list ? QFileInfo(list->path).path() : QString();
        QCOMPARE(hid_exit(), 0);
        QCOMPARE(QFileInfo::exists(dir), devices > 0);
        QCOMPARE(hid_exit(), 0);
        QVERIFY(!QFileInfo::exists(dir)); // the last exit stops the simulator

        bus.useAsBackend();
        QCOMPARE(hid_init(), 0);
    }

    // A read begun stays pending until a report comes; what was sent before
    // an unplug is still collected, then reads and writes fail.
    void splitReadAndUnplug()
    {
        VhidEndpoint* ep = plug("wheel");
        Device dev = openConnected(ep);
        QVERIFY(dev);
        const hid_wait_handle h = hid_read_begin(dev.get());
        QVERIFY(h != HID_INVALID_WAIT_HANDLE);
        unsigned char buf[64] = {};
        QCOMPARE(hid_read_finish(dev.get(), buf, sizeof buf), 0); // nothing yet: still pending
        QCOMPARE(hid_read_begin(dev.get()), h);
        QCOMPARE(hid_wait_any(&h, 1, 50), -1);

        // A device that leaves with a command unread makes the next read fail
        // once, ahead of what it sent before: that is not yet the end.
        const Report report(64, 0x5a);
        QCOMPARE(ep->send(report.data(), report.size()), 1);
        ep->setReading(false);
        QCOMPARE(hid_write(dev.get(), report.data(), report.size()), 64);
        ep->unplug();
        QVERIFY(!QFile::exists(bus.path() + "/wheel.info"));
        QCOMPARE(collect(dev.get(), buf, sizeof buf), 64);
        QCOMPARE(Report(buf, buf + 64), report);
        QCOMPARE(collect(dev.get(), buf, sizeof buf), -1);
        QCOMPARE(hid_write(dev.get(), report.data(), report.size()), -1);
        QVERIFY(!Enumeration(hid_enumerate(0, 0)));
        QVERIFY(ep->plug()); // plugged again, it is a new device to open
        QVERIFY(Device(hid_open_path(ep->sockPath().c_str())));
    }

    void reportSizes_data()
    {
        QTest::addColumn<int>("inputLength");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray full = QByteArray(1, 0x01) + QByteArray(63, 0x22);
        QTest::newRow("64 bytes") << 64 << full << full;
        QTest::newRow("short") << 64 << full.left(10) << full.left(10);
        QTest::newRow("empty message") << 64 << QByteArray() << QByteArray();
        QTest::newRow("longer than the input report is dropped")
            << 64 << (full + QByteArray(1, 0x33)) << QByteArray();
        // A device without report IDs sends a 0 first; the caller never sees it.
        const QByteArray unnumbered = QByteArray(1, 0x00) + QByteArray(64, 0x44);
        QTest::newRow("report ID 0 is dropped") << 65 << unnumbered << unnumbered.mid(1);
        const QByteArray numbered65 = QByteArray(1, 0x65) + QByteArray(64, 0x55);
        QTest::newRow("numbered 65 into 64 keeps the ID")
            << 65 << numbered65 << numbered65.left(64);
    }
    void reportSizes()
    {
        QFETCH(int, inputLength);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, expected);
        DeviceInfo info = testDeviceInfo(0xA355, "Wheel Base");
        info.inputReportLength = inputLength;
        VhidEndpoint* ep = plug("dev", info);
        Device dev = openConnected(ep);
        QVERIFY(dev);
        QCOMPARE(ep->send(reinterpret_cast<const uint8_t*>(sent.constData()), size_t(sent.size())),
                 1);
        // A marker behind it proves the odd report did not wedge the stream.
        const Report marker(64, 0x01);
        ep->send(marker.data(), marker.size());
        unsigned char buf[64];
        const int n = collect(dev.get(), buf, sizeof buf);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buf), n), expected);
        QCOMPARE(collect(dev.get(), buf, sizeof buf), 64);
        QCOMPARE(Report(buf, buf + 64), marker);
    }

    // Writes are padded to the output report, and the last ones of a program
    // that ends with a report unread still reach the device (the reset its
    // end causes is said ahead of them).
    void writesReachTheDeviceAfterTheProgramEnds()
    {
        DeviceInfo info = testDeviceInfo(0xA355, "Wheel Base");
        info.outputReportLength = 65;
        FakeDevice device(bus.stdPath(), "dev", info);
        QVERIFY(device.plug());
        Device dev(device.open());
        QVERIFY(dev && waitUntil([&] { return device.endpoint.connectionCount() == 1; }, 2000));
        const Report command(64, 0x64), longer(70, 0x11);
        device.endpoint.setReading(false);
        QCOMPARE(device.endpoint.send(command.data(), command.size()), 1);
        QCOMPARE(hid_write(dev.get(), command.data(), command.size()), 65);
        QCOMPARE(hid_write(dev.get(), longer.data(), longer.size()), 70);
        dev.reset();
        device.endpoint.setReading(true);
        QVERIFY(device.waitFor(2));
        Report padded = command;
        padded.push_back(0);
        QCOMPARE(device.at(0), padded);
        QCOMPARE(device.at(1), longer);
    }
};

QTEST_GUILESS_MAIN(TestVhid)
#include "tst_vhid.moc"
