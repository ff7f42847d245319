#pragma once

#include <cstdint>

struct Model;

// Builds the menu bar of the model's edition, attaches it to the main window
// and sets its check marks.
void buildMenuBar(Model& m);
// Check marks of "Personalizar" from the settings.
void applyMenuChecks(Model& m);
// Checks or unchecks the item of a command id wherever it is in the bar.
void checkMenuItem(Model& m, std::uint16_t id, bool checked);
