// The firmware update flow against a simulated bootloader: the file prompt
// and its failures, the progress dialog, the result boxes, and a cable pulled
// at each step of a running update.

#include "PageFixture.h"
#include "ScriptedDialogs.h"
#include "devices/UsbDeviceOrvBootloader.h"
#include "window/pages/FirmwareUpdateFlow.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <numeric>

#include <sys/stat.h>

using Identity = orvsim::SimFirmwareDevice::Identity;

class TestFirmwareUpdateFlow : public QObject
{
    Q_OBJECT

    static constexpr int Chunks = 64;

    TestBus bus;
    QTemporaryDir dir;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<PageFixture> f;
    std::unique_ptr<FirmwareUpdateFlow> flow;
    orvsim::SimWheelBase* sim = nullptr;
    QPointer<UsbDeviceOrvBootloader> boot;
    // Run on the device's signals, before and after the flow's turn.
    std::function<void(int)> beforeProgress;
    std::function<void()> afterStarted;
    bool settingProgress = false;
    bool leftDuringProgress = false;
    bool deletedDuringProgress = false; // a dialog, under its own setValue
    std::vector<int> values;            // the dialog's value after each progress but the last

    static QByteArray image(int size)
    {
        return QByteArray("0123456789abcdefghijklm").repeated(size / 23 + 1).left(size);
    }
    QString file(const QByteArray& bytes, const QString& name = "image.fw")
    {
        QFile out(dir.filePath(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return {};
        return out.fileName();
    }
    // Pulls the cable and blocks until the reader has seen the device go,
    // without running the event loop: its departure then waits for whoever
    // runs the loop next.
    void pullCable()
    {
        const QString path = boot ? boot->getPath() : QString();
        sim->unplug();
        QElapsedTimer clock;
        clock.start();
        while (f->manager->getDevice(path) && clock.elapsed() < 5000)
            QThread::msleep(1);
        QThread::msleep(100); // the queued departure follows the removal at once
    }

    // A bootloader for the next case: the one left by the last, or the
    // device restarted into it.
    void useBootloader()
    {
        if (boot)
            return;
        if (sim->identity() == Identity::Absent)
            QVERIFY(sim->plug());
        QVERIFY(sim->waitForIdentity(Identity::Application, 3000));
        sim->enterBootloader();
        QVERIFY(sim->waitForIdentity(Identity::Bootloader, 3000));
        f->manager->rescanForOrvDevices();
        for (UsbDevice* device : f->manager->getDevices())
            if (auto* found = qobject_cast<UsbDeviceOrvBootloader*>(device))
                boot = found;
        QVERIFY(boot);
        // Wired as the window wires the chosen bootloader.
        using B = UsbDeviceOrvBootloader;
        connect(boot, &B::onFirmwareUpdateStarted, this, [this](int chunks) {
            flow->started(chunks);
            connect(flow->dialog(), &QObject::destroyed, this,
                    [this] { deletedDuringProgress |= settingProgress; });
            if (afterStarted)
                afterStarted();
        });
        connect(boot, &B::onFirmwareUpdateProgress, this, [this](int chunk, int chunks) {
            if (beforeProgress)
                beforeProgress(chunk);
            settingProgress = true;
            flow->progress(chunk);
            settingProgress = false;
            if (flow->dialog() && chunk < chunks)
                values.push_back(flow->dialog()->value());
        });
        connect(boot, &B::onUpdateCompleted, this, [this] { flow->completed(); });
        connect(boot, &B::onUpdateFailed, this,
                [this](UsbDevice*, const QString& message) { flow->failed(message); });
    }

public:
    TestFirmwareUpdateFlow() { bus.useAsBackend(); }

private slots:
    // One device and manager for all cases: each update ends with the
    // device back in its application, and the next enters the bootloader.
    void initTestCase()
    {
        f = std::make_unique<PageFixture>(bus);
        sim = f->simulator.addWheelBase("wheel", 0);
        QVERIFY(sim);
        sim->setRebootDelay(std::chrono::milliseconds(0));
        // Streaming pedals keep the reader waking: with no device it sleeps
        // half a second before it looks for a new one.
        QVERIFY(f->simulator.addPedals("pedals", 1000));
        f->manager = std::make_unique<UsbManager>();
        f->manager->start(false);
        connect(f->manager.get(), &UsbManager::onDeviceDisconnected, this, [this](UsbDevice* d) {
            if (d != boot || !flow)
                return;
            leftDuringProgress = settingProgress;
            flow->closeDialog();
            flow->setDevice(nullptr);
        });
    }
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        flow = std::make_unique<FirmwareUpdateFlow>(&f->host);
        beforeProgress = nullptr;
        afterStarted = nullptr;
        leftDuringProgress = false;
        deletedDuringProgress = false;
        values.clear();
        useBootloader();
        sim->bootloader().setCorruptEchoOfChunk(-1);
        sim->bootloader().clearReceived();
        flow->setDevice(boot);
    }
    void cleanup()
    {
        flow.reset();
        dialogs.reset();
    }
    void cleanupTestCase() { f.reset(); }

    // What the prompt leads to before any chunk goes out.
    void prompt_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("text"); // of the one box shown; empty: none
        QTest::addColumn<int>("commands"); // chunk commands the device gets

        const QString tooLarge("Firmware image too large: %1 bytes; at most 1048544 bytes can "
                               "be written.");
        QTest::newRow("cancelled") << ""
                                   << "" << 0;
        QTest::newRow("empty") << "empty.fw"
                               << "Update completed successfully!" << 1;
        QTest::newRow("missing") << "/nonexistent/image.fw"
                                 << "No such file or directory" << 0;
        QTest::newRow("opens, cannot be read") << "/proc/self/mem"
                                               << "Input/output error" << 0;
        // Refused from its size: it would not even fit in memory.
        QTest::newRow("3 GiB") << "huge.fw" << tooLarge.arg(3LL << 30) << 0;
        // Opening a FIFO would wait for a writer, on the window's thread.
        QTest::newRow("fifo") << "fifo.fw"
                              << "Not a regular file" << 0;
        // Nothing to go by but what it yields: the device refuses that.
        QTest::newRow("device node") << "/dev/zero" << tooLarge.arg(1048545) << 0;
    }
    void prompt()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, text);
        QFETCH(int, commands);
        if (fileName == "empty.fw")
            fileName = file({}, fileName);
        else if (fileName == "fifo.fw")
            QVERIFY(::mkfifo(QFile::encodeName(fileName = dir.filePath(fileName)), 0600) == 0);
        else if (fileName == "huge.fw")
            QVERIFY(QFile(fileName = file({}, fileName)).resize(3LL << 30));

        dialogs->fileNames << fileName;
        flow->chooseImage();
        QCOMPARE(dialogs->shown.size(), text.isEmpty() ? 0 : 1);
        if (!text.isEmpty())
            QCOMPARE(dialogs->shown[0].text, text);
        QVERIFY(!flow->dialog()); // an empty image completes at once
        if (commands)
            QVERIFY(sim->bootloader().waitForReceived(size_t(commands), 2000));
        QVERIFY(!sim->bootloader().waitForReceived(size_t(commands) + 1, 200));
    }

    // A running update: the dialog follows the chunks, and the result is
    // told. That none is told once its dialog closed (another device chosen)
    // is the window test's.
    void update_data()
    {
        QTest::addColumn<int>("corruptChunk");
        QTest::addColumn<QString>("result"); // the box shown
        QTest::newRow("completed") << -1 << "Update completed successfully!";
        QTest::newRow("echo damaged") << 5 << "CRC failed on chunk 5 of 64";
    }
    void update()
    {
        QFETCH(int, corruptChunk);
        QFETCH(QString, result);
        sim->bootloader().setCorruptEchoOfChunk(corruptChunk);
        QSignalSpy completed(boot.data(), &UsbDeviceOrvBootloader::onUpdateCompleted);
        QSignalSpy failed(boot.data(), &UsbDeviceOrvBootloader::onUpdateFailed);
        QPointer<QProgressDialog> dialog;
        afterStarted = [&] { dialog = flow->dialog(); };
        const QByteArray bytes = image(Chunks * 32 - 5);
        const QString fileName = file(bytes);

        dialogs->fileNames << fileName;
        flow->chooseImage();
        QVERIFY(dialog);
        QVERIFY(dialog->isModal() && dialog->maximum() == Chunks);
        QVERIFY(!dialog->findChild<QPushButton*>()); // nothing to cancel
        QVERIFY(runUntil([&] { return completed.size() + failed.size() > 0; }, 5000));
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].text, result);
        QVERIFY(!flow->dialog());
        std::vector<int> expected(corruptChunk < 0 ? Chunks : corruptChunk + 1);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(values, expected);
        if (corruptChunk >= 0) {
            // The bootloader stays: the user tries again and it works.
            sim->bootloader().setCorruptEchoOfChunk(-1);
            dialogs->fileNames << fileName;
            flow->chooseImage();
            QVERIFY(runUntil([&] { return dialogs->shown.size() == 2; }, 5000));
            QCOMPARE(dialogs->shown.last().text, QString("Update completed successfully!"));
        }
        QVERIFY(sim->waitForIdentity(Identity::Application, 5000));
        QVERIFY(runUntil([&] { return boot.isNull(); }, 5000)); // its departure handled
        std::vector<uint8_t> padded(bytes.begin(), bytes.end());
        padded.resize(Chunks * 32, 0);
        QCOMPARE(sim->installedImage(), padded);
    }

    // Started while another runs, an update replaces it and its dialog; the
    // device ends with the second image, and says so once.
    void secondUpdateReplacesTheFirst()
    {
        QList<QPointer<QProgressDialog>> made;
        afterStarted = [&] { made << flow->dialog(); };
        // Late in the first: the first's late echoes would reach its end first.
        beforeProgress = [&](int chunk) {
            if (chunk == 1500 && made.size() == 1)
                QTimer::singleShot(0, this, [&] { flow->chooseImage(); });
        };
        const QByteArray second = image(2048 * 32).mid(1) + 'x';
        dialogs->fileNames << file(image(2048 * 32)) << file(second, "second.fw");
        flow->chooseImage();
        QVERIFY(runUntil([&] { return !dialogs->shown.isEmpty(); }, 5000));
        QVERIFY(sim->waitForIdentity(Identity::Application, 5000));
        QVERIFY(runUntil([&] { return boot.isNull(); }, 5000)); // its departure handled
        QCOMPARE(sim->installedImage(), std::vector<uint8_t>(second.begin(), second.end()));
        QCOMPARE(made.size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(f->host.findChildren<QProgressDialog*>().isEmpty());
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].text, QString("Update completed successfully!"));
    }

    // The cable pulled at each step of an update: the dialog closes, the
    // window is usable again, and nothing touches the deleted device (the
    // sanitizer run sees to that).
    void cablePulled_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<bool>("insideDialog"); // the departure runs inside setValue
        QTest::addColumn<int>("boxes");

        QTest::newRow("prompt open") << "prompt" << -1 << false << 0;
        QTest::newRow("update started") << "started" << -1 << false << 0;
        QTest::newRow("half way, dialog shown") << "progress" << Chunks / 2 << true << 0;
        QTest::newRow("last chunk confirmed") << "progress" << Chunks << true << 0;
        // Another box, opened from the dialog's loop, runs a loop of its own in
        // which the device leaves: the dialog must outlive its setValue.
        QTest::newRow("other box open in the dialog") << "other box" << Chunks / 2 << true << 1;
        QTest::newRow("result box open") << "box" << -1 << false << 1;
    }
    void cablePulled()
    {
        QFETCH(QString, when);
        QFETCH(int, chunk);
        QFETCH(bool, insideDialog);
        QFETCH(int, boxes);
        // What a real dialog does while open: run the event loop.
        auto pullAndRunLoop = [this] {
            pullCable();
            QVERIFY(runUntil([this] { return boot.isNull(); }, 5000));
        };
        afterStarted = [&] {
            // Shown from the second value on, so that every later value runs
            // the event loop, as a long update does.
            flow->dialog()->setMinimumDuration(0);
            if (when == "started")
                pullCable();
        };
        beforeProgress = [&](int i) {
            if (when == "progress" && i == chunk)
                pullCable();
            if (when == "other box" && i == chunk)
                QMetaObject::invokeMethod(
                    this,
                    [&] {
                        dialogs->whileOpen = pullAndRunLoop;
                        Dialogs::information(&f->host, "Another device", "Something to say");
                    },
                    Qt::QueuedConnection);
        };
        if (when == "prompt")
            dialogs->whileOpen = pullAndRunLoop;
        dialogs->fileNames << file(image(Chunks * 32));
        flow->chooseImage();
        if (when == "box")
            dialogs->whileOpen = pullAndRunLoop;

        QVERIFY(waitUntil([this] { return boot.isNull(); }, 5000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(leftDuringProgress, insideDialog);
        QVERIFY(!deletedDuringProgress);
        QCOMPARE(dialogs->shown.size(), boxes);
        QVERIFY(!flow->dialog());
        QVERIFY(f->host.findChildren<QProgressDialog*>().isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
        // Nothing is left to update: the prompt does not even open.
        flow->chooseImage();
        QCOMPARE(dialogs->captions.size(), 2);
    }
};

QTEST_MAIN(TestFirmwareUpdateFlow)
#include "tst_firmwareupdateflow.moc"
