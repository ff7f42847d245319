#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

#include <vector>

#include "grading/notasprogram.h"
#include "paper/scaninput.h"
#include "platform/userfolders.h"

namespace {

bool graphicalSession()
{
    // An explicit platform (offscreen, vnc, ...) is the user's choice.
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The window's program: in the packages' own folder for programs when run
// from where they install it; else beside this one, as in a build, or in
// the same place relative to it, as in an install under another prefix.
std::string windowProgram()
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return ZELVORA_INSTALL_WINDOW;
    std::string folder(self, std::size_t(length));
    folder.erase(folder.rfind('/'));
    if (runsFromInstallFolder(QString::fromStdString(folder), QStringLiteral(ZELVORA_INSTALL_BINDIR)))
        return ZELVORA_INSTALL_WINDOW;
    const std::string beside = folder + "/zelvora-notas-ventana";
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    return folder + "/../libexec/zelvora/zelvora-notas-ventana";
}

// The window is a program of its own, so that the command line loads
// neither Qt Widgets nor the printing system. Only returns when it could not
// be started.
int openWindow(char* program)
{
    const std::string window = windowProgram();
    char* arguments[] = { program, nullptr };
    ::execv(window.c_str(), arguments);
    std::fprintf(
        stderr, "zelvora-notas: no se puede abrir la ventana (%s): %s\n", window.c_str(), std::strerror(errno));
    return kSomeNotGraded;
}

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
    // Only whether there is a scan at all: grading lists the folders anyway.
    for (const QString& input : o.inputs) {
        if (QFileInfo(input).isDir()) {
            for (QDirIterator it(input, QDir::Files); it.hasNext();)
                if (isScanFile(it.next()))
                    return true;
        } else if (isScanFile(input) && QFileInfo::exists(input)) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Started from the menu, or with no word from a terminal of the
    // desktop: the window. From a remote shell, the usage as ever.
    if (argc <= 1 && graphicalSession())
        return openWindow(argv[0]);

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
