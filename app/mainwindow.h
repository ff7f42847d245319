#pragma once

#include <cstdint>

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "platform/winmsg.h"

struct Model;
class QEventLoop;

// The main window: a fixed frame around the view control. Qt's events are
// turned into the window messages of mainWindowHandler.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Model& model);

    // Ends the window's modal run, as "Salir" and the window manager's close
    // request do.
    void end();
    bool hasEnded() const { return ended_; }

signals:
    void ended();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void placeOnScreen();

    Model& model_;
    bool opened_ = false;
    bool ended_ = false;
    bool framePlaced_ = false;
};

// Where the window's frame goes: centred on the screen's available area,
// and where it does not fit in width or height, at that edge of the area
// (top-left), so that the caption and the menu bar stay within reach.
QPoint placedTopLeft(const QRect& available, const QSize& frame);

// Client area before the menu bar takes its share of it.
inline constexpr int kClientWidth = 804;
inline constexpr int kClientHeight = 985;

void createMainWindow(Model& m);
void mainWindowHandler(Model& m, std::uint32_t message, winmsg::WParam wParam, winmsg::LParam lParam);
void setMainWindowTitle(Model& m, const QString& title);
// "Salir": ends the main window; the settings are saved on the way out.
void endMainWindow(Model& m);
