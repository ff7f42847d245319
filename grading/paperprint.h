#pragma once

class QTextStream;
struct NotasOptions;

// `zelvora-notas --papel`: writes the answer sheets the options ask for as
// one PDF, says what it wrote on `out` and what went wrong on `err`, and
// returns the program's exit status. Needs a GUI application object (on any
// platform) for the PDF's text.
int printPaperSheets(const NotasOptions& options, QTextStream& out, QTextStream& err);
