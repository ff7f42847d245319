#pragma once

#include <cstdint>

#include <QImage>

#include "platform/winmsg.h"

struct Model;
class ViewControl;

// The page is shown through the view at a vertical offset (the page
// record's originY) that the keys and the wheel move between these guards.
inline constexpr int kLowestOffset = -561;
inline constexpr int kHighestOffset = 0;

// Lays the whole sheet bitmap on the view bitmap with its top-left corner at
// (x, y), clipped.
void composeView(Model& m, int x, int y);
// Rebuilds the view bitmap at the current offset and hands it to the view
// control, which shows it at its next paint.
void updateViewImage(Model& m);
// updateViewImage, then repaints the view control before returning.
void refreshView(Model& m);

// Makes `control` (which may be null) the model's view: rebuilds and marks
// reach the view bitmap and the control from now on.
void attachView(Model& m, ViewControl* control);

// The view control's handler: runs the view's own branch for a message. The
// control passes every message on to its own handling afterwards.
void viewHandler(Model& m, std::uint32_t message, winmsg::WParam wParam, winmsg::LParam lParam);
