#include "render/sheetfont.h"

#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <QTransform>

namespace {

// The page is 794 pixels wide, A4 at 96 dots per inch: the points of the
// sheet font are pixels at that resolution, whatever the screen reports.
constexpr int kPageDpi = 96;

void prepare(QStaticText& text, const QString& content, const QFont& font)
{
    text.setText(content);
    text.setTextFormat(Qt::PlainText);
    text.setPerformanceHint(QStaticText::AggressiveCaching);
    text.prepare(QTransform(), font);
}

} // namespace

void loadSheetFont(SheetFont& sheet)
{
    if (sheet.loaded)
        return;
    QFont font;
    // A list rather than a substitution table: Qt tries the families in
    // order, and fontconfig's own fallback for an unknown name (whatever
    // sans face the machine prefers) never gets a say.
    font.setFamilies(QStringList { QString::fromLatin1(kSheetFontFamily), QString::fromLatin1(kSheetFontStandIn) });
    font.setPixelSize((kSheetFontPoints * kPageDpi + 36) / 72);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setKerning(false);
    // Glyphs in the one text colour and nothing else: the sheet is the same
    // on every machine, prints crisply, and its pixels can be told apart
    // from the white paper by colour alone.
    font.setStyleStrategy(QFont::NoAntialias);
    sheet.font = font;

    const QFontMetrics metrics(font);
    sheet.lineHeight = metrics.height() + metrics.leading();
    // Every glyph measured is a glyph loaded from the face, so only the
    // characters of the sheet's own texts are measured here; any other is
    // measured when a text holds one (advanceOf). Control characters have
    // no glyph and would send Qt hunting through the fallback fonts.
    sheet.asciiAdvance.fill(-1);
    const auto measure = [&](const char* characters) {
        for (const char* c = characters; *c; ++c)
            sheet.asciiAdvance[std::size_t(*c)] = metrics.horizontalAdvance(QLatin1Char(*c));
    };
    measure("0123456789. ");
    measure(kSheetLetters);

    for (int q = 1; q <= 100; ++q)
        prepare(sheet.numberLabels[std::size_t(q - 1)], QStringLiteral("%1.").arg(q, 3, 10, QLatin1Char('0')), font);
    // Laying out a text is the dearest part of loading, and the rows only
    // ever draw their answer letters.
    for (const char* c = kSheetLetters; *c; ++c)
        prepare(sheet.singleCharacters[std::size_t(*c)], QString(QChar(*c)), font);
    sheet.loaded = true;
}

int advanceOf(const SheetFont& font, QChar c)
{
    if (c.unicode() < font.asciiAdvance.size() && font.asciiAdvance[c.unicode()] >= 0)
        return font.asciiAdvance[c.unicode()];
    return QFontMetrics(font.font).horizontalAdvance(c);
}

const QStaticText& numberLabel(const SheetFont& font, int q)
{
    return font.numberLabels[std::size_t(q - 1)];
}

const QStaticText& singleCharacter(const SheetFont& font, char c)
{
    return font.singleCharacters[std::size_t(static_cast<unsigned char>(c) & 0x7F)];
}
