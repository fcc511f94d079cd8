// The profile row against a simulated wheel base: the list, add, rename,
// remove, and profile files with their failures, through the dialog seam.

#include "PageFixture.h"
#include "ScriptedDialogs.h"
#include "devices/ProfileDevice.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "window/pages/ProfileRow.h"
#include "window/pages/RimView.h"
#include "window/pages/WheelBasePage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestProfileRow : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<RimView> rim;
    std::unique_ptr<WheelBasePage> page;
    std::unique_ptr<ProfileDevice> device;
    std::unique_ptr<ProfileRow> row;
    UsbDeviceOrvWheelBase* wheel = nullptr;

    QComboBox* profiles() const { return f->ui.comboBox_ProfileName; }
    QString storedName(int slot) const { return QString::fromUtf8(wheel->profiles[slot].name); }

public:
    TestProfileRow() { bus.useAsBackend(); }

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        f = std::make_unique<PageFixture>(bus);
        rim = std::make_unique<RimView>(f->ui);
        page = std::make_unique<WheelBasePage>(f->ui, *rim);
        row = std::make_unique<ProfileRow>(f->ui, &f->host);
        wheel = f->wheelBase();
        QVERIFY(wheel);
        page->setDevice(wheel);
        device = ProfileDevice::of(wheel);
        row->setDevice(device.get(), page.get());
        connect(profiles(), &QComboBox::currentTextChanged, this,
                [this](const QString& text) { row->rename(text); });
        row->fill();
        profiles()->setCurrentIndex(wheel->currentProfileIndex);
    }
    void cleanup()
    {
        row.reset();
        device.reset();
        page.reset();
        rim.reset();
        f.reset();
        dialogs.reset();
    }

    void addRenameRemove()
    {
        QCOMPARE(profiles()->count(), 3);
        QCOMPARE(profiles()->itemData(2).toInt(), int(wheel->profiles[2].index));
        row->addProfile();
        QCOMPARE(int(wheel->profileCount), 4);
        QCOMPARE(int(wheel->currentProfileIndex), 3);
        QCOMPARE(storedName(3), QString("Profile 3"));
        row->fill();
        profiles()->setCurrentIndex(3);

        profiles()->setEditText("Rain");
        QCOMPARE(profiles()->itemText(3), QString("Rain"));
        QCOMPARE(storedName(3), QString("Rain"));
        // Only the device's current profile is renamed.
        wheel->currentProfileIndex = 0;
        profiles()->setEditText("Snow");
        QCOMPARE(storedName(3), QString("Rain"));
        QCOMPARE(storedName(0), profiles()->itemText(0));

        wheel->currentProfileIndex = 3;
        row->removeProfile();
        QCOMPARE(int(wheel->profileCount), 3);
        QCOMPARE(int(wheel->currentProfileIndex), 2);
    }

    void profileFiles()
    {
        QTemporaryDir dir;
        auto* force = f->host.findChild<QSlider*>("horiSlider_Force");
        f->bindEdits(WheelBasePage::Bindings.data(), WheelBasePage::Bindings.size(),
                     [this](size_t r, int v) { page->edit(WheelBaseField(r), v); });
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
        QCOMPARE(wheel->profiles[wheel->currentProfileIndex].maxForce, 66);

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
        QCOMPARE(dialogs->shown[1].icon, QMessageBox::Information);
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
        OrvUsbWheelBaseProfileV5& shown = wheel->profiles[wheel->currentProfileIndex];
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

QTEST_MAIN(TestProfileRow)
#include "tst_profilerow.moc"
