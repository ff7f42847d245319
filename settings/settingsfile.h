#pragma once

#include <QString>

#include "sheet/model.h"

// The seven appearance settings kept in "Configuracion.ini", section
// "Personalizar". A file of that name beside the executable is the settings
// file; without one it is made there when the folder allows
// (m.filesBesideProgram), else in "zelvora" or "brastin" below the user's
// config home, one file per edition. An installed program
// (m.installedProgram) always uses the latter. Mode "get" reads them, with a
// default for each key the file lacks; "save" writes them; any other mode
// does nothing. Shows nothing and reports nothing: a file that cannot be
// written leaves the old one (or none) in place, and the program carries
// on. A file without write permission is never written, even by root. Only
// a regular file is read; anything else by that name (a pipe, a folder)
// gives the defaults and is never written.
void settingsFile(Model& m, const QString& mode);

// The settings a missing "Configuracion.ini" gives: capitals, square cells,
// the five-answer test, black marks and text, green hits, red misses.
Settings defaultSettings();
