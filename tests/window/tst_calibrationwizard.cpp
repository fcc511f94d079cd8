// The calibration wizard against simulated pedals driven by hand: a whole
// run stored on the pedals, the refusals, the steps by connected channels,
// cancelling, confirmations that never come or come twice, and pedals that
// leave mid-run.

#include "PageFixture.h"
#include "ScriptedDialogs.h"
#include "devices/UsbDeviceOrvPedals.h"
#include "window/pages/CalibrationWizard.h"
#include "window/pages/PedalsPage.h"

#include <QTest>

#include <algorithm>

using orvsim::SimPedals;

class TestCalibrationWizard : public QObject
{
    Q_OBJECT

    static constexpr int TimeoutMs = 3000;

    TestBus bus;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<PageFixture> f;
    QPointer<UsbDeviceOrvPedals> pedals;
    SimPedals* sim = nullptr;
    uint32_t lastRaw[3] = {};
    uint32_t pressed[3] = {}; // the last pressed reading of each channel

    PedalsCalibrationState& state() const { return pedals->calibrationState; }

    // Connects the pedals as the window does.
    void use(UsbDeviceOrvPedals* device)
    {
        pedals = device;
        f->pedalsPage->setDevice(device);
        f->wizard->setDevice(device);
        connect(device, &UsbDeviceOrvPedals::onJoystickUpdate, this,
                [this](UsbDevice*, OrvUsbPedalsJoystickUpdate* update, uint64_t) {
                    f->pedalsPage->joystickUpdate(*update);
                    const OrvUsbPedalsDebugOutput& d = update->debugOutput;
                    lastRaw[0] = d.xRaw;
                    lastRaw[1] = d.yRaw;
                    lastRaw[2] = d.zRaw;
                });
        connect(device, &UsbDeviceOrvPedals::onCalibrationStarted, this,
                [this] { f->wizard->calibrationStarted(); });
        connect(device, &UsbDeviceOrvPedals::onCalibrationSave, this,
                [this] { f->wizard->calibrationSaved(); });
    }
    // Until the page has taken a new record with the readings the pedals
    // give now (in calibration mode they change only when driven).
    bool settle()
    {
        std::fill(std::begin(lastRaw), std::end(lastRaw), 0); // no reading is 0
        return waitUntil(
            [&] {
                for (int channel = 0; channel < 3; ++channel)
                    if (lastRaw[channel] != sim->raw(channel))
                        return false;
                return true;
            },
            TimeoutMs);
    }
    void next() { f->ui.pedalsCalibrationNextStepButton->click(); } // nothing when disabled
    void startOrCancel() { f->ui.pedalsCalibrationButton->click(); }
    bool start()
    {
        startOrCancel();
        return waitUntil([&] { return state().active == 1; }, TimeoutMs) && settle();
    }
    // On to the next step, pressing or releasing the channel of the pedal
    // the step asks for (throttle, brake, clutch in channels' order). The
    // middle bar shows the pedal pressed.
    void advance(const QList<int>& channels = {1, 2, 0})
    {
        const int step = state().step;
        if (step >= 1 && step <= 6) {
            const int channel = channels[(step - 1) / 2];
            if (step % 2 == 1) {
                sim->pressChannel(channel, 1.0);
                pressed[channel] = sim->raw(channel);
            } else {
                sim->releaseChannel(channel);
            }
            QVERIFY(settle());
            if (step % 2 == 1)
                QVERIFY(waitUntil([&] { return f->ui.pedalBrake->value() == 65535; }, TimeoutMs));
        }
        next();
    }
    int sent(int code) const
    {
        const auto reports = sim->received();
        return int(std::count_if(reports.begin(), reports.end(),
                                 [code](const auto& r) { return r[1] == code; }));
    }
    // Buttons and bars as when no run is on.
    bool idle() const
    {
        const Ui::ORV_wheel_tool& ui = f->ui;
        return ui.pedalsCalibrationButton->text() == "Start calibration" &&
               ui.pedalsCalibrationButton->isEnabled() &&
               !ui.pedalsCalibrationNextStepButton->isEnabled() &&
               !ui.pedalsCalibrationPrevStepButton->isEnabled() && !ui.pedalClutch->isHidden() &&
               !ui.labelThrottleValue->isHidden();
    }

public:
    TestCalibrationWizard() { bus.useAsBackend(); }

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        f = std::make_unique<PageFixture>(bus);
        // The buttons as the window's named slots bind them.
        connect(f->ui.pedalsCalibrationButton, &QPushButton::clicked, this,
                [this] { f->wizard->startOrCancel(); });
        connect(f->ui.pedalsCalibrationNextStepButton, &QPushButton::clicked, this,
                [this] { f->wizard->nextStep(); });
        connect(f->ui.pedalsCalibrationPrevStepButton, &QPushButton::clicked, this,
                [this] { f->wizard->previousStep(); });
        UsbDeviceOrvPedals* device = f->pedals();
        QVERIFY(device);
        sim = static_cast<SimPedals*>(f->simulator.devices()[0]);
        use(device);
    }
    void cleanup()
    {
        f.reset();
        dialogs.reset();
    }

    // Throttle on Y, brake on Z, clutch on X: the record the pedals store is
    // the readings taken, byte for byte.
    void wholeRunIsStoredOnThePedals()
    {
        QVERIFY(start());
        // In calibration mode the pedals rest unless driven: only the pedal
        // pressed moves.
        const uint32_t rest[3] = {sim->raw(0), sim->raw(1), sim->raw(2)};
        for (int step = 0; step < 7; ++step)
            advance();
        QCOMPARE(f->ui.pedalsCalibrationNextStepButton->text(), QString("Save calibration"));

        sim->clearReceived();
        next();
        QVERIFY(!f->ui.pedalsCalibrationButton->isEnabled()); // saving
        QVERIFY(waitUntil([&] { return state().active == 0; }, TimeoutMs));
        QVERIFY(idle());
        QVERIFY(dialogs->shown.isEmpty());

        const PedalsCalibration expected{pressed[0], pressed[2], pressed[1], rest[0], rest[2],
                                         rest[1],    0,          2,          1};
        const QByteArray bytes(reinterpret_cast<const char*>(&expected), sizeof expected);
        const auto onPedals = sim->calibration().bytes();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(onPedals.data()), 27), bytes);
        // Out of calibration mode before the save, and again at the end.
        QVERIFY(waitUntil([&] { return sent(15) == 2; }, TimeoutMs));
        QCOMPARE(sim->received()[1][1], uint8_t(11));
        QVERIFY(!sim->isCalibrating());
    }

    // A released reading must lie 5000 from the pressed one, as a signed
    // 32-bit difference: close across the wrap, and the widest difference
    // not overflowing. A refusal keeps the step.
    void refusals()
    {
        QVERIFY(start());
        next();
        const uint32_t rest = sim->raw(SimPedals::Y);
        const struct
        {
            uint32_t pressed, released;
            bool accepted;
        } readings[] = {{rest + 100000, rest + 95001, false},
                        {rest + 100000, rest + 95000, true},
                        {0xFFFFFFFE, 2, false},
                        {0x80000001, 1, true}};
        for (const auto& r : readings) {
            while (state().step > 1)
                f->ui.pedalsCalibrationPrevStepButton->click();
            sim->setRaw(SimPedals::Y, r.pressed);
            QVERIFY(settle());
            next();
            sim->setRaw(SimPedals::Y, r.released);
            QVERIFY(settle());
            next();
            QCOMPARE(state().step, r.accepted ? 3 : 2);
        }
        QCOMPARE(dialogs->shown.size(), 2);
        QCOMPARE(dialogs->shown[1].title, QString("Wrong value"));

        // The brake pressed on the throttle's channel; then none pressed,
        // which is no clash with the clutch, unassigned as well.
        sim->pressChannel(SimPedals::Y, 1.0);
        QVERIFY(settle());
        next();
        QCOMPARE(state().step, 3);
        QCOMPARE(dialogs->shown.size(), 3);
        QCOMPARE(dialogs->shown[2].title, QString("Wrong channel"));
        sim->releaseChannel(SimPedals::Y);
        QVERIFY(settle());
        next();
        QCOMPARE(state().step, 4);
    }

    // Without a clutch the run has two pedals; back from the save step is
    // the last released one.
    void stepsFollowTheConnectedChannels()
    {
        sim->setConnected(SimPedals::Z, false);
        QVERIFY(start());
        QList<int> visited{state().step};
        while (state().step != 7 && visited.size() <= 8) {
            advance({0, 1});
            visited << state().step;
        }
        QCOMPARE(visited, (QList<int>{0, 1, 2, 3, 4, 7}));
        f->ui.pedalsCalibrationPrevStepButton->click();
        QCOMPARE(state().step, 4);
        QVERIFY(dialogs->shown.isEmpty());
    }

    // Unconfirmed, the wizard stays starting (the asking again is the
    // device's, tst_wheelbaseandpedals); the middle bar shows the brake
    // meanwhile.
    void startNeverConfirmed()
    {
        sim->setSilent(true);
        startOrCancel();
        QTest::qWait(300);
        QCOMPARE(int(state().active), 0);
        QVERIFY(!f->ui.pedalsCalibrationButton->isEnabled());
        QVERIFY(!f->ui.pedalsCalibrationNextStepButton->isEnabled());
        QVERIFY(f->ui.pedalThrottle->isHidden());
        sim->pressChannel(SimPedals::Y, 1.0);
        QVERIFY(waitUntil([&] { return f->ui.pedalBrake->value() == 65535; }, TimeoutMs));
    }

    // A repeated start confirmation keeps the step; a cancel ends
    // calibration mode, and a save confirmation after it starts no run.
    void repeatedConfirmations()
    {
        QVERIFY(start());
        advance();
        advance();
        f->wizard->calibrationStarted();
        QCOMPARE(state().step, 2);
        sim->clearReceived();
        startOrCancel();
        f->wizard->calibrationSaved();
        QVERIFY(waitUntil([&] { return !sim->isCalibrating(); }, TimeoutMs));
        QTest::qWait(100);
        QCOMPARE(sent(14), 0);
        QCOMPARE(sent(15), 1);
        QVERIFY(idle());

        // A connected byte other than 1 is still one pedal.
        QVERIFY(start());
        OrvUsbPedalsJoystickUpdate record{};
        record.debugOutput.xConnected = 1;
        record.debugOutput.zConnected = 2;
        f->pedalsPage->joystickUpdate(record);
        QCOMPARE(state().pedalCount, 2u);
    }

    // Nothing touches the pedals that left; the new object they come back
    // as finds the wizard idle and the bars in their normal layout.
    void pedalsLeaveMidRun()
    {
        QVERIFY(start());
        for (int i = 0; i < 3; ++i)
            advance();
        sim->unplug();
        QVERIFY(waitUntil([&] { return pedals.isNull(); }, TimeoutMs));
        for (QPushButton* b :
             {f->ui.pedalsCalibrationNextStepButton, f->ui.pedalsCalibrationPrevStepButton,
              f->ui.pedalsCalibrationButton})
            b->click();
        f->wizard->calibrationSaved();

        QVERIFY(sim->plug());
        UsbDeviceOrvPedals* again = f->loaded<UsbDeviceOrvPedals>();
        QVERIFY(again);
        use(again);
        QCOMPARE(int(state().active), 0);
        QVERIFY(idle());
        QVERIFY(start());
    }
};

QTEST_MAIN(TestCalibrationWizard)
#include "tst_calibrationwizard.moc"
