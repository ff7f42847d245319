#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStaticText>
#include <QTest>

#include "platform/color.h"
#include "platform/draw.h"
#include "render/cells.h"
#include "render/rows.h"
#include "render/sheetfont.h"
#include "render/textbox.h"
#include "sheet/model.h"
#include "tests/support/testmodel.h"

namespace {

constexpr QRgb kWhiteRgb = 0xFFFFFFFF;
constexpr QRgb kInk = 0xFF2040C0;
constexpr QRgb kOther = 0xFF10A010;

// The expected figures, row by row: '#' outline, 'o' inside, '.' untouched.
const char* const kRound15[] = {
    ".....#####.....",
    "...##ooooo##...",
    "..#ooooooooo#..",
    ".#ooooooooooo#.",
    ".#ooooooooooo#.",
    "#ooooooooooooo#",
    "#ooooooooooooo#",
    "#ooooooooooooo#",
    "#ooooooooooooo#",
    "#ooooooooooooo#",
    ".#ooooooooooo#.",
    ".#ooooooooooo#.",
    "..#ooooooooo#..",
    "...##ooooo##...",
    ".....#####.....",
};

const char* const kRound11[] = {
    "....###....",
    "..##ooo##..",
    ".#ooooooo#.",
    ".#ooooooo#.",
    "#ooooooooo#",
    "#ooooooooo#",
    "#ooooooooo#",
    ".#ooooooo#.",
    ".#ooooooo#.",
    "..##ooo##..",
    "....###....",
};

QImage whiteImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Compares the image with a figure drawn at (x0, y0); every pixel outside
// the figure must still be white.
void compareFigure(const QImage& image, const char* const* rows, int size, int x0, int y0, QRgb line, QRgb inside)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            char c = '.';
            if (x >= x0 && x < x0 + size && y >= y0 && y < y0 + size)
                c = rows[y - y0][x - x0];
            const QRgb want = c == '#' ? line : c == 'o' ? inside : kWhiteRgb;
            if (image.pixel(x, y) != want)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, want %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(image.pixel(x, y), 0, 16)
                                     .arg(want, 0, 16)));
        }
}

const char* const* squareFigure(int size, bool filled)
{
    static char rows[15][16];
    static const char* pointers[15];
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x)
            rows[y][x] = x == 0 || y == 0 || x == size - 1 || y == size - 1 ? '#' : filled ? 'o' : '.';
        rows[y][size] = 0;
        pointers[y] = rows[y];
    }
    return pointers;
}

SheetFont fixedWidthFont(int advance)
{
    SheetFont font;
    font.asciiAdvance.fill(advance);
    return font;
}

QImage crop(const QImage& image, const QRect& r)
{
    return image.copy(r);
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void shapes_data();
    void shapes();
    void roundMarkStaysClearOfRoundCell();
    void erasingLeavesTheOutline_data();
    void erasingLeavesTheOutline();
    void drawMarksPaintsOnlyMarkedCellsInTheirOwnColour();
    void textBoxLines_data();
    void textBoxLines();
    void sheetFontIsDeterministicAndNumbersFit();
    void letters_data();
    void letters();
    void rowOutsideItsRangeDrawsNothing_data();
    void rowOutsideItsRangeDrawsNothing();
};

void TestRender::shapes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("round");
    QTest::addColumn<bool>("filled");

    QTest::newRow("square cell") << 15 << false << false;
    QTest::newRow("square mark") << 11 << false << true;
    QTest::newRow("round cell") << 15 << true << false;
    QTest::newRow("round mark") << 11 << true << true;
}

void TestRender::shapes()
{
    QFETCH(int, size);
    QFETCH(bool, round);
    QFETCH(bool, filled);

    QImage image = whiteImage(40, 40);
    const int x0 = 10;
    const int y0 = 7;
    drawShape(image, Box { x0, y0, x0 + size, y0 + size }, round ? Shape::Round : Shape::Square, kInk,
        filled ? std::optional<QRgb>(kInk) : std::nullopt);

    const char* const* rows = round ? (size == 15 ? kRound15 : kRound11) : squareFigure(size, filled);
    compareFigure(image, rows, size, x0, y0, kInk, filled ? kInk : kWhiteRgb);
    if (!round && !filled) {
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += image.pixel(x, y) != kWhiteRgb;
        QCOMPARE(painted, 56);
    }
}

void TestRender::roundMarkStaysClearOfRoundCell()
{
    TestModel t;
    t.m.sheetBitmap.fill(Qt::white);
    t.m.settings.cellShape = 1;
    AnswerCell cell { 100, 115, 200, 215, 1, 0x0000FF };
    drawCellOutline(t.m.sheetBitmap, cell.left, cell.top, 15, 15, kInk, 1);
    paintMark(t.m, cell, cell.markColor);

    const QRgb mark = rgbFromColorRef(cell.markColor);
    for (int y = cell.top - 1; y <= cell.bottom; ++y)
        for (int x = cell.left - 1; x <= cell.right; ++x) {
            if (t.m.sheetBitmap.pixel(x, y) != mark)
                continue;
            QVERIFY2(x >= cell.left + 2 && x <= cell.left + 12 && y >= cell.top + 2 && y <= cell.top + 12,
                "mark outside its box");
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    QVERIFY2(t.m.sheetBitmap.pixel(x + dx, y + dy) != kInk,
                        qPrintable(QStringLiteral("mark pixel (%1, %2) touches the outline").arg(x).arg(y)));
        }
}

void TestRender::erasingLeavesTheOutline_data()
{
    QTest::addColumn<int>("cellShape");
    QTest::newRow("square") << 0;
    QTest::newRow("round") << 1;
    QTest::newRow("any other value is round") << -7;
}

void TestRender::erasingLeavesTheOutline()
{
    QFETCH(int, cellShape);

    TestModel t;
    t.m.sheetBitmap.fill(Qt::white);
    t.m.settings.cellShape = cellShape;
    const AnswerCell cell { 300, 315, 400, 415, 1, 0 };
    drawCellOutline(t.m.sheetBitmap, cell.left, cell.top, 15, 15, kInk, cellShape);
    const QImage outlineOnly = t.m.sheetBitmap.copy();
    paintMark(t.m, cell, 0x0000FF);
    QVERIFY(t.m.sheetBitmap != outlineOnly);
    paintMark(t.m, cell, kWhite);
    QCOMPARE(t.m.sheetBitmap, outlineOnly);
}

void TestRender::drawMarksPaintsOnlyMarkedCellsInTheirOwnColour()
{
    TestModel t;
    t.m.sheetBitmap.fill(Qt::white);
    t.m.settings.fillColor = 0x00FF00;
    auto place = [&](int k, int q, std::int32_t marked, ColorRef colour) {
        AnswerCell& c = t.m.answerCells.at(k, q);
        c = AnswerCell { std::int16_t(20 * k), std::int16_t(20 * k + 15), std::int16_t(20 * q),
            std::int16_t(20 * q + 15), marked, colour };
    };
    place(1, 1, 1, 0x0000FF); // red, painted in its own colour, not fillColor
    place(2, 1, 0, 0xFF0000); // not marked: nothing, whatever its colour
    place(3, 2, 2, 0xFF0000); // read from a file: only 1 counts as marked
    place(4, 3, 1, 0xFF0000); // beyond the n passed in
    drawMarks(t.m, 3, 0);

    QCOMPARE(t.m.sheetBitmap.pixel(20 + 7, 20 + 7), rgbFromColorRef(0x0000FF));
    for (const QPoint p : { QPoint(40 + 7, 20 + 7), QPoint(60 + 7, 40 + 7), QPoint(80 + 7, 60 + 7) })
        QCOMPARE(t.m.sheetBitmap.pixel(p), kWhiteRgb);
    QCOMPARE(t.m.sheetBitmap.pixel(0, 0), kWhiteRgb);
    drawMarks(t.m, 3, 1);
    QCOMPARE(t.m.sheetBitmap.pixel(0, 0), qRgb(0, 0, 0));
}

void TestRender::textBoxLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("advance");
    QTest::addColumn<int>("boxWidth");
    QTest::addColumn<QStringList>("expected");

    const QStringList pushedToTheBottom = [] {
        QStringList l;
        for (int i = 1; i < kTextBoxLines; ++i)
            l << QString();
        return l << QStringLiteral("100.");
    }();
    QTest::newRow("number within width - 5") << "100." << 6 << 30 << QStringList { "100." };
    QTest::newRow("number exactly width - 5") << "10." << 8 << 29 << QStringList { "10." };
    QTest::newRow("number wider than width - 5 drops a line") << "100." << 7 << 30 << QStringList { "", "100." };
    QTest::newRow("number exactly width") << "100." << 7 << 28 << QStringList { "", "100." };
    QTest::newRow("number wider than the box falls off") << "100." << 8 << 30 << pushedToTheBottom;
    QTest::newRow("letter") << "A" << 7 << 30 << QStringList { "A" };
    QTest::newRow("letter in a box of width 0")
        << "A" << 7 << 0 << pushedToTheBottom.mid(0, kTextBoxLines - 1) + QStringList { "A" };
    QTest::newRow("split at the space") << "ab cd" << 7 << 30 << QStringList { "ab", "cd" };
    QTest::newRow("first line keeps its spaces") << " ab" << 7 << 30 << QStringList { " ab" };
    QTest::newRow("rest keeps its space unless split again") << "abc de" << 7 << 30 << QStringList { "abc", " de" };
    QTest::newRow("three lines") << "ab cd efgh" << 7 << 30 << QStringList { "ab", "cd", "efgh" };
    QTest::newRow("empty") << "" << 7 << 30 << QStringList {};
}

void TestRender::textBoxLines()
{
    QFETCH(QString, text);
    QFETCH(int, advance);
    QFETCH(int, boxWidth);
    QFETCH(QStringList, expected);

    const SheetFont font = fixedWidthFont(advance);
    TextBoxLines lines;
    splitTextBox(text, boxWidth, font, lines);
    QStringList got;
    for (const QStringView line : lines)
        got << line.toString();
    while (!got.isEmpty() && got.last().isEmpty())
        got.removeLast();
    QCOMPARE(got, expected);
}

void TestRender::sheetFontIsDeterministicAndNumbersFit()
{
    SheetFont font;
    loadSheetFont(font);
    const QString family = QFontInfo(font.font).family();
    QVERIFY2(
        family == QLatin1String(kSheetFontFamily) || family == QLatin1String(kSheetFontStandIn), qPrintable(family));
    // The widest number must fit the 30-pixel label box, or the wrap rule
    // pushes it down the sheet.
    int widest = 0;
    for (int q = 1; q <= 100; ++q) {
        int width = 0;
        for (const QChar c : numberLabel(font, q).text())
            width += advanceOf(font, c);
        widest = std::max(widest, width);
    }
    QVERIFY2(widest <= 30, qPrintable(QString::number(widest)));
    QVERIFY(font.lineHeight > 0);
    // Measured in advance or when first asked for, an advance is the face's.
    const QFontMetrics metrics(font.font);
    for (char c = 32; c < 127; ++c)
        QCOMPARE(advanceOf(font, QLatin1Char(c)), metrics.horizontalAdvance(QLatin1Char(c)));
}

void TestRender::letters_data()
{
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("letterCase");
    QTest::addColumn<QString>("letters");

    QTest::newRow("five answers, capitals") << 0 << 1 << "ABCDE";
    QTest::newRow("five answers, small") << 0 << 0 << "abcde";
    QTest::newRow("Spanish logic, capitals") << 1 << 1 << "VF";
    QTest::newRow("Spanish logic, small") << 1 << 0 << "vf";
    QTest::newRow("English logic, capitals") << 2 << 5 << "TF";
    QTest::newRow("English logic, small") << 2 << 0 << "tf";
}

// The letters drawn above the cells of question 1 must be, pixel for pixel,
// the expected glyphs at their place.
void TestRender::letters()
{
    QFETCH(int, testType);
    QFETCH(int, letterCase);
    QFETCH(QString, letters);

    TestModel t;
    loadSheetFont(t.m.sheetFont);
    const SheetFont& font = t.m.sheetFont;
    QImage sheet = whiteImage(200, 120);
    QImage expected = whiteImage(200, 120);
    {
        QPainter painter(&sheet);
        painter.setFont(font.font);
        RowCanvas canvas { sheet, painter, font };
        RowStyle style;
        style.textColor = kInk;
        drawQuestionRow(
            t.m, canvas, *rowVariantFor(testType), numberLabel(font, 1), 10, 40, style, letters.size(), letterCase, 0);

        QPainter reference(&expected);
        reference.setFont(font.font);
        reference.setPen(QColor(kInk));
        for (int k = 0; k < letters.size(); ++k)
            reference.drawStaticText(
                QPoint(10 + 32 + 22 * k + 3, 40 - 17), singleCharacter(font, char(letters[k].unicode())));
    }
    for (int k = 0; k < letters.size(); ++k) {
        const QRect box(10 + 32 + 22 * k, 40 - 17, 15, 17);
        QCOMPARE(crop(sheet, box), crop(expected, box));
        QVERIFY2(crop(sheet, box) != whiteImage(15, 17), "no letter drawn");
    }
}

void TestRender::rowOutsideItsRangeDrawsNothing_data()
{
    QTest::addColumn<int>("variant");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("drawn");

    QTest::newRow("ten letters, 0") << int(RowVariant::TenLetters) << 0 << false;
    QTest::newRow("ten letters, 1") << int(RowVariant::TenLetters) << 1 << false;
    QTest::newRow("ten letters, 2") << int(RowVariant::TenLetters) << 2 << true;
    QTest::newRow("ten letters, 10") << int(RowVariant::TenLetters) << 10 << true;
    QTest::newRow("ten letters, 11") << int(RowVariant::TenLetters) << 11 << false;
    QTest::newRow("V/F, 0") << int(RowVariant::SpanishLogic) << 0 << false;
    QTest::newRow("V/F, 1") << int(RowVariant::SpanishLogic) << 1 << true;
    QTest::newRow("V/F, 3") << int(RowVariant::SpanishLogic) << 3 << false;
    QTest::newRow("T/F, -1") << int(RowVariant::EnglishLogic) << -1 << false;
    QTest::newRow("T/F, 2") << int(RowVariant::EnglishLogic) << 2 << true;
    QTest::newRow("T/F, 3") << int(RowVariant::EnglishLogic) << 3 << false;
}

void TestRender::rowOutsideItsRangeDrawsNothing()
{
    QFETCH(int, variant);
    QFETCH(int, n);
    QFETCH(bool, drawn);

    TestModel t;
    loadSheetFont(t.m.sheetFont);
    t.m.answerCells.recreate(5);
    const AnswerCell sentinel { 1, 2, 3, 4, 1, 0x123456 };
    t.m.answerCells.at(1, 7) = sentinel;
    QImage sheet = whiteImage(400, 120);
    {
        QPainter painter(&sheet);
        painter.setFont(t.m.sheetFont.font);
        RowCanvas canvas { sheet, painter, t.m.sheetFont };
        RowStyle style;
        style.textColor = kOther;
        drawQuestionRow(t.m, canvas, RowVariant(variant), numberLabel(t.m.sheetFont, 7), 10, 40, style, n, 1, 0);
    }
    QCOMPARE(sheet != whiteImage(400, 120), drawn);
    const AnswerCell& cell = t.m.answerCells.at(1, 7);
    if (drawn) {
        QCOMPARE(cell.left, std::int16_t(42));
        QCOMPARE(cell.top, std::int16_t(40));
        QCOMPARE(cell.marked, 1);
        QCOMPARE(cell.markColor, ColorRef(0x123456));
    } else {
        QCOMPARE(cell.left, sentinel.left);
        QCOMPARE(cell.right, sentinel.right);
        QCOMPARE(cell.top, sentinel.top);
        QCOMPARE(cell.bottom, sentinel.bottom);
    }
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
