// Starts either an empty Qt window of the main window's size or the main
// window with its sheet, and exits as soon as it is on screen. Timed from the
// outside by bench/startup.sh, which runs both in turn.
#include <cstring>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "app/mainwindow.h"
#include "app/qtinteraction.h"
#include "sheet/model.h"

int main(int argc, char** argv)
{
    const bool sheet = argc > 1 && std::strcmp(argv[1], "sheet") == 0;
    QApplication app(argc, argv);
    if (!sheet) {
        QWidget window;
        window.resize(kClientWidth, kClientHeight);
        window.show();
        return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
    }
    QtInteraction interaction;
    Model m;
    m.interaction = &interaction;
    m.programFolder = QApplication::applicationDirPath();
    m.programPath = QApplication::applicationFilePath();
    MainWindow window(m);
    window.show();
    // The opening message has built and refreshed the sheet by the time the
    // window is exposed.
    return QTest::qWaitForWindowExposed(&window) && !m.sheetBitmap.isNull() ? 0 : 1;
}
