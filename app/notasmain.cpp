#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

#include "app/qtsharedsettings.h"
#include "grading/notasprogram.h"
#include "notas/notasdialogs.h"
#include "notas/notasmemory.h"
#include "notas/notaswindow.h"

namespace {

// Qt's notices about a desktop session this program does not use (no
// runtime folder, no display) would mix with the list of refused files on
// stderr and read as the class's problems; only its errors are let through.
void keepQtErrors(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

void printUsageError(const QString& error)
{
    QTextStream err(stderr);
    err << "zelvora-notas: " << error << "\nPruebe «zelvora-notas --help».\n";
}

bool graphicalSession()
{
    // An explicit platform (offscreen, vnc, ...) is the user's choice.
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// A display that is named but cannot be opened makes Qt end the process with
// a fatal message while the application object is built. Without a window
// to show, the program answers as it does in a remote shell: the usage line
// and the status of a command it cannot run. Nothing has been written yet.
void noDisplayAfterAll(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type != QtFatalMsg)
        return;
    QString error;
    (void)parseNotasArguments({}, error);
    printUsageError(error);
    std::fflush(stderr);
    std::_Exit(kUsageError);
}

int runWindow(char* program)
{
    keepQtUserSettingsAway();
    int qtArgc = 1;
    char* qtArgv[] = { program, nullptr };
    const QtMessageHandler previous = qInstallMessageHandler(noDisplayAfterAll);
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("zelvora-notas"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVORA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Zelvora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zelvora.ZelvoraNotas"));

    // Spanish whatever the user's locale, Qt's own buttons and dialogs too.
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    QLocale::setDefault(spanish);
    QTranslator qtTexts;
    if (qtTexts.load(
            spanish, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    QtNotasDialogs dialogs;
    NotasWindow window(dialogs, notasMemoryPath());
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    // Read before Qt sees the command line, so no file name is taken for
    // one of Qt's own options.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    // Started from the menu, or with no word from a terminal of the
    // desktop: the window. From a remote shell, the usage as ever.
    if (arguments.isEmpty() && graphicalSession())
        return runWindow(argv[0]);

    QTextStream out(stdout);
    QTextStream err(stderr);
    QString error;
    const std::optional<NotasOptions> options = parseNotasArguments(arguments, error);
    if (!options) {
        printUsageError(error);
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
    // Only the PDFs need fonts, and so a GUI application; the table, the CSV
    // and the workbook do without one and without what it loads (platform
    // plugin, fontconfig, the session bus).
    if (options->report.isEmpty() && options->sheets.isEmpty()) {
        QCoreApplication application(qtArgc, qtArgv);
        return runNotas(*options, out, err, terminal);
    }
    // Nothing is shown: without a platform chosen, none is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(qtArgc, qtArgv);
    return runNotas(*options, out, err, terminal);
}
