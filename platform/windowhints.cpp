#include "platform/windowhints.h"

#include <cstdint>
#include <cstdlib>

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

void askForCaptionWithoutButtons(QWidget& window)
{
    // Other platforms may answer for X11 too.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    constexpr char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (!atom)
        return;
    constexpr std::uint32_t kFunctions = 1, kDecorations = 2;
    constexpr std::uint32_t kResize = 2, kMove = 4;
    constexpr std::uint32_t kBorder = 2, kResizeHandles = 4, kTitle = 8;
    const std::uint32_t hints[5]
        = { kFunctions | kDecorations, kResize | kMove, kBorder | kResizeHandles | kTitle, 0, 0 };
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()), atom->atom, atom->atom, 32, 5, hints);
    xcb_flush(connection);
    std::free(atom);
}
