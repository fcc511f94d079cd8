#pragma once

// Registers the pictures compiled into orv_window (":/rim.png",
// ":/reset_button.png", ":/orv-config-tool.png"). Resources of a static
// library do not register themselves: nothing refers to their object file, so
// the linker leaves it out. Call this before the window's form is built, since
// the form loads the rim and the reset icon. Calling it again is harmless.
void initWindowResources();
