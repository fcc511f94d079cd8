#pragma once

// Pages under test without the window: the form and its pages on a bare
// main window, and simulated devices found and read by the test's own
// manager at once rather than at the window's first rescan, a second after
// start.

#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "ui_ORV_wheel_tool.h"
#include "usb/UsbManager.h"

#include <QMainWindow>

#include <memory>

class CalibrationWizard;
class PedalsPage;
class RimView;
class UsbDeviceOrvPedals;
class UsbDeviceOrvWheelBase;
class WheelBasePage;

class PageFixture
{
public:
    // The bus must already be the HID backend (TestBus::useAsBackend).
    explicit PageFixture(const TestBus& bus);
    ~PageFixture();

    // Every control of both pages passes its new value to its page's edit,
    // as the window's named slots do.
    void bindEdits();

    // Plugs the simulated device in (three profiles) and loads it.
    UsbDeviceOrvWheelBase* wheelBase();
    UsbDeviceOrvPedals* pedals();
    // The device of that class the manager finds, with its settings read;
    // a new object for one plugged back in.
    template <class Device> Device* loaded();

    QMainWindow host;
    Ui::ORV_wheel_tool ui;
    // The pages on the form, built as the window builds them.
    std::unique_ptr<RimView> rim;
    std::unique_ptr<WheelBasePage> wheelBasePage;
    std::unique_ptr<CalibrationWizard> wizard;
    std::unique_ptr<PedalsPage> pedalsPage;
    orvsim::Simulator simulator;
    std::unique_ptr<UsbManager> manager;
};
