#pragma once

struct Model;

// Offers the remembered copies, colour mode and quality with the default
// printer's name; "Seguir" stores the selected values, any other way out
// keeps the old ones.
void printSetupDialog(Model& m);
