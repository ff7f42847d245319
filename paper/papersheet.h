#pragma once

#include <vector>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "paper/sheetcode.h"

class QPainter;

// One printed answer sheet: what its code says, and the title over it.
struct PaperSheet {
    SheetCode code;
    QString title;
};

// The text that tells the student how to mark.
QString paperInstruction();

// The letters over the cells of a layout, in its letter case.
QStringList paperLetters(const SheetLayout& layout);

// Draws `sheet` on the page `painter` paints, whose device has its top-left
// corner at the paper's and its resolution as logical dots per inch; every
// position comes from paper/papergeometry.h. False, with nothing drawn, when
// the sheet's code cannot be written.
bool drawPaperSheet(QPainter& painter, const PaperSheet& sheet);

// The page as a white image at `dpi`, black ink only, in grey levels.
QImage renderPaperSheet(const PaperSheet& sheet, int dpi);

// The sheets as a vector PDF of one page each, on the paper of their layout.
// Empty when a sheet cannot be drawn.
QByteArray paperSheetsPdf(const std::vector<PaperSheet>& sheets);
