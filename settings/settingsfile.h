#pragma once

#include <QString>

#include "sheet/model.h"

// The seven appearance settings kept in "Configuracion.ini", section
// "Personalizar": in the program's folder, or for an installed program
// (m.filesBesideProgram false) in "zelvora" or "brastin" below the user's
// config home, one file per edition. Mode "get" reads them, with a default for
// each key the file lacks; "save" writes them; any other mode does nothing.
// Shows nothing and reports nothing: a file that cannot be written leaves
// the old one (or none) in place, and the program carries on. Only a regular
// file is read; anything else by that name (a pipe, a folder) gives the
// defaults and is never written.
void settingsFile(Model& m, const QString& mode);

// The settings a missing "Configuracion.ini" gives: capitals, square cells,
// the five-answer test, black marks and text, green hits, red misses.
Settings defaultSettings();
