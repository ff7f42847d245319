#include "app/programentry.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QFileInfo>

#include "app/mainwindow.h"
#include "app/qtinteraction.h"
#include "platform/userfolders.h"
#include "registry/filetype.h"
#include "settings/settingsfile.h"

namespace {

bool displayAvailable()
{
    // An explicit platform (offscreen, vnc, ...) is the user's choice.
    if (std::getenv("QT_QPA_PLATFORM"))
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

int programEntry(int argc, char** argv, Edition edition, const char* version)
{
    if (!displayAvailable()) {
        std::fprintf(stderr,
            "%s: no display found (DISPLAY and WAYLAND_DISPLAY are unset); start it from a graphical session\n",
            argc > 0 ? argv[0] : "zelvora");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QFileInfo(QApplication::applicationFilePath()).fileName());
    // No display name: Qt would append it to every window title, and the
    // titles ("...", "Programador", a test file's name) are shown as they are.
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    QApplication::setOrganizationName(QStringLiteral("Zelvora"));
    // Windows without owner (message boxes, the print set-up) come and go
    // while the main window runs; only its end ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtInteraction interaction;
    Model m;
    m.edition = edition;
    m.interaction = &interaction;
    m.programPath = QApplication::applicationFilePath();
    m.programFolder = QApplication::applicationDirPath();
    m.filesBesideProgram = keepsFilesBesideProgram(m.programFolder, QStringLiteral(ZELVORA_INSTALL_BINDIR));
    m.commandTail = QApplication::arguments().mid(1).join(QLatin1Char(' '));

    settingsFile(m, QStringLiteral("get"));
    offerFileTypeRegistration(m);
    createMainWindow(m);
    settingsFile(m, QStringLiteral("save"));
    return 0;
}
