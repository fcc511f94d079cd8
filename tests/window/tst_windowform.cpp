// The Designer form on its own: the widgets the window's slots are bound to
// by name, the combo lists whose indexes the device stores, the pages and
// tabs the window switches by index, and the images.

#include "ui_ORV_wheel_tool.h"
#include "window/ORV_wheel_tool.h"
#include "window/Resources.h"

#include <QImage>
#include <QMainWindow>
#include <QMetaMethod>
#include <QTest>

class TestWindowForm : public QObject
{
    Q_OBJECT

    QMainWindow window;
    Ui::ORV_wheel_tool ui;

    QStringList entriesOf(QWidget* w) const
    {
        QStringList entries;
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                entries << combo->itemText(i);
        else if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                entries << tabs->tabText(i);
        else if (auto* stack = qobject_cast<QStackedWidget*>(w))
            for (int i = 0; i < stack->count(); ++i)
                entries << stack->widget(i)->objectName();
        return entries;
    }

private slots:
    void initTestCase()
    {
        initWindowResources();
        ui.setupUi(&window);
        QCOMPARE(window.windowTitle(), QString("ORV Torvane Pro - Config Tool"));
    }

    // A renamed or retyped widget unbinds its slot without a compile error:
    // every on_NAME_SIGNAL slot finds its widget and signal (but the one
    // that is named so on purpose and called by two others).
    void everySlotFindsItsWidget()
    {
        const QMetaObject& meta = ORV_wheel_tool::staticMetaObject;
        int bound = 0;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QByteArray slot = meta.method(i).methodSignature();
            if (!slot.startsWith("on_") || slot.startsWith("on_pushButtonLogging_clicked("))
                continue;
            const int nameEnd = slot.lastIndexOf('_', slot.indexOf('('));
            const QString name = slot.mid(3, nameEnd - 3);
            QWidget* w = ui.centralWidget->findChild<QWidget*>(name);
            QVERIFY2(w, slot.constData());
            QVERIFY2(w->metaObject()->indexOfSignal(slot.mid(nameEnd + 1)) >= 0, slot.constData());
            ++bound;
        }
        QCOMPARE(bound, 68);
    }

    // A combo's item index is the value stored in the device's settings
    // field; pages are switched and the Encoder tab removed by index.
    void entries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("currentIndex");
        QTest::addColumn<QString>("entries");
        for (const char* effect : {"Damping", "Friction", "Inertia", "Spring"})
            QTest::newRow(effect) << QString("comboBox_%1Effect").arg(effect) << 0
                                  << "Device Effect Only|Game Effect Only|Device and Game Effects";
        QTest::newRow("smoothing") << "comboBox_GenSmooth" << 7
                                   << "None|Legacy 1|Legacy 2|Legacy 3|Legacy 4|Responsive 1|"
                                      "Responsive 2|Optimal|Soft 1|Soft 2|Soft 3";
        QTest::newRow("slew rate") << "comboBox_SlewRate" << 0 << "Perfomance|Balanced|Quiet";
        QTest::newRow("encoder type")
            << "comboBox_EncoderType" << 0 << "Incremental|Incremental (Rev)|BISS-C|BISS-C (Rev)";
        QTest::newRow("pages") << "settingsStackedWidget" << 1
                               << "settingsEmptyPage|settingsWheelBasePage|settingsPedalsPage";
        QTest::newRow("tabs") << "tabWidget" << 2 << "FFB|Filters|End stops|Encoder|Debug";
        QTest::newRow("pedals tabs") << "tabPedalsWidget" << 1 << "Profile|Debug";
    }
    void entries()
    {
        QFETCH(QString, name);
        QFETCH(int, currentIndex);
        QFETCH(QString, entries);
        QWidget* w = ui.centralWidget->findChild<QWidget*>(name);
        QCOMPARE(entriesOf(w).join('|'), entries);
        QCOMPARE(w->property("currentIndex").toInt(), currentIndex);
    }

    void images()
    {
        for (const auto& [path, size] :
             {std::pair{":/rim.png", QSize(200, 200)}, {":/reset_button.png", QSize(138, 138)}}) {
            const QImage image(path);
            QCOMPARE(image.size(), size);
            QVERIFY(image.hasAlphaChannel());
        }
    }
};

QTEST_MAIN(TestWindowForm)
#include "tst_windowform.moc"
