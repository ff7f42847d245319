#pragma once

#include <cstdint>
#include <optional>

#include <QRgb>

#include "sheet/model.h"

class QImage;
class QPainter;
class QStaticText;
struct SheetFont;

// The three row drawers: one procedure with a different letter set and a
// different range of answers each accepts.
enum class RowVariant {
    TenLetters, // A to J, 2 to 10 answers
    SpanishLogic, // V, F, 1 or 2 answers
    EnglishLogic, // T, F, 1 or 2 answers
};

// The variant of a test type; none for a test type that has no rows.
std::optional<RowVariant> rowVariantFor(std::int32_t testType);
bool acceptsAnswerCount(RowVariant variant, int n);

// The sizes every row of the sheet is drawn with.
struct RowStyle {
    int labelWidth = 30;
    int cellHeight = 15;
    int cellWidth = 15;
    int gap = 7;
    QRgb textColor = 0;
};

// What one build draws a row with: the bitmap, a painter open on it for the
// text (the sheet font selected) and the prepared sheet texts.
struct RowCanvas {
    QImage& target;
    QPainter& painter;
    const SheetFont& font;
};

// One cell of a row and its letter above it. With a number label the cell
// is the row's first: the number is drawn at (x, y), labelBoxWidth becomes
// the label width, the cell moves right of the label and its rectangle is
// recorded for question q. Returns the cell's x.
int drawAnswerCell(Model& m, RowCanvas& canvas, const QStaticText* number, int q, int x, int y,
    const QStaticText& letter, const RowStyle& style, std::int32_t cellShape);

// Question number, n cells and their letters, each cell's rectangle recorded
// under the question read from the label's first three characters. Draws and
// records nothing when the variant does not accept n.
void drawQuestionRow(Model& m, RowCanvas& canvas, RowVariant variant, const QStaticText& label, int x0, int y,
    const RowStyle& style, int n, std::int32_t letterCase, std::int32_t cellShape);
