#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

class QTextStream;
struct NotasOptions;

// A print run of answer sheets, composed but not yet written anywhere.
struct PaperRun {
    QByteArray pdf;
    int fromRoster = 0;
    int anonymous = 0;
    QString examId;
    int questions = 0;

    int pages() const { return fromRoster + anonymous; }
};

// The sheets `options` ask for (key or test type, roster, copies, title,
// paper), as one PDF. When `options.paper` names the file to write, it must
// not be the key or the roster. Empty with `error` in Spanish, without the
// program's name, when the run cannot be made. Needs a GUI application
// object (on any platform) for the PDF's text.
std::optional<PaperRun> composePaperSheets(const NotasOptions& options, QString& error);

// "12 hojas (10 de la lista y 2 anónimas), examen …, 40 preguntas".
QString paperRunSummary(const PaperRun& run);

// `zelvora-notas --papel`: writes the answer sheets the options ask for as
// one PDF, atomically, says what it wrote on `out` and what went wrong on
// `err`, and returns the program's exit status.
int printPaperSheets(const NotasOptions& options, QTextStream& out, QTextStream& err);
