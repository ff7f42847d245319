#include <QTest>

#include "platform/color.h"
#include "platform/winmsg.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "tests/support/testmodel.h"
#include "view/marking.h"
#include "view/view.h"
#include "view/viewcontrol.h"

using namespace winmsg;

namespace {

constexpr QRgb kMarker = 0xFF123456;
constexpr QRgb kWhiteRgb = 0xFFFFFFFF;

void click(Model& m, int x, int y)
{
    viewHandler(m, kLButtonDown, 1, makeLong(std::uint32_t(x), std::uint32_t(y)));
}

QRgb markCentre(const Model& m, int k, int q)
{
    const AnswerCell& c = m.answerCells.at(k, q);
    return m.sheetBitmap.pixel(c.left + 7, c.top + 7);
}

} // namespace

class TestMarking : public QObject {
    Q_OBJECT
private slots:
    void hitCellGrid_data();
    void hitCellGrid();
    void accept_data();
    void accept();
    void clickMarksTheCellUnderThePointer_data();
    void clickMarksTheCellUnderThePointer();
    void secondClickClears();
    void marksAreIndependentAndKeepTheirColour();
    void correctedMarkClearsAndRemarksInFillColor();
    void everyLeftClickRedrawsFrameAndRefreshes();
    void otherButtonsAndMovesChangeNothing();
    void buttonUpRestoresTheArrow();
};

void TestMarking::hitCellGrid_data()
{
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("py");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("q");

    QTest::newRow("top-left of question 1, answer 1") << 152 << 75 << 1 << 1;
    QTest::newRow("bottom-right end included") << 167 << 90 << 1 << 1;
    QTest::newRow("left of the first cell") << 151 << 75 << 0 << 0;
    QTest::newRow("right of the first cell") << 168 << 75 << 0 << 0;
    QTest::newRow("below the first cell") << 152 << 91 << 0 << 0;
    QTest::newRow("above the first row") << 152 << 74 << 0 << 0;
    QTest::newRow("gap between answers") << 173 << 80 << 0 << 0;
    QTest::newRow("answer 2 starts after the gap") << 174 << 80 << 2 << 1;
    QTest::newRow("gap between rows") << 160 << 114 << 0 << 0;
    QTest::newRow("question 2") << 160 << 115 << 1 << 2;
    QTest::newRow("answer 5 of question 1") << 240 << 75 << 5 << 1;
    QTest::newRow("right end of answer 5") << 255 << 90 << 5 << 1;
    QTest::newRow("past answer 5") << 256 << 80 << 0 << 0;
    QTest::newRow("where a sixth answer would be") << 262 << 80 << 0 << 0;
    QTest::newRow("question 25") << 152 << 1035 << 1 << 25;
    QTest::newRow("below question 25") << 152 << 1075 << 0 << 0;
    QTest::newRow("question 26") << 297 << 75 << 1 << 26;
    QTest::newRow("question 51, answer 3") << 486 << 80 << 3 << 51;
    QTest::newRow("question 100, answer 1") << 587 << 1035 << 1 << 100;
    QTest::newRow("question 100, answer 5, far corner") << 690 << 1050 << 5 << 100;
    QTest::newRow("right of the last block") << 691 << 1050 << 0 << 0;
    QTest::newRow("where a fifth block would be") << 732 << 75 << 0 << 0;
    QTest::newRow("negative") << -10 << -10 << 0 << 0;
}

void TestMarking::hitCellGrid()
{
    QFETCH(int, px);
    QFETCH(int, py);
    QFETCH(int, k);
    QFETCH(int, q);

    const CellIndex hit = hitCell(px, py);
    QCOMPARE(hit.k, k);
    QCOMPARE(hit.q, q);
}

void TestMarking::accept_data()
{
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("k");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("five answers, 1") << 0 << 1 << true;
    QTest::newRow("five answers, 5") << 0 << 5 << true;
    QTest::newRow("five answers, no cell") << 0 << 0 << false;
    QTest::newRow("Spanish logic, 2") << 1 << 2 << true;
    QTest::newRow("Spanish logic, 3") << 1 << 3 << false;
    QTest::newRow("English logic, 1") << 2 << 1 << true;
    QTest::newRow("English logic, 5") << 2 << 5 << false;
    QTest::newRow("English logic, no cell") << 2 << 0 << false;
    QTest::newRow("negative test type") << -1 << 1 << false;
}

void TestMarking::accept()
{
    QFETCH(int, testType);
    QFETCH(int, k);
    QFETCH(bool, accepted);
    QCOMPARE(acceptsAnswer(testType, k), accepted);
}

void TestMarking::clickMarksTheCellUnderThePointer_data()
{
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("q");

    QTest::newRow("question 1, answer 1") << 0 << 0 << 152 << 75 << 1 << 1;
    QTest::newRow("scrolled to question 2") << 0 << -100 << 160 << 20 << 1 << 2;
    QTest::newRow("scrolled onto the row gap") << 0 << -100 << 160 << 0 << 0 << 0;
    QTest::newRow("scrolled to question 100") << 0 << -561 << 587 << 474 << 1 << 100;
    QTest::newRow("question 26") << 0 << 0 << 297 << 75 << 1 << 26;
    QTest::newRow("answer 5 under five answers") << 0 << 0 << 240 << 75 << 5 << 1;
    QTest::newRow("answer 5 under Spanish logic") << 1 << 0 << 240 << 75 << 0 << 0;
    QTest::newRow("answer 3 under English logic") << 2 << 0 << 196 << 75 << 0 << 0;
    QTest::newRow("answer 2 under English logic") << 2 << 0 << 174 << 75 << 2 << 1;
    QTest::newRow("past the top") << 0 << 50 << 152 << 125 << 1 << 1;
    QTest::newRow("past the top, above the page") << 0 << 50 << 152 << 20 << 0 << 0;
}

void TestMarking::clickMarksTheCellUnderThePointer()
{
    QFETCH(int, testType);
    QFETCH(int, offset);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, k);
    QFETCH(int, q);

    TestModel t;
    t.m.settings.testType = testType;
    t.m.settings.fillColor = 0x0000FF;
    buildSheet(t.m, 1);
    pageRecord(t.m).originY = offset;
    const AnswerTable before = t.m.answerCells;
    const QImage sheetBefore = t.m.sheetBitmap.copy();
    click(t.m, x, y);

    for (int qq = 1; qq <= kQuestions; ++qq)
        for (int kk = 1; kk <= t.m.answerCells.columns(); ++kk) {
            const AnswerCell& c = t.m.answerCells.at(kk, qq);
            if (kk == k && qq == q) {
                QCOMPARE(c.marked, 1);
                QCOMPARE(c.markColor, ColorRef(0x0000FF));
                QCOMPARE(markCentre(t.m, kk, qq), rgbFromColorRef(0x0000FF));
            } else if (c.marked != before.at(kk, qq).marked || c.markColor != before.at(kk, qq).markColor) {
                QFAIL(qPrintable(QStringLiteral("cell (%1, %2) changed").arg(kk).arg(qq)));
            }
        }
    if (k == 0)
        QCOMPARE(t.m.sheetBitmap, sheetBefore);
}

void TestMarking::secondClickClears()
{
    TestModel t;
    t.m.settings.fillColor = 0x00FF00;
    buildSheet(t.m, 1);
    const QImage unmarked = t.m.sheetBitmap.copy();
    click(t.m, 200, 80);
    QCOMPARE(t.m.answerCells.at(3, 1).marked, 1);
    click(t.m, 200, 80);
    QCOMPARE(t.m.answerCells.at(3, 1).marked, 0);
    QCOMPARE(t.m.answerCells.at(3, 1).markColor, kWhite);
    // The outline and everything around the mark are as they were.
    QCOMPARE(t.m.sheetBitmap, unmarked);

    // Any value but 0, as a file may hold, counts as marked and is cleared.
    t.m.answerCells.at(4, 1).marked = 9;
    click(t.m, 220, 80);
    QCOMPARE(t.m.answerCells.at(4, 1).marked, 0);
}

void TestMarking::marksAreIndependentAndKeepTheirColour()
{
    TestModel t;
    t.m.settings.fillColor = 0x0000FF;
    buildSheet(t.m, 1);
    click(t.m, 152, 75);
    t.m.settings.fillColor = 0xFF0000;
    click(t.m, 196, 75);
    QCOMPARE(t.m.answerCells.at(1, 1).marked, 1);
    QCOMPARE(t.m.answerCells.at(3, 1).marked, 1);
    QCOMPARE(markCentre(t.m, 1, 1), rgbFromColorRef(0x0000FF));
    QCOMPARE(markCentre(t.m, 3, 1), rgbFromColorRef(0xFF0000));
    QCOMPARE(t.m.viewControl->shownImage().pixel(152 + 7, 75 + 7), rgbFromColorRef(0x0000FF));
    QCOMPARE(t.m.viewControl->shownImage().pixel(196 + 7, 75 + 7), rgbFromColorRef(0xFF0000));
}

void TestMarking::correctedMarkClearsAndRemarksInFillColor()
{
    TestModel t;
    t.m.settings.fillColor = 0x0000FF;
    t.m.answerCells.at(2, 3).marked = 1;
    t.m.answerCells.at(2, 3).markColor = ColorRef(t.m.settings.hitColor);
    buildSheet(t.m, 1);
    click(t.m, 174, 155);
    QCOMPARE(t.m.answerCells.at(2, 3).marked, 0);
    QCOMPARE(markCentre(t.m, 2, 3), kWhiteRgb);
    click(t.m, 174, 155);
    QCOMPARE(t.m.answerCells.at(2, 3).markColor, ColorRef(0x0000FF));
    QCOMPARE(markCentre(t.m, 2, 3), rgbFromColorRef(0x0000FF));
}

void TestMarking::everyLeftClickRedrawsFrameAndRefreshes()
{
    TestModel t;
    buildSheet(t.m, 1);
    for (const QPoint p : { QPoint(170, 80), QPoint(152, 75), QPoint(5, 5) }) {
        t.m.sheetBitmap.setPixel(0, 500, kWhiteRgb);
        t.m.viewBitmap.setPixel(400, 400, kMarker);
        click(t.m, p.x(), p.y());
        QCOMPARE(t.m.sheetBitmap.pixel(0, 500), qRgb(0, 0, 0));
        QVERIFY(t.m.viewBitmap.pixel(400, 400) != kMarker);
        QCOMPARE(t.m.viewControl->shownImage(), t.m.viewBitmap);
    }
}

void TestMarking::otherButtonsAndMovesChangeNothing()
{
    TestModel t;
    buildSheet(t.m, 1);
    const AnswerTable before = t.m.answerCells;
    const QImage sheet = t.m.sheetBitmap.copy();
    t.m.viewBitmap.setPixel(400, 400, kMarker);
    for (const std::uint32_t message : { kRButtonDown, kMouseMove })
        viewHandler(t.m, message, 0, makeLong(152, 75));
    QCOMPARE(t.m.sheetBitmap, sheet);
    QCOMPARE(t.m.viewBitmap.pixel(400, 400), kMarker);
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= kMaxAnswers; ++k)
            QCOMPARE(t.m.answerCells.at(k, q).marked, before.at(k, q).marked);
}

void TestMarking::buttonUpRestoresTheArrow()
{
    TestModel t;
    t.m.viewControl->setCursor(Qt::WaitCursor);
    viewHandler(t.m, kLButtonUp, 0, makeLong(152, 75));
    QCOMPARE(t.m.viewControl->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(t.m.answerCells.at(1, 1).marked, 0);
}

QTEST_MAIN(TestMarking)
#include "tst_marking.moc"
