#pragma once

// The pedals page: live pedal bars, response curves and force adjustments of
// the current pedals profile.

#include "ProfilePage.h"

namespace Ui {
class ORV_wheel_tool;
}
class UsbDeviceOrvPedals;

class PedalsPage : public ProfilePage
{
public:
    explicit PedalsPage(Ui::ORV_wheel_tool& ui);

    void setDevice(UsbDeviceOrvPedals* pedals) { this->pedals = pedals; }

    void showProfile(int index) override;
    // The page has just been brought up for loaded pedals.
    void pageShown();

private:
    Ui::ORV_wheel_tool& ui;
    UsbDeviceOrvPedals* pedals = nullptr;
};
