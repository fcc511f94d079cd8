// The HID layer over the virtual HID bus: enumeration, the split read, the
// multi-device wait, writes, and what it does with bad input.

#include "hid/hid.h"
#include "sim/VhidEndpoint.h"
#include "simbackend/installSimulatorBackend.h"
#include "support/TestBus.h"
#include "vhid/BusFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using orvsim::VhidEndpoint;
using vhid::DeviceInfo;

namespace {

using Report = std::vector<uint8_t>;

DeviceInfo deviceInfo(uint16_t productId = 0xA355, const std::string& product = "Wheel Base")
{
    return testDeviceInfo(productId, product);
}

struct EnumerationDeleter
{
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};
using Enumeration = std::unique_ptr<hid_device_info, EnumerationDeleter>;

struct DeviceDeleter
{
    void operator()(hid_device* dev) const { hid_close(dev); }
};
using Device = std::unique_ptr<hid_device, DeviceDeleter>;

int countEntries(const hid_device_info* list)
{
    int n = 0;
    for (; list; list = list->next)
        ++n;
    return n;
}

Report numbered(uint8_t id, size_t size, uint8_t fill)
{
    Report r(size, fill);
    if (size > 0)
        r[0] = id;
    return r;
}

// Waits until the device's read is ready, then collects it.
int collect(hid_device* dev, unsigned char* buf, size_t length, int timeoutMs = 2000)
{
    const hid_wait_handle h = hid_read_begin(dev);
    if (hid_wait_any(&h, 1, timeoutMs) != 0)
        return -2;
    return hid_read_finish(dev, buf, length);
}

// A device that accepts connections through the kernel's backlog but never
// reads: what a hung device looks like to a writer.
class DeafDevice
{
public:
    explicit DeafDevice(const std::string& busDir)
    {
        sock = busDir + "/deaf.sock";
        fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd, 4);
        vhid::writeFileAtomically(busDir + "/deaf.info", deviceInfo().format());
    }
    ~DeafDevice() { ::close(fd); }
    std::string sock;
    int fd = -1;
};

} // namespace

class TestVhid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void infoParsing_data();
    void infoParsing();
    void infoIsWrittenAsOlderReadersExpect();
    void fifoOnTheBusDoesNotHangEnumeration();
    void enumerationFiltersAndSkipsBadAnnouncements();
    void backendChoice_data();
    void backendChoice();
    void openFailsWithoutListener();
    void stringsComeFromTheAnnouncement();

    void splitRead();
    void reportSizes_data();
    void reportSizes();
    void unplugFailsTheRead();
    void waitAnyPicksLowestReadyIndex();
    void waitAnyTimesOut();

    void writeReachesDeviceAndPads();
    void writeToHungDeviceFailsInBoundedTime();

private:
    TestBus bus;
    std::vector<std::unique_ptr<VhidEndpoint>> endpoints;

    VhidEndpoint* plug(const std::string& stem, DeviceInfo info)
    {
        endpoints.push_back(std::make_unique<VhidEndpoint>(bus.stdPath(), stem, std::move(info)));
        return endpoints.back()->plug() ? endpoints.back().get() : nullptr;
    }
    void writeInfo(const QString& stem, const QByteArray& text)
    {
        QFile f(bus.path() + "/" + stem + ".info");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
};

void TestVhid::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
    QCOMPARE(hid_init(), 0);
}

void TestVhid::cleanupTestCase()
{
    QCOMPARE(hid_exit(), 0);
}

void TestVhid::cleanup()
{
    endpoints.clear();
    QDir dir(bus.path());
    for (const QString& name : dir.entryList(QDir::Files | QDir::System))
        dir.remove(name);
}

void TestVhid::infoParsing_data()
{
    // The whole text, the key looked at, and its value (-2: text refused).
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("value");

    const QByteArray ids = "vendor_id=0x0483\nproduct_id=0xa355\n";
    QTest::newRow("hex usage_page") << ids + "usage_page=0xff00\n"
                                    << QByteArray("usage_page") << 0xff00;
    QTest::newRow("decimal usage_page")
        << ids + "usage_page=65280" << QByteArray("usage_page") << 0xff00;
    QTest::newRow("hex usage") << ids + "usage=0x04" << QByteArray("usage") << 4;
    QTest::newRow("decimal vendor_id")
        << QByteArray("vendor_id=1155\nproduct_id=0xa355") << QByteArray("vendor_id") << 0x0483;
    QTest::newRow("upper-case hex product_id")
        << QByteArray("vendor_id=0x0483\nproduct_id=0XA3BE") << QByteArray("product_id") << 0xA3BE;
    QTest::newRow("decimal release") << ids + "release=256" << QByteArray("release") << 0x100;
    QTest::newRow("hex interface") << ids + "interface=0x02" << QByteArray("interface") << 2;
    QTest::newRow("no interface") << ids + "interface=-1" << QByteArray("interface") << -1;
    QTest::newRow("hex input length")
        << ids + "input_report_length=0x41" << QByteArray("input_report_length") << 65;
    QTest::newRow("decimal output length")
        << ids + "output_report_length=65" << QByteArray("output_report_length") << 65;
    QTest::newRow("crlf and unknown keys")
        << QByteArray("vendor_id=0x0483\r\nproduct_id=0xA355\r\ncolour=blue\r\n")
        << QByteArray("product_id") << 0xA355;
    QTest::newRow("cut mid-line") << QByteArray("vendor_id=0x0483\nproduct_id=0xa3")
                                  << QByteArray("product_id") << 0xA3;
    QTest::newRow("no product id")
        << QByteArray("vendor_id=0x0483\n") << QByteArray("vendor_id") << -2;
    QTest::newRow("line without =") << ids + "broken\n" << QByteArray("vendor_id") << -2;
    QTest::newRow("vendor out of range")
        << QByteArray("vendor_id=0x10483\nproduct_id=0xa355") << QByteArray("vendor_id") << -2;
    QTest::newRow("decimal out of range")
        << ids + "usage_page=65536" << QByteArray("usage_page") << -2;
    QTest::newRow("bare 0x") << ids + "usage=0x" << QByteArray("usage") << -2;
    QTest::newRow("hex digit in decimal") << ids + "usage=12a" << QByteArray("usage") << -2;
    QTest::newRow("signed") << ids + "usage=+5" << QByteArray("usage") << -2;
    QTest::newRow("blank before digits") << ids + "usage= 5" << QByteArray("usage") << -2;
    QTest::newRow("zero report length")
        << ids + "input_report_length=0" << QByteArray("input_report_length") << -2;
    QTest::newRow("huge report length")
        << ids + "output_report_length=99999999999" << QByteArray("output_report_length") << -2;
}

void TestVhid::infoParsing()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(int, value);
    DeviceInfo info;
    QCOMPARE(DeviceInfo::parse(text.toStdString(), &info), value != -2);
    if (value == -2)
        return;
    const std::map<QByteArray, int> fields = {{"vendor_id", info.vendorId},
                                              {"product_id", info.productId},
                                              {"release", info.release},
                                              {"interface", info.interfaceNumber},
                                              {"usage_page", info.usagePage},
                                              {"usage", info.usage},
                                              {"input_report_length", info.inputReportLength},
                                              {"output_report_length", info.outputReportLength}};
    QCOMPARE(fields.at(key), value);
}

void TestVhid::infoIsWrittenAsOlderReadersExpect()
{
    DeviceInfo info = deviceInfo(0xA3BE, "Pedals");
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
    QVERIFY(DeviceInfo::parse(info.format(), &back));
    QCOMPARE(QByteArray::fromStdString(back.format()), QByteArray::fromStdString(info.format()));
}

void TestVhid::fifoOnTheBusDoesNotHangEnumeration()
{
    // Nobody writes to it: an open that waits for a writer never returns.
    QVERIFY(plug("wheel", deviceInfo()));
    const QByteArray fifo = (bus.path() + "/x.info").toUtf8();
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    auto found = std::async(std::launch::async, [&] {
        Enumeration list(hid_enumerate(0, 0));
        Device x(hid_open_path((bus.path() + "/x.sock").toUtf8().constData()));
        return list && !list->next && !x ? QString(list->path) : QString();
    });
    const bool prompt = found.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    // Let a reader stuck in open() go, so that a failure ends instead of hanging.
    for (int i = 0; !prompt && i < 100 &&
                    found.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready;
         ++i) {
        const int w = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
        if (w >= 0)
            ::close(w);
    }
    QVERIFY(prompt);
    QCOMPARE(found.get(), bus.path() + "/wheel.sock");
}

void TestVhid::enumerationFiltersAndSkipsBadAnnouncements()
{
    QVERIFY(plug("b-wheel", deviceInfo(0xA355)));
    QVERIFY(plug("a-pedals", deviceInfo(0xA3BE, "Pedals")));
    writeInfo("c-garbage", QByteArray("\x00\xff\xfe binary"));
    writeInfo("d-partial", QByteArray("vendor_id=0x0483\n"));
    writeInfo("e-empty", QByteArray());

    Enumeration all(hid_enumerate(0, 0));
    QCOMPARE(countEntries(all.get()), 2);
    // Sorted by stem, whatever the directory order.
    QCOMPARE(QString(all->path), bus.path() + "/a-pedals.sock");
    QCOMPARE(int(all->product_id), 0xA3BE);

    Enumeration wheel(hid_enumerate(0x0483, 0xA355));
    QCOMPARE(countEntries(wheel.get()), 1);
    QCOMPARE(QString(wheel->path), bus.path() + "/b-wheel.sock");

    Enumeration vendorOnly(hid_enumerate(0x0483, 0));
    QCOMPARE(countEntries(vendorOnly.get()), 2);
    Enumeration none(hid_enumerate(0x1234, 0));
    QVERIFY(!none);
}

void TestVhid::backendChoice_data()
{
    QTest::addColumn<QByteArray>("choice");
    QTest::addColumn<bool>("simulator"); // installed by the program
    QTest::addColumn<int>("devices");    // -1: hid_init fails

    QTest::newRow("missing bus") << QByteArray("vhid:/nonexistent/orv/bus") << false << 0;
    QTest::newRow("bus without a directory") << QByteArray("vhid:") << false << -1;
    QTest::newRow("unknown") << QByteArray("usb") << false << -1;
    QTest::newRow("sim without a simulator") << QByteArray("sim") << false << -1;
    QTest::newRow("sim") << QByteArray("sim") << true << 2;
}

void TestVhid::backendChoice()
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

void TestVhid::openFailsWithoutListener()
{
    // Announced, but nobody listens on the socket (a crashed device).
    writeInfo("ghost", deviceInfo().format().c_str());
    QFile sock(bus.path() + "/ghost.sock");
    QVERIFY(sock.open(QIODevice::WriteOnly));
    sock.close();
    QVERIFY(!hid_open_path((bus.path() + "/ghost.sock").toUtf8().constData()));
    // Not announced at all, or not a socket path.
    QVERIFY(!hid_open_path((bus.path() + "/nobody.sock").toUtf8().constData()));
    QVERIFY(!hid_open_path((bus.path() + "/ghost.info").toUtf8().constData()));
    QVERIFY(!hid_open_path(nullptr));
}

void TestVhid::stringsComeFromTheAnnouncement()
{
    DeviceInfo info = deviceInfo(0xA355, "Räder Wheel Base €");
    info.serial = "SN-42";
    VhidEndpoint* ep = plug("wheel", info);
    QVERIFY(ep);
    Device dev(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(dev);
    wchar_t buffer[256] = {};
    QCOMPARE(hid_get_product_string(dev.get(), buffer, 256), 0);
    QCOMPARE(QString::fromWCharArray(buffer), QString::fromUtf8("Räder Wheel Base €"));
    QCOMPARE(hid_get_serial_number_string(dev.get(), buffer, 256), 0);
    QCOMPARE(QString::fromWCharArray(buffer), QString("SN-42"));
    // A short buffer is cut and still terminated.
    wchar_t small[4] = {1, 1, 1, 1};
    QCOMPARE(hid_get_product_string(dev.get(), small, 4), 0);
    QCOMPARE(QString::fromWCharArray(small), QString::fromUtf8("Räd"));
}

void TestVhid::splitRead()
{
    VhidEndpoint* ep = plug("wheel", deviceInfo());
    QVERIFY(ep);
    Device dev(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(dev);
    QVERIFY(waitUntil([&] { return ep->connectionCount() == 1; }, 2000));

    const hid_wait_handle first = hid_read_begin(dev.get());
    QVERIFY(first != HID_INVALID_WAIT_HANDLE);
    QCOMPARE(hid_read_begin(dev.get()), first);
    unsigned char buf[64] = {};
    QCOMPARE(hid_read_finish(dev.get(), buf, sizeof buf), 0); // nothing yet: still pending
    QCOMPARE(hid_read_begin(dev.get()), first);

    const Report report = numbered(0x01, 64, 0x5a);
    QCOMPARE(ep->send(report.data(), report.size()), 1);
    QCOMPARE(hid_wait_any(&first, 1, 2000), 0);
    QCOMPARE(hid_read_finish(dev.get(), buf, sizeof buf), 64);
    QCOMPARE(Report(buf, buf + 64), report);

    // hid_read on a non-blocking device returns at once with nothing.
    hid_set_nonblocking(dev.get(), 1);
    QCOMPARE(hid_read(dev.get(), buf, sizeof buf), 0);
    QCOMPARE(hid_read_timeout(dev.get(), buf, sizeof buf, 20), 0);
    QCOMPARE(hid_read_cancel(dev.get()), 0);
}

void TestVhid::reportSizes_data()
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
    QTest::newRow("numbered 65 into 64 keeps the ID") << 65 << numbered65 << numbered65.left(64);
}

void TestVhid::reportSizes()
{
    QFETCH(int, inputLength);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    DeviceInfo info = deviceInfo();
    info.inputReportLength = inputLength;
    VhidEndpoint* ep = plug("dev", info);
    QVERIFY(ep);
    Device dev(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(dev);
    QVERIFY(waitUntil([&] { return ep->connectionCount() == 1; }, 2000));

    QCOMPARE(ep->send(reinterpret_cast<const uint8_t*>(sent.constData()), size_t(sent.size())), 1);
    // A marker behind it proves the odd report did not wedge the stream.
    const Report marker = numbered(0x01, 64, 0x77);
    ep->send(marker.data(), marker.size());

    unsigned char buf[64];
    std::memset(buf, 0xee, sizeof buf);
    const int n = collect(dev.get(), buf, sizeof buf);
    QCOMPARE(n, expected.size());
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buf), n), expected);
    QCOMPARE(collect(dev.get(), buf, sizeof buf), 64);
    QCOMPARE(Report(buf, buf + 64), marker);
}

void TestVhid::unplugFailsTheRead()
{
    VhidEndpoint* ep = plug("dev", deviceInfo());
    QVERIFY(ep);
    Device dev(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(dev);
    QVERIFY(waitUntil([&] { return ep->connectionCount() == 1; }, 2000));

    // A report sent before the unplug is still collected, then the read fails.
    const Report report = numbered(0x01, 64, 1);
    ep->send(report.data(), report.size());
    const hid_wait_handle h = hid_read_begin(dev.get());
    ep->unplug();
    QVERIFY(!QFile::exists(bus.path() + "/dev.info"));
    QVERIFY(!QFile::exists(bus.path() + "/dev.sock"));
    unsigned char buf[64];
    QCOMPARE(hid_wait_any(&h, 1, 2000), 0);
    QCOMPARE(hid_read_finish(dev.get(), buf, sizeof buf), 64);
    QCOMPARE(collect(dev.get(), buf, sizeof buf), -1);
    QCOMPARE(hid_write(dev.get(), report.data(), report.size()), -1);
    Enumeration list(hid_enumerate(0, 0));
    QVERIFY(!list);

    // Plugged again, it is a new device to open.
    QVERIFY(ep->plug());
    Device again(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(again);
}

void TestVhid::waitAnyPicksLowestReadyIndex()
{
    std::vector<Device> devs;
    std::vector<hid_wait_handle> handles;
    for (int i = 0; i < 3; ++i) {
        VhidEndpoint* ep = plug("dev" + std::to_string(i), deviceInfo());
        QVERIFY(ep);
        devs.emplace_back(hid_open_path(ep->sockPath().c_str()));
        QVERIFY(devs.back());
        QVERIFY(waitUntil([&] { return ep->connectionCount() == 1; }, 2000));
        handles.push_back(hid_read_begin(devs.back().get()));
    }
    const Report report = numbered(0x01, 64, 9);
    endpoints[2]->send(report.data(), report.size());
    QCOMPARE(hid_wait_any(handles.data(), handles.size(), 2000), 2);
    endpoints[1]->send(report.data(), report.size());
    QVERIFY(waitUntil([&] { return hid_wait_any(handles.data(), 2, 0) == 1; }, 2000));
    // Device 2 stays ready until collected.
    QCOMPARE(hid_wait_any(handles.data(), handles.size(), 0), 1);
    unsigned char buf[64];
    QCOMPARE(hid_read_finish(devs[1].get(), buf, sizeof buf), 64);
    QCOMPARE(hid_wait_any(handles.data(), handles.size(), 0), 2);
}

void TestVhid::waitAnyTimesOut()
{
    VhidEndpoint* ep = plug("dev", deviceInfo());
    QVERIFY(ep);
    Device dev(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(dev);
    const hid_wait_handle h = hid_read_begin(dev.get());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(hid_wait_any(&h, 1, 100), -1);
    QVERIFY(timer.elapsed() >= 90);
    QCOMPARE(hid_wait_any(&h, 0, 100), -1);
    QCOMPARE(hid_wait_any(nullptr, 1, 100), -1);
}

void TestVhid::writeReachesDeviceAndPads()
{
    std::mutex mutex;
    std::vector<Report> received;
    DeviceInfo info = deviceInfo();
    info.outputReportLength = 65;
    endpoints.push_back(std::make_unique<VhidEndpoint>(bus.stdPath(), "dev", info));
    VhidEndpoint* ep = endpoints.back().get();
    ep->setReceiver([&](const Report& r) {
        std::lock_guard<std::mutex> guard(mutex);
        received.push_back(r);
    });
    QVERIFY(ep->plug());
    Device dev(hid_open_path(ep->sockPath().c_str()));
    QVERIFY(dev);

    const Report command = numbered(0x64, 64, 0x10);
    QCOMPARE(hid_write(dev.get(), command.data(), command.size()), 65);
    const Report longer = numbered(0x64, 70, 0x11);
    QCOMPARE(hid_write(dev.get(), longer.data(), longer.size()), 70);
    QVERIFY(waitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(mutex);
            return received.size() == 2;
        },
        2000));
    Report padded = command;
    padded.push_back(0);
    QCOMPARE(received[0], padded);
    QCOMPARE(received[1], longer);
}

void TestVhid::writeToHungDeviceFailsInBoundedTime()
{
    DeafDevice deaf(bus.stdPath());
    Device dev(hid_open_path(deaf.sock.c_str()));
    QVERIFY(dev);
    const Report command = numbered(0x64, 64, 0);
    QElapsedTimer timer;
    int result = 0;
    // Fill the socket's queue; the write that finds it full must give up.
    for (int i = 0; i < 100000 && result != -1; ++i) {
        timer.start();
        result = hid_write(dev.get(), command.data(), command.size());
    }
    QCOMPARE(result, -1);
    QVERIFY2(timer.elapsed() >= HID_WRITE_TIMEOUT_MS - 50,
             qPrintable(QString::number(timer.elapsed())));
    QVERIFY2(timer.elapsed() < 3 * HID_WRITE_TIMEOUT_MS,
             qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestVhid)
#include "tst_vhid.moc"
