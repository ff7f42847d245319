#pragma once

#include <QString>

#include "platform/interaction.h"

struct Model;

// The texts users see when a test file is refused or cannot be saved.
inline const QString kReaderRefusal
    = QStringLiteral("Fichero no compatible ...\r\nSintiendolo mucho NO puedo leer ...");
inline const QString kNotCompatible = QStringLiteral("El fichero seleccionado NO es compatible ...");
inline const QString kFileMissing = QStringLiteral("El fichero NO existe ...");
inline const QString kOverwriteQuestion = QStringLiteral("El fichero existe ...\r\nDesea sobreescribir ?");
inline const QString kTestSaved = QStringLiteral("Test Guardado ...");
inline const QString kSaveFailed
    = QStringLiteral("Sintiendolo mucho NO puedo grabar el test ...\r\nPrueba con otra carpeta u otro nombre ...");

// Shows the open or save dialog and stores the chosen path, without its
// leading and trailing spaces, in `name` (empty when cancelled). Returns 1
// when a path was chosen, else 0.
int chooseTestFile(Model& m, QString& name, FileDialogMode mode);

enum class OpenResult { Opened, Missing, Refused };

// Loads the test at `path` (which becomes m.testFileName) into the sheet,
// titles the window after it and shows the sheet from the top. A missing
// file shows nothing; a refused one shows the reader's message only and
// changes nothing.
OpenResult openTestFile(Model& m, const QString& path);

// "Grabar test", "Leer test" and "Corregir test".
void saveTestCommand(Model& m);
void readTestCommand(Model& m);
void correctTestCommand(Model& m);

// A test file named on the command line when the window opens. Quotes are
// dropped and the whole tail is one path, since desktop launchers quote a
// path with spaces and some do not.
void openCommandLineTestFile(Model& m);
