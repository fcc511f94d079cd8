#pragma once

// Pages under test without the window: the form on a bare main window, and
// simulated devices found and read by the test's own manager at once rather
// than at the window's first rescan, a second after start.

#include "sim/Simulator.h"
#include "support/TestBus.h"
#include "ui_ORV_wheel_tool.h"
#include "usb/UsbManager.h"
#include "window/pages/FieldBinding.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class UsbDeviceOrvPedals;
class UsbDeviceOrvWheelBase;

class PageFixture
{
public:
    // The bus must already be the HID backend (TestBus::useAsBackend).
    explicit PageFixture(const TestBus& bus);
    ~PageFixture();

    // Every control of a binding table passes its new value to edit(row,
    // value), as the window's named slots do.
    void bindEdits(const FieldBinding* rows, size_t count,
                   const std::function<void(size_t, int)>& edit);

    // Plugs the simulated device in (three profiles) and loads it.
    UsbDeviceOrvWheelBase* wheelBase();
    UsbDeviceOrvPedals* pedals();
    // The device of that class the manager finds, with its settings read;
    // a new object for one plugged back in.
    template <class Device> Device* loaded();

    QMainWindow host;
    Ui::ORV_wheel_tool ui;
    orvsim::Simulator simulator;
    std::unique_ptr<UsbManager> manager;
};
