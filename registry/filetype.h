#pragma once

#include <QString>

#include "sheet/model.h"

// The file association lives in the user's freedesktop folders: a
// shared-mime-info type for the glob, the type's and the program's icon in
// the hicolor theme, a desktop entry named after the running executable
// (so each edition owns an entry of its own) and the type's default in the
// user's mimeapps.list.

// The MIME type that stands for an extension, e.g. "application/x-ztest-files".
QString fileTypeMimeName(const QString& extension);

// Associates `*.extension` with the program at m.programPath. An extension
// with a dot anywhere is refused with a message and nothing is written;
// nothing is written either for a program path the desktop could not run
// (relative, or holding a "%").
// Write failures are not reported; every file is replaced whole or not at all.
// Every icon index names the one picture the program carries.
void registerFileType(Model& m, const QString& extension, int iconIndex);

// The Exec of the application the desktop opens the type that the glob
// "*" + extensionWithDot resolves to with (see defaultApplication), with
// environment references expanded; empty when the glob is unknown or when
// the desktop would launch nothing for a file of the type: no application,
// or one whose Exec is blank (an entry whose program is missing is already
// passed over by the lookup, as the desktop passes it over). Reads
// the files afresh on every call, so a registration made by this process is
// seen at once.
QString readOpenCommand(const QString& extensionWithDot);

// The start-up offer: while no program opens ".ztest", asks whether to
// register this one and registers it on Yes.
void offerFileTypeRegistration(Model& m);
