#pragma once

#include <QImage>
#include <QRgb>

#include "platform/draw.h"
#include "sheet/model.h"

// cellShape 0 is square; every other value is round.
Shape cellShapeOf(std::int32_t cellShape);

// The empty cell: the outline of (x, y)-(x + width, y + height), one pixel,
// nothing filled.
void drawCellOutline(QImage& target, int x, int y, int width, int height, QRgb colour, std::int32_t cellShape);

// The mark of a cell fills the 11 x 11 pixels from (left + 2, top + 2),
// one blank pixel clear of the outline on every side, so painting it white
// erases any mark and leaves the outline alone. Drawn in the current
// cellShape.
void paintMark(Model& m, const AnswerCell& cell, ColorRef colour);

// Paints every marked cell of answers 1 to n in its own markColor, answer 1
// of all questions first; draws the page frame again when withFrame is 1,
// then updates the view image (where the model has a view) without
// repainting the control.
void drawMarks(Model& m, int n, int withFrame);
