#pragma once

struct Model;

// Builds the menu bar of the model's edition, attaches it to the main window
// and sets its check marks.
void buildMenuBar(Model& m);
// Check marks of "Personalizar" from the settings.
void applyMenuChecks(Model& m);
