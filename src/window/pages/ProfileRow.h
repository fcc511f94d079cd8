#pragma once

// The profile row above the pages: the list of the current device's profiles
// (choose, rename in place), add and remove, and profile files.

namespace Ui {
class ORV_wheel_tool;
}
class ProfileDevice;
class ProfilePage;
class QString;
class QWidget;

class ProfileRow
{
public:
    ProfileRow(Ui::ORV_wheel_tool& ui, QWidget* dialogParent);

    // The device whose list the row shows and the page that shows a profile;
    // both null when no wheel base or pedals are current.
    void setDevice(ProfileDevice* device, ProfilePage* page);

    // Rebuilds the list from the device.
    void fill();
    void activate(int index);
    void rename(const QString& text);
    void addProfile();
    void removeProfile();
    void loadFromFile();
    void saveToFile();

private:
    Ui::ORV_wheel_tool& ui;
    QWidget* const dialogParent;
    ProfileDevice* device = nullptr;
    ProfilePage* page = nullptr;
};
