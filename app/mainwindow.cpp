#include "app/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QMoveEvent>
#include <QScreen>

#include "app/commands.h"
#include "app/menubar.h"
#include "app/testcommands.h"
#include "platform/windowhints.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "view/view.h"
#include "view/viewcontrol.h"

using namespace winmsg;

MainWindow::MainWindow(Model& model)
    : QMainWindow(nullptr,
        // A caption without buttons: the window ends through
        // "Salir" or the window manager's close request.
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , model_(model)
{
    setWindowTitle(QStringLiteral("Zelvora"));
    auto* client = new QWidget(this);
    setCentralWidget(client);
    // The view keeps its place and size whatever the window's size.
    auto* view = new ViewControl(model_, client);
    view->move(5, 5);
    view->setObjectName(QStringLiteral("view"));
    model_.mainWindow = this;
    attachView(model_, view);
    resize(kClientWidth, kClientHeight);
    placeOnScreen();
}

void MainWindow::placeOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Before the window manager has framed the window its frame is unknown
    // and counts as none; moveEvent places it again once it is known.
    move(placedTopLeft(screen->availableGeometry(), frameGeometry().size()));
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (framePlaced_ || !isVisible() || frameGeometry().size() == size())
        return;
    framePlaced_ = true;
    placeOnScreen();
}

QPoint placedTopLeft(const QRect& available, const QSize& frame)
{
    const auto axis = [](int start, int room, int size) { return size <= room ? start + (room - size) / 2 : start; };
    return { axis(available.x(), available.width(), frame.width()),
        axis(available.y(), available.height(), frame.height()) };
}

void MainWindow::end()
{
    close();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (opened_)
        return;
    opened_ = true;
    mainWindowHandler(model_, kInitDialog, 0, 0);
    if (model_.viewControl)
        model_.viewControl->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!ended_) {
        ended_ = true;
        emit ended();
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        mainWindowHandler(model_, kNcActivate, isActiveWindow() ? 1 : 0, 0);
    QMainWindow::changeEvent(event);
}

void createMainWindow(Model& m)
{
    MainWindow window(m);
    window.setWindowIcon(QIcon(QStringLiteral(":/icons/zelvora.png")));
    buildMenuBar(m);
    askForCaptionWithoutButtons(window);
    QEventLoop loop;
    // Commands waiting on ownerless boxes hold nested loops open; the boxes
    // are closed so that they unwind, and the window's loop ends after them.
    QObject::connect(&window, &MainWindow::ended, &loop, [&m, &loop] {
        m.windowEnded = true;
        m.interaction->windowEnded();
        loop.quit();
    });
    window.show();
    if (!window.hasEnded())
        loop.exec();
    mainWindowHandler(m, kDestroy, 0, 0);
    m.viewControl = nullptr;
    m.mainWindow = nullptr;
    m.menuBar = nullptr;
}

namespace {

void windowOpened(Model& m)
{
    recreatePages(m);
    createBitmaps(m);
    applyMenuChecks(m);
    // Five columns whatever the settings say: a two-answer test uses the
    // first two until a test type is chosen.
    m.answerCells.recreate(5);
    clearAnswerCells(m, 5);
    // The page record goes to the top first, so the sheet's build, which
    // clears and frames the sheet itself, also brings it into view: the
    // separate clearing and refresh around it would each repeat a pass
    // over a whole bitmap to the same pixels, and the window is not on
    // screen yet to show the steps between.
    resetPageRecord(m);
    buildSheet(m, 1);
    openCommandLineTestFile(m);
}

void activationChanged(Model& m, bool active)
{
    if (!active) {
        m.savedFocus = QApplication::focusWidget();
        return;
    }
    if (m.savedFocus) {
        m.savedFocus->setFocus();
        m.savedFocus = nullptr;
    }
}

} // namespace

void mainWindowHandler(Model& m, std::uint32_t message, WParam wParam, LParam)
{
    switch (message) {
    case kInitDialog:
        windowOpened(m);
        break;
    case kDestroy:
        releaseBitmaps(m);
        break;
    case kNcActivate:
        activationChanged(m, wParam != 0);
        break;
    case kCommand:
        dispatchCommand(m, std::uint16_t(lowWord(wParam)));
        break;
    default:
        break;
    }
}

void setMainWindowTitle(Model& m, const QString& title)
{
    if (m.mainWindow)
        m.mainWindow->setWindowTitle(title);
}

void endMainWindow(Model& m)
{
    if (auto* window = qobject_cast<MainWindow*>(m.mainWindow))
        window->end();
}

#include "moc_mainwindow.cpp"
