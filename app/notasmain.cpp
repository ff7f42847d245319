#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <vector>

#include "grading/classgrading.h"
#include "grading/notasprogram.h"
#include "paper/scanreading.h"

namespace {

// Qt's notices about a desktop session this program does not use (no
// runtime folder, no display) would mix with the list of refused files on
// stderr and read as the class's problems; only its errors are let through.
void keepQtErrors(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Fonts, and so a GUI application, are needed by the PDFs and by what is
// read from paper, whose pictures of doubtful rows carry their labels.
bool needsFonts(const NotasOptions& o)
{
    if (!o.report.isEmpty() || !o.sheets.isEmpty() || !o.paper.isEmpty() || !o.paperFolder.isEmpty())
        return true;
    QStringList testInputs;
    QStringList scanInputs;
    splitInputs(o.inputs, testInputs, scanInputs);
    std::vector<ScannedPage> missing;
    return !scanFiles(scanInputs, missing).isEmpty();
}

} // namespace

int main(int argc, char** argv)
{
    // Read before Qt sees the command line, so no file name is taken for
    // one of Qt's own options.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QTextStream out(stdout);
    QTextStream err(stderr);
    QString error;
    const std::optional<NotasOptions> options = parseNotasArguments(arguments, error);
    if (!options) {
        err << "zelvora-notas: " << error << "\nPruebe «zelvora-notas --help».\n";
        return kUsageError;
    }
    if (options->help) {
        out << notasHelpText();
        return kAllGraded;
    }
    if (options->version) {
        out << "zelvora-notas " << ZELVORA_VERSION << '\n';
        return kAllGraded;
    }

    qInstallMessageHandler(keepQtErrors);
    int qtArgc = 1;
    char* qtArgv[] = { argv[0], nullptr };
    const bool terminal = isatty(fileno(stderr)) != 0;
    // The table, the CSV and the workbook do without a GUI application and
    // without what it loads (platform plugin, fontconfig, the session bus).
    if (!needsFonts(*options)) {
        QCoreApplication application(qtArgc, qtArgv);
        return runNotas(*options, out, err, terminal);
    }
    // Nothing is shown: without a platform chosen, none is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(qtArgc, qtArgv);
    return runNotas(*options, out, err, terminal);
}
