// The pedals page against simulated pedals: curve points under the
// neighbour rule, the reset, the force gap, showing a profile (also a badly
// stored one), the bars, and when edits reach the pedals.

#include "PageFixture.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "window/pages/CalibrationWizard.h"
#include "window/pages/PedalsPage.h"

#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QTest>

#include <cstring>

using Curve = QList<int>;

class TestPedalsPage : public QObject
{
    Q_OBJECT

    TestBus bus;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<CalibrationWizard> wizard;
    std::unique_ptr<PedalsPage> page;
    UsbDeviceOrvPedals* pedals = nullptr;

    template <class T = QWidget> T* widget(const QString& name) const
    {
        return f->host.findChild<T*>(name);
    }
    QSlider* slider(const QString& pedal, int i) const
    {
        return widget<QSlider>(QString("slider_%1_%2").arg(pedal).arg(i));
    }
    OrvUsbPedalsProfileV2& current() const { return pedals->profiles[pedals->currentProfileIndex]; }
    uint8_t* curveOf(const QString& pedal) const
    {
        OrvUsbPedalsProfileV2& p = current();
        return pedal == "clutch"  ? p.clutchCurve
               : pedal == "brake" ? p.brakeCurve
                                  : p.throttleCurve;
    }
    Curve stored(const QString& pedal) const
    {
        const uint8_t* c = curveOf(pedal);
        return Curve(c, c + 6);
    }
    Curve shown(const QString& pedal) const
    {
        Curve values;
        for (int i = 0; i < 6; ++i)
            values << slider(pedal, i)->value();
        return values;
    }
    // Stores the curve and shows the profile, as loading it would.
    void showCurve(const QString& pedal, const Curve& curve)
    {
        for (int i = 0; i < 6; ++i)
            curveOf(pedal)[i] = uint8_t(curve[i]);
        page->showProfile(pedals->currentProfileIndex);
    }

public:
    TestPedalsPage() { bus.useAsBackend(); }

private slots:
    void init()
    {
        f = std::make_unique<PageFixture>(bus);
        wizard = std::make_unique<CalibrationWizard>(f->ui, &f->host);
        page = std::make_unique<PedalsPage>(f->ui, *wizard);
        f->bindEdits(PedalsPage::Bindings.data(), PedalsPage::Bindings.size(),
                     [this](size_t row, int value) { page->edit(PedalsField(row), value); });
        pedals = f->pedals();
        QVERIFY(pedals);
        page->setDevice(pedals);
        wizard->setDevice(pedals);
        connect(pedals, &UsbDeviceOrvPedals::onJoystickUpdate, this,
                [this](UsbDevice*, OrvUsbPedalsJoystickUpdate* update, uint64_t) {
                    page->joystickUpdate(*update);
                });
        for (const char* pedal : {"clutch", "brake", "throttle"})
            showCurve(pedal, {0, 20, 40, 60, 80, 100});
        pedals->updateTimer.stop();
    }
    void cleanup()
    {
        page.reset();
        wizard.reset();
        f.reset();
    }

    void curvePointKeepsBetweenItsNeighbours_data()
    {
        QTest::addColumn<QString>("pedal");
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("value"); // stored and shown
        QTest::newRow("brake 2 below 1 snaps to 1") << "brake" << 2 << 10 << 20;
        QTest::newRow("brake 2 above 3 snaps to 3") << "brake" << 2 << 75 << 60;
        QTest::newRow("throttle 3 between") << "throttle" << 3 << 50 << 50;
        QTest::newRow("clutch 0 above 1") << "clutch" << 0 << 30 << 20;
        QTest::newRow("clutch 5 below 4") << "clutch" << 5 << 70 << 80;
    }
    void curvePointKeepsBetweenItsNeighbours()
    {
        QFETCH(QString, pedal);
        QFETCH(int, point);
        QFETCH(int, position);
        QFETCH(int, value);
        slider(pedal, point)->setValue(position);
        Curve expected{0, 20, 40, 60, 80, 100};
        expected[point] = value;
        QCOMPARE(shown(pedal), expected);
        QCOMPARE(stored(pedal), expected);
        QCOMPARE(widget<QLabel>(QString("slider_%1Value_%2").arg(pedal).arg(point))->text(),
                 QString("%1%").arg(value));
        QVERIFY(pedals->updateTimer.isActive());
        for (const char* other : {"clutch", "brake", "throttle"})
            if (pedal != other)
                QCOMPARE(stored(other), (Curve{0, 20, 40, 60, 80, 100}));
    }

    // Shown as loaded, each point under the rule: none loops on neighbours
    // stored out of order, and a point the page writes sits between its
    // neighbours.
    void badlyStoredCurveIsShown_data()
    {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<Curve>("after");
        QTest::newRow("neighbours crossed")
            << Curve{0, 20, 95, 10, 80, 100} << Curve{0, 20, 95, 10, 80, 100};
        QTest::newRow("descending")
            << Curve{50, 40, 30, 20, 10, 0} << Curve{40, 40, 30, 20, 10, 10};
        // The last point cannot move: its slider already shows 100.
        QTest::newRow("above 100")
            << Curve{0, 20, 40, 60, 180, 200} << Curve{0, 20, 40, 60, 100, 200};
    }
    void badlyStoredCurveIsShown()
    {
        QFETCH(Curve, curve);
        QFETCH(Curve, after);
        showCurve("brake", curve);
        QCOMPARE(stored("brake"), after);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(slider("brake", i)->value(), qMin(after[i], 100));
            if (after[i] != curve[i])
                QVERIFY((i == 0 || after[i - 1] <= after[i]) &&
                        (i == 5 || after[i] <= after[i + 1]));
        }
    }

    void resetEndsLinear_data()
    {
        QTest::addColumn<QString>("pedal");
        QTest::addColumn<Curve>("curve");
        QTest::newRow("throttle from all 50") << "throttle" << Curve{50, 50, 50, 50, 50, 50};
        QTest::newRow("brake from all 50") << "brake" << Curve{50, 50, 50, 50, 50, 50};
        QTest::newRow("clutch from all 50") << "clutch" << Curve{50, 50, 50, 50, 50, 50};
        QTest::newRow("neighbours crossed") << "brake" << Curve{0, 20, 95, 10, 80, 100};
        QTest::newRow("above 100") << "clutch" << Curve{0, 20, 40, 60, 80, 200};
    }
    void resetEndsLinear()
    {
        QFETCH(QString, pedal);
        QFETCH(Curve, curve);
        showCurve(pedal, curve);
        page->resetCurve(pedal == "clutch"  ? Pedal::Clutch
                         : pedal == "brake" ? Pedal::Brake
                                            : Pedal::Throttle);
        const Curve linear{0, 20, 40, 60, 80, 100};
        QCOMPARE(stored(pedal), linear);
        QCOMPARE(shown(pedal), linear);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(widget<QLabel>(QString("slider_%1Value_%2").arg(pedal).arg(i))->text(),
                     QString("%1%").arg(linear[i]));
    }

    // Forces are fractions of 65535; the maximum stays at least 10 above the
    // minimum, and a refused edit shows the stored value again.
    void forceGap_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<double>("entered");
        QTest::addColumn<int>("stored"); // in the edited field afterwards
        QTest::addColumn<double>("shown");
        QTest::newRow("max 10.0 over 6547 refused")
            << "spinBox_brakeMaxForceAdjustment" << 6547 << 65535 << 10.0 << 65535 << 100.0;
        QTest::newRow("max 10.1 over 6547")
            << "spinBox_brakeMaxForceAdjustment" << 6547 << 65535 << 10.1 << 6619 << 10.1;
        QTest::newRow("min 10.0 under 6560 refused")
            << "spinBox_throttleMinForceAdjustment" << 0 << 6560 << 10.0 << 0 << 0.0;
        QTest::newRow("min 9.9 under 6560")
            << "spinBox_throttleMinForceAdjustment" << 0 << 6560 << 9.9 << 6487 << 9.9;
        QTest::newRow("max 100 over a minimum of 65535 refused")
            << "spinBox_clutchMaxForceAdjustment" << 65535 << 65535 << 100.0 << 65535 << 100.0;
    }
    void forceGap()
    {
        QFETCH(QString, box);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(double, entered);
        QFETCH(int, stored);
        QFETCH(double, shown);
        const int pedal = box.contains("clutch") ? 0 : box.contains("brake") ? 1 : 2;
        const bool isMax = box.contains("Max");
        auto* record = reinterpret_cast<uint8_t*>(&current());
        auto put = [&](size_t offset, int v) {
            record[offset] = uint8_t(v);
            record[offset + 1] = uint8_t(v >> 8);
        };
        const size_t maxOffset = offsetof(OrvUsbPedalsProfileV2, clutchMaxForce) + 2 * pedal;
        const size_t minOffset = offsetof(OrvUsbPedalsProfileV2, clutchMinForce) + 2 * pedal;
        put(maxOffset, max);
        put(minOffset, min);
        page->showProfile(pedals->currentProfileIndex);
        pedals->updateTimer.stop();

        auto* spin = widget<QDoubleSpinBox>(box);
        spin->setValue(entered);
        QVERIFY(QMetaObject::invokeMethod(spin, "editingFinished"));
        const size_t offset = isMax ? maxOffset : minOffset;
        QCOMPARE(record[offset] | record[offset + 1] << 8, stored);
        QCOMPARE(record[isMax ? minOffset : maxOffset] | record[(isMax ? minOffset : maxOffset) + 1]
                                                             << 8,
                 isMax ? min : max);
        QCOMPARE(spin->value(), shown);
        QCOMPARE(pedals->updateTimer.isActive(), stored != (isMax ? max : min));
    }

    void showProfileFillsEachPedal()
    {
        OrvUsbPedalsProfileV2& p = pedals->profiles[1];
        const uint8_t clutch[6] = {0, 30, 55, 75, 90, 100};
        const uint8_t brake[6] = {0, 10, 25, 45, 70, 100};
        const uint8_t throttle[6] = {5, 15, 32, 52, 75, 95};
        std::memcpy(p.clutchCurve, clutch, 6);
        std::memcpy(p.brakeCurve, brake, 6);
        std::memcpy(p.throttleCurve, throttle, 6);
        p.clutchMaxForce = 0; // shown at the box's minimum
        p.brakeMaxForce = 52428;
        p.throttleMaxForce = 65535;
        p.clutchMinForce = 655;
        p.brakeMinForce = 0;
        p.throttleMinForce = 65535;
        pedals->settingsLoaded = false;

        page->showProfile(1);
        QCOMPARE(int(pedals->currentProfileIndex), 1);
        QCOMPARE(shown("clutch"), Curve(clutch, clutch + 6));
        QCOMPARE(shown("brake"), Curve(brake, brake + 6));
        QCOMPARE(shown("throttle"), Curve(throttle, throttle + 6));
        QCOMPARE(widget<QLabel>("slider_throttleValue_5")->text(), QString("95%"));
        QCOMPARE(widget<QLabel>("slider_brakeValue_3")->text(), QString("45%"));
        const std::pair<const char*, double> boxes[] = {
            {"spinBox_clutchMaxForceAdjustment", 1.0},
            {"spinBox_brakeMaxForceAdjustment", 80.0},
            {"spinBox_throttleMaxForceAdjustment", 100.0},
            {"spinBox_clutchMinForceAdjustment", 1.0},
            {"spinBox_brakeMinForceAdjustment", 0.0},
            {"spinBox_throttleMinForceAdjustment", 100.0},
        };
        for (const auto& [name, value] : boxes)
            QCOMPARE(widget<QDoubleSpinBox>(name)->value(), value);
        // Showing stores nothing new and sends nothing before the settings
        // are loaded.
        QCOMPARE(int(p.clutchMaxForce), 0);
        QCOMPARE(int(p.throttleMinForce), 65535);
        QVERIFY(!pedals->updateTimer.isActive());
        page->showProfile(pedals->profileCount); // outside the list: ignored
        QCOMPARE(int(pedals->currentProfileIndex), 1);
    }

    void barsFollowThePedals()
    {
        // Live: the throttle (Z) fully pressed on the device.
        auto* sim = static_cast<orvsim::SimPedals*>(f->simulator.devices()[0]);
        QVERIFY(sim->pressChannel(orvsim::SimPedals::Z, 1.0));
        QVERIFY(waitUntil([&] { return widget<QLabel>("labelThrottleValue")->text() == "100.0%"; },
                          3000));
        QCOMPARE(widget<QProgressBar>("pedalThrottle")->value(), 65535);
        sim->setStreamSilent(true);
        QTest::qWait(100);

        page->drawPedals(65535, 32767, 0);
        QCOMPARE(widget<QProgressBar>("pedalClutch")->value(), 65535);
        QCOMPARE(widget<QProgressBar>("pedalBrake")->value(), 32767);
        QCOMPARE(widget<QProgressBar>("pedalThrottle")->value(), 0);
        QCOMPARE(widget<QLabel>("labelClutchValue")->text(), QString("100.0%"));
        QCOMPARE(widget<QLabel>("labelBrakeValue")->text(), QString("50.0%"));
        QCOMPARE(widget<QLabel>("labelThrottleValue")->text(), QString("0.0%"));

        // Records closer than the redraw interval: the last one is shown
        // soon after.
        OrvUsbPedalsJoystickUpdate record{};
        for (uint16_t v : {100, 200, 300}) {
            record.yAxis = v;
            page->joystickUpdate(record);
        }
        QVERIFY(
            waitUntil([&] { return widget<QProgressBar>("pedalBrake")->value() == 300; }, 1000));
        QCOMPARE(widget<QLabel>("labelBrakeValue")->text(), QString("0.5%"));
    }

    // Edits within 250 ms go out together in one update, 250 ms after the
    // first of them.
    void editsWithinTheDelayGiveOneUpdate()
    {
        auto* sim = static_cast<orvsim::SimPedals*>(f->simulator.devices()[0]);
        sim->clearReceived();
        QElapsedTimer clock;
        clock.start();
        slider("throttle", 1)->setValue(25);
        auto* box = widget<QDoubleSpinBox>("spinBox_brakeMaxForceAdjustment");
        box->setValue(90.0);
        QVERIFY(QMetaObject::invokeMethod(box, "editingFinished"));
        slider("clutch", 3)->setValue(55);

        auto updates = [&] {
            int begins = 0;
            bool ended = false;
            for (const auto& r : sim->received()) {
                if (r[1] != 12)
                    continue;
                if (r[10] == 0xFF)
                    ended = true;
                else
                    ++begins;
            }
            return std::make_pair(begins, ended);
        };
        QVERIFY(waitUntil([&] { return updates().second; }, 3000));
        QVERIFY(clock.elapsed() >= 200);
        QTest::qWait(100);
        QCOMPARE(updates().first, 1);
        const auto list = sim->profiles();
        const auto& record = list.records[pedals->currentProfileIndex];
        QCOMPARE(int(record[offsetof(OrvUsbPedalsProfileV2, throttleCurve) + 1]), 25);
        QCOMPARE(int(record[offsetof(OrvUsbPedalsProfileV2, clutchCurve) + 3]), 55);
        QCOMPARE(record[offsetof(OrvUsbPedalsProfileV2, brakeMaxForce)] |
                     record[offsetof(OrvUsbPedalsProfileV2, brakeMaxForce) + 1] << 8,
                 58981);
    }
};

QTEST_MAIN(TestPedalsPage)
#include "tst_pedalspage.moc"
