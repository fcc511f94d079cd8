// The games compatibility key row against a registry in memory: what it
// shows, what a click runs and reports, and that it stays hidden where the
// system has no registry.

#include "FakePlatform.h"
#include "ScriptedDialogs.h"
#include "ui_ORV_wheel_tool.h"
#include "window/pages/GamesKeyRow.h"

#include <QTest>

#include <algorithm>

namespace {

const QString Present = "Games compatibility registry key present / Uninstall";
const QString NotPresent = "Games compatibility registry key NOT present / Install";
const QByteArray Key = "4000000000000000";

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
    // Values in hex; "-" for none.
    static void setValues(FakePlatform& platform, const QByteArray& user, const QByteArray& machine)
    {
        for (const auto& [root, hex] : {std::pair{RegistryRoot::CurrentUser, user},
                                        std::pair{RegistryRoot::LocalMachine, machine}})
            if (hex != "-")
                platform.oemData[root] = QByteArray::fromHex(hex);
    }

private slots:
    void initTestCase() { ui.setupUi(&host); }

    void refresh_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("machine");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("machineRead");
        QTest::newRow("both") << Key << Key << true << true;
        QTest::newRow("user only") << Key << QByteArray("-") << false << true;
        QTest::newRow("machine only") << QByteArray("-") << Key << false << false;
        QTest::newRow("last byte 01") << QByteArray("4000000000000001") << Key << false << false;
        // Padded with zeros it would look right; games read one byte.
        QTest::newRow("one byte 40") << QByteArray("40") << Key << false << false;
    }
    void refresh()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, machine);
        QFETCH(bool, present);
        QFETCH(bool, machineRead);
        FakePlatform platform;
        setValues(platform, user, machine);
        GamesKeyRow row(ui, &host, platform);
        row.refresh();
        QCOMPARE(shown(), present ? Present : NotPresent);
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
        QTest::newRow("absent") << QByteArray("-") << QByteArray("-") << false << true;
        QTest::newRow("partial") << Key << QByteArray("-") << false << true;
        QTest::newRow("present") << Key << Key << false << false;
        QTest::newRow("install refused") << QByteArray("-") << QByteArray("-") << true << true;
        QTest::newRow("uninstall refused") << Key << Key << true << false;
    }
    // What a click does is decided from the registry at that moment, not
    // from the button: every row was shown while the registry was empty.
    // Refused, the texts shown before stay.
    void click()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, machine);
        QFETCH(bool, refused);
        QFETCH(bool, install);
        FakePlatform platform;
        ScriptedDialogs dialogs;
        GamesKeyRow row(ui, &host, platform);
        row.refresh();
        setValues(platform, user, machine);
        platform.refuseElevation = refused;
        row.toggle();
        QCOMPARE(platform.commands.size(), size_t(1));
        QVERIFY(platform.commands[0] ==
                std::wstring(L"cmd ") +
                    (install ? GamesKey::InstallParameters : GamesKey::UninstallParameters));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].icon, refused ? QMessageBox::Critical : QMessageBox::Information);
        QCOMPARE(dialogs.shown[0].title, QString("Games Compatibility Key"));
        QCOMPARE(dialogs.shown[0].text, QString("Games Compatibility Key was %1%2installed")
                                            .arg(refused ? "NOT " : "", install ? "" : "un"));
        QCOMPARE(shown(), install && !refused ? Present : NotPresent);
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
