#include "PageFixture.h"

#include "devices/UsbDeviceOrvPedals.h"
#include "devices/UsbDeviceOrvWheelBase.h"
#include "window/Resources.h"
#include "window/pages/CalibrationWizard.h"
#include "window/pages/PedalsPage.h"
#include "window/pages/RimView.h"
#include "window/pages/WheelBasePage.h"

#include <QSignalSpy>

PageFixture::PageFixture(const TestBus& bus) : simulator(bus.stdPath())
{
    initWindowResources();
    ui.setupUi(&host);
    rim = std::make_unique<RimView>(ui);
    wheelBasePage = std::make_unique<WheelBasePage>(ui, *rim);
    wizard = std::make_unique<CalibrationWizard>(ui, &host);
    pedalsPage = std::make_unique<PedalsPage>(ui, *wizard);
}

PageFixture::~PageFixture()
{
    manager.reset(); // devices go before the simulated ones leave
}

void PageFixture::bindEdits()
{
    const auto bind = [this](const auto& rows, const auto& edit) {
        for (size_t row = 0; row < rows.size(); ++row) {
            QWidget* w = ui.centralWidget->findChild<QWidget*>(rows[row].control);
            auto pass = [edit, row](int value) { edit(row, value); };
            if (auto* box = qobject_cast<QDoubleSpinBox*>(w))
                QObject::connect(box, &QDoubleSpinBox::editingFinished,
                                 [pass, box] { pass(qRound(box->value() * 10)); });
            else if (auto* check = qobject_cast<QCheckBox*>(w))
                QObject::connect(check, &QCheckBox::toggled, pass);
            else if (auto* combo = qobject_cast<QComboBox*>(w))
                QObject::connect(combo,
                                 rows[row].signal == EditSignal::Activated
                                     ? qOverload<int>(&QComboBox::activated)
                                     : qOverload<int>(&QComboBox::currentIndexChanged),
                                 pass);
            else if (auto* slider = qobject_cast<QSlider*>(w))
                QObject::connect(slider, &QSlider::valueChanged, pass);
            else
                QObject::connect(qobject_cast<QSpinBox*>(w),
                                 qOverload<int>(&QSpinBox::valueChanged), pass);
        }
    };
    bind(WheelBasePage::Bindings,
         [this](size_t row, int value) { wheelBasePage->edit(WheelBaseField(row), value); });
    bind(PedalsPage::Bindings,
         [this](size_t row, int value) { pedalsPage->edit(PedalsField(row), value); });
}

template <class Device> Device* PageFixture::loaded()
{
    const bool fresh = !manager;
    if (fresh)
        manager = std::make_unique<UsbManager>();
    // One product per scan: the wheel base first, then the pedals.
    for (int i = 0; i < 2; ++i)
        manager->rescanForOrvDevices();
    // A reader started with no device sleeps its whole wait first.
    if (fresh)
        manager->start(false);
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
template UsbDeviceOrvPedals* PageFixture::loaded<UsbDeviceOrvPedals>();

UsbDeviceOrvWheelBase* PageFixture::wheelBase()
{
    orvsim::SimWheelBase* sim = simulator.addWheelBase("wheel", 100);
    if (sim)
        sim->setDefaultProfileCount(3);
    return sim ? loaded<UsbDeviceOrvWheelBase>() : nullptr;
}

UsbDeviceOrvPedals* PageFixture::pedals()
{
    orvsim::SimPedals* sim = simulator.addPedals("pedals", 100);
    if (sim)
        sim->setDefaultProfileCount(3);
    return sim ? loaded<UsbDeviceOrvPedals>() : nullptr;
}
