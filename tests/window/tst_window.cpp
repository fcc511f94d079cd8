// The main window against simulated devices: the device list, loading a
// wheel base into its page, editing, the profile row, the top buttons, the
// rim display and profile files. Message boxes and file dialogs are answered
// through the dialog seam.

#include "ScriptedDialogs.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "window/ORV_wheel_tool.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestWindow : public QObject
{
    Q_OBJECT

    static constexpr int LoadTimeoutMs = 5000;

    // The form test pins every name, so a lookup here cannot come back empty.
    template <class T = QWidget> T* widget(const char* name) const
    {
        return window->findChild<T*>(name);
    }
    void click(const char* name) { QTest::mouseClick(widget<QPushButton>(name), Qt::LeftButton); }
    int page() const { return widget<QStackedWidget>("settingsStackedWidget")->currentIndex(); }
    bool waitForPage(int p)
    {
        return waitUntil([&] { return page() == p; }, LoadTimeoutMs);
    }
    bool unplugged()
    {
        wheel->unplug();
        return waitUntil([&] { return widget<QComboBox>("comboBox_UsbDevice")->count() == 0; },
                         LoadTimeoutMs);
    }
    // Codes of the commands the simulated wheel base received.
    QList<int> receivedCodes() const
    {
        QList<int> codes;
        for (const auto& r : wheel->received())
            codes << (r.size() > 1 ? r[1] : -1);
        return codes;
    }
    // Live updates the simulated wheel base was asked to begin.
    int updateBegins() const
    {
        int n = 0;
        for (const auto& r : wheel->received())
            n += r.size() > 42 && r[1] == 12 && r[42] != 0xFF;
        return n;
    }

    TestBus bus;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<orvsim::Simulator> simulator;
    orvsim::SimWheelBase* wheel = nullptr;
    std::unique_ptr<ORV_wheel_tool> window;

public:
    TestWindow() { bus.useAsBackend(); }

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        simulator = std::make_unique<orvsim::Simulator>(bus.stdPath());
        wheel = simulator->addWheelBase("wheel", 250);
        QVERIFY(wheel);
        wheel->setDefaultProfileCount(3);
        wheel->setHardwareVersion(2, 1);
        wheel->setFirmwareVersion(3, 4);
        window = std::make_unique<ORV_wheel_tool>();
        window->show();
        // All but the angle arithmetic start from a loaded wheel base.
        if (qstrcmp(QTest::currentTestFunction(), "rimAngle") != 0)
            QVERIFY(waitForPage(1));
    }

    void cleanup()
    {
        window.reset();
        simulator.reset();
        dialogs.reset();
    }

    void rimAngle_data()
    {
        QTest::addColumn<int>("axis");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("angle");
        QTest::newRow("900, full right") << 32767 << 900 << 449;
        QTest::newRow("900, full left") << -32768 << 900 << -450;
        QTest::newRow("1080, a quarter") << 16384 << 1080 << 270;
        QTest::newRow("range far out of bounds") << 32767 << 2000000000 << 999969481;
    }
    void rimAngle()
    {
        QFETCH(int, axis);
        QFETCH(int, rotation);
        QFETCH(int, angle);
        QCOMPARE(ORV_wheel_tool::rimAngle(int16_t(axis), rotation), angle);
    }

    void deviceComesLoadsAndGoes()
    {
        auto* devices = widget<QComboBox>("comboBox_UsbDevice");
        const QString entry = "ORV Torvane Pro Wheel Base (SW version: 3.4, HW version: 2.1)";
        QCOMPARE(devices->count(), 1);
        QCOMPARE(devices->itemText(0), entry);
        QCOMPARE(widget<QComboBox>("comboBox_ProfileName")->count(), 3);
        QVERIFY(!widget("pushButton_UpdateFirmware")->isVisible());
        // Showing the loaded profile sends nothing: read begin, the three
        // profiles and read end, no update of any kind.
        QTest::qWait(400);
        QCOMPARE(receivedCodes(), (QList<int>{3, 5, 5, 5, 3}));

        // Reloading does not add the version a second time.
        click("pushButton_LoadConfig");
        QVERIFY(waitForPage(0));
        QVERIFY(waitForPage(1));
        QCOMPARE(devices->itemText(0), entry);

        QVERIFY(unplugged());
        QCOMPARE(page(), 0);
        QVERIFY(!widget("pushButton_LoadConfig")->isEnabled());
        QVERIFY(widget("pushButton_SetDefaultConfig")->isEnabled());
        QVERIFY(widget("pushButton_EnterExitBootloader")->isEnabled());
        QVERIFY(wheel->plug());
        QVERIFY(waitForPage(1));
        QCOMPARE(devices->count(), 1);

        // Settings that fail to load: the device's own message, nothing loaded.
        QVERIFY(unplugged());
        wheel->setProtocolVersionOverride(5);
        QVERIFY(wheel->plug());
        QVERIFY(waitUntil([&] { return !dialogs->shown.isEmpty(); }, LoadTimeoutMs));
        QCOMPARE(dialogs->shown[0].icon, QMessageBox::Warning);
        QCOMPARE(dialogs->shown[0].title, QString("ORV Torvane Pro Wheel Base"));
        QCOMPARE(dialogs->shown[0].text,
                 QString("Device has an older firmware. Please update the firmware."));
        QVERIFY(!widget("pushButton_LoadConfig")->isEnabled());
        QVERIFY(widget("pushButton_SetDefaultConfig")->isEnabled());
        QCOMPARE(page(), 0);
    }

    // Until the pedals page is filled, the pedals are listed, chosen and
    // their profile list loads.
    void pedalsAreListedAndLoad()
    {
        QVERIFY(widget<QLabel>("label_debugTicks")->text().isEmpty());
        QVERIFY(simulator->addPedals("pedals", 100));
        auto* devices = widget<QComboBox>("comboBox_UsbDevice");
        QVERIFY(waitUntil([&] { return devices->count() == 2; }, LoadTimeoutMs));
        devices->setCurrentIndex(1);
        QVERIFY(waitForPage(2));
        QVERIFY(devices->currentText().startsWith("ORV Torvane Pedals (SW version: "));
        QVERIFY(widget<QComboBox>("comboBox_ProfileName")->count() >= 1);
        QVERIFY(widget<QLabel>("labelTicksDebug")->text().isEmpty());
        QCOMPARE(widget<QLabel>("pedalsCalibrationTipsLabel")->text(), QString(" "));
        devices->setCurrentIndex(0);
        QVERIFY(waitForPage(1));
    }

    // Newer wheel bases configure their encoder themselves; once removed the
    // tab does not come back for an older one.
    void encoderTabGoesForNewerHardwareAndStaysGone()
    {
        auto* tabs = widget<QTabWidget>("tabWidget");
        QCOMPARE(tabs->count(), 5);
        for (int major : {4, 3}) {
            QVERIFY(unplugged());
            wheel->setHardwareVersion(major, 0);
            QVERIFY(wheel->plug());
            QVERIFY(waitForPage(1));
            QCOMPARE(tabs->count(), 4);
            for (int i = 0; i < tabs->count(); ++i)
                QVERIFY(tabs->tabText(i) != "Encoder");
        }
    }

    void editsReachTheDevice_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("recordByte");
        QTest::addColumn<int>("stored");
        QTest::newRow("slider") << "horiSlider_Damping" << 37 << 35 << 37;
        // The third of four little-endian bytes.
        QTest::newRow("spin box, wide field") << "spinBox_EncoderRes" << 0x123456 << 28 << 0x12;
        QTest::newRow("combo bound to activated") << "comboBox_DampingEffect" << 1 << 39 << 1;
        QTest::newRow("combo bound to index change") << "comboBox_GenSmooth" << 9 << 34 << 9;
        QTest::newRow("check box") << "checkBox_SoftEndStop" << 1 << 53 << 1;
    }
    void editsReachTheDevice()
    {
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(int, recordByte);
        QFETCH(int, stored);
        QWidget* w = widget(control.toLatin1().constData());
        const auto current = size_t(widget<QComboBox>("comboBox_ProfileName")->currentIndex());
        QTest::qWait(400); // the update of the page being shown has gone out
        wheel->clearReceived();

        // A burst of edits as a user makes them: the last value arrives, in
        // one update.
        const int other = value == 1 ? 0 : 1;
        for (int v : {other, value, other, value}) {
            if (auto* combo = qobject_cast<QComboBox*>(w)) {
                combo->setCurrentIndex(v);
                QMetaObject::invokeMethod(combo, "activated", Q_ARG(int, v));
            } else {
                QVERIFY(w->setProperty(w->inherits("QCheckBox") ? "checked" : "value", v));
            }
            QTest::qWait(30);
        }
        QVERIFY(waitUntil(
            [&] { return wheel->profiles().records[current][size_t(recordByte)] == stored; },
            2000));
        QTest::qWait(300);
        QCOMPARE(updateBegins(), 1);
    }

    void endStopForceFollowsTheForce()
    {
        auto* force = widget<QSlider>("horiSlider_Force");
        auto* endStop = widget<QSlider>("horizontalSlider_EndStopMaxForce");
        force->setValue(50);
        endStop->setValue(80);
        for (int v = 50; v <= 90; ++v)
            force->setValue(v);
        QCOMPARE(endStop->value(), 90);
        QCOMPARE(widget<QLabel>("label_EndStopMaxForce")->text(), QString("90%"));
        QCOMPARE(widget<QLabel>("label_Force")->text(), QString("90%"));

        // Below the force it snaps back, storing and showing nothing new.
        endStop->setValue(60);
        QCOMPARE(endStop->value(), 90);
        QCOMPARE(widget<QLabel>("label_EndStopMaxForce")->text(), QString("90%"));
    }

    void addRenameRemove()
    {
        auto* profiles = widget<QComboBox>("comboBox_ProfileName");
        click("pushButton_AddProfile");
        QCOMPARE(profiles->count(), 4);
        QCOMPARE(profiles->currentIndex(), 3);
        QCOMPARE(profiles->currentText(), QString("Profile 3"));

        // 15 bytes at most, cut before a character that does not fit whole:
        // seven two-byte letters, not seven and a half.
        const QString longName = QString::fromUtf8("ßßßßßßßßß");
        profiles->setEditText(longName);
        QCOMPARE(profiles->itemText(3), longName);
        // A rename is sent with the next transfer, here the add's live update.
        QVERIFY(waitUntil([&] { return wheel->profiles().count() == 4; }, 2000));
        const auto added = wheel->profiles().records[3];
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(added.data()) + 1),
                 QString::fromUtf8("ßßßßßßß").toUtf8());

        click("pushButton_RemoveProfile");
        QCOMPARE(profiles->count(), 3);
        QCOMPARE(profiles->currentIndex(), 2);
    }

    void factoryDefaultsOnlyOnYes()
    {
        wheel->clearReceived();
        dialogs->answers << QMessageBox::No << QMessageBox::Yes;
        click("pushButton_SetDefaultConfig");
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].title, QString("Reset settings?"));
        QCOMPARE(dialogs->shown[0].text, QString("Are you sure you want to reset all settings and "
                                                 "profiles? This cannot be undone."));
        QCOMPARE(dialogs->shown[0].defaultButton, QMessageBox::No);
        QTest::qWait(200);
        QVERIFY(!receivedCodes().contains(8));
        click("pushButton_SetDefaultConfig");
        QVERIFY(waitUntil([&] { return receivedCodes().contains(8); }, 2000));
    }

    void enterBootloaderSelectsTheBootloader()
    {
        auto* button = widget<QPushButton>("pushButton_EnterExitBootloader");
        auto* devices = widget<QComboBox>("comboBox_UsbDevice");
        click("pushButton_EnterExitBootloader");
        QVERIFY(waitUntil([&] { return devices->currentText().contains("Bootloader"); },
                          LoadTimeoutMs));
        QCOMPARE(devices->count(), 1);
        QCOMPARE(button->text(), QString("Exit Bootloader"));
        QVERIFY(widget("pushButton_UpdateFirmware")->isVisible());
        QCOMPARE(page(), 0);

        // And back: the wheel base returns and loads.
        click("pushButton_EnterExitBootloader");
        QVERIFY(waitUntil([&] { return devices->currentText().contains("Wheel Base"); },
                          LoadTimeoutMs));
        QVERIFY(waitForPage(1));
    }

    void rimRedrawsOnlyWhenTheAngleChanges()
    {
        wheel->setStreamSilent(true);
        QTest::qWait(100);
        auto draw = [&](int16_t axis) {
            QVERIFY(QMetaObject::invokeMethod(window.get(), "drawWheel", Q_ARG(int16_t, axis)));
        };
        draw(1000);
        const quint64 rebuilds = window->rimRebuilds();
        // 900 degrees: 1000 and 1010 are both 13 degrees.
        draw(1010);
        QCOMPARE(widget<QLabel>("label_JoystickValue")->text(), QString("1010"));
        QCOMPARE(window->rimRebuilds(), rebuilds);
        draw(-3000);
        QCOMPARE(window->rimRebuilds(), rebuilds + 1);
        const quint64 redraws = window->rimRedraws();
        draw(-3000);
        QCOMPARE(window->rimRedraws(), redraws);

        // A stream much faster than the screen is drawn at most every 16 ms.
        wheel->setStreamSilent(false);
        const quint64 before = window->rimRedraws();
        QTest::qWait(1000);
        QVERIFY(window->rimRedraws() - before <= 66);
    }

    void profileFiles()
    {
        QTemporaryDir dir;
        auto* force = widget<QSlider>("horiSlider_Force");
        force->setValue(66);
        const QString file = dir.filePath("road.oprf");
        dialogs->fileNames << file;
        click("pushButton_SaveProfileToFile");
        QVERIFY(dialogs->captions.contains("ORV Profile Files (*.oprf)"));
        QCOMPARE(QFile(file).size(), qint64(68));

        // Change the page, then load the file back into it.
        force->setValue(20);
        dialogs->fileNames << file;
        click("pushButton_LoadProfileFromFile");
        QCOMPARE(force->value(), 66);

        // Failures: a cancelled dialog, a corrupted file, an unwritable target.
        QFile corrupt(file);
        QVERIFY(corrupt.open(QIODevice::ReadWrite) && corrupt.seek(30) &&
                corrupt.write("\x01", 1) == 1);
        corrupt.close();
        force->setValue(21);
        dialogs->fileNames << QString() << file << dir.filePath("missing/dir/x.oprf");
        click("pushButton_LoadProfileFromFile");
        click("pushButton_LoadProfileFromFile");
        click("pushButton_SaveProfileToFile");
        QCOMPARE(dialogs->shown.size(), 3);
        QCOMPARE(dialogs->shown[0].title, QString("Unable to read file"));
        QCOMPARE(dialogs->shown[0].text, QString("File name can't be empty"));
        QCOMPARE(dialogs->shown[1].text, QString("Corrupted file"));
        QCOMPARE(dialogs->shown[1].icon, QMessageBox::Information);
        QCOMPARE(dialogs->shown[2].title, QString("Unable to save file"));
        QCOMPARE(force->value(), 21); // nothing loaded
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
