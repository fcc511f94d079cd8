// The window's wiring against simulated devices: the device list, selection
// and page switching, the named slots of both pages reaching their fields,
// the top buttons, the access notice, the games key row, the debug tabs and
// a log across a change of device, and the firmware update. One window for
// all: each arrival waits for the rescan. What each page does is tested with
// the page.

#include "FakePlatform.h"
#include "ScriptedDialogs.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "sim/Simulator.h"
#include "support/FakeDevice.h"
#include "support/TestBus.h"
#include "telemetry/TelemetryLog.h"
#include "ui_ORV_wheel_tool.h"
#include "vhid/BusFiles.h"
#include "vhid/BusNames.h"
#include "window/ORV_wheel_tool.h"
#include "window/pages/PedalsPage.h"
#include "window/pages/WheelBasePage.h"

#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>

#include <map>

Q_DECLARE_METATYPE(QPointer<UsbDevice>)

class TestWindow : public QObject
{
    Q_OBJECT

    static constexpr int WaitMs = 5000;

    template <class T = QWidget> T* widget(const char* name) const
    {
        return window->findChild<T*>(name);
    }
    QComboBox* devices() const { return widget<QComboBox>("comboBox_UsbDevice"); }
    void click(const char* name) { QTest::mouseClick(widget<QPushButton>(name), Qt::LeftButton); }
    int page() const { return widget<QStackedWidget>("settingsStackedWidget")->currentIndex(); }
    bool waitForPage(int p)
    {
        return waitUntil([&] { return page() == p; }, WaitMs);
    }
    bool choose(const char* product, int p)
    {
        devices()->setCurrentIndex(devices()->findText(product, Qt::MatchStartsWith));
        return waitForPage(p);
    }
    bool reload(int p)
    {
        click("pushButton_LoadConfig");
        return page() == 0 && waitForPage(p);
    }
    static QList<int> codesOf(const std::vector<std::vector<uint8_t>>& reports)
    {
        QList<int> codes;
        for (const auto& r : reports)
            codes << (r.size() > 1 ? r[1] : -1);
        return codes;
    }
    // By offset, the last control of a field wins.
    using Values = std::map<size_t, std::pair<FieldBinding, int>>;
    // Whether the record in the device's current slot holds every value.
    static bool holds(const orvsim::SimFirmwareDevice* sim, int slot, const Values& values)
    {
        const auto list = sim->profiles();
        for (const auto& [offset, field] : values)
            if (readField(list.records[size_t(slot)].data(), field.first) != field.second)
                return false;
        return true;
    }

    TestBus bus;
    ScriptedDialogs dialogs;
    FakePlatform platform;
    std::unique_ptr<orvsim::Simulator> simulator;
    orvsim::SimWheelBase* wheel = nullptr;
    orvsim::SimPedals* pedals = nullptr;
    std::unique_ptr<ORV_wheel_tool> window;
    QString staleSock;
    std::string staleInfo;

public:
    TestWindow() { bus.useAsBackend(); }

private slots:
    void initTestCase()
    {
        Platform::setCurrent(&platform);
        simulator = std::make_unique<orvsim::Simulator>(bus.stdPath());
        wheel = simulator->addWheelBase("wheel", 250);
        pedals = simulator->addPedals("pedals", 250);
        QVERIFY(wheel && pedals);
        wheel->setDefaultProfileCount(3);
        wheel->setHardwareVersion(2, 1);
        wheel->setFirmwareVersion(3, 4);
        // A supported device whose socket refuses: a plain file in its place.
        staleSock = QString::fromStdString(vhid::sockPath(bus.stdPath(), "stale"));
        QVERIFY(QFile(staleSock).open(QIODevice::WriteOnly));
        staleInfo = vhid::infoPath(bus.stdPath(), "stale");
        QVERIFY(
            vhid::writeFileAtomically(staleInfo, testDeviceInfo(0xA355, "Wheel Base").format()));

        window = std::make_unique<ORV_wheel_tool>();
        window->show();
        QVERIFY(waitUntil([&] { return devices()->count() == 2 && page() == 1; }, WaitMs));
    }

    void cleanupTestCase()
    {
        window.reset();
        Platform::setCurrent(nullptr);
        simulator.reset();
    }

    // Listed with its versions, loaded without sending anything but the
    // reads; a reload adds no second version, and one that fails shows the
    // device's message (its text is tst_wheelbaseandpedals') and no page.
    void deviceLoadsReloadsAndFails()
    {
        const QString entry = "ORV Torvane Pro Wheel Base (SW version: 3.4, HW version: 2.1)";
        QCOMPARE(devices()->currentText(), entry);
        QCOMPARE(widget<QComboBox>("comboBox_ProfileName")->count(), 3);
        QVERIFY(!widget("pushButton_UpdateFirmware")->isVisible());
        // Read begin, the three profiles, read end.
        QCOMPARE(codesOf(wheel->received()), (QList<int>{3, 5, 5, 5, 3}));
        QVERIFY(reload(1));
        QCOMPARE(devices()->currentText(), entry);

        wheel->setProtocolVersionOverride(5);
        click("pushButton_LoadConfig");
        QVERIFY(waitUntil([&] { return !dialogs.shown.isEmpty(); }, WaitMs));
        QCOMPARE(dialogs.shown[0].title, QString("ORV Torvane Pro Wheel Base"));
        QCOMPARE(page(), 0);
        QVERIFY(!widget("pushButton_LoadConfig")->isEnabled());
        QVERIFY(widget("pushButton_SetDefaultConfig")->isEnabled());
        QVERIFY(widget("pushButton_EnterExitBootloader")->isEnabled());
        wheel->setProtocolVersionOverride(-1);
        dialogs.shown.clear();
        QVERIFY(choose("ORV Torvane Pedals", 2));
        QVERIFY(choose("ORV Torvane Pro Wheel Base", 1));
    }

    // Every control of the wheel base page, through its named slot, reaches
    // its own field of the profile on the device.
    void wheelBaseSlotsReachTheirFields()
    {
        const int slot = widget<QComboBox>("comboBox_ProfileName")->currentIndex();
        Values expected;
        for (const FieldBinding& row : WheelBasePage::Bindings) {
            QWidget* w = widget(row.control);
            QVERIFY2(w, row.control);
            int value = 0;
            if (auto* combo = qobject_cast<QComboBox*>(w)) {
                value = (combo->currentIndex() + 1) % combo->count();
                combo->setCurrentIndex(value);
                QMetaObject::invokeMethod(combo, "activated", Q_ARG(int, value));
            } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
                value = check->isChecked() ? 0 : 1;
                check->setChecked(value != 0);
            } else {
                value = w->property("minimum").toInt() + 1;
                w->setProperty("value", value);
            }
            expected[row.offset] = {row, value};
        }
        QVERIFY(waitUntil([&] { return holds(wheel, slot, expected); }, 2000));
    }

    // The pedals' named slots reach their own fields of the profile on the
    // pedals, and their signals the page: the bars move, a calibration starts.
    void pedalsSlotsAndSignals()
    {
        QVERIFY(choose("ORV Torvane Pedals", 2));
        const int slot = widget<QComboBox>("comboBox_ProfileName")->currentIndex();
        Values expected;
        for (const FieldBinding& row : PedalsPage::Bindings) {
            if (auto* box = widget<QDoubleSpinBox>(row.control)) {
                const bool isMax = QByteArray(row.control).contains("Max");
                box->setValue(isMax ? 90.0 : 5.0);
                QVERIFY(QMetaObject::invokeMethod(box, "editingFinished"));
                expected[row.offset] = {row, isMax ? 58981 : 3276};
            } else {
                // Strictly rising stored curves: one step in stays between
                // the neighbours.
                auto* slider = widget<QSlider>(row.control);
                const bool first = QByteArray(row.control).endsWith("_0");
                slider->setValue(slider->value() + (first ? 1 : -1));
                expected[row.offset] = {row, slider->value()};
            }
        }
        QVERIFY(waitUntil([&] { return holds(pedals, slot, expected); }, 2000));

        QVERIFY(
            waitUntil([&] { return !widget<QLabel>("labelBrakeValue")->text().isEmpty(); }, 2000));
        click("pedalsCalibrationButton");
        auto* tips = widget<QLabel>("pedalsCalibrationTipsLabel");
        QVERIFY(waitUntil([&] { return tips->text() == "Release all pedals and press Next Step."; },
                          2000));
        QVERIFY(pedals->isCalibrating());
        click("pedalsCalibrationButton"); // cancelled
        QVERIFY(waitUntil([&] { return !pedals->isCalibrating(); }, 2000));
    }

    // Factory Defaults acts only on the device it was asked about, and only
    // while that device is still the current one.
    void aConfirmationActsOnlyOnTheDeviceAsked()
    {
        QVERIFY(choose("ORV Torvane Pro Wheel Base", 1));
        wheel->clearReceived();
        pedals->clearReceived();
        dialogs.answers << QMessageBox::No << QMessageBox::Yes << QMessageBox::Yes;
        click("pushButton_SetDefaultConfig");
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].title, QString("Reset settings?"));
        QCOMPARE(dialogs.shown[0].defaultButton, QMessageBox::No);
        // Yes, after the pedals became current while the question was open.
        dialogs.whileOpen = [&] { devices()->setCurrentIndex(1); };
        click("pushButton_SetDefaultConfig");
        QTest::qWait(300);
        QVERIFY(!codesOf(wheel->received()).contains(8));
        QVERIFY(!codesOf(pedals->received()).contains(8));
        click("pushButton_SetDefaultConfig");
        QVERIFY(waitUntil([&] { return codesOf(pedals->received()).contains(8); }, 2000));
        QVERIFY(!codesOf(wheel->received()).contains(8));
        dialogs.shown.clear();
    }

    // The wheel base's own debug output reaches its tab (force samples do
    // not), and a log started there goes on in the pedals' line format once
    // they are chosen.
    void debugTabsAndALogAcrossDevices()
    {
        QVERIFY(choose("ORV Torvane Pro Wheel Base", 1));
        QTemporaryDir logDir;
        const QString startDir = QDir::currentPath();
        QDir::setCurrent(logDir.path());
        auto* ticks = widget<QLabel>("label_debugTicks");
        wheel->setTelemetryLayout(2);
        QTest::qWait(100);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "setUiEnabled", Q_ARG(bool, true)));
        QTest::qWait(100);
        QCOMPARE(ticks->text(), QString());
        wheel->sendDebugOutput();
        QVERIFY(waitUntil([&] { return !ticks->text().isEmpty(); }, 2000));

        click("pushButton_LoggingWheelBase");
        QVERIFY(waitUntil([&] { return window->telemetryLog().linesWritten() > 2; }, 2000));
        QVERIFY(choose("ORV Torvane Pedals", 2));
        auto* raw = widget<QLabel>("labelXRawDebug");
        QVERIFY(waitUntil([&] { return raw->text().startsWith("X raw: "); }, 2000));
        click("pushButton_LoggingPedals");
        QDir::setCurrent(startDir);
        wheel->setTelemetryLayout(1);

        QFile log(logDir.filePath(QDir(logDir.path()).entryList({"wheel-log-*.csv"}).value(0)));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QSet<int> fields; // per line: force samples 7, pedals 8
        for (const QByteArray& line : log.readAll().split('\n').mid(1))
            fields << line.count(',') + 1;
        QCOMPARE(fields, (QSet<int>{7, 8, 1})); // 1: after the last CR LF
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Read afresh each time the wheel base page comes up: the games key
    // from the registry (its button bound by name), and the Encoder tab,
    // which newer wheel bases configure themselves; once removed it does not
    // come back for an older one.
    void wheelBasePageComesUpAfresh()
    {
        QVERIFY(choose("ORV Torvane Pro Wheel Base", 1));
        auto* label = widget<QLabel>("labelGamesCompatibilityKey");
        auto* tabs = widget<QTabWidget>("tabWidget");
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QString("Games compatibility registry key NOT present"));
        QVERIFY(tabs->indexOf(widget("tabWidgetPageEncoder")) == 3);
        platform.oemData[RegistryRoot::CurrentUser] = FakePlatform::expected();
        platform.oemData[RegistryRoot::LocalMachine] = FakePlatform::expected();
        for (int major : {4, 3}) {
            wheel->setHardwareVersion(uint8_t(major), 0);
            QVERIFY(reload(1));
            QCOMPARE(label->text(), QString("Games compatibility registry key present"));
            QCOMPARE(tabs->count(), 4);
            QVERIFY(tabs->indexOf(widget("tabWidgetPageEncoder")) < 0);
        }
        wheel->setHardwareVersion(2, 1);

        click("pushButtonGamesCompatibilityKey");
        QCOMPARE(platform.commands.size(), size_t(1));
        dialogs.shown.clear();
    }

    // Arriving, the bootloader is chosen and asks for an image; Update
    // Firmware asks again, and the update brings the wheel base back with
    // its new version. Another device chosen during an update closes its
    // dialog, and the end of that update shows nothing.
    void firmwareUpdate()
    {
        QTemporaryDir dir;
        const QByteArray image = QByteArray("a 32-byte chunk of a test image.").repeated(256);
        QFile file(dir.filePath("new.fw"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();

        dialogs.captions.clear();
        click("pushButton_EnterExitBootloader");
        QVERIFY(waitUntil([&] { return devices()->currentText().contains("Bootloader"); }, WaitMs));
        QCOMPARE(dialogs.captions,
                 QStringList({"Open new FW File", "ORV FW Files (*.fw);;All Files (*)"}));
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(widget<QPushButton>("pushButton_EnterExitBootloader")->text(),
                 QString("Exit Bootloader"));
        QCOMPARE(page(), 0);
        dialogs.fileNames << file.fileName();
        click("pushButton_UpdateFirmware");
        QVERIFY(runUntil([&] { return !dialogs.shown.isEmpty(); }, WaitMs));
        QCOMPARE(dialogs.shown[0].text, QString("Update completed successfully!"));
        QVERIFY(waitUntil([&] { return devices()->findText("ORV Torvane Pro Wheel Base") >= 0; },
                          WaitMs));
        QVERIFY(choose("ORV Torvane Pro Wheel Base", 1));
        QCOMPARE(devices()->currentText(),
                 QString("ORV Torvane Pro Wheel Base (SW version: 3.5, HW version: 2.1)"));

        wheel->setFrameTime(std::chrono::microseconds(500)); // an update long enough to watch
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window->findChild<QProgressDialog*>());
        dialogs.fileNames << file.fileName();
        click("pushButton_EnterExitBootloader");
        QVERIFY(waitUntil([&] { return window->findChild<QProgressDialog*>(); }, WaitMs));
        devices()->setCurrentIndex(devices()->findText("ORV Torvane Pedals", Qt::MatchStartsWith));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window->findChild<QProgressDialog*>());
        QVERIFY(runUntil([&] { return wheel->installedUpdates() == 2; }, WaitMs));
        QVERIFY(waitUntil([&] { return devices()->findText("ORV Torvane Pro Wheel Base") >= 0; },
                          WaitMs));
        QCOMPARE(dialogs.shown.size(), 1);
        wheel->setFrameTime(std::chrono::microseconds(0));
    }

    // A device on the bus that cannot be opened is named at the top of the
    // window until it goes.
    void accessNoticeComesAndGoes()
    {
        auto* notice = widget<QLabel>("labelDeviceAccessNotice");
        QVERIFY2(notice->text().startsWith("Wheel Base (" + bus.path() + "/stale.sock)"),
                 qPrintable(notice->text()));
        QVERIFY(!notice->isHidden());
        QVERIFY(QFile::remove(QString::fromStdString(staleInfo)));
        QVERIFY(QFile::remove(staleSock));
        QVERIFY(waitUntil([&] { return notice->isHidden(); }, WaitMs));
    }

    // A device that leaves and comes back on the same path may be announced
    // again before its old object's departure: the list tells the two apart
    // by object and removes the one that left.
    void entriesAreToldApartByObject()
    {
        // A product the periodic scan does not look for, so only the test
        // announces it.
        FakeDevice fake(bus.stdPath(), "other", testDeviceInfo(0xA111, "Wheel Base"));
        QVERIFY(fake.plug());
        auto* before = new UsbDeviceOrvWheelBase(fake.path(), fake.open());
        auto* after = new UsbDeviceOrvWheelBase(fake.path(), fake.open());
        const int listed = devices()->count();
        for (UsbDevice* d : {before, after})
            QVERIFY(
                QMetaObject::invokeMethod(window.get(), "onDeviceConnected", Q_ARG(UsbDevice*, d)));
        QCOMPARE(devices()->count(), listed + 2);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "onDeviceDisconnected",
                                          Q_ARG(UsbDevice*, before)));
        delete before;
        QCOMPARE(devices()->count(), listed + 1);
        // The entry left is the one of the object still there.
        QCOMPARE(devices()->itemData(listed, Qt::UserRole + 1).value<QPointer<UsbDevice>>().data(),
                 static_cast<UsbDevice*>(after));
        devices()->setCurrentIndex(listed); // not the manager's: nothing is connected
        QCOMPARE(page(), 0);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "onDeviceDisconnected",
                                          Q_ARG(UsbDevice*, after)));
        delete after;
        QCOMPARE(devices()->count(), listed);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
