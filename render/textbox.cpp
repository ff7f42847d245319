#include "render/textbox.h"

#include <QPainter>
#include <QPoint>
#include <QStaticText>
#include <QString>

#include "render/sheetfont.h"

namespace {

struct Split {
    QStringView first;
    QStringView rest;
};

// Counts the characters from the start whose summed advances stay within
// the width; where the text does not fit whole, it breaks at the last space
// up to that count, the space going with the rest. Without such a space
// nothing fits and the whole text is the rest.
Split wordSplit(QStringView text, int width, const SheetFont& font)
{
    qsizetype fitting = 0;
    int used = 0;
    while (fitting < text.size()) {
        used += advanceOf(font, text[fitting]);
        if (used > width)
            break;
        ++fitting;
    }
    if (fitting == text.size())
        return { text, {} };
    for (qsizetype p = fitting; p >= 1; --p)
        if (text[p] == QLatin1Char(' '))
            return { text.first(p), text.sliced(p) };
    return { {}, text };
}

QStringView trimLeadingSpaces(QStringView line)
{
    qsizetype start = 0;
    while (start < line.size() && line[start] == QLatin1Char(' '))
        ++start;
    return line.sliced(start);
}

} // namespace

int splitTextBox(QStringView text, int boxWidth, const SheetFont& font, TextBoxLines& lines)
{
    lines.fill(QStringView());
    const Split head = wordSplit(text, boxWidth - 5, font);
    lines[0] = head.first;
    lines[1] = head.rest;
    // Line 1 keeps its spaces; only the lines split at the full width lose
    // theirs. A line below the top two gets text only from splitting the one
    // above it, so once a line is empty so is every line after it.
    std::size_t used = 2;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        if (lines[i].isEmpty())
            break;
        if (lines[i].size() <= lines[i - 1].size())
            continue;
        used = i + 2;
        const Split split = wordSplit(lines[i], boxWidth, font);
        lines[i] = trimLeadingSpaces(split.first);
        lines[i + 1] = trimLeadingSpaces(split.rest);
    }
    return int(used);
}

void drawTextBox(QPainter& painter, const SheetFont& font, const QStaticText& text, int x, int y, int boxWidth)
{
    const QString whole = text.text();
    TextBoxLines lines;
    const int used = splitTextBox(whole, boxWidth, font, lines);
    for (std::size_t i = 0; i < std::size_t(used); ++i) {
        const QStringView line = lines[i];
        if (line.isEmpty())
            continue;
        const int top = y + int(i) * font.lineHeight;
        // The sheet's texts always come out on one line whole, and then the
        // prepared layout is drawn as it is.
        if (line.size() == whole.size())
            painter.drawStaticText(QPoint(x, top), text);
        else
            painter.drawText(QPoint(x, top + painter.fontMetrics().ascent()), line.toString());
    }
}
