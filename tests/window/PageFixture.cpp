#include "PageFixture.h"

#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "window/Resources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>

PageFixture::PageFixture(const TestBus& bus) : simulator(bus.stdPath())
{
    initWindowResources();
    ui.setupUi(&host);
}

PageFixture::~PageFixture()
{
    manager.reset(); // devices go before the simulated ones leave
}

void PageFixture::bindEdits(const FieldBinding* rows, size_t count,
                            const std::function<void(size_t, int)>& edit)
{
    for (size_t row = 0; row < count; ++row) {
        QWidget* control = ui.centralWidget->findChild<QWidget*>(rows[row].control);
        auto pass = [edit, row](int value) { edit(row, value); };
        switch (rows[row].signal) {
        case EditSignal::ValueChanged:
            if (auto* slider = qobject_cast<QSlider*>(control))
                QObject::connect(slider, &QSlider::valueChanged, pass);
            else
                QObject::connect(qobject_cast<QSpinBox*>(control),
                                 qOverload<int>(&QSpinBox::valueChanged), pass);
            break;
        case EditSignal::Activated:
            QObject::connect(qobject_cast<QComboBox*>(control),
                             qOverload<int>(&QComboBox::activated), pass);
            break;
        case EditSignal::CurrentIndexChanged:
            QObject::connect(qobject_cast<QComboBox*>(control),
                             qOverload<int>(&QComboBox::currentIndexChanged), pass);
            break;
        case EditSignal::Toggled:
            QObject::connect(qobject_cast<QCheckBox*>(control), &QCheckBox::toggled,
                             [edit, row](bool on) { edit(row, on ? 1 : 0); });
            break;
        case EditSignal::EditingFinished: {
            auto* box = qobject_cast<QDoubleSpinBox*>(control);
            QObject::connect(box, &QDoubleSpinBox::editingFinished,
                             [edit, row, box] { edit(row, qRound(box->value() * 10)); });
            break;
        }
        }
    }
}

template <class Device> Device* PageFixture::loaded()
{
    if (!manager) {
        manager = std::make_unique<UsbManager>();
        manager->start(false);
    }
    // One product per scan: the wheel base first, then the pedals.
    for (int i = 0; i < 2; ++i)
        manager->rescanForOrvDevices();
    for (UsbDevice* device : manager->getDevices()) {
        if (auto* found = qobject_cast<Device*>(device)) {
            QSignalSpy loadedSpy(found, &Device::onSettingsLoaded);
            found->loadSettings();
            if (!loadedSpy.wait(3000))
                return nullptr;
            found->settingsLoaded = true;
            return found;
        }
    }
    return nullptr;
}

UsbDeviceOrvWheelBase* PageFixture::wheelBase(int profiles)
{
    orvsim::SimWheelBase* sim = simulator.addWheelBase("wheel", 100);
    if (!sim)
        return nullptr;
    sim->setDefaultProfileCount(profiles);
    return loaded<UsbDeviceOrvWheelBase>();
}

UsbDeviceOrvPedals* PageFixture::pedals(int profiles)
{
    orvsim::SimPedals* sim = simulator.addPedals("pedals", 100);
    if (!sim)
        return nullptr;
    sim->setDefaultProfileCount(profiles);
    return loaded<UsbDeviceOrvPedals>();
}

UsbDeviceOrvPedals* PageFixture::pedalsAgain()
{
    return loaded<UsbDeviceOrvPedals>();
}
