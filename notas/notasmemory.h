#pragma once

#include <QString>

#include "notas/classrun.h"

// What the Notas window remembers between runs, per user: the folders last
// used and the grading options.
struct NotasMemory {
    QString keyFolder;
    QString answersFolder;
    QString exportFolder;
    GradingOptions options;
};

// `notas.ini` in the user's own zelvora folder of the config home, never
// beside the program: an installed program's folder is not the user's.
QString notasMemoryPath();

// Values missing or out of range in the file keep their defaults, so a file
// edited by hand or from an older version never stops the window.
NotasMemory readNotasMemory(const QString& path);
// False when the file could not be written; the window goes on without it.
bool writeNotasMemory(const QString& path, const NotasMemory& memory);
