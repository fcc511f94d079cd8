// The wheel base page and the rim display against a simulated wheel base:
// every control writes its field and schedules an update, the force and end
// stop rules, showing a profile, and when the rim is redrawn.

#include "PageFixture.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "window/pages/RimView.h"
#include "window/pages/WheelBasePage.h"

#include <QTest>

#include <cstring>

class TestWheelBasePage : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<RimView> rim;
    std::unique_ptr<WheelBasePage> page;
    UsbDeviceOrvWheelBase* wheel = nullptr;

    template <class T = QWidget> T* widget(const char* name) const
    {
        return f->host.findChild<T*>(name);
    }
    OrvUsbWheelBaseProfileV5& current() const
    {
        return wheel->profiles[wheel->currentProfileIndex];
    }
    const uint8_t* currentBytes() const { return reinterpret_cast<const uint8_t*>(&current()); }

public:
    TestWheelBasePage() { bus.useAsBackend(); }

private slots:
    void init()
    {
        f = std::make_unique<PageFixture>(bus);
        rim = std::make_unique<RimView>(f->ui);
        page = std::make_unique<WheelBasePage>(f->ui, *rim);
        f->bindEdits(WheelBasePage::Bindings.data(), WheelBasePage::Bindings.size(),
                     [this](size_t row, int value) { page->edit(WheelBaseField(row), value); });
        wheel = f->wheelBase();
        QVERIFY(wheel);
        rim->setDevice(wheel);
        page->setDevice(wheel);
        page->showProfile(wheel->currentProfileIndex);
        wheel->updateTimer.stop();
    }
    void cleanup()
    {
        page.reset();
        rim.reset();
        f.reset();
    }

    void editStoresTheFieldAndSchedules_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::newRow("percent slider")
            << "horiSlider_Damping" << 37 << 35 << QByteArray("\x25", 1) << "label_Damping"
            << "37%";
        QTest::newRow("number slider") << "horizontalSlider_NonLinearity" << 7 << 45
                                       << QByteArray("\x07", 1) << "label_NonLinearity"
                                       << "7";
        QTest::newRow("wide spin box")
            << "spinBox_EncoderRes" << 0x123456 << 26 << QByteArray("\x56\x34\x12\x00", 4) << ""
            << "";
    }
    void editStoresTheFieldAndSchedules()
    {
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, label);
        QFETCH(QString, text);
        QWidget* w = widget(control.toLatin1().constData());
        for (int v : {value - 1, value}) // a change either way
            QVERIFY(w->setProperty("value", v));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(currentBytes()) + offset, bytes.size()),
                 bytes);
        if (!label.isEmpty())
            QCOMPARE(widget<QLabel>(label.toLatin1().constData())->text(), text);
        QVERIFY(wheel->updateTimer.isActive());
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
        QCOMPARE(int(current().endStopMaxForce), 90);
        QCOMPARE(widget<QLabel>("label_EndStopMaxForce")->text(), QString("90%"));

        // Below the force it snaps back, storing and showing nothing new.
        endStop->setValue(60);
        QCOMPARE(endStop->value(), 90);
        QCOMPARE(int(current().endStopMaxForce), 90);
        QCOMPARE(widget<QLabel>("label_EndStopMaxForce")->text(), QString("90%"));
    }

    void softEndStopSwitchesTheAngle()
    {
        auto* angle = widget<QSpinBox>("spinBox_SoftEndStop");
        const int degrees = angle->value();
        widget<QCheckBox>("checkBox_SoftEndStop")->setChecked(false);
        QVERIFY(!angle->isEnabled());
        widget<QCheckBox>("checkBox_SoftEndStop")->setChecked(true);
        QVERIFY(angle->isEnabled());
        QCOMPARE(current().softEndStopEnabled, uint8_t(1));
        QCOMPARE(angle->value(), degrees);
    }

    void showProfileFillsThePage()
    {
        OrvUsbWheelBaseProfileV5& p = wheel->profiles[1];
        p.centerOffset = -0.125f;
        p.maxForce = 60;
        p.endStopMaxForce = 50; // below the force: raised with it
        p.generalSmoothing = 3;
        p.damping = 12;
        p.rotationDegrees = 1080;
        p.softEndStopEnabled = 2; // only 1 counts as on
        // Raising the end stop goes through its slider: one that already
        // shows the new value stores nothing.
        widget<QSlider>("horizontalSlider_EndStopMaxForce")->setValue(100);
        wheel->settingsLoaded = false;
        wheel->updateTimer.stop();
        const quint64 redraws = rim->redraws();
        rim->drawWheel(500);

        page->showProfile(1);
        QCOMPARE(int(wheel->currentProfileIndex), 1);
        QCOMPARE(widget<QLabel>("label_CenterOffsetDeg")->text(), QString("-45.00 deg"));
        QCOMPARE(widget<QSlider>("horiSlider_Force")->value(), 60);
        QCOMPARE(widget<QLabel>("label_Force")->text(), QString("60%"));
        QCOMPARE(widget<QSlider>("horizontalSlider_EndStopMaxForce")->value(), 60);
        QCOMPARE(int(p.endStopMaxForce), 60);
        QCOMPARE(widget<QComboBox>("comboBox_GenSmooth")->currentIndex(), 3);
        QVERIFY(widget("horiSlider_GenSmooth")->isHidden());
        QVERIFY(widget("label_GenSmooth")->isHidden());
        QCOMPARE(widget<QLabel>("label_Damping")->text(), QString("12%"));
        QCOMPARE(widget<QSpinBox>("spinBox_RotationDegree")->value(), 1080);
        QVERIFY(!widget<QCheckBox>("checkBox_SoftEndStop")->isChecked());
        QVERIFY(!widget("spinBox_SoftEndStop")->isEnabled());
        QCOMPARE(p.softEndStopEnabled, uint8_t(0));
        // Nothing goes to the device while its settings are being shown.
        QVERIFY(!wheel->updateTimer.isActive());
        // The same wheel position is drawn again, with the new range.
        rim->drawWheel(500);
        QCOMPARE(rim->redraws(), redraws + 2);

        wheel->settingsLoaded = true;
        page->showProfile(0);
        QVERIFY(wheel->updateTimer.isActive());
        page->showProfile(wheel->profileCount); // outside the list: ignored
        QCOMPARE(int(wheel->currentProfileIndex), 0);
    }

    void rimRedrawsOnlyWhenTheAngleChanges()
    {
        current().rotationDegrees = 900;
        rim->drawWheel(1000);
        const quint64 rebuilds = rim->rebuilds();
        // 900 degrees: 1000 and 1010 are both 13 degrees.
        rim->drawWheel(1010);
        QCOMPARE(widget<QLabel>("label_JoystickValue")->text(), QString("1010"));
        QCOMPARE(rim->rebuilds(), rebuilds);
        rim->drawWheel(-3000);
        QCOMPARE(rim->rebuilds(), rebuilds + 1);
        const quint64 redraws = rim->redraws();
        rim->drawWheel(-3000);
        QCOMPARE(rim->redraws(), redraws);

        // Records closer than 16 ms apart: only the first is drawn.
        OrvUsbWheelBaseJoystickUpdate record{};
        QTest::qWait(20);
        record.steeringAxis = 100;
        QVERIFY(rim->joystickUpdate(record));
        record.steeringAxis = 200;
        QVERIFY(!rim->joystickUpdate(record));
        QCOMPARE(widget<QLabel>("label_JoystickValue")->text(), QString("100"));

        // No wheel base, nothing drawn.
        rim->setDevice(nullptr);
        rim->drawWheel(7);
        QCOMPARE(widget<QLabel>("label_JoystickValue")->text(), QString("100"));
    }
};

QTEST_MAIN(TestWheelBasePage)
#include "tst_wheelbasepage.moc"
