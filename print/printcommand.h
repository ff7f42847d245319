#pragma once

struct Model;

// "Imprimir": the set-up dialog, then the print run. The dialog leaves the
// main window usable, so a second "Imprimir" meanwhile is ignored.
void printCommand(Model& m);
