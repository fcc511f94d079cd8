// The Designer form on its own: the widgets the window finds and binds by
// name, the ranges of the value controls, the texts shown verbatim, the combo
// lists whose indexes the device stores, and the pages and tabs the window
// switches by index.

#include "ui_ORV_wheel_tool.h"
#include "window/Resources.h"

#include <QComboBox>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

namespace {

// Every named widget: class, name prefix, the rest of each name. The window
// binds its slots by name, so a renamed or retyped widget breaks it without
// a compile error. %1 stands for each pedal, %2 for each curve point.
const char* const Widgets[][3] = {
    {"QWidget", "settings", "EmptyPage WheelBasePage PedalsPage"},
    {"QWidget", "tabWidget", "PageFfb PageFilters EndStops PageEncoder PageDebug"},
    {"QWidget", "tabPedalsWidgetPage", "Profiles Debug"},
    {"QStackedWidget", "", "settingsStackedWidget"},
    {"QTabWidget", "", "tabWidget tabPedalsWidget"},
    {"QComboBox", "comboBox_",
     "UsbDevice ProfileName DampingEffect FrictionEffect InertiaEffect SpringEffect GenSmooth "
     "SlewRate EncoderType"},
    {"QPushButton", "pushButton_",
     "LoadConfig SaveConfig SetDefaultConfig UpdateFirmware EnterExitBootloader AddProfile "
     "RemoveProfile SaveProfileToFile LoadProfileFromFile CenterRim LoggingWheelBase "
     "LoggingPedals %1ToDefault"},
    {"QPushButton", "", "pushButtonGamesCompatibilityKey"},
    {"QPushButton", "pedalsCalibration", "PrevStepButton Button NextStepButton"},
    {"QCheckBox", "checkBox_", "SoftEndStop outputModulo"},
    {"QSpinBox", "spinBox_", "RotationDegree SoftEndStop EncoderRes outputModulo"},
    {"QDoubleSpinBox", "spinBox_%1", "MaxForceAdjustment MinForceAdjustment"},
    {"QProgressBar", "pedal", "Clutch Brake Throttle"},
    {"QSlider", "horiSlider_", "Force Damping Friction Inertia Spring GenSmooth"},
    {"QSlider", "horizontalSlider_",
     "StaticForceReduction NonLinearity EndStopMaxForce EndStopStiffness"},
    {"QSlider", "slider_%1_", "%2"},
    {"QGroupBox", "", "groupBox"},
    {"QGroupBox", "groupBox_", "2 3 4 5 7 8 9 10 11 12 13 14 15 17 18 25"},
    {"QLabel", "label_",
     "2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 26 27 28 30 32 38 39 40 41 42 43 44 45 "
     "46 47 48 49 50 63 64 69 70 71 72 73 74 75 76 77 100 Rim_Image JoystickValue CenterOffset "
     "CenterOffsetDeg RotationDegrees Force Damping Friction Inertia Spring GenSmooth "
     "StaticForceReduction NonLinearity EndStopMaxForce EndStopStiffness"},
    {"QLabel", "label",
     "Clutch ClutchValue Brake BrakeValue Throttle ThrottleValue GamesCompatibilityKey TicksDebug "
     "ClutchDebug BrakeDebug ThrottleDebug XRawDebug YRawDebug ZRawDebug XConnected YConnected "
     "ZConnected"},
    {"QLabel", "label_debug",
     "Ticks MotorState EncoderState BisscRaw CurrentFaults ClearedFaults MotorAngle EncoderRaw "
     "FfbIn FfbOut MaxMotorCurrent PsuCurrent MotorCurrent PsuTemperature MotorTemperature "
     "BrakeTemperature PowerstageTemperature"},
    {"QLabel", "", "label pedalsCalibrationTipsLabel"},
    {"QLabel", "slider_%1Value_", "%2"},
};

// The names a pattern stands for, one per pedal and curve point it mentions.
QStringList expand(const QString& pattern)
{
    QStringList names;
    for (const char* pedal : {"throttle", "brake", "clutch"})
        for (int point = 0; point < 6; ++point)
            names << QString(pattern).replace("%1", pedal).replace("%2", QString::number(point));
    names.removeDuplicates();
    return names;
}

} // namespace

class TestWindowForm : public QObject
{
    Q_OBJECT

    QMainWindow window;
    Ui::ORV_wheel_tool ui;

private slots:
    void initTestCase()
    {
        initWindowResources();
        ui.setupUi(&window);
    }

    void mainWindow()
    {
        QCOMPARE(window.windowTitle(), QString("ORV Torvane Pro - Config Tool"));
        QCOMPARE(window.size(), QSize(757, 676));
        QVERIFY(!window.findChild<QMenuBar*>() && !window.findChild<QToolBar*>() &&
                !window.findChild<QStatusBar*>());
    }

    // Exactly the names above, each once and of its class. Qt's own parts of
    // composite widgets ("qt_..." names, the tab bars' scroll buttons) aside.
    void everyWidgetByNameAndClass()
    {
        QMap<QString, QByteArray> expected;
        for (const auto& row : Widgets)
            for (const QString& rest : QString(row[2]).split(' '))
                for (const QString& name : expand(row[1] + rest))
                    expected.insert(name, row[0]);
        QStringList names;
        for (QWidget* w : ui.centralWidget->findChildren<QWidget*>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") ||
                qobject_cast<QTabBar*>(w->parentWidget()))
                continue;
            names << w->objectName();
            QVERIFY2(expected.value(names.last()) == w->metaObject()->className(),
                     qPrintable(names.last() + " is a " + w->metaObject()->className() +
                                ", expected: " + expected.value(names.last())));
        }
        names.sort();
        QCOMPARE(names, expected.keys());
    }

    // step: a slider's page step, a spin box's single step.
    void valueControls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("step");
        for (const char* percent :
             {"horiSlider_Force", "horiSlider_Damping", "horiSlider_Friction", "horiSlider_Inertia",
              "horiSlider_Spring", "horizontalSlider_EndStopMaxForce"})
            QTest::newRow(percent) << percent << 0.0 << 100.0 << 10.0;
        QTest::newRow("smoothing") << "horiSlider_GenSmooth" << 0.0 << 10.0 << 1.0;
        QTest::newRow("static force reduction")
            << "horizontalSlider_StaticForceReduction" << 0.0 << 70.0 << 10.0;
        QTest::newRow("non-linearity") << "horizontalSlider_NonLinearity" << 0.0 << 10.0 << 1.0;
        QTest::newRow("end stop stiffness")
            << "horizontalSlider_EndStopStiffness" << 1.0 << 5.0 << 1.0;
        QTest::newRow("rotation") << "spinBox_RotationDegree" << 180.0 << 9999.0 << 1.0;
        QTest::newRow("soft end stop") << "spinBox_SoftEndStop" << 360.0 << 9999.0 << 1.0;
        QTest::newRow("encoder resolution") << "spinBox_EncoderRes" << 0.0 << 999999999.0 << 1.0;
        for (const QString& curve : expand("slider_%1_%2"))
            QTest::newRow(qPrintable(curve)) << curve << 0.0 << 100.0 << 10.0;
        for (const QString& max : expand("spinBox_%1MaxForceAdjustment"))
            QTest::newRow(qPrintable(max)) << max << 1.0 << 100.0 << 0.1;
        for (const QString& min : expand("spinBox_%1MinForceAdjustment"))
            QTest::newRow(qPrintable(min)) << min << 0.0 << 100.0 << 0.1;
    }
    void valueControls()
    {
        QFETCH(QString, name);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, step);
        QWidget* w = ui.centralWidget->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->property("minimum").toDouble(), minimum);
        QCOMPARE(w->property("maximum").toDouble(), maximum);
        QCOMPARE(w->property(w->inherits("QSlider") ? "pageStep" : "singleStep").toDouble(), step);
        // The pedal force adjustments are percentages to a tenth.
        if (w->inherits("QDoubleSpinBox")) {
            QCOMPARE(w->property("suffix").toString(), QString("%"));
            QCOMPARE(w->property("decimals").toInt(), 1);
        }
    }

    // What the window relies on by position and shows verbatim: a combo's
    // item index is the value stored in the device's settings field, pages
    // are switched and the Encoder tab removed by index. entries are a
    // combo's items, a tab widget's tab texts, a stack's page names or a
    // button's text, joined by '|'; currentIndex -1 for a button.
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
        QTest::newRow("reload") << "pushButton_LoadConfig" << -1 << "Reload Settings";
        QTest::newRow("save") << "pushButton_SaveConfig" << -1 << "Save Settings";
        QTest::newRow("defaults") << "pushButton_SetDefaultConfig" << -1 << "Factory Defaults";
        QTest::newRow("firmware") << "pushButton_UpdateFirmware" << -1 << "Update Firmware";
        QTest::newRow("bootloader") << "pushButton_EnterExitBootloader" << -1 << "Enter Bootloader";
        QTest::newRow("add") << "pushButton_AddProfile" << -1 << "Add Profile";
        QTest::newRow("remove") << "pushButton_RemoveProfile" << -1 << "Remove Profile";
        QTest::newRow("save file")
            << "pushButton_SaveProfileToFile" << -1 << "Save Profile to File";
        QTest::newRow("load file")
            << "pushButton_LoadProfileFromFile" << -1 << "Load Profile from File";
    }
    void entries()
    {
        QFETCH(QString, name);
        QFETCH(int, currentIndex);
        QFETCH(QString, entries);
        QWidget* w = ui.centralWidget->findChild<QWidget*>(name);
        QStringList actual;
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                actual << combo->itemText(i);
        else if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                actual << tabs->tabText(i);
        else if (auto* stack = qobject_cast<QStackedWidget*>(w))
            for (int i = 0; i < stack->count(); ++i)
                actual << stack->widget(i)->objectName();
        else
            actual << w->property("text").toString();
        QCOMPARE(actual.join('|'), entries);
        if (currentIndex >= 0)
            QCOMPARE(w->property("currentIndex").toInt(), currentIndex);
    }

    void resources_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("rim") << ":/rim.png" << QSize(200, 200);
        QTest::newRow("reset") << ":/reset_button.png" << QSize(138, 138);
    }
    void resources()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        const QImage image(path);
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
    }
};

QTEST_MAIN(TestWindowForm)
#include "tst_windowform.moc"
