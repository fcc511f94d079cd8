#include "GamesKeyRow.h"

#include "platform/Platform.h"
#include "ui_ORV_wheel_tool.h"
#include "window/Dialogs.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ORV_wheel_tool", text);
}

} // namespace

GamesKeyRow::GamesKeyRow(Ui::ORV_wheel_tool& ui, QWidget* dialogParent, Platform& platform)
    : ui(ui), dialogParent(dialogParent), supported(platform.hasRegistry()), key(platform)
{
    if (!supported) {
        ui.labelGamesCompatibilityKey->hide();
        ui.pushButtonGamesCompatibilityKey->hide();
    }
}

void GamesKeyRow::refresh()
{
    if (supported)
        show(key.isGamesKeyPresent());
}

void GamesKeyRow::show(bool present)
{
    ui.labelGamesCompatibilityKey->setText(
        present ? tr("Games compatibility registry key present")
                : tr("Games compatibility registry key NOT present"));
    ui.pushButtonGamesCompatibilityKey->setText(present ? tr("Uninstall") : tr("Install"));
}

void GamesKeyRow::toggle()
{
    const QString title = tr("Games Compatibility Key");
    // The registry decides, not the button's text: it may have changed
    // since the row was shown.
    if (key.isGamesKeyPresent()) {
        key.runElevatedCommand(GamesKey::UninstallParameters);
        if (key.isGamesKeyPresent()) {
            Dialogs::critical(dialogParent, title,
                              tr("Games Compatibility Key was NOT uninstalled"));
            return;
        }
        Dialogs::information(dialogParent, title, tr("Games Compatibility Key was uninstalled"));
        show(false);
    } else {
        key.runElevatedCommand(GamesKey::InstallParameters);
        if (!key.isGamesKeyPresent()) {
            Dialogs::critical(dialogParent, title, tr("Games Compatibility Key was NOT installed"));
            return;
        }
        Dialogs::information(dialogParent, title, tr("Games Compatibility Key was installed"));
        show(true);
    }
}
