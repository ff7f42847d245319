#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "paper/papergeometry.h"

class QTextStream;

// What the command line of zelvora-notas asks for.
struct NotasOptions {
    QString key;
    QStringList inputs;
    // Points taken off per wrong answer; `automaticPenalty` picks it from the
    // key's number of answers.
    double penalty = 0;
    bool automaticPenalty = false;
    double scale = 10;
    QString csv;
    QString xlsx;
    QString report;
    QString sheets;
    // Where the sheets read from scans go; without a key, reading them is
    // all the program does.
    QString paperFolder;
    // Printing answer sheets instead of grading: the PDF to write, the class
    // list, the anonymous pages, the test type without a key (-1 when not
    // given), the title and the paper.
    QString paper;
    QString roster;
    int copies = 0;
    int testType = -1;
    QString title;
    std::optional<PaperSize> paperSize;
    bool help = false;
    bool version = false;
};

// Exit statuses of the program.
inline constexpr int kAllGraded = 0;
inline constexpr int kSomeNotGraded = 1;
inline constexpr int kUsageError = 2;

// The options, or empty with `error` saying what is wrong, in Spanish.
std::optional<NotasOptions> parseNotasArguments(const QStringList& arguments, QString& error);
QString notasHelpText();

// Grades the class and writes what the options ask for. The table and the
// summary go to `out`, refused files and failures to `err`; a progress bar
// goes to `err` too when `terminal` says it is a terminal and the class is
// large. Needs a GUI application object (on any platform) for the PDFs,
// a core application for the rest.
int runNotas(const NotasOptions& options, QTextStream& out, QTextStream& err, bool terminal);
