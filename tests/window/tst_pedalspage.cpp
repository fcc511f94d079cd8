// The pedals page against simulated pedals: curves stored badly, the reset,
// the force gap and showing a profile. The neighbour rule itself is a page
// rule; that edits reach the pedals is the window test's, the bars the
// telemetry panel's (it passes the page each record).

#include "PageFixture.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "window/pages/PedalsPage.h"

#include <QTest>

using Curve = QList<int>;

class TestPedalsPage : public QObject
{
    Q_OBJECT

    const Curve linear{0, 20, 40, 60, 80, 100};
    TestBus bus;
    std::unique_ptr<PageFixture> f;
    UsbDeviceOrvPedals* pedals = nullptr;

    template <class T = QWidget> T* widget(const QString& name) const
    {
        return f->host.findChild<T*>(name);
    }
    QSlider* slider(const QString& pedal, int i) const
    {
        return widget<QSlider>(QString("slider_%1_%2").arg(pedal).arg(i));
    }
    uint8_t* record() const
    {
        return reinterpret_cast<uint8_t*>(&pedals->profiles[pedals->currentProfileIndex]);
    }
    // Curves follow each other in the record: clutch, brake, throttle.
    uint8_t* curveOf(const QString& pedal) const
    {
        const int n = pedal == "clutch" ? 0 : pedal == "brake" ? 1 : 2;
        return record() + offsetof(OrvUsbPedalsProfileV2, clutchCurve) + 6 * n;
    }
    Curve stored(const QString& pedal) const { return Curve(curveOf(pedal), curveOf(pedal) + 6); }
    // Stores the curve and shows the profile, as loading it would.
    void showCurve(const QString& pedal, const Curve& curve)
    {
        std::copy(curve.begin(), curve.end(), curveOf(pedal));
        f->pedalsPage->showProfile(pedals->currentProfileIndex);
    }

public:
    TestPedalsPage() { bus.useAsBackend(); }

private slots:
    void init()
    {
        f = std::make_unique<PageFixture>(bus);
        f->bindEdits();
        pedals = f->pedals();
        QVERIFY(pedals);
        f->pedalsPage->setDevice(pedals);
        for (const char* pedal : {"clutch", "brake", "throttle"})
            showCurve(pedal, linear);
        pedals->updateTimer.stop();
    }
    void cleanup() { f.reset(); }

    // Shown as loaded, each point under the rule: nothing loops on
    // neighbours stored out of order, and a point the page writes sits
    // between its neighbours. A reset then ends linear, whatever order its
    // points are written in.
    void badlyStoredCurve_data()
    {
        QTest::addColumn<int>("pedal");
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<Curve>("after");
        QTest::newRow("brake, neighbours crossed")
            << int(Pedal::Brake) << Curve{0, 20, 95, 10, 80, 100} << Curve{0, 20, 95, 10, 80, 100};
        QTest::newRow("throttle, descending")
            << int(Pedal::Throttle) << Curve{50, 40, 30, 20, 10, 0}
            << Curve{40, 40, 30, 20, 10, 10};
        // The last slider already shows 100: nothing moves it.
        QTest::newRow("clutch, above 100") << int(Pedal::Clutch) << Curve{0, 20, 40, 60, 180, 200}
                                           << Curve{0, 20, 40, 60, 100, 200};
    }
    void badlyStoredCurve()
    {
        QFETCH(int, pedal);
        QFETCH(Curve, curve);
        QFETCH(Curve, after);
        const QString name = QStringList{"clutch", "brake", "throttle"}[pedal];
        showCurve(name, curve);
        QCOMPARE(stored(name), after);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(slider(name, i)->value(), qMin(after[i], 100));
            if (after[i] != curve[i])
                QVERIFY((i == 0 || after[i - 1] <= after[i]) &&
                        (i == 5 || after[i] <= after[i + 1]));
        }
        f->pedalsPage->resetCurve(Pedal(pedal));
        QCOMPARE(stored(name), linear);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(slider(name, i)->value(), linear[i]);
        QCOMPARE(widget<QLabel>(QString("slider_%1Value_3").arg(name))->text(), QString("60%"));
    }

    // The maximum stays at least 10 (of 65535) above the minimum; a refused
    // edit shows the stored value again.
    void forceGap_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("other"); // the stored partner: minimum or maximum
        QTest::addColumn<double>("entered");
        QTest::addColumn<int>("stored"); // in the edited field afterwards
        QTest::addColumn<double>("shown");
        const int brakeMax = int(PedalsField::BrakeMaxForce);
        const int throttleMin = int(PedalsField::ThrottleMinForce);
        QTest::newRow("max 10.0 over 6547 refused") << brakeMax << 6547 << 10.0 << 1000 << 1.5;
        QTest::newRow("max 10.1 over 6547") << brakeMax << 6547 << 10.1 << 6619 << 10.1;
        QTest::newRow("min 10.0 under 6560 refused") << throttleMin << 6560 << 10.0 << 1000 << 1.5;
        QTest::newRow("min 9.9 under 6560") << throttleMin << 6560 << 9.9 << 6487 << 9.9;
        QTest::newRow("max over a minimum of 65535 refused")
            << int(PedalsField::ClutchMaxForce) << 65535 << 100.0 << 1000 << 1.5;
    }
    void forceGap()
    {
        QFETCH(int, field);
        QFETCH(int, other);
        QFETCH(double, entered);
        QFETCH(int, stored);
        QFETCH(double, shown);
        const FieldBinding& edited = PedalsPage::Bindings[size_t(field)];
        const FieldBinding& partner =
            PedalsPage::Bindings[size_t(field < 3 ? field + 3 : field - 3)];
        storeField(record(), edited, 1000); // not what an edit here stores
        storeField(record(), partner, other);

        auto* box = widget<QDoubleSpinBox>(edited.control);
        box->setValue(entered);
        QVERIFY(QMetaObject::invokeMethod(box, "editingFinished"));
        QCOMPARE(readField(record(), edited), stored);
        QCOMPARE(readField(record(), partner), other);
        QCOMPARE(box->value(), shown);
        QCOMPARE(pedals->updateTimer.isActive(), stored != 1000);
    }

    // Another profile's forces, each in its own box (the curves are the
    // badly stored curve rows', one pedal each, the scale the force gap's):
    // forces of 0 and 65535 at the boxes' limits, nothing written back,
    // nothing sent.
    void showProfileFillsEachPedal()
    {
        OrvUsbPedalsProfileV2& p = pedals->profiles[1];
        p.clutchMaxForce = 0;
        p.throttleMinForce = 65535;
        pedals->settingsLoaded = false;

        f->pedalsPage->showProfile(1);
        QCOMPARE(int(pedals->currentProfileIndex), 1);
        QCOMPARE(f->ui.spinBox_clutchMaxForceAdjustment->value(), 1.0);
        QCOMPARE(f->ui.spinBox_throttleMinForceAdjustment->value(), 100.0);
        QCOMPARE(int(p.clutchMaxForce), 0);
        QVERIFY(!pedals->updateTimer.isActive());
    }
};

QTEST_MAIN(TestPedalsPage)
#include "tst_pedalspage.moc"
