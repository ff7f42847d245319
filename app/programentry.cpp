#include "app/programentry.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QApplication>
#include <QFileInfo>
#include <QTranslator>

#include "app/mainwindow.h"
#include "app/qtinteraction.h"
#include "app/qtsharedsettings.h"
#include "app/spanishtexts.h"
#include "platform/userfolders.h"
#include "registry/filetype.h"
#include "settings/settingsfile.h"

namespace {

const char* programName(int argc, char** argv)
{
    return argc > 0 && argv[0] && *argv[0] ? argv[0] : "zelvora";
}

bool displayNamed()
{
    // An explicit platform (offscreen, vnc, ...) is the user's choice.
    if (std::getenv("QT_QPA_PLATFORM"))
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// A display that is named but cannot be reached makes Qt end the process
// with a fatal message and an abort while the application object is built.
// Qt's message handler takes no context of its own, so what it holds back
// in that short time lives here: the messages, replayed once the display is
// open, and the one line the user gets instead when it is not.
struct HeldMessage {
    QtMsgType type;
    int line;
    const char* file;
    const char* function;
    const char* category;
    QString text;
};

struct StartupMessages {
    QtMessageHandler previous = nullptr;
    std::vector<HeldMessage> held;
    const char* program = "zelvora";
};

StartupMessages startupMessages;

void holdStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        startupMessages.held.push_back({ type, context.line, context.file, context.function, context.category, text });
        return;
    }
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display)
        display = std::getenv("DISPLAY");
    std::fprintf(stderr, "%s: cannot open the display %s; start it from a graphical session\n", startupMessages.program,
        display && *display ? display : "(none)");
    std::fflush(stderr);
    // Nothing has been loaded or written yet, so there is nothing to tidy.
    std::_Exit(1);
}

void replayStartupMessages()
{
    qInstallMessageHandler(startupMessages.previous);
    for (const HeldMessage& h : startupMessages.held) {
        const QMessageLogContext context(h.file, h.line, h.function, h.category);
        qt_message_output(h.type, context, h.text);
    }
    startupMessages.held.clear();
}

} // namespace

int programEntry(int argc, char** argv, Edition edition, const char* version)
{
    if (!displayNamed()) {
        std::fprintf(stderr,
            "%s: no display found (DISPLAY and WAYLAND_DISPLAY are unset); start it from a graphical session\n",
            programName(argc, argv));
        return 1;
    }
    keepQtUserSettingsAway();
    startupMessages.program = programName(argc, argv);
    startupMessages.previous = qInstallMessageHandler(holdStartupMessage);
    QApplication app(argc, argv);
    replayStartupMessages();

    QApplication::setApplicationName(QFileInfo(QApplication::applicationFilePath()).fileName());
    // No display name: Qt would append it to every window title, and the
    // titles ("...", "Programador", a test file's name) are shown as they are.
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    QApplication::setOrganizationName(QStringLiteral("Zelvora"));
    // Windows without owner (message boxes, the print set-up) come and go
    // while the main window runs; only its end ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QTranslator qtTexts;
    speakSpanish(qtTexts);

    QtInteraction interaction;
    Model m;
    m.edition = edition;
    m.interaction = &interaction;
    m.programPath = QApplication::applicationFilePath();
    m.programFolder = QApplication::applicationDirPath();
    m.filesBesideProgram = keepsFilesBesideProgram(m.programFolder, QStringLiteral(ZELVORA_INSTALL_BINDIR));
    m.installedProgram = runsFromInstallFolder(m.programFolder, QStringLiteral(ZELVORA_INSTALL_BINDIR));
    m.commandArguments = QApplication::arguments().mid(1);
    m.commandTail = m.commandArguments.join(QLatin1Char(' '));

    settingsFile(m, QStringLiteral("get"));
    offerFileTypeRegistration(m);
    createMainWindow(m);
    settingsFile(m, QStringLiteral("save"));
    return 0;
}
