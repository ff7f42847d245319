#include <QTest>

#include "platform/color.h"
#include "render/sheetfont.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "tests/support/testmodel.h"
#include "view/marking.h"
#include "view/viewcontrol.h"

namespace {

constexpr ColorRef kText = 0x0000C0;
constexpr QRgb kWhiteRgb = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

bool onBorder(int x, int y)
{
    return x == 0 || y == 0 || x == kSheetWidth - 1 || y == kSheetHeight - 1;
}

int rowY(int q)
{
    return 75 + 40 * ((q - 1) % 25);
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void cellPositions_data();
    void cellPositions();
    void everyCellLiesOnTheHitGrid();
    void everyNumberIsPaintedBesideItsRow();
    void cellsPerTestType_data();
    void cellsPerTestType();
    void twoAnswerTestKeepsTheOtherRecords();
    void testTypeWithoutRowsLeavesOnlyTheFrame_data();
    void testTypeWithoutRowsLeavesOnlyTheFrame();
    void rebuildingKeepsEveryMark();
    void marksTakeTheCurrentShape();
    void framelessBuildHasNoBorder();
};

void TestLayout::cellPositions_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("q");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");

    QTest::newRow("question 1, answer 1") << 1 << 1 << 152 << 75;
    QTest::newRow("question 1, answer 5") << 5 << 1 << 240 << 75;
    QTest::newRow("question 25, answer 2") << 2 << 25 << 174 << 1035;
    QTest::newRow("question 26, answer 1") << 1 << 26 << 297 << 75;
    QTest::newRow("question 51, answer 3") << 3 << 51 << 486 << 75;
    QTest::newRow("question 100, answer 1") << 1 << 100 << 587 << 1035;
    QTest::newRow("question 100, answer 5") << 5 << 100 << 675 << 1035;
}

void TestLayout::cellPositions()
{
    QFETCH(int, k);
    QFETCH(int, q);
    QFETCH(int, left);
    QFETCH(int, top);

    TestModel t;
    t.m.settings.textColor = std::int32_t(kText);
    buildSheet(t.m, 1);
    const AnswerCell& cell = t.m.answerCells.at(k, q);
    QCOMPARE(int(cell.left), left);
    QCOMPARE(int(cell.right), left + 15);
    QCOMPARE(int(cell.top), top);
    QCOMPARE(int(cell.bottom), top + 15);
    // The square outline is drawn where the cell is recorded.
    const QRgb ink = rgbFromColorRef(kText);
    QCOMPARE(t.m.sheetBitmap.pixel(left, top), ink);
    QCOMPARE(t.m.sheetBitmap.pixel(left + 14, top + 14), ink);
    QCOMPARE(t.m.sheetBitmap.pixel(left + 15, top + 7), kWhiteRgb);
    QCOMPARE(t.m.sheetBitmap.pixel(left + 7, top + 15), kWhiteRgb);
}

void TestLayout::everyCellLiesOnTheHitGrid()
{
    TestModel t;
    buildSheet(t.m, 1);
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= kMaxAnswers; ++k) {
            const AnswerCell& c = t.m.answerCells.at(k, q);
            const CellIndex want { k, q };
            if (hitCell(c.left, c.top) != want || hitCell(c.right, c.bottom) != want)
                QFAIL(qPrintable(QStringLiteral("cell (%1, %2) is off the hit grid").arg(k).arg(q)));
        }
}

// With a font too wide for the label box the wrap rule pushes a number down
// line after line, off its row and off the sheet.
void TestLayout::everyNumberIsPaintedBesideItsRow()
{
    TestModel t;
    t.m.settings.textColor = std::int32_t(kText);
    buildSheet(t.m, 1);
    const QRgb ink = rgbFromColorRef(kText);
    const int lineHeight = t.m.sheetFont.lineHeight;
    QVERIFY(lineHeight > 0);
    QCOMPARE(t.m.labelBoxWidth, 30);

    std::array<int, kQuestions + 1> painted {};
    for (int c = 0; c < 4; ++c) {
        const int x0 = 120 + 145 * c;
        for (int y = 0; y < kSheetHeight; ++y)
            for (int x = x0; x < x0 + 30; ++x) {
                if (t.m.sheetBitmap.pixel(x, y) != ink)
                    continue;
                // Which row's number box, two text lines high, holds it.
                const int r = (y - 75) / 40;
                const bool inBox = y >= 75 && r < 25 && y < 75 + 40 * r + 2 * lineHeight;
                if (!inBox)
                    QFAIL(qPrintable(QStringLiteral("text pixel (%1, %2) belongs to no row").arg(x).arg(y)));
                ++painted[std::size_t(25 * c + r + 1)];
            }
    }
    for (int q = 1; q <= kQuestions; ++q)
        if (painted[std::size_t(q)] == 0)
            QFAIL(qPrintable(QStringLiteral("question %1 has no number beside its row").arg(q)));
}

void TestLayout::cellsPerTestType_data()
{
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("cells");
    QTest::newRow("five answers") << 0 << 5;
    QTest::newRow("Spanish logic") << 1 << 2;
    QTest::newRow("English logic") << 2 << 2;
}

void TestLayout::cellsPerTestType()
{
    QFETCH(int, testType);
    QFETCH(int, cells);

    TestModel t;
    t.m.settings.textColor = std::int32_t(kText);
    t.m.settings.testType = testType;
    buildSheet(t.m, 1);
    const QRgb ink = rgbFromColorRef(kText);
    for (const int q : { 1, 26, 100 })
        for (int k = 1; k <= 5; ++k) {
            const int left = 152 + 145 * ((q - 1) / 25) + 22 * (k - 1);
            QCOMPARE(t.m.sheetBitmap.pixel(left, rowY(q) + 7) == ink, k <= cells);
        }
}

void TestLayout::twoAnswerTestKeepsTheOtherRecords()
{
    TestModel t;
    t.m.settings.testType = 1;
    const AnswerCell sentinel { 1, 2, 3, 4, 1, 0x00ABCDEF };
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= 5; ++k)
            t.m.answerCells.at(k, q) = sentinel;
    buildSheet(t.m, 1);
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= 5; ++k) {
            const AnswerCell& c = t.m.answerCells.at(k, q);
            const int left = 152 + 145 * ((q - 1) / 25) + 22 * (k - 1);
            QCOMPARE(int(c.left), k <= 2 ? left : int(sentinel.left));
            QCOMPARE(int(c.top), k <= 2 ? rowY(q) : int(sentinel.top));
            QCOMPARE(c.marked, sentinel.marked);
            QCOMPARE(c.markColor, sentinel.markColor);
        }
}

void TestLayout::testTypeWithoutRowsLeavesOnlyTheFrame_data()
{
    QTest::addColumn<int>("testType");
    QTest::newRow("3") << 3;
    QTest::newRow("-1") << -1;
}

void TestLayout::testTypeWithoutRowsLeavesOnlyTheFrame()
{
    QFETCH(int, testType);

    TestModel t;
    // Marked cells from an earlier sheet must not be painted either.
    buildSheet(t.m, 1);
    t.m.answerCells.at(1, 1).marked = 1;
    t.m.answerCells.at(1, 1).markColor = 0x0000FF;
    t.m.settings.testType = testType;
    buildSheet(t.m, 1);
    for (int y = 0; y < kSheetHeight; ++y)
        for (int x = 0; x < kSheetWidth; ++x)
            if (t.m.sheetBitmap.pixel(x, y) != (onBorder(x, y) ? kBlack : kWhiteRgb))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) drawn").arg(x).arg(y)));
}

void TestLayout::rebuildingKeepsEveryMark()
{
    TestModel t;
    buildSheet(t.m, 1);
    t.m.answerCells.at(1, 1).marked = 1;
    t.m.answerCells.at(1, 1).markColor = 0x00FF00;
    t.m.answerCells.at(5, 100).marked = 1;
    t.m.answerCells.at(5, 100).markColor = 0x0000FF;
    t.m.answerCells.at(3, 40).marked = 0;
    t.m.answerCells.at(3, 40).markColor = kWhite;
    // A value read from a file stays, and is not painted as a mark.
    t.m.answerCells.at(2, 60).marked = 7;
    t.m.answerCells.at(2, 60).markColor = 0xFF0000;
    AnswerTable before = t.m.answerCells;

    t.m.settings.fillColor = 0x123456;
    t.m.settings.letterCase = 0;
    t.m.settings.textColor = 0x404040;
    buildSheet(t.m, 1);
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= 5; ++k) {
            QCOMPARE(t.m.answerCells.at(k, q).marked, before.at(k, q).marked);
            QCOMPARE(t.m.answerCells.at(k, q).markColor, before.at(k, q).markColor);
        }
    auto centre = [&](int k, int q) {
        const AnswerCell& c = t.m.answerCells.at(k, q);
        return t.m.sheetBitmap.pixel(c.left + 7, c.top + 7);
    };
    QCOMPARE(centre(1, 1), rgbFromColorRef(0x00FF00));
    QCOMPARE(centre(5, 100), rgbFromColorRef(0x0000FF));
    QCOMPARE(centre(3, 40), kWhiteRgb);
    QCOMPARE(centre(2, 60), kWhiteRgb);
    // The rebuilt sheet, marks included, is what the view shows.
    QCOMPARE(t.m.viewControl->shownImage(), t.m.viewBitmap);
    QCOMPARE(t.m.viewBitmap.pixel(152 + 7, 75 + 7), rgbFromColorRef(0x00FF00));
}

void TestLayout::marksTakeTheCurrentShape()
{
    TestModel t;
    buildSheet(t.m, 1);
    t.m.answerCells.at(2, 2).marked = 1;
    t.m.answerCells.at(2, 2).markColor = 0x0000FF;
    const AnswerCell& c = t.m.answerCells.at(2, 2);
    const QRgb red = rgbFromColorRef(0x0000FF);
    // (3, 3) of the cell is inside a square mark, outside a round one and
    // clear of either outline.
    buildSheet(t.m, 1);
    QCOMPARE(t.m.sheetBitmap.pixel(c.left + 3, c.top + 3), red);
    t.m.settings.cellShape = 1;
    buildSheet(t.m, 1);
    QCOMPARE(t.m.sheetBitmap.pixel(c.left + 3, c.top + 3), kWhiteRgb);
    QCOMPARE(t.m.sheetBitmap.pixel(c.left + 7, c.top + 7), red);
}

void TestLayout::framelessBuildHasNoBorder()
{
    TestModel t;
    t.m.answerCells.at(1, 1).marked = 1;
    t.m.answerCells.at(1, 1).markColor = 0x0000FF;
    buildSheet(t.m, 1);
    QImage framed = t.m.sheetBitmap.copy();
    buildSheet(t.m, 0);
    const QImage& frameless = t.m.sheetBitmap;
    for (int y = 0; y < kSheetHeight; ++y)
        for (int x = 0; x < kSheetWidth; ++x) {
            if (!onBorder(x, y))
                continue;
            QCOMPARE(framed.pixel(x, y), kBlack);
            framed.setPixel(x, y, kWhiteRgb);
        }
    QCOMPARE(frameless, framed);
    QCOMPARE(t.m.viewBitmap.pixel(0, 0), kWhiteRgb);
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
