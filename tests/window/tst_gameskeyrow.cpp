// The games compatibility key row against a registry in memory: what it
// shows, what a click runs and reports, and that it stays hidden where the
// system has no registry.

#include "FakePlatform.h"
#include "ScriptedDialogs.h"
#include "ui_ORV_wheel_tool.h"
#include "window/pages/GamesKeyRow.h"

#include <QMainWindow>
#include <QTest>

#include <algorithm>

namespace {

const QString Present = "Games compatibility registry key present";
const QString NotPresent = "Games compatibility registry key NOT present";

// "-" for no value.
void setValue(FakePlatform& platform, RegistryRoot root, const QByteArray& hex)
{
    if (hex != "-")
        platform.oemData[root] = QByteArray::fromHex(hex);
}

} // namespace

class TestGamesKeyRow : public QObject
{
    Q_OBJECT

    QMainWindow host;
    Ui::ORV_wheel_tool ui;

    QString shown() const
    {
        return ui.labelGamesCompatibilityKey->text() + " / " +
               ui.pushButtonGamesCompatibilityKey->text();
    }

private slots:
    void initTestCase() { ui.setupUi(&host); }

    void refresh_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("machine");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("machineRead");
        QTest::newRow("both") << QByteArray("4000000000000000") << QByteArray("4000000000000000")
                              << true << true;
        QTest::newRow("user only")
            << QByteArray("4000000000000000") << QByteArray("-") << false << true;
        QTest::newRow("machine only")
            << QByteArray("-") << QByteArray("4000000000000000") << false << false;
        QTest::newRow("last byte 01")
            << QByteArray("4000000000000001") << QByteArray("4000000000000000") << false << false;
        // Padded with zeros it would look right; games read one byte.
        QTest::newRow("one byte 40")
            << QByteArray("40") << QByteArray("4000000000000000") << false << false;
    }

    void refresh()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, machine);
        QFETCH(bool, present);
        QFETCH(bool, machineRead);
        FakePlatform platform;
        setValue(platform, RegistryRoot::CurrentUser, user);
        setValue(platform, RegistryRoot::LocalMachine, machine);
        GamesKeyRow row(ui, &host, platform);
        row.refresh();
        QCOMPARE(shown(), present ? Present + " / Uninstall" : NotPresent + " / Install");
        QCOMPARE(std::count(platform.reads.begin(), platform.reads.end(),
                            RegistryRoot::LocalMachine) == 1,
                 machineRead);
        QVERIFY(!ui.pushButtonGamesCompatibilityKey->isHidden());
    }

    void click_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("machine");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("install");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        const QByteArray key = "4000000000000000";
        const int info = QMessageBox::Information;
        const int critical = QMessageBox::Critical;
        QTest::newRow("absent") << QByteArray("-") << QByteArray("-") << false << true << info
                                << "Games Compatibility Key was installed"
                                << Present + " / Uninstall";
        QTest::newRow("partial") << key << QByteArray("-") << false << true << info
                                 << "Games Compatibility Key was installed"
                                 << Present + " / Uninstall";
        QTest::newRow("present") << key << key << false << false << info
                                 << "Games Compatibility Key was uninstalled"
                                 << NotPresent + " / Install";
        // Refused: the texts shown before stay.
        QTest::newRow("install refused")
            << QByteArray("-") << QByteArray("-") << true << true << critical
            << "Games Compatibility Key was NOT installed" << NotPresent + " / Install";
        QTest::newRow("uninstall refused")
            << key << key << true << false << critical
            << "Games Compatibility Key was NOT uninstalled" << NotPresent + " / Install";
    }

    // What a click does is decided from the registry at that moment, not
    // from the button: every row was shown while the registry was empty.
    void click()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, machine);
        QFETCH(bool, refused);
        QFETCH(bool, install);
        QFETCH(int, icon);
        QFETCH(QString, text);
        QFETCH(QString, after);
        FakePlatform platform;
        ScriptedDialogs dialogs;
        GamesKeyRow row(ui, &host, platform);
        row.refresh();
        setValue(platform, RegistryRoot::CurrentUser, user);
        setValue(platform, RegistryRoot::LocalMachine, machine);
        platform.refuseElevation = refused;
        row.toggle();
        QCOMPARE(platform.commands.size(), size_t(1));
        QVERIFY(platform.commands[0] ==
                std::wstring(L"cmd ") +
                    (install ? GamesKey::InstallParameters : GamesKey::UninstallParameters));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(int(dialogs.shown[0].icon), icon);
        QCOMPARE(dialogs.shown[0].title, QString("Games Compatibility Key"));
        QCOMPARE(dialogs.shown[0].text, text);
        QCOMPARE(dialogs.shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(shown(), after);
    }

    // Elsewhere than on Windows the stand-in has no registry: no row.
    void hiddenWithoutARegistry()
    {
        GamesKeyRow row(ui, &host, Platform::current());
        row.refresh();
        QVERIFY(ui.labelGamesCompatibilityKey->isHidden());
        QVERIFY(ui.pushButtonGamesCompatibilityKey->isHidden());
    }
};

QTEST_MAIN(TestGamesKeyRow)
#include "tst_gameskeyrow.moc"
