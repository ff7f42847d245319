#pragma once

class QImage;

// The two whole-bitmap drawings every rebuild starts from; they sit below
// the sheet and the view so both can use them.
void clearToWhite(QImage& bitmap);
// Outline of (0, 0)-(794, 1122): the outermost pixel rows and columns.
void drawPageFrame(QImage& bitmap);
