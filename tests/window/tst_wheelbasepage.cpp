// The wheel base page, its rim and the profile row against a simulated
// wheel base: the force and end stop rules, showing a profile, when the rim
// is redrawn, and the profile list and files through the dialog seam. That
// every control reaches its field on the device is the window test's.

#include "PageFixture.h"
#include "ScriptedDialogs.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "window/pages/ProfileRow.h"
#include "window/pages/RimView.h"
#include "window/pages/WheelBasePage.h"

#include <QTemporaryDir>
#include <QTest>

class TestWheelBasePage : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<ProfileDevice> device;
    std::unique_ptr<ProfileRow> row;
    UsbDeviceOrvWheelBase* wheel = nullptr;

    OrvUsbWheelBaseProfileV5& current() const
    {
        return wheel->profiles[wheel->currentProfileIndex];
    }
    QString storedName(int slot) const { return QString::fromUtf8(wheel->profiles[slot].name); }

public:
    TestWheelBasePage() { bus.useAsBackend(); }

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        f = std::make_unique<PageFixture>(bus);
        row = std::make_unique<ProfileRow>(f->ui, &f->host);
        f->bindEdits();
        connect(f->ui.comboBox_ProfileName, &QComboBox::currentTextChanged, this,
                [this](const QString& text) { row->rename(text); });
        wheel = f->wheelBase();
        QVERIFY(wheel);
        f->rim->setDevice(wheel);
        f->wheelBasePage->setDevice(wheel);
        device = ProfileDevice::of(wheel);
        row->setDevice(device.get(), f->wheelBasePage.get());
        row->fill();
        f->ui.comboBox_ProfileName->setCurrentIndex(wheel->currentProfileIndex);
        f->wheelBasePage->showProfile(wheel->currentProfileIndex);
        wheel->updateTimer.stop();
    }
    void cleanup()
    {
        row.reset();
        device.reset();
        f.reset();
        dialogs.reset();
    }

    void endStopForceFollowsTheForce()
    {
        QSlider* endStop = f->ui.horizontalSlider_EndStopMaxForce;
        f->ui.horiSlider_Force->setValue(50);
        endStop->setValue(80);
        for (int v = 50; v <= 90; ++v)
            f->ui.horiSlider_Force->setValue(v);
        QCOMPARE(endStop->value(), 90);
        QCOMPARE(int(current().endStopMaxForce), 90);
        QCOMPARE(f->ui.label_EndStopMaxForce->text(), QString("90%"));
        // Below the force it snaps back, storing and showing nothing new.
        endStop->setValue(60);
        QCOMPARE(endStop->value(), 90);
        QCOMPARE(int(current().endStopMaxForce), 90);
        QCOMPARE(f->ui.label_EndStopMaxForce->text(), QString("90%"));
    }

    void showProfileFillsThePage()
    {
        OrvUsbWheelBaseProfileV5& p = wheel->profiles[1];
        p.centerOffset = -0.125f;
        p.maxForce = 60;
        p.endStopMaxForce = 50; // below the force: raised with it
        p.generalSmoothing = 3;
        p.nonLinearity = 7;
        p.rotationDegrees = 1080;
        p.softEndStopEnabled = 2; // only 1 counts as on
        // Raising the end stop goes through its slider: one that already
        // shows the new value stores nothing.
        f->ui.horizontalSlider_EndStopMaxForce->setValue(100);
        wheel->settingsLoaded = false;
        wheel->updateTimer.stop();
        const quint64 redraws = f->rim->redraws();
        f->rim->drawWheel(500);

        f->wheelBasePage->showProfile(1);
        QCOMPARE(int(wheel->currentProfileIndex), 1);
        QCOMPARE(f->ui.label_CenterOffsetDeg->text(), QString("-45.00 deg"));
        QCOMPARE(f->ui.label_Force->text(), QString("60%"));
        QCOMPARE(f->ui.label_NonLinearity->text(), QString("7"));
        QCOMPARE(f->ui.horizontalSlider_EndStopMaxForce->value(), 60);
        QCOMPARE(int(p.endStopMaxForce), 60);
        QCOMPARE(f->ui.comboBox_GenSmooth->currentIndex(), 3);
        QVERIFY(f->ui.horiSlider_GenSmooth->isHidden() && f->ui.label_GenSmooth->isHidden());
        QCOMPARE(f->ui.spinBox_RotationDegree->value(), 1080);
        QVERIFY(!f->ui.checkBox_SoftEndStop->isChecked());
        QVERIFY(!f->ui.spinBox_SoftEndStop->isEnabled());
        QCOMPARE(p.softEndStopEnabled, uint8_t(0));
        // Nothing goes to the device while its settings are being shown.
        QVERIFY(!wheel->updateTimer.isActive());
        // The same wheel position is drawn again, with the new range.
        f->rim->drawWheel(500);
        QCOMPARE(f->rim->redraws(), redraws + 2);

        wheel->settingsLoaded = true;
        f->wheelBasePage->showProfile(0);
        QVERIFY(wheel->updateTimer.isActive());
        f->wheelBasePage->showProfile(wheel->profileCount); // outside the list: ignored
        QCOMPARE(int(wheel->currentProfileIndex), 0);

        // Switched by hand, the angle follows the box.
        f->ui.checkBox_SoftEndStop->setChecked(false);
        QVERIFY(!f->ui.spinBox_SoftEndStop->isEnabled());
        f->ui.checkBox_SoftEndStop->setChecked(true);
        QVERIFY(f->ui.spinBox_SoftEndStop->isEnabled());
        QCOMPARE(current().softEndStopEnabled, uint8_t(1));
    }

    void rimRedrawsOnlyWhenTheAngleChanges()
    {
        current().rotationDegrees = 900;
        f->rim->drawWheel(1000);
        const quint64 rebuilds = f->rim->rebuilds();
        // 900 degrees: 1000 and 1010 are both 13 degrees.
        f->rim->drawWheel(1010);
        QCOMPARE(f->ui.label_JoystickValue->text(), QString("1010"));
        QCOMPARE(f->rim->rebuilds(), rebuilds);
        f->rim->drawWheel(-3000);
        QCOMPARE(f->rim->rebuilds(), rebuilds + 1);
        const quint64 redraws = f->rim->redraws();
        f->rim->drawWheel(-3000);
        QCOMPARE(f->rim->redraws(), redraws);

        // Records closer than 16 ms apart: only the first is drawn.
        OrvUsbWheelBaseJoystickUpdate record{};
        QTest::qWait(20);
        record.steeringAxis = 100;
        QVERIFY(f->rim->joystickUpdate(record));
        record.steeringAxis = 200;
        QVERIFY(!f->rim->joystickUpdate(record));
        QCOMPARE(f->ui.label_JoystickValue->text(), QString("100"));

        // No wheel base, nothing drawn.
        f->rim->setDevice(nullptr);
        f->rim->drawWheel(7);
        QCOMPARE(f->ui.label_JoystickValue->text(), QString("100"));
    }

    void profilesAddRenameRemove()
    {
        QComboBox* profiles = f->ui.comboBox_ProfileName;
        QCOMPARE(profiles->count(), 3);
        QCOMPARE(profiles->itemData(2).toInt(), int(wheel->profiles[2].index));
        row->addProfile();
        QCOMPARE(int(wheel->profileCount), 4);
        QCOMPARE(int(wheel->currentProfileIndex), 3);
        QCOMPARE(storedName(3), QString("Profile 3"));
        row->fill();
        profiles->setCurrentIndex(3);

        profiles->setEditText("Rain");
        QCOMPARE(profiles->itemText(3), QString("Rain"));
        QCOMPARE(storedName(3), QString("Rain"));
        // Only the device's current profile is renamed.
        wheel->currentProfileIndex = 0;
        profiles->setEditText("Snow");
        QCOMPARE(storedName(3), QString("Rain"));
        QCOMPARE(storedName(0), profiles->itemText(0));

        wheel->currentProfileIndex = 3;
        row->removeProfile();
        QCOMPARE(int(wheel->profileCount), 3);
        QCOMPARE(int(wheel->currentProfileIndex), 2);
    }

    void profileFiles()
    {
        QTemporaryDir dir;
        QSlider* force = f->ui.horiSlider_Force;
        force->setValue(66);
        const QString file = dir.filePath("road.oprf");
        dialogs->fileNames << file;
        row->saveToFile();
        QCOMPARE(dialogs->captions,
                 (QStringList{"Save Profile File", "ORV Profile Files (*.oprf)"}));
        QCOMPARE(QFile(file).size(), qint64(68));

        // Change the page, then load the file back into it.
        force->setValue(20);
        dialogs->fileNames << file;
        row->loadFromFile();
        QCOMPARE(force->value(), 66);
        QCOMPARE(current().maxForce, 66);

        // Failures: a cancelled dialog, a corrupted file, an unwritable target.
        QFile corrupt(file);
        QVERIFY(corrupt.open(QIODevice::ReadWrite) && corrupt.seek(30) && corrupt.putChar(1));
        corrupt.close();
        force->setValue(21);
        dialogs->fileNames << QString() << file << dir.filePath("missing/dir/x.oprf");
        row->loadFromFile();
        row->loadFromFile();
        row->saveToFile();
        QCOMPARE(dialogs->shown.size(), 3);
        QCOMPARE(dialogs->shown[0].title, QString("Unable to read file"));
        QCOMPARE(dialogs->shown[0].text, QString("File name can't be empty"));
        QCOMPARE(dialogs->shown[1].text, QString("Corrupted file"));
        QCOMPARE(dialogs->shown[2].title, QString("Unable to save file"));
        QCOMPARE(force->value(), 21); // nothing loaded
    }

    // A file dialog runs the event loop; the device may stop being current
    // in it (the window then drops its view of the list), and the chosen
    // file goes nowhere.
    void fileDialogOutlivingTheDevice_data()
    {
        QTest::addColumn<bool>("load");
        QTest::newRow("save") << false;
        QTest::newRow("load") << true;
    }
    void fileDialogOutlivingTheDevice()
    {
        QFETCH(bool, load);
        QTemporaryDir dir;
        const QString file = dir.filePath("x.oprf");
        if (load)
            QVERIFY(device->saveCurrentProfile(file).isEmpty());
        OrvUsbWheelBaseProfileV5& shown = current();
        shown.maxForce = 1;
        dialogs->fileNames << file;
        dialogs->whileOpen = [this] {
            row->setDevice(nullptr, nullptr);
            device.reset();
        };
        load ? row->loadFromFile() : row->saveToFile();
        QCOMPARE(QFile::exists(file), load);
        QCOMPARE(shown.maxForce, 1);
        QVERIFY(dialogs->shown.isEmpty());
    }
};

QTEST_MAIN(TestWheelBasePage)
#include "tst_wheelbasepage.moc"
