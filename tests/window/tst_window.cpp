// The main window against simulated devices: the device list, loading a
// wheel base into its page, editing, the profile row, the top buttons, the
// rim display and profile files. Message boxes and file dialogs are answered
// through the dialog seam.

#include "ScriptedDialogs.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "profiles/WheelBaseProfilesManager.h"
#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "window/ORV_wheel_tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

constexpr int LoadTimeoutMs = 5000;

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rimAngle_data();
    void rimAngle();
    void deviceComesLoadsAndGoes();
    void encoderTabGoesForNewerHardwareAndStaysGone();
    void editsReachTheDevice_data();
    void editsReachTheDevice();
    void endStopForceFollowsTheForce();
    void showingAProfileSendsNothingWhileLoading();
    void addRenameRemove();
    void factoryDefaultsOnlyOnYes();
    void enterBootloaderSelectsTheBootloader();
    void rimRedrawsOnlyWhenTheAngleChanges();
    void settingsThatFailToLoadShowTheDevicesMessage();
    void profileFiles();

private:
    template <typename T> T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qWarning("no widget %s", name);
        return w;
    }
    bool waitForPage(int page)
    {
        auto* pages = widget<QStackedWidget>("settingsStackedWidget");
        return waitUntil([&] { return pages->currentIndex() == page; }, LoadTimeoutMs);
    }
    // Codes of the commands the simulated wheel base received.
    QList<int> receivedCodes() const
    {
        QList<int> codes;
        for (const auto& r : wheel->received())
            if (r.size() > 1)
                codes << r[1];
        return codes;
    }

    // Live updates the simulated wheel base was asked to begin.
    int updateBegins() const
    {
        int n = 0;
        for (const auto& r : wheel->received())
            if (r.size() > 42 && r[1] == 12 && r[42] != 0xFF)
                ++n;
        return n;
    }

    TestBus bus;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<orvsim::Simulator> simulator;
    orvsim::SimWheelBase* wheel = nullptr;
    std::unique_ptr<ORV_wheel_tool> window;
};

void TestWindow::initTestCase()
{
    QVERIFY(bus.isValid());
    bus.useAsBackend();
}

void TestWindow::init()
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
}

void TestWindow::cleanup()
{
    window.reset();
    simulator.reset();
    dialogs.reset();
}

void TestWindow::rimAngle_data()
{
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("rotation");
    QTest::addColumn<int>("angle");
    QTest::newRow("900, full right") << 32767 << 900 << 449;
    QTest::newRow("900, full left") << -32768 << 900 << -450;
    QTest::newRow("1080, a quarter") << 16384 << 1080 << 270;
    QTest::newRow("900, centre") << 0 << 900 << 0;
    QTest::newRow("900, one step right") << 1 << 900 << 0;
    QTest::newRow("900, one step left") << -1 << 900 << 0;
    QTest::newRow("range far out of bounds") << 32767 << 2000000000 << 999969481;
}

void TestWindow::rimAngle()
{
    QFETCH(int, axis);
    QFETCH(int, rotation);
    QFETCH(int, angle);
    QCOMPARE(ORV_wheel_tool::rimAngle(int16_t(axis), rotation), angle);
}

void TestWindow::deviceComesLoadsAndGoes()
{
    auto* devices = widget<QComboBox>("comboBox_UsbDevice");
    QVERIFY(waitForPage(1));
    QCOMPARE(devices->count(), 1);
    const QString entry =
        QStringLiteral("ORV Torvane Pro Wheel Base (SW version: 3.4, HW version: 2.1)");
    QCOMPARE(devices->itemText(0), entry);
    QCOMPARE(widget<QComboBox>("comboBox_ProfileName")->count(), 3);
    QVERIFY(widget<QPushButton>("pushButton_LoadConfig")->isEnabled());
    QVERIFY(!widget<QPushButton>("pushButton_UpdateFirmware")->isVisible());

    // Reloading does not add the version a second time.
    QTest::mouseClick(widget<QPushButton>("pushButton_LoadConfig"), Qt::LeftButton);
    QVERIFY(waitForPage(0));
    QVERIFY(waitForPage(1));
    QCOMPARE(devices->itemText(0), entry);

    wheel->unplug();
    QVERIFY(waitUntil([&] { return devices->count() == 0; }, LoadTimeoutMs));
    QCOMPARE(widget<QStackedWidget>("settingsStackedWidget")->currentIndex(), 0);
    QVERIFY(!widget<QPushButton>("pushButton_LoadConfig")->isEnabled());
    QVERIFY(widget<QPushButton>("pushButton_SetDefaultConfig")->isEnabled());
    QVERIFY(widget<QPushButton>("pushButton_EnterExitBootloader")->isEnabled());

    QVERIFY(wheel->plug());
    QVERIFY(waitForPage(1));
    QCOMPARE(devices->count(), 1);
}

void TestWindow::encoderTabGoesForNewerHardwareAndStaysGone()
{
    auto* tabs = widget<QTabWidget>("tabWidget");
    QVERIFY(waitForPage(1));
    QCOMPARE(tabs->count(), 5);
    wheel->unplug();
    QVERIFY(waitForPage(0));
    wheel->setHardwareVersion(4, 0);
    QVERIFY(wheel->plug());
    QVERIFY(waitForPage(1));
    QCOMPARE(tabs->count(), 4);
    for (int i = 0; i < tabs->count(); ++i)
        QVERIFY(tabs->tabText(i) != "Encoder");
    wheel->unplug();
    QVERIFY(waitForPage(0));
    wheel->setHardwareVersion(3, 0);
    QVERIFY(wheel->plug());
    QVERIFY(waitForPage(1));
    QCOMPARE(tabs->count(), 4);
}

void TestWindow::editsReachTheDevice_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("recordByte");
    QTest::addColumn<int>("stored");

    QTest::newRow("damping") << "horiSlider_Damping" << 37 << 35 << 37;
    QTest::newRow("friction") << "horiSlider_Friction" << 12 << 36 << 12;
    QTest::newRow("inertia") << "horiSlider_Inertia" << 99 << 37 << 99;
    QTest::newRow("spring") << "horiSlider_Spring" << 5 << 38 << 5;
    QTest::newRow("static force reduction")
        << "horizontalSlider_StaticForceReduction" << 70 << 44 << 70;
    QTest::newRow("non-linearity") << "horizontalSlider_NonLinearity" << 7 << 45 << 7;
    QTest::newRow("end stop stiffness") << "horizontalSlider_EndStopStiffness" << 4 << 48 << 4;
    QTest::newRow("smoothing") << "comboBox_GenSmooth" << 9 << 34 << 9;
    QTest::newRow("slew rate") << "comboBox_SlewRate" << 0 << 46 << 0;
    QTest::newRow("damping effect") << "comboBox_DampingEffect" << 1 << 39 << 1;
    QTest::newRow("spring effect") << "comboBox_SpringEffect" << 0 << 42 << 0;
    QTest::newRow("encoder type") << "comboBox_EncoderType" << 2 << 25 << 2;
    QTest::newRow("rotation, low byte") << "spinBox_RotationDegree" << 1234 << 21 << (1234 & 0xff);
    QTest::newRow("soft end stop, high byte") << "spinBox_SoftEndStop" << 2000 << 50 << (2000 >> 8);
    QTest::newRow("encoder resolution") << "spinBox_EncoderRes" << 0x123456 << 28 << 0x12;
    QTest::newRow("soft end stop on") << "checkBox_SoftEndStop" << 1 << 53 << 1;
}

void TestWindow::editsReachTheDevice()
{
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(int, recordByte);
    QFETCH(int, stored);
    QVERIFY(waitForPage(1));
    QWidget* w = widget<QWidget>(control.toLatin1().constData());
    QVERIFY(w);
    const int current = widget<QComboBox>("comboBox_ProfileName")->currentIndex();
    QVERIFY(waitUntil([&] { return !receivedCodes().isEmpty(); }, 1000));
    QTest::qWait(400); // the update of the page being shown has gone out
    wheel->clearReceived();

    // A burst of edits: the last value arrives, in one update.
    for (int step = 3; step >= 0; --step) {
        const int v = step == 0 ? value : (value + step) % 5;
        if (auto* slider = qobject_cast<QSlider*>(w))
            slider->setValue(v);
        else if (auto* spin = qobject_cast<QSpinBox*>(w))
            spin->setValue(v + step * 1000);
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            check->setChecked(step == 0 ? bool(value) : !bool(value));
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            const int index = step == 0 ? value : (value + 1) % combo->count();
            combo->setCurrentIndex(index);
            QMetaObject::invokeMethod(combo, "activated", Q_ARG(int, index));
        }
        QTest::qWait(30);
    }
    QVERIFY(waitUntil(
        [&] { return wheel->profiles().records[size_t(current)][size_t(recordByte)] == stored; },
        2000));
    QTest::qWait(300);
    QCOMPARE(updateBegins(), 1); // one update for the whole burst
}

void TestWindow::endStopForceFollowsTheForce()
{
    QVERIFY(waitForPage(1));
    auto* force = widget<QSlider>("horiSlider_Force");
    auto* endStop = widget<QSlider>("horizontalSlider_EndStopMaxForce");
    auto* endStopLabel = widget<QLabel>("label_EndStopMaxForce");
    force->setValue(50);
    endStop->setValue(80);
    for (int v = 50; v <= 90; ++v)
        force->setValue(v);
    QCOMPARE(endStop->value(), 90);
    QCOMPARE(endStopLabel->text(), QString("90%"));
    QCOMPARE(widget<QLabel>("label_Force")->text(), QString("90%"));

    // Below the force it snaps back, storing and showing nothing new.
    endStop->setValue(60);
    QCOMPARE(endStop->value(), 90);
    QCOMPARE(endStopLabel->text(), QString("90%"));
}

void TestWindow::showingAProfileSendsNothingWhileLoading()
{
    QVERIFY(waitForPage(1));
    QTest::qWait(400);
    // Read begin, the three profiles and read end: no update of any kind.
    QCOMPARE(receivedCodes(), (QList<int>{3, 5, 5, 5, 3}));
}

void TestWindow::addRenameRemove()
{
    QVERIFY(waitForPage(1));
    auto* profiles = widget<QComboBox>("comboBox_ProfileName");
    QTest::mouseClick(widget<QPushButton>("pushButton_AddProfile"), Qt::LeftButton);
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
    OrvUsbWheelBaseProfileV5 saved{};
    QTemporaryDir dir;
    dialogs->fileNames << dir.filePath("p.oprf");
    QTest::mouseClick(widget<QPushButton>("pushButton_SaveProfileToFile"), Qt::LeftButton);
    QCOMPARE(WheelBaseProfilesManager().loadFromFile(dir.filePath("p.oprf"), saved), QString());
    QCOMPARE(QByteArray(saved.name), QString::fromUtf8("ßßßßßßß").toUtf8());

    QTest::mouseClick(widget<QPushButton>("pushButton_RemoveProfile"), Qt::LeftButton);
    QCOMPARE(profiles->count(), 3);
    QCOMPARE(profiles->currentIndex(), 2);
}

void TestWindow::factoryDefaultsOnlyOnYes()
{
    QVERIFY(waitForPage(1));
    wheel->clearReceived();
    dialogs->answers << QMessageBox::No << QMessageBox::Yes;
    QTest::mouseClick(widget<QPushButton>("pushButton_SetDefaultConfig"), Qt::LeftButton);
    QCOMPARE(dialogs->shown.size(), 1);
    QCOMPARE(dialogs->shown[0].title, QString("Reset settings?"));
    QCOMPARE(
        dialogs->shown[0].text,
        QString(
            "Are you sure you want to reset all settings and profiles? This cannot be undone."));
    QCOMPARE(dialogs->shown[0].defaultButton, QMessageBox::No);
    QTest::qWait(200);
    QVERIFY(!receivedCodes().contains(8));
    QTest::mouseClick(widget<QPushButton>("pushButton_SetDefaultConfig"), Qt::LeftButton);
    QVERIFY(waitUntil([&] { return receivedCodes().contains(8); }, 2000));
}

void TestWindow::enterBootloaderSelectsTheBootloader()
{
    QVERIFY(waitForPage(1));
    auto* button = widget<QPushButton>("pushButton_EnterExitBootloader");
    QCOMPARE(button->text(), QString("Enter Bootloader"));
    QTest::mouseClick(button, Qt::LeftButton);
    auto* devices = widget<QComboBox>("comboBox_UsbDevice");
    QVERIFY(
        waitUntil([&] { return devices->currentText().contains("Bootloader"); }, LoadTimeoutMs));
    QCOMPARE(devices->count(), 1);
    QCOMPARE(button->text(), QString("Exit Bootloader"));
    QVERIFY(widget<QPushButton>("pushButton_UpdateFirmware")->isVisible());
    QCOMPARE(widget<QStackedWidget>("settingsStackedWidget")->currentIndex(), 0);

    // And back: the wheel base returns and loads.
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(
        waitUntil([&] { return devices->currentText().contains("Wheel Base"); }, LoadTimeoutMs));
    QVERIFY(waitForPage(1));
}

void TestWindow::rimRedrawsOnlyWhenTheAngleChanges()
{
    QVERIFY(waitForPage(1));
    wheel->setStreamSilent(true);
    QTest::qWait(100);
    auto* value = widget<QLabel>("label_JoystickValue");
    auto draw = [&](int axis) {
        QVERIFY(
            QMetaObject::invokeMethod(window.get(), "drawWheel", Q_ARG(int16_t, int16_t(axis))));
    };
    draw(1000);
    const quint64 rebuilds = window->rimRebuilds();
    QCOMPARE(value->text(), QString("1000"));
    // 900 degrees: 1000 and 1010 are both 13 degrees.
    draw(1010);
    QCOMPARE(value->text(), QString("1010"));
    QCOMPARE(window->rimRebuilds(), rebuilds);
    draw(-3000);
    QCOMPARE(value->text(), QString("-3000"));
    QCOMPARE(window->rimRebuilds(), rebuilds + 1);
    const quint64 redraws = window->rimRedraws();
    draw(-3000);
    QCOMPARE(window->rimRedraws(), redraws);

    // A stream much faster than the screen is drawn at most every 16 ms.
    wheel->setStreamSilent(false);
    const quint64 before = window->rimRedraws();
    QTest::qWait(1000);
    QVERIFY2(window->rimRedraws() - before <= 66,
             qPrintable(QString::number(window->rimRedraws() - before)));
}

void TestWindow::settingsThatFailToLoadShowTheDevicesMessage()
{
    wheel->unplug();
    QVERIFY(waitUntil([&] { return widget<QComboBox>("comboBox_UsbDevice")->count() == 0; }, 3000));
    wheel->setProtocolVersionOverride(5);
    QVERIFY(wheel->plug());
    QVERIFY(waitUntil([&] { return !dialogs->shown.isEmpty(); }, LoadTimeoutMs));
    QCOMPARE(dialogs->shown[0].icon, QMessageBox::Warning);
    QCOMPARE(dialogs->shown[0].title, QString("ORV Torvane Pro Wheel Base"));
    QCOMPARE(dialogs->shown[0].text,
             QString("Device has an older firmware. Please update the firmware."));
    QVERIFY(!widget<QPushButton>("pushButton_LoadConfig")->isEnabled());
    QVERIFY(widget<QPushButton>("pushButton_SetDefaultConfig")->isEnabled());
    QCOMPARE(widget<QStackedWidget>("settingsStackedWidget")->currentIndex(), 0);
}

void TestWindow::profileFiles()
{
    QVERIFY(waitForPage(1));
    QTemporaryDir dir;
    auto* force = widget<QSlider>("horiSlider_Force");
    force->setValue(66);
    const QString file = dir.filePath("road.oprf");
    dialogs->fileNames << file;
    QTest::mouseClick(widget<QPushButton>("pushButton_SaveProfileToFile"), Qt::LeftButton);
    QVERIFY(dialogs->captions.contains("Save Profile File"));
    QVERIFY(dialogs->captions.contains("ORV Profile Files (*.oprf)"));
    QCOMPARE(QFile(file).size(), qint64(68));

    // Change the page, then load the file back into it.
    force->setValue(20);
    dialogs->fileNames << file;
    QTest::mouseClick(widget<QPushButton>("pushButton_LoadProfileFromFile"), Qt::LeftButton);
    QVERIFY(dialogs->shown.isEmpty());
    QCOMPARE(force->value(), 66);

    // Failures: a cancelled dialog, a corrupted file, an unwritable target.
    QFile corrupt(file);
    QVERIFY(corrupt.open(QIODevice::ReadWrite));
    corrupt.seek(30);
    corrupt.write("\x01", 1);
    corrupt.close();
    force->setValue(21);
    dialogs->fileNames << QString() << file;
    QTest::mouseClick(widget<QPushButton>("pushButton_LoadProfileFromFile"), Qt::LeftButton);
    QTest::mouseClick(widget<QPushButton>("pushButton_LoadProfileFromFile"), Qt::LeftButton);
    dialogs->fileNames << dir.filePath("missing/dir/x.oprf");
    QTest::mouseClick(widget<QPushButton>("pushButton_SaveProfileToFile"), Qt::LeftButton);
    QCOMPARE(dialogs->shown.size(), 3);
    QCOMPARE(dialogs->shown[0].title, QString("Unable to read file"));
    QCOMPARE(dialogs->shown[0].text, QString("File name can't be empty"));
    QCOMPARE(dialogs->shown[1].text, QString("Corrupted file"));
    QCOMPARE(dialogs->shown[1].icon, QMessageBox::Information);
    QCOMPARE(dialogs->shown[2].title, QString("Unable to save file"));
    QCOMPARE(force->value(), 21); // nothing loaded
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
