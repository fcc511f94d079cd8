#pragma once

// The games compatibility key row of the wheel base page: whether the
// registry value is there, and the button that installs or removes it. Where
// the system has no registry the row is hidden.

#include "platform/GamesKey.h"

namespace Ui {
class ORV_wheel_tool;
}
class Platform;
class QWidget;

class GamesKeyRow
{
public:
    GamesKeyRow(Ui::ORV_wheel_tool& ui, QWidget* dialogParent, Platform& platform);

    // Reads the registry afresh and shows what it holds.
    void refresh();
    // Removes the key when it is present, installs it otherwise, and says
    // how that went.
    void toggle();

private:
    void show(bool present);

    Ui::ORV_wheel_tool& ui;
    QWidget* const dialogParent;
    const bool supported;
    GamesKey key;
};
