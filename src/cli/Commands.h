#pragma once

// The orvctl commands, one class each in commands/.

#include "Command.h"

#include <memory>

std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makeProfilesCommand();
std::unique_ptr<Command> makeExportCommand();
std::unique_ptr<Command> makeImportCommand();
std::unique_ptr<Command> makeBackupCommand();
std::unique_ptr<Command> makeRestoreCommand();
std::unique_ptr<Command> makeSelectCommand();
std::unique_ptr<Command> makeCenterCommand();
std::unique_ptr<Command> makeSaveCommand();
std::unique_ptr<Command> makeDefaultsCommand();
std::unique_ptr<Command> makeFlashCommand();
std::unique_ptr<Command> makeMonitorCommand();
