#pragma once

#include <array>

#include <QStringView>

class QPainter;
class QStaticText;
struct SheetFont;

// A text box holds up to 100 lines, one text line apart.
inline constexpr int kTextBoxLines = 100;

// Line i of the box is lines[i - 1]; every line is a slice of the text.
using TextBoxLines = std::array<QStringView, kTextBoxLines>;

// Breaks a text into the lines of a box `boxWidth` pixels wide: the first
// line takes what fits in boxWidth - 5, and each later line that comes out
// longer than the one above it is split again at the full width. A text
// that fits nowhere is pushed down line after line, to the bottom of the
// box. Returns how many lines from the top may hold text; every line below
// them is empty.
int splitTextBox(QStringView text, int boxWidth, const SheetFont& font, TextBoxLines& lines);

// Draws the lines of the text with their top-left corner at (x, y), in the
// painter's pen colour over a transparent background. The painter's font is
// the sheet font.
void drawTextBox(QPainter& painter, const SheetFont& font, const QStaticText& text, int x, int y, int boxWidth);
