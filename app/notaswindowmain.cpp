// The window of zelvora-notas, a program of its own so that the command
// line's start loads neither Qt Widgets nor the printing system: zelvora-notas
// hands over to it when started without arguments in a graphical session.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QTextStream>
#include <QTranslator>

#include "app/qtsharedsettings.h"
#include "app/spanishtexts.h"
#include "grading/notasprogram.h"
#include "notas/notasdialogs.h"
#include "notas/notasmemory.h"
#include "notas/notaswindow.h"

namespace {

// A display that is named but cannot be opened makes Qt end the process with
// a fatal message while the application object is built. Without a window
// to show, the program answers as zelvora-notas does in a remote shell: the
// usage error and the status of a command it cannot run. Nothing has been
// written yet.
void noDisplayAfterAll(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type != QtFatalMsg)
        return;
    QString error;
    (void)parseNotasArguments({}, error);
    QTextStream(stderr) << "zelvora-notas: " << error << "\nPruebe «zelvora-notas --help».\n";
    std::fflush(stderr);
    std::_Exit(kUsageError);
}

} // namespace

int main(int argc, char** argv)
{
    keepQtUserSettingsAway();
    // Qt's own options are not offered: only the program's name is passed on.
    int qtArgc = 1;
    char* qtArgv[] = { argc > 0 ? argv[0] : nullptr, nullptr };
    const QtMessageHandler previous = qInstallMessageHandler(noDisplayAfterAll);
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(previous);
    // The name the desktop and the accessibility bus know it by.
    QApplication::setApplicationName(QStringLiteral("zelvora-notas"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVORA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Zelvora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zelvora.ZelvoraNotas"));

    QTranslator qtTexts;
    speakSpanish(qtTexts);

    QtNotasDialogs dialogs;
    NotasWindow window(dialogs, notasMemoryPath());
    window.show();
    return QApplication::exec();
}
