#pragma once

class QWidget;

// Asks the X window manager for a caption without buttons on `window`'s
// native window: title bar and border, no menu, minimise or maximise
// button, still movable and resizable. Qt's window flags cannot say this:
// they leave the decorations out of _MOTIF_WM_HINTS, which tells the
// window manager to draw all of them. Does nothing on other platforms
// (offscreen among them); a window manager may still draw what it likes.
void askForCaptionWithoutButtons(QWidget& window);
