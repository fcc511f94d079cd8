#include "PedalsPage.h"

#include "devices/UsbDeviceOrvPedals.h"
#include "ui_ORV_wheel_tool.h"

PedalsPage::PedalsPage(Ui::ORV_wheel_tool& ui) : ui(ui) {}

void PedalsPage::showProfile(int index)
{
    if (!pedals || index < 0 || index >= pedals->profileCount ||
        index >= UsbDeviceOrvPedals::MaxProfiles)
        return;
    pedals->currentProfileIndex = uint8_t(index);
}

void PedalsPage::pageShown()
{
    ui.pedalsCalibrationTipsLabel->setText(QStringLiteral(" "));
    ui.pedalsCalibrationPrevStepButton->setEnabled(false);
    ui.pedalsCalibrationNextStepButton->setEnabled(false);
    for (QLabel* label :
         {ui.labelTicksDebug, ui.labelClutchDebug, ui.labelBrakeDebug, ui.labelThrottleDebug,
          ui.labelXRawDebug, ui.labelYRawDebug, ui.labelZRawDebug, ui.labelClutchValue,
          ui.labelBrakeValue, ui.labelThrottleValue, ui.labelXConnected, ui.labelYConnected,
          ui.labelZConnected})
        label->clear();
    ui.tabPedalsWidget->setCurrentIndex(0);
}
