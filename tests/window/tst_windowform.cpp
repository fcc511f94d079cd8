#include "ui_ORV_wheel_tool.h"
#include "window/Resources.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTranslator>

#include <cmath>
#include <vector>

namespace {

const char* const Pedals[] = {"throttle", "brake", "clutch"};
const QStringList PointTexts = {"0%", "20%", "40%", "60%", "80%", "100%"};

// Per pedal group, in the order the Profile tab stacks them.
struct PedalGroup
{
    const char* pedal;
    const char* group;
    const char* title;
    const char* outputLabel;
    const char* inputLabel;
    QStringList bottomLabels;
    const char* forceGroup;
    const char* maxCaption;
    const char* minCaption;
};

const std::vector<PedalGroup>& pedalGroups()
{
    static const std::vector<PedalGroup> groups = {
        {"throttle",
         "groupBox",
         "Throttle",
         "label_63",
         "label_64",
         {"label_38", "label_40", "label_42", "label_44", "label_46", "label_48"},
         "groupBox_18",
         "label_27",
         "label_21"},
        {"brake",
         "groupBox_2",
         "Brake",
         "label_69",
         "label_70",
         {"label_39", "label_41", "label_43", "label_45", "label_47", "label_49"},
         "groupBox_4",
         "label_15",
         "label_16"},
        {"clutch",
         "groupBox_3",
         "Clutch",
         "label_71",
         "label_72",
         {"label_50", "label_73", "label_74", "label_75", "label_76", "label_77"},
         "groupBox_25",
         "label_17",
         "label_19"},
    };
    return groups;
}

struct DebugRow
{
    const char* caption;
    const char* captionText;
    const char* value;
    const char* placeholder;
};

const std::vector<DebugRow>& wheelDebugRows()
{
    static const std::vector<DebugRow> rows = {
        {"label_4", "Ticks:", "label_debugTicks", "123456789"},
        {"label_6", "Motor state:", "label_debugMotorState", "Motor"},
        {"label_7", "Encoder state:", "label_debugEncoderState", "Encoder"},
        {"label_8", "Biss-C raw:", "label_debugBisscRaw", "Encoder Errors 64 bits"},
        {"label_9", "Current faults:", "label_debugCurrentFaults", "Current Faults"},
        {"label_10", "Cleared faults:", "label_debugClearedFaults", "Cleared Faults"},
        {"label_11", "Motor angle:", "label_debugMotorAngle", "MotorAngle"},
        {"label_12", "Encoder raw:", "label_debugEncoderRaw", "Encoder Raw"},
        {"label_13", "FFB In:", "label_debugFfbIn", "FFB In"},
        {"label_14", "FFB Out:", "label_debugFfbOut", "FFB Out"},
        {"label_20", "Max motor current:", "label_debugMaxMotorCurrent", "MaxMotorCurrent"},
        {"label_26", "PSU current:", "label_debugPsuCurrent", "PsuCurrent"},
        {"label_100", "MotorCurrent:", "label_debugMotorCurrent", "MotorCurrent"},
        {"label_28", "PSU temperature:", "label_debugPsuTemperature", "PsuTemperature"},
        {"label_32", "Motor temperature:", "label_debugMotorTemperature", "MotorTemperature"},
        {"label_30", "Brake temperature:", "label_debugBrakeTemperature", "BrakeTemperature"},
        {"label_18", "Powerstage temperature:", "label_debugPowerstageTemperature",
         "PowerstageTemperature"},
    };
    return rows;
}

const QStringList PedalsDebugLabels = {"labelTicksDebug",    "labelClutchDebug", "labelBrakeDebug",
                                       "labelThrottleDebug", "labelXRawDebug",   "labelYRawDebug",
                                       "labelZRawDebug",     "labelXConnected",  "labelYConnected",
                                       "labelZConnected"};
const QStringList PedalsDebugTexts = {"Ticks",       "Clutch",     "Brake", "Throttle",
                                      "X raw",       "Y raw",      "Z raw", "X connected",
                                      "Y connected", "Z connected"};

// Every named widget of the form with its class and, for labels, buttons and
// group boxes, its text or title.
struct Named
{
    Named(QString name, QByteArray className) : name(name), className(className) {}
    Named(QString name, QByteArray className, QString text)
        : name(name), className(className), hasText(true), text(text)
    {}
    QString name;
    QByteArray className;
    bool hasText = false;
    QString text;
};

std::vector<Named> namedWidgets()
{
    std::vector<Named> all = {
        {"comboBox_UsbDevice", "QComboBox"},
        {"pushButton_LoadConfig", "QPushButton", "Reload Settings"},
        {"pushButton_SaveConfig", "QPushButton", "Save Settings"},
        {"pushButton_SetDefaultConfig", "QPushButton", "Factory Defaults"},
        {"pushButton_UpdateFirmware", "QPushButton", "Update Firmware"},
        {"pushButton_EnterExitBootloader", "QPushButton", "Enter Bootloader"},
        {"comboBox_ProfileName", "QComboBox"},
        {"pushButton_AddProfile", "QPushButton", "Add Profile"},
        {"pushButton_RemoveProfile", "QPushButton", "Remove Profile"},
        {"pushButton_SaveProfileToFile", "QPushButton", "Save Profile to File"},
        {"pushButton_LoadProfileFromFile", "QPushButton", "Load Profile from File"},
        {"settingsStackedWidget", "QStackedWidget"},
        {"settingsEmptyPage", "QWidget"},
        {"settingsWheelBasePage", "QWidget"},
        {"settingsPedalsPage", "QWidget"},
        // Wheel base page, left column.
        {"label_Rim_Image", "QLabel", ""},
        {"label_JoystickValue", "QLabel", ""},
        {"label_CenterOffset", "QLabel", "Center offset"},
        {"label_CenterOffsetDeg", "QLabel", "0.00 deg"},
        {"pushButton_CenterRim", "QPushButton", "Center"},
        {"label_RotationDegrees", "QLabel", "Rotation Degrees"},
        {"spinBox_RotationDegree", "QSpinBox"},
        {"label_2", "QLabel", "Max Force"},
        {"horiSlider_Force", "QSlider"},
        {"label_Force", "QLabel", "100%"},
        {"labelGamesCompatibilityKey", "QLabel", "Games compatibility registry key NOT present"},
        {"pushButtonGamesCompatibilityKey", "QPushButton", "Install"},
        // Wheel base tabs.
        {"tabWidget", "QTabWidget"},
        {"tabWidgetPageFfb", "QWidget"},
        {"groupBox_11", "QGroupBox", "Damping"},
        {"horiSlider_Damping", "QSlider"},
        {"label_Damping", "QLabel", "100%"},
        {"comboBox_DampingEffect", "QComboBox"},
        {"groupBox_12", "QGroupBox", "Friction"},
        {"horiSlider_Friction", "QSlider"},
        {"label_Friction", "QLabel", "100%"},
        {"comboBox_FrictionEffect", "QComboBox"},
        {"groupBox_13", "QGroupBox", "Inertia"},
        {"horiSlider_Inertia", "QSlider"},
        {"label_Inertia", "QLabel", "100%"},
        {"comboBox_InertiaEffect", "QComboBox"},
        {"groupBox_14", "QGroupBox", "Spring"},
        {"horiSlider_Spring", "QSlider"},
        {"label_Spring", "QLabel", "100%"},
        {"comboBox_SpringEffect", "QComboBox"},
        {"tabWidgetPageFilters", "QWidget"},
        {"groupBox_7", "QGroupBox", "Smoothing"},
        {"horiSlider_GenSmooth", "QSlider"},
        {"label_GenSmooth", "QLabel", "100%"},
        {"comboBox_GenSmooth", "QComboBox"},
        {"groupBox_8", "QGroupBox", "Static force reduction"},
        {"horizontalSlider_StaticForceReduction", "QSlider"},
        {"label_StaticForceReduction", "QLabel", "70%"},
        {"groupBox_9", "QGroupBox", "Non-linearity"},
        {"horizontalSlider_NonLinearity", "QSlider"},
        {"label_NonLinearity", "QLabel", "10"},
        {"groupBox_10", "QGroupBox", "Slew Rate"},
        {"comboBox_SlewRate", "QComboBox"},
        {"tabWidgetEndStops", "QWidget"},
        {"groupBox_15", "QGroupBox", "End Stop Max Force"},
        {"horizontalSlider_EndStopMaxForce", "QSlider"},
        {"label_EndStopMaxForce", "QLabel", "100%"},
        {"groupBox_5", "QGroupBox", "End Stop Stiffness"},
        {"horizontalSlider_EndStopStiffness", "QSlider"},
        {"label_EndStopStiffness", "QLabel", "5"},
        {"groupBox_17", "QGroupBox", "Soft End Stop"},
        {"label_3", "QLabel", "Degrees"},
        {"spinBox_SoftEndStop", "QSpinBox"},
        {"checkBox_SoftEndStop", "QCheckBox", "Enable"},
        {"tabWidgetPageEncoder", "QWidget"},
        {"label", "QLabel", "Encoder type"},
        {"comboBox_EncoderType", "QComboBox"},
        {"label_5", "QLabel", "Encoder resolution"},
        {"spinBox_EncoderRes", "QSpinBox"},
        {"tabWidgetPageDebug", "QWidget"},
        {"checkBox_outputModulo", "QCheckBox", "output modulo"},
        {"spinBox_outputModulo", "QSpinBox"},
        {"pushButton_LoggingWheelBase", "QPushButton", "Start Logging"},
        // Pedals page, left column.
        {"labelClutch", "QLabel", "Clutch"},
        {"pedalClutch", "QProgressBar"},
        {"labelClutchValue", "QLabel", "10.0%"},
        {"labelBrake", "QLabel", "Brake"},
        {"pedalBrake", "QProgressBar"},
        {"labelBrakeValue", "QLabel", "11.0%"},
        {"labelThrottle", "QLabel", "Throttle"},
        {"pedalThrottle", "QProgressBar"},
        {"labelThrottleValue", "QLabel", "12.0%"},
        {"pedalsCalibrationTipsLabel", "QLabel", "Calibration tips"},
        {"pedalsCalibrationPrevStepButton", "QPushButton", "Prev Step"},
        {"pedalsCalibrationButton", "QPushButton", "Start calibration"},
        {"pedalsCalibrationNextStepButton", "QPushButton", "Next Step"},
        // Pedals tabs.
        {"tabPedalsWidget", "QTabWidget"},
        {"tabPedalsWidgetPageProfiles", "QWidget"},
        {"tabPedalsWidgetPageDebug", "QWidget"},
        {"pushButton_LoggingPedals", "QPushButton", "Start Logging"},
    };
    for (const DebugRow& row : wheelDebugRows()) {
        all.push_back({row.caption, "QLabel", row.captionText});
        all.push_back({row.value, "QLabel", row.placeholder});
    }
    for (int i = 0; i < PedalsDebugLabels.size(); ++i)
        all.push_back({PedalsDebugLabels[i], "QLabel", PedalsDebugTexts[i]});
    for (const PedalGroup& g : pedalGroups()) {
        const QString pedal = g.pedal;
        all.push_back({g.group, "QGroupBox", g.title});
        all.push_back({g.outputLabel, "QLabel", "output"});
        all.push_back({"pushButton_" + pedal + "ToDefault", "QPushButton", ""});
        all.push_back({g.inputLabel, "QLabel", "input"});
        for (int i = 0; i < 6; ++i) {
            all.push_back(
                {"slider_" + pedal + "Value_" + QString::number(i), "QLabel", PointTexts[i]});
            all.push_back({"slider_" + pedal + "_" + QString::number(i), "QSlider"});
            all.push_back({g.bottomLabels[i], "QLabel", PointTexts[i]});
        }
        all.push_back({g.forceGroup, "QGroupBox", "Force Adj."});
        all.push_back({g.maxCaption, "QLabel", "Max Force"});
        all.push_back({"spinBox_" + pedal + "MaxForceAdjustment", "QDoubleSpinBox"});
        all.push_back({g.minCaption, "QLabel", "Min Force"});
        all.push_back({"spinBox_" + pedal + "MinForceAdjustment", "QDoubleSpinBox"});
    }
    return all;
}

QString textOf(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    return QString();
}

// The layout tree as text: h(...) and v(...) for box layouts, widgets by object
// name, expanding spacers as -WxH- (horizontal) or |WxH| (vertical).
QString describe(QLayout* layout)
{
    QStringList parts;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* widget = item->widget()) {
            parts << widget->objectName();
        } else if (QLayout* inner = item->layout()) {
            parts << describe(inner);
        } else if (QSpacerItem* spacer = item->spacerItem()) {
            const QSize hint = spacer->sizeHint();
            const QString size = QString("%1x%2").arg(hint.width()).arg(hint.height());
            if (spacer->expandingDirections() == Qt::Horizontal)
                parts << "-" + size + "-";
            else if (spacer->expandingDirections() == Qt::Vertical)
                parts << "|" + size + "|";
            else
                parts << "?" + size + "?";
        }
    }
    const char* kind = qobject_cast<QHBoxLayout*>(layout)   ? "h"
                       : qobject_cast<QVBoxLayout*>(layout) ? "v"
                                                            : "?";
    return kind + QString("(") + parts.join(' ') + ")";
}

// The layout that holds widget directly, searched from its parent's layout.
QLayout* holderOf(QLayout* layout, QWidget* widget)
{
    if (layout->indexOf(widget) >= 0)
        return layout;
    for (int i = 0; i < layout->count(); ++i)
        if (QLayout* inner = layout->itemAt(i)->layout())
            if (QLayout* found = holderOf(inner, widget))
                return found;
    return nullptr;
}

QLayout* holderOf(QWidget* widget)
{
    return widget->parentWidget() && widget->parentWidget()->layout()
               ? holderOf(widget->parentWidget()->layout(), widget)
               : nullptr;
}

QLayout* parentLayoutOf(QLayout* root, QLayout* child)
{
    for (int i = 0; i < root->count(); ++i) {
        QLayout* inner = root->itemAt(i)->layout();
        if (!inner)
            continue;
        if (inner == child)
            return root;
        if (QLayout* found = parentLayoutOf(inner, child))
            return found;
    }
    return nullptr;
}

// Widgets Qt makes inside its own composite widgets: "qt_..." names, and the
// tab bars' unprefixed scroll buttons.
bool isQtInternal(const QWidget* widget)
{
    return widget->objectName().isEmpty() || widget->objectName().startsWith("qt_") ||
           qobject_cast<const QTabBar*>(widget->parentWidget());
}

QPixmap pixmapOf(const QLabel* label)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return label->pixmap();
#else
    return label->pixmap(Qt::ReturnByValue);
#endif
}

// Marks every text asked for under the form's context, so a test can tell
// which texts went through translation and with which context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "ORV_wheel_tool") != 0 || !sourceText || !*sourceText)
            return QString();
        return QStringLiteral("~") + QString::fromUtf8(sourceText);
    }
    bool isEmpty() const override { return false; }
};

} // namespace

// A window with slots named the way the real window binds its widgets.
class SlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    int centerClicks = 0;
    int smoothingChanges = 0;
    int forceChanges = 0;
    int stackChanges = 0;

private slots:
    void on_pushButton_CenterRim_clicked() { ++centerClicks; }
    void on_comboBox_GenSmooth_currentIndexChanged(int) { ++smoothingChanges; }
    void on_horiSlider_Force_valueChanged(int) { ++forceChanges; }
    void on_settingsStackedWidget_currentChanged(int) { ++stackChanges; }
};

class TestWindowForm : public QObject
{
    Q_OBJECT

    QMainWindow window;
    Ui::ORV_wheel_tool ui;

    template <typename T = QWidget> T* find(const QString& name)
    {
        return ui.centralWidget->findChild<T*>(name);
    }

private slots:
    void initTestCase()
    {
        initWindowResources();
        ui.setupUi(&window);
    }

    void mainWindow()
    {
        QCOMPARE(window.objectName(), QString("ORV_wheel_tool"));
        QCOMPARE(window.windowTitle(), QString("ORV Torvane Pro - Config Tool"));
        QCOMPARE(window.size(), QSize(757, 676));
        QCOMPARE(window.centralWidget(), ui.centralWidget);
        QCOMPARE(ui.centralWidget->objectName(), QString("centralWidget"));
        QVERIFY(!window.menuWidget());
        QVERIFY(window.findChildren<QMenuBar*>().isEmpty());
        QVERIFY(window.findChildren<QToolBar*>().isEmpty());
        QVERIFY(window.findChildren<QStatusBar*>().isEmpty());
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("className");
        QTest::addColumn<bool>("hasText");
        QTest::addColumn<QString>("text");
        for (const Named& w : namedWidgets())
            QTest::newRow(qPrintable(w.name)) << w.name << w.className << w.hasText << w.text;
    }
    void widgets()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, className);
        QFETCH(bool, hasText);
        QFETCH(QString, text);
        const QList<QWidget*> matches = window.findChildren<QWidget*>(name);
        QCOMPARE(matches.size(), 1);
        QCOMPARE(QByteArray(matches.first()->metaObject()->className()), className);
        if (hasText)
            QCOMPARE(textOf(matches.first()), text);
    }

    // Nothing more than the list above: no stray or misspelt widget.
    void noOtherNamedWidgets()
    {
        QSet<QString> expected;
        for (const Named& w : namedWidgets())
            expected.insert(w.name);
        QSet<QString> actual;
        for (QWidget* widget : ui.centralWidget->findChildren<QWidget*>())
            if (!isQtInternal(widget))
                actual.insert(widget->objectName());
        QStringList missing = (expected - actual).values();
        QStringList extra = (actual - expected).values();
        missing.sort();
        extra.sort();
        QVERIFY2(missing.isEmpty() && extra.isEmpty(),
                 qPrintable("missing: " + missing.join(' ') + "; extra: " + extra.join(' ')));
        QCOMPARE(actual.size(), int(namedWidgets().size())); // no duplicates in the table
    }

    void structure_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("tree");

        QTest::newRow("central") << "centralWidget"
                                 << "v(comboBox_UsbDevice"
                                    " h(pushButton_LoadConfig pushButton_SaveConfig"
                                    " pushButton_SetDefaultConfig pushButton_UpdateFirmware"
                                    " pushButton_EnterExitBootloader)"
                                    " h(comboBox_ProfileName pushButton_AddProfile"
                                    " pushButton_RemoveProfile pushButton_SaveProfileToFile"
                                    " pushButton_LoadProfileFromFile)"
                                    " settingsStackedWidget)";
        QTest::newRow("wheel base page")
            << "settingsWheelBasePage"
            << "h(v(label_Rim_Image label_JoystickValue"
               " h(label_CenterOffset -5x20- label_CenterOffsetDeg -5x20- pushButton_CenterRim)"
               " h(label_RotationDegrees spinBox_RotationDegree)"
               " h(label_2 horiSlider_Force label_Force)"
               " h(labelGamesCompatibilityKey pushButtonGamesCompatibilityKey)"
               " |20x40|) tabWidget)";
        QTest::newRow("FFB") << "tabWidgetPageFfb"
                             << "v(groupBox_11 groupBox_12 groupBox_13 groupBox_14 |20x40|)";
        const char* ffb[][4] = {{"groupBox_11", "Damping"},
                                {"groupBox_12", "Friction"},
                                {"groupBox_13", "Inertia"},
                                {"groupBox_14", "Spring"}};
        for (auto& group : ffb) {
            const QString effect = group[1];
            QTest::newRow(group[0])
                << group[0]
                << QString("v(h(horiSlider_%1 label_%1) h(comboBox_%1Effect))").arg(effect);
        }
        QTest::newRow("Filters") << "tabWidgetPageFilters"
                                 << "v(groupBox_7 groupBox_8 groupBox_9 groupBox_10 |20x40|)";
        QTest::newRow("smoothing")
            << "groupBox_7"
            << "v(h(horiSlider_GenSmooth label_GenSmooth) h(comboBox_GenSmooth))";
        QTest::newRow("static force")
            << "groupBox_8"
            << "h(horizontalSlider_StaticForceReduction label_StaticForceReduction)";
        QTest::newRow("non-linearity") << "groupBox_9"
                                       << "h(horizontalSlider_NonLinearity label_NonLinearity)";
        QTest::newRow("slew rate") << "groupBox_10"
                                   << "h(comboBox_SlewRate)";
        QTest::newRow("End stops") << "tabWidgetEndStops"
                                   << "v(groupBox_15 groupBox_5 groupBox_17 |20x40|)";
        QTest::newRow("end stop force")
            << "groupBox_15"
            << "h(horizontalSlider_EndStopMaxForce label_EndStopMaxForce)";
        QTest::newRow("end stop stiffness")
            << "groupBox_5"
            << "h(horizontalSlider_EndStopStiffness label_EndStopStiffness)";
        QTest::newRow("soft end stop")
            << "groupBox_17"
            << "v(h(label_3 spinBox_SoftEndStop) h(checkBox_SoftEndStop))";
        QTest::newRow("Encoder") << "tabWidgetPageEncoder"
                                 << "v(h(label comboBox_EncoderType)"
                                    " h(label_5 spinBox_EncoderRes) |20x40|)";
        QStringList debug;
        for (const DebugRow& row : wheelDebugRows())
            debug << QString("h(%1 %2)").arg(row.caption, row.value);
        QTest::newRow("wheel base Debug")
            << "tabWidgetPageDebug"
            << "v(" + debug.join(' ') +
                   " |20x40| h(checkBox_outputModulo spinBox_outputModulo)"
                   " pushButton_LoggingWheelBase)";

        QTest::newRow("pedals page") << "settingsPedalsPage"
                                     << "h(v(h(v(labelClutch pedalClutch labelClutchValue)"
                                        " v(labelBrake pedalBrake labelBrakeValue)"
                                        " v(labelThrottle pedalThrottle labelThrottleValue))"
                                        " pedalsCalibrationTipsLabel"
                                        " h(pedalsCalibrationPrevStepButton pedalsCalibrationButton"
                                        " pedalsCalibrationNextStepButton)"
                                        " -40x20- |20x40|) tabPedalsWidget)";
        QTest::newRow("Profile") << "tabPedalsWidgetPageProfiles"
                                 << "v(groupBox groupBox_2 groupBox_3)";
        for (const PedalGroup& g : pedalGroups()) {
            QStringList columns;
            for (int i = 0; i < 6; ++i)
                columns << QString("v(slider_%1Value_%2 slider_%1_%2 %3)")
                               .arg(g.pedal)
                               .arg(i)
                               .arg(g.bottomLabels[i]);
            QTest::newRow(g.group)
                << g.group
                << QString("h(v(%1 |20x40| pushButton_%2ToDefault |20x40| %3)"
                           " h(%4) %5)")
                       .arg(g.outputLabel, g.pedal, g.inputLabel, columns.join(' '), g.forceGroup);
            QTest::newRow(g.forceGroup)
                << g.forceGroup
                << QString("v(%1 spinBox_%2MaxForceAdjustment %3 spinBox_%2MinForceAdjustment"
                           " |20x40|)")
                       .arg(g.maxCaption, g.pedal, g.minCaption);
        }
        QTest::newRow("pedals Debug")
            << "tabPedalsWidgetPageDebug"
            << "v(" + PedalsDebugLabels.join(' ') + " |20x40| pushButton_LoggingPedals)";
    }
    void structure()
    {
        QFETCH(QString, owner);
        QFETCH(QString, tree);
        QWidget* widget = owner == "centralWidget" ? ui.centralWidget : find(owner);
        QVERIFY(widget);
        QVERIFY(widget->layout());
        QCOMPARE(describe(widget->layout()), tree);
    }

    // Spacing and margins. levelsUp 0 is the
    // anchor's own layout, 1 the layout holding the anchor, 2 the one above.
    void layoutGeometry_data()
    {
        QTest::addColumn<QString>("anchor");
        QTest::addColumn<int>("levelsUp");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<QString>("margins"); // left,top,right,bottom
        QTest::addColumn<int>("constraint");

        const QString top = "11,11,11,11";
        const QString none = "0,0,0,0";
        const int deflt = QLayout::SetDefaultConstraint;
        QTest::newRow("central") << "centralWidget" << 0 << 6 << top << deflt;
        QTest::newRow("top buttons") << "pushButton_LoadConfig" << 1 << 6 << none << deflt;
        QTest::newRow("wheel base page")
            << "settingsWheelBasePage" << 0 << 6 << QString("1,1,1,1") << deflt;
        QTest::newRow("wheel base column")
            << "label_Rim_Image" << 1 << 6 << none << int(QLayout::SetMinimumSize);
        QTest::newRow("FFB tab") << "tabWidgetPageFfb" << 0 << 6 << top << deflt;
        QTest::newRow("damping group") << "groupBox_11" << 0 << 6 << top << deflt;
        QTest::newRow("debug row") << "label_debugTicks" << 1 << 6 << none << deflt;
        QTest::newRow("pedals page")
            << "settingsPedalsPage" << 0 << 6 << QString("1,1,1,1") << deflt;
        QTest::newRow("pedals column")
            << "pedalsCalibrationTipsLabel" << 1 << 6 << none << int(QLayout::SetMinimumSize);
        QTest::newRow("Profile tab") << "tabPedalsWidgetPageProfiles" << 0 << 6 << top << deflt;
        for (const PedalGroup& g : pedalGroups()) {
            const QString pedal = g.pedal;
            QTest::newRow(g.group) << g.group << 0 << 2 << QString("5,0,5,2") << deflt;
            QTest::newRow(qPrintable(pedal + " axis column"))
                << g.outputLabel << 1 << 6 << QString("0,0,4,0") << deflt;
            QTest::newRow(qPrintable(pedal + " curve columns"))
                << "slider_" + pedal + "_0" << 2 << 0 << none << deflt;
            QTest::newRow(g.forceGroup) << g.forceGroup << 0 << 6 << QString("5,0,5,5") << deflt;
        }
    }
    void layoutGeometry()
    {
        QFETCH(QString, anchor);
        QFETCH(int, levelsUp);
        QFETCH(int, spacing);
        QFETCH(QString, margins);
        QFETCH(int, constraint);
        QWidget* widget = anchor == "centralWidget" ? ui.centralWidget : find(anchor);
        QVERIFY(widget);
        QLayout* layout = levelsUp == 0 ? widget->layout() : holderOf(widget);
        for (int up = 1; layout && up < levelsUp; ++up)
            layout = parentLayoutOf(widget->parentWidget()->layout(), layout);
        QVERIFY(layout);
        QCOMPARE(layout->spacing(), spacing);
        const QMargins m = layout->contentsMargins();
        QCOMPARE(QString("%1,%2,%3,%4").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom()),
                 margins);
        QCOMPARE(int(layout->sizeConstraint()), constraint);
    }

    // The stretch factor of an item within its row.
    void stretch_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("stretch");
        QTest::newRow("games key label") << "labelGamesCompatibilityKey" << 1;
        QTest::newRow("games key button") << "pushButtonGamesCompatibilityKey" << 0;
        for (const DebugRow& row : wheelDebugRows()) {
            QTest::newRow(row.caption) << row.caption << 0;
            QTest::newRow(row.value) << row.value << 1;
        }
    }
    void stretch()
    {
        QFETCH(QString, name);
        QFETCH(int, stretch);
        QWidget* widget = find(name);
        auto* row = qobject_cast<QBoxLayout*>(holderOf(widget));
        QVERIFY(row);
        QCOMPARE(row->stretch(row->indexOf(widget)), stretch);
    }

    void pagesAndTabs_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("tabTexts");
        QTest::addColumn<int>("currentIndex");
        QTest::newRow("settings") << "settingsStackedWidget"
                                  << QStringList{"settingsEmptyPage", "settingsWheelBasePage",
                                                 "settingsPedalsPage"}
                                  << QStringList() << 1;
        QTest::newRow("wheel base tabs")
            << "tabWidget"
            << QStringList{"tabWidgetPageFfb", "tabWidgetPageFilters", "tabWidgetEndStops",
                           "tabWidgetPageEncoder", "tabWidgetPageDebug"}
            << QStringList{"FFB", "Filters", "End stops", "Encoder", "Debug"} << 2;
        QTest::newRow("pedals tabs")
            << "tabPedalsWidget"
            << QStringList{"tabPedalsWidgetPageProfiles", "tabPedalsWidgetPageDebug"}
            << QStringList{"Profile", "Debug"} << 1;
    }
    void pagesAndTabs()
    {
        QFETCH(QString, container);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, tabTexts);
        QFETCH(int, currentIndex);
        QStringList names, texts;
        if (auto* stack = find<QStackedWidget>(container)) {
            for (int i = 0; i < stack->count(); ++i)
                names << stack->widget(i)->objectName();
            QCOMPARE(stack->currentIndex(), currentIndex);
        } else {
            auto* tabs = find<QTabWidget>(container);
            QVERIFY(tabs);
            for (int i = 0; i < tabs->count(); ++i) {
                names << tabs->widget(i)->objectName();
                texts << tabs->tabText(i);
                QVERIFY2(tabs->widget(i)->autoFillBackground(), qPrintable(names.last()));
            }
            QCOMPARE(tabs->currentIndex(), currentIndex);
        }
        QCOMPARE(names, pages);
        QCOMPARE(texts, tabTexts);
    }

    void tabWidgetLook()
    {
        QCOMPARE(ui.tabWidget->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(ui.tabWidget->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
        QVERIFY(ui.tabWidget->autoFillBackground());
        QCOMPARE(ui.tabPedalsWidget->contextMenuPolicy(), Qt::DefaultContextMenu);
        QVERIFY(!ui.tabPedalsWidget->autoFillBackground());
        QVERIFY(ui.settingsEmptyPage->children().isEmpty());
    }

    void sliders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("pageStep");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("orientation");
        const int h = Qt::Horizontal;
        QTest::newRow("force") << "horiSlider_Force" << 0 << 100 << 10 << 0 << h;
        for (const char* effect : {"Damping", "Friction", "Inertia", "Spring"})
            QTest::newRow(effect) << QString("horiSlider_") + effect << 0 << 100 << 10 << 0 << h;
        QTest::newRow("smoothing") << "horiSlider_GenSmooth" << 0 << 10 << 1 << 0 << h;
        QTest::newRow("static force reduction")
            << "horizontalSlider_StaticForceReduction" << 0 << 70 << 10 << 0 << h;
        QTest::newRow("non-linearity") << "horizontalSlider_NonLinearity" << 0 << 10 << 1 << 0 << h;
        QTest::newRow("end stop force")
            << "horizontalSlider_EndStopMaxForce" << 0 << 100 << 10 << 0 << h;
        QTest::newRow("end stop stiffness")
            << "horizontalSlider_EndStopStiffness" << 1 << 5 << 1 << 1 << h;
        for (const char* pedal : Pedals)
            for (int i = 0; i < 6; ++i) {
                const QString name = QString("slider_%1_%2").arg(pedal).arg(i);
                QTest::newRow(qPrintable(name))
                    << name << 0 << 100 << 10 << 20 * i << int(Qt::Vertical);
            }
    }
    void sliders()
    {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, pageStep);
        QFETCH(int, value);
        QFETCH(int, orientation);
        auto* slider = find<QSlider>(name);
        QVERIFY(slider);
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), maximum);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->pageStep(), pageStep);
        QCOMPARE(slider->value(), value);
        QCOMPARE(int(slider->orientation()), orientation);
    }

    void spinBoxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("rotation") << "spinBox_RotationDegree" << 180 << 9999 << 180 << true;
        QTest::newRow("soft end stop") << "spinBox_SoftEndStop" << 360 << 9999 << 360 << true;
        QTest::newRow("encoder resolution") << "spinBox_EncoderRes" << 0 << 999999999 << 0 << true;
        QTest::newRow("output modulo") << "spinBox_outputModulo" << 1 << 1000000000 << 1 << false;
    }
    void spinBoxes()
    {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(bool, enabled);
        auto* spin = find<QSpinBox>(name);
        QVERIFY(spin);
        QCOMPARE(spin->minimum(), minimum);
        QCOMPARE(spin->maximum(), maximum);
        QCOMPARE(spin->singleStep(), 1);
        QCOMPARE(spin->value(), value);
        QCOMPARE(spin->isEnabled(), enabled);
        QCOMPARE(spin->suffix(), QString());
    }

    void forceAdjustments_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("minimum");
        for (const char* pedal : Pedals) {
            const QString max = QString("spinBox_%1MaxForceAdjustment").arg(pedal);
            const QString min = QString("spinBox_%1MinForceAdjustment").arg(pedal);
            QTest::newRow(qPrintable(max)) << max << 1.0;
            QTest::newRow(qPrintable(min)) << min << 0.0;
        }
    }
    void forceAdjustments()
    {
        QFETCH(QString, name);
        QFETCH(double, minimum);
        auto* spin = find<QDoubleSpinBox>(name);
        QVERIFY(spin);
        QCOMPARE(spin->decimals(), 1);
        QCOMPARE(spin->singleStep(), 0.1);
        QCOMPARE(spin->suffix(), QString("%"));
        QCOMPARE(spin->minimum(), minimum);
        QCOMPARE(spin->maximum(), 100.0);
    }

    void pedalBars_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("clutch") << "pedalClutch";
        QTest::newRow("brake") << "pedalBrake";
        QTest::newRow("throttle") << "pedalThrottle";
    }
    void pedalBars()
    {
        QFETCH(QString, name);
        auto* bar = find<QProgressBar>(name);
        QVERIFY(bar);
        QCOMPARE(bar->orientation(), Qt::Vertical);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 65535);
        QCOMPARE(bar->value(), 16000);
        QCOMPARE(bar->minimumHeight(), 160);
        QCOMPARE(bar->alignment(), Qt::Alignment(Qt::AlignCenter));
        QVERIFY(bar->isTextVisible());
    }

    // The item index is the value stored in the device's settings field, so
    // the order of every list matters as much as its texts.
    void comboLists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("currentIndex");
        QTest::addColumn<int>("maxVisibleItems");
        const QStringList effects = {"Device Effect Only", "Game Effect Only",
                                     "Device and Game Effects"};
        for (const char* effect : {"Damping", "Friction", "Inertia", "Spring"})
            QTest::newRow(effect) << QString("comboBox_%1Effect").arg(effect) << effects << 0 << 10;
        QTest::newRow("smoothing")
            << "comboBox_GenSmooth"
            << QStringList{"None",     "Legacy 1",     "Legacy 2",     "Legacy 3",
                           "Legacy 4", "Responsive 1", "Responsive 2", "Optimal",
                           "Soft 1",   "Soft 2",       "Soft 3"}
            << 7 << 11;
        QTest::newRow("slew rate")
            << "comboBox_SlewRate" << QStringList{"Perfomance", "Balanced", "Quiet"} << 0 << 10;
        QTest::newRow("encoder type")
            << "comboBox_EncoderType"
            << QStringList{"Incremental", "Incremental (Rev)", "BISS-C", "BISS-C (Rev)"} << 0 << 10;
        QTest::newRow("devices") << "comboBox_UsbDevice" << QStringList() << -1 << 10;
        QTest::newRow("profiles") << "comboBox_ProfileName" << QStringList() << -1 << 10;
    }
    void comboLists()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        QFETCH(int, currentIndex);
        QFETCH(int, maxVisibleItems);
        auto* combo = find<QComboBox>(name);
        QVERIFY(combo);
        QStringList actual;
        for (int i = 0; i < combo->count(); ++i)
            actual << combo->itemText(i);
        QCOMPARE(actual, items);
        QCOMPARE(combo->currentIndex(), currentIndex);
        QCOMPARE(combo->maxVisibleItems(), maxVisibleItems);
        QCOMPARE(combo->isEditable(), name == "comboBox_ProfileName");
        QVERIFY(combo->isEnabled());
    }

    // Typing a name renames the current profile instead of adding one, and
    // the list never grows past the wheel base's 100 profiles.
    void profileComboRenamesInPlace()
    {
        QMainWindow other;
        Ui::ORV_wheel_tool form;
        form.setupUi(&other);
        QComboBox* combo = form.comboBox_ProfileName;
        QVERIFY(combo->hasFrame());
        QCOMPARE(combo->maxCount(), 100);
        combo->addItems({"Default", "Drift"});
        combo->setCurrentIndex(1);
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "Rally");
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("Default"));
        QCOMPARE(combo->itemText(1), QString("Rally"));
        for (int i = 0; i < 120; ++i)
            combo->addItem(QString::number(i));
        QCOMPARE(combo->count(), 100);
    }

    void checkBoxes()
    {
        QVERIFY(!ui.checkBox_SoftEndStop->isChecked());
        QVERIFY(!ui.checkBox_outputModulo->isChecked());
        QVERIFY(ui.checkBox_outputModulo->isEnabled());
    }

    // explicit: the widget sets its own font rather than inheriting one.
    void fonts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("explicitFont");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("pointSize");
        const QStringList bold = {"pushButton_LoadConfig",
                                  "pushButton_SaveConfig",
                                  "pushButton_SetDefaultConfig",
                                  "pushButton_UpdateFirmware",
                                  "pushButton_EnterExitBootloader",
                                  "pushButton_AddProfile",
                                  "pushButton_RemoveProfile",
                                  "pushButton_SaveProfileToFile",
                                  "pushButton_LoadProfileFromFile",
                                  "label_CenterOffset",
                                  "pushButton_CenterRim",
                                  "label_RotationDegrees",
                                  "label_2",
                                  "labelGamesCompatibilityKey",
                                  "pushButtonGamesCompatibilityKey"};
        for (const QString& name : bold)
            QTest::newRow(qPrintable(name)) << name << true << true << -1;
        const QStringList regular = {"groupBox_11",   "groupBox_12",   "groupBox_13",
                                     "groupBox_14",   "label_Damping", "label_Friction",
                                     "label_Inertia", "label_Spring",  "groupBox_7",
                                     "groupBox_8",    "groupBox_9",    "groupBox_10"};
        for (const QString& name : regular)
            QTest::newRow(qPrintable(name)) << name << true << false << -1;
        QTest::newRow("calibration tips") << "pedalsCalibrationTipsLabel" << true << false << 8;
        // A few that keep the window's font.
        for (const char* name : {"comboBox_ProfileName", "label_CenterOffsetDeg", "label_Force",
                                 "pedalsCalibrationButton", "groupBox_15", "groupBox"})
            QTest::newRow(name) << name << false << false << -1;
    }
    void fonts()
    {
        QFETCH(QString, name);
        QFETCH(bool, explicitFont);
        QFETCH(bool, bold);
        QFETCH(int, pointSize);
        QWidget* widget = find(name);
        QVERIFY(widget);
        QCOMPARE(widget->testAttribute(Qt::WA_SetFont), explicitFont);
        QCOMPARE(widget->font().bold(), bold);
        QCOMPARE(int(widget->font().weight()), int(bold ? QFont::Bold : QFont::Normal));
        if (pointSize > 0)
            QCOMPARE(widget->font().pointSize(), pointSize);
    }

    void alignments_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("alignment");
        const int centre = Qt::AlignCenter;
        for (const char* name :
             {"label_Rim_Image", "label_JoystickValue", "label_Force", "label_Damping",
              "label_Friction", "label_Inertia", "label_Spring", "label_GenSmooth", "labelClutch",
              "labelClutchValue", "labelBrake", "labelBrakeValue", "labelThrottle",
              "labelThrottleValue", "pedalsCalibrationTipsLabel"})
            QTest::newRow(name) << name << centre;
        for (const PedalGroup& g : pedalGroups()) {
            const int axis = Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter;
            QTest::newRow(g.outputLabel) << g.outputLabel << axis;
            QTest::newRow(g.inputLabel) << g.inputLabel << axis;
            for (int i = 0; i < 6; ++i) {
                const QString value = QString("slider_%1Value_%2").arg(g.pedal).arg(i);
                QTest::newRow(qPrintable(value)) << value << centre;
                QTest::newRow(qPrintable(g.bottomLabels[i])) << g.bottomLabels[i] << centre;
            }
        }
    }
    void alignments()
    {
        QFETCH(QString, name);
        QFETCH(int, alignment);
        auto* label = find<QLabel>(name);
        QVERIFY(label);
        QCOMPARE(int(label->alignment()), alignment);
    }

    void sizes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("minimumSize");
        QTest::addColumn<QSize>("maximumSize");
        QTest::addColumn<int>("horizontalPolicy");
        QTest::addColumn<int>("verticalPolicy");
        const QSize unbounded(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        const int preferred = QSizePolicy::Preferred;
        QTest::newRow("rim") << "label_Rim_Image" << QSize(160, 160) << QSize(160, 160) << preferred
                             << preferred;
        QTest::newRow("rotation") << "spinBox_RotationDegree" << QSize(75, 0) << unbounded
                                  << int(QSizePolicy::Fixed) << int(QSizePolicy::Fixed);
        QTest::newRow("max force caption")
            << "label_2" << QSize(65, 0) << unbounded << preferred << preferred;
        QTest::newRow("max force value")
            << "label_Force" << QSize(0, 0) << unbounded << int(QSizePolicy::Fixed) << preferred;
        for (const char* pedal : Pedals)
            for (int i = 0; i < 6; ++i) {
                const QString name = QString("slider_%1Value_%2").arg(pedal).arg(i);
                QTest::newRow(qPrintable(name))
                    << name << QSize(29, 0) << unbounded << preferred << preferred;
            }
    }
    void sizes()
    {
        QFETCH(QString, name);
        QFETCH(QSize, minimumSize);
        QFETCH(QSize, maximumSize);
        QFETCH(int, horizontalPolicy);
        QFETCH(int, verticalPolicy);
        QWidget* widget = find(name);
        QVERIFY(widget);
        QCOMPARE(widget->minimumSize(), minimumSize);
        QCOMPARE(widget->maximumSize(), maximumSize);
        QCOMPARE(int(widget->sizePolicy().horizontalPolicy()), horizontalPolicy);
        QCOMPARE(int(widget->sizePolicy().verticalPolicy()), verticalPolicy);
    }

    // The form hides nothing itself (the window decides what to hide, such
    // as Update Firmware); only the pages not on show are hidden.
    void nothingHiddenButInactivePages()
    {
        for (QWidget* widget : ui.centralWidget->findChildren<QWidget*>()) {
            if (isQtInternal(widget) || qobject_cast<QStackedWidget*>(widget->parentWidget()))
                continue;
            const bool explicitlyHidden =
                widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
            QVERIFY2(!explicitlyHidden, qPrintable(widget->objectName()));
        }
    }

    void rimLabel()
    {
        QVERIFY(ui.label_Rim_Image->hasScaledContents());
        const QPixmap rim = pixmapOf(ui.label_Rim_Image);
        QVERIFY(!rim.isNull());
        QCOMPARE(rim.size(), QSize(200, 200));
        QVERIFY(rim.hasAlphaChannel());
    }

    void resetButtons_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* pedal : Pedals) {
            const QString name = QString("pushButton_%1ToDefault").arg(pedal);
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    void resetButtons()
    {
        QFETCH(QString, name);
        auto* button = find<QPushButton>(name);
        QVERIFY(button);
        QCOMPARE(button->iconSize(), QSize(20, 20));
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->icon().pixmap(QSize(20, 20)).size(), QSize(20, 20));
    }

    void resources_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("rim") << ":/rim.png" << QSize(200, 200);
        QTest::newRow("reset") << ":/reset_button.png" << QSize(138, 138);
        QTest::newRow("icon") << ":/orv-config-tool.png" << QSize(256, 256);
    }
    void resources()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        const QImage image(path);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    }

    // The window turns the rim about its centre inside the same square, so
    // nothing may be drawn outside the inscribed circle (it would be cut off at
    // 45 degrees); and the orange marker must sit at the top when upright.
    void rimTurnsCleanly()
    {
        const QImage rim = QImage(":/rim.png").convertToFormat(QImage::Format_ARGB32);
        const double c = rim.height() / 2;
        int paintedOutside = 0;
        for (int y = 0; y < rim.height(); ++y)
            for (int x = 0; x < rim.width(); ++x)
                if (std::hypot(x + 0.5 - c, y + 0.5 - c) > c && qAlpha(rim.pixel(x, y)) != 0)
                    ++paintedOutside;
        QCOMPARE(paintedOutside, 0);
        auto isMarker = [](const QColor& colour) {
            return colour.alpha() == 255 && colour.hue() >= 15 && colour.hue() <= 45 &&
                   colour.saturation() > 150;
        };
        QVERIFY(isMarker(rim.pixelColor(100, 14)));
        QVERIFY(!isMarker(rim.pixelColor(100, 186)));
        QVERIFY(!isMarker(rim.pixelColor(14, 100)));
        QVERIFY(!isMarker(rim.pixelColor(186, 100)));
    }

    // The window's slots are bound by name; the initial indexes are set
    // before the binding, so building the form calls none of them.
    void slotsBindByName()
    {
        SlotWindow slotWindow;
        Ui::ORV_wheel_tool form;
        form.setupUi(&slotWindow);
        QCOMPARE(slotWindow.smoothingChanges, 0);
        QCOMPARE(slotWindow.stackChanges, 0);
        QCOMPARE(slotWindow.forceChanges, 0);

        form.pushButton_CenterRim->click();
        form.comboBox_GenSmooth->setCurrentIndex(3);
        form.horiSlider_Force->setValue(42);
        form.settingsStackedWidget->setCurrentIndex(0);
        QCOMPARE(slotWindow.centerClicks, 1);
        QCOMPARE(slotWindow.smoothingChanges, 1);
        QCOMPARE(slotWindow.forceChanges, 1);
        QCOMPARE(slotWindow.stackChanges, 1);
    }

    // Every visible text goes through translation under the form's context.
    void textsAreTranslatable()
    {
        MarkingTranslator translator;
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QMainWindow other;
        Ui::ORV_wheel_tool form;
        form.setupUi(&other);
        QCoreApplication::removeTranslator(&translator);

        QCOMPARE(other.windowTitle(), QString("~ORV Torvane Pro - Config Tool"));
        int checked = 0;
        for (QWidget* widget : form.centralWidget->findChildren<QWidget*>()) {
            const QString text = textOf(widget);
            if (!text.isEmpty()) {
                QVERIFY2(text.startsWith('~'), qPrintable(widget->objectName() + ": " + text));
                ++checked;
            }
            if (auto* combo = qobject_cast<QComboBox*>(widget))
                for (int i = 0; i < combo->count(); ++i)
                    QVERIFY2(combo->itemText(i).startsWith('~'), qPrintable(combo->itemText(i)));
            if (auto* tabs = qobject_cast<QTabWidget*>(widget))
                for (int i = 0; i < tabs->count(); ++i)
                    QVERIFY2(tabs->tabText(i).startsWith('~'), qPrintable(tabs->tabText(i)));
            if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget))
                QCOMPARE(spin->suffix(), QString("~%"));
        }
        QVERIFY(checked > 150);
    }
};

QTEST_MAIN(TestWindowForm)
#include "tst_windowform.moc"
