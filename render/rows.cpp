#include "render/rows.h"

#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <QString>

#include "render/cells.h"
#include "render/sheetfont.h"
#include "render/textbox.h"

namespace {

constexpr const char kTenSmall[] = "abcdefghij";
constexpr const char kTenCapital[] = "ABCDEFGHIJ";
constexpr const char kSpanishSmall[] = "vf";
constexpr const char kSpanishCapital[] = "VF";
constexpr const char kEnglishSmall[] = "tf";
constexpr const char kEnglishCapital[] = "TF";

const char* letterSet(RowVariant variant, std::int32_t letterCase)
{
    const bool small = letterCase == 0;
    switch (variant) {
    case RowVariant::TenLetters:
        return small ? kTenSmall : kTenCapital;
    case RowVariant::SpanishLogic:
        return small ? kSpanishSmall : kSpanishCapital;
    case RowVariant::EnglishLogic:
        return small ? kEnglishSmall : kEnglishCapital;
    }
    return kTenCapital;
}

// The numeric value of the label's first three characters, read up to the
// first character that is not a digit.
int questionOf(QStringView label)
{
    int value = 0;
    for (qsizetype i = 0; i < label.size() && i < 3; ++i) {
        const QChar c = label[i];
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

void recordCell(Model& m, int k, int q, int x, int y, const RowStyle& style)
{
    // Callers never pass more answers than the table has columns; a label
    // that names no question records nothing.
    if (!m.answerCells.contains(k, q))
        return;
    AnswerCell& cell = m.answerCells.at(k, q);
    cell.left = std::int16_t(x);
    cell.right = std::int16_t(x + style.cellWidth);
    cell.top = std::int16_t(y);
    cell.bottom = std::int16_t(y + style.cellHeight);
}

} // namespace

std::optional<RowVariant> rowVariantFor(std::int32_t testType)
{
    switch (testType) {
    case 0:
        return RowVariant::TenLetters;
    case 1:
        return RowVariant::SpanishLogic;
    case 2:
        return RowVariant::EnglishLogic;
    default:
        return std::nullopt;
    }
}

bool acceptsAnswerCount(RowVariant variant, int n)
{
    if (variant == RowVariant::TenLetters)
        return n >= 2 && n <= 10;
    return n >= 1 && n <= 2;
}

int drawAnswerCell(Model& m, RowCanvas& canvas, const QStaticText* number, int q, int x, int y,
    const QStaticText& letter, const RowStyle& style, std::int32_t cellShape)
{
    if (number) {
        m.labelBoxWidth = style.labelWidth;
        drawTextBox(canvas.painter, canvas.font, *number, x, y, m.labelBoxWidth);
        x += style.labelWidth + 2;
        recordCell(m, 1, q, x, y, style);
    }
    drawCellOutline(canvas.target, x, y, style.cellWidth, style.cellHeight, style.textColor, cellShape);
    drawTextBox(canvas.painter, canvas.font, letter, x + 3, y - style.cellHeight - 2, m.labelBoxWidth);
    return x;
}

void drawQuestionRow(Model& m, RowCanvas& canvas, RowVariant variant, const QStaticText& label, int x0, int y,
    const RowStyle& style, int n, std::int32_t letterCase, std::int32_t cellShape)
{
    if (!acceptsAnswerCount(variant, n))
        return;
    const char* letters = letterSet(variant, letterCase);
    const QString text = label.text();
    const int q = questionOf(text);
    if (canvas.painter.pen().color().rgb() != style.textColor)
        canvas.painter.setPen(QColor(style.textColor));

    int x = drawAnswerCell(m, canvas, &label, q, x0, y, singleCharacter(canvas.font, letters[0]), style, cellShape);
    for (int k = 2; k <= n; ++k) {
        x += style.cellWidth + style.gap;
        drawAnswerCell(m, canvas, nullptr, q, x, y, singleCharacter(canvas.font, letters[k - 1]), style, cellShape);
        recordCell(m, k, q, x, y, style);
    }
}
