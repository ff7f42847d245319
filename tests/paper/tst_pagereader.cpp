// The page reader on drawn pages: every clear fill and every clear empty cell
// read as it is (a mistake may only show as a doubt, and rarely), the hard
// cells read as meant or left in doubt, whatever the page went through.

#include <QTest>

#include <opencv2/imgproc.hpp>

#include "paper/pagereader.h"
#include "paper/sheetcode.h"
#include "tests/paper/drawnpage.h"

Q_DECLARE_METATYPE(Spoil)

namespace {

SheetCode anonymousCode(int testType, PaperSize paper)
{
    SheetCode c;
    c.examId = QStringLiteral("0A1B2C3D");
    c.layout.testType = testType;
    c.layout.paper = paper;
    c.serial = 7;
    return c;
}

// What the student meant in each cell, and whether the cell is a clear one.
struct Intent {
    bool marked = false;
    bool clear = true;
};

// A class's worth of filling on one page: mostly one clear answer per
// question in pen or pencil, fills of 60 % to overshooting, a few questions
// left blank, and one question each of the hard kinds.
std::vector<DrawnFill> studentFills(int answers, std::array<std::array<Intent, 5>, 100>& intent)
{
    std::vector<DrawnFill> fills;
    cv::RNG rng(answers * 7 + 1);
    for (int q = 1; q <= 100; ++q) {
        if (q % 11 == 0)
            continue;
        const int k = rng.uniform(1, answers + 1);
        const double share = rng.uniform(0.6, 1.3);
        const int ink = q % 3 == 0 ? 90 : 20;
        fills.push_back({ q, k, -1, share, ink });
        intent[std::size_t(q - 1)][std::size_t(k - 1)].marked = true;
    }
    // Hard cells: half filled, erased, a stray dot. Each on a cell of its own.
    const auto hard = [&](int q, int k, double share, int ink, bool meant) {
        fills.push_back({ q, k, -1, share, ink });
        intent[std::size_t(q - 1)][std::size_t(k - 1)] = { meant, false };
    };
    hard(11, 1, 0.5, 20, true);
    hard(22, 2, 1.0, 205, false);
    hard(33, 1, 0.04, 20, false);
    return fills;
}

} // namespace

class TestPageReader : public QObject {
    Q_OBJECT

private slots:
    void readsWhatWasFilled_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("testType");
        QTest::addColumn<Spoil>("spoil");
        QTest::newRow("150 dpi, clean") << 150.0 << 0 << Spoil::None;
        QTest::newRow("200 dpi, V/F, turned 3 degrees") << 200.0 << 1 << Spoil::Rotate3;
        QTest::newRow("150 dpi, sideways") << 150.0 << 0 << Spoil::Rotate90;
        QTest::newRow("150 dpi, T/F, upside down") << 150.0 << 2 << Spoil::Rotate180;
        QTest::newRow("200 dpi, phone photo, uneven light") << 200.0 << 0 << Spoil::Photo;
        QTest::newRow("150 dpi, noise") << 150.0 << 0 << Spoil::Noise;
        QTest::newRow("150 dpi, blur") << 150.0 << 1 << Spoil::Blur;
        QTest::newRow("150 dpi, JPEG 50") << 150.0 << 0 << Spoil::Jpeg50;
        QTest::newRow("200 dpi, photocopy grey") << 200.0 << 0 << Spoil::Photocopy;
        QTest::newRow("300 dpi, clean") << 300.0 << 0 << Spoil::None;
    }

    void readsWhatWasFilled()
    {
        QFETCH(double, dpi);
        QFETCH(int, testType);
        QFETCH(Spoil, spoil);
        const SheetCode code = anonymousCode(testType, PaperSize::A4);
        const int answers = paperAnswers(testType);
        std::array<std::array<Intent, 5>, 100> intent {};
        std::vector<DrawnFill> fills = studentFills(answers, intent);
        const char* number = "40718253";
        for (int c = 0; c < 8; ++c)
            fills.push_back({ 0, number[c] - '0', c, 1.0, 20 });
        cv::Mat page = drawPage(code, dpi);
        fillCells(page, code, dpi, fills);
        const cv::Mat scan = spoilPage(page, spoil);

        PageBuffers buffers;
        LocatedPage located;
        QCOMPARE(int(locatePage(scan, buffers, located)), int(LocateProblem::None));
        QCOMPARE(located.sheet, std::optional<SheetCode>(code));

        PageMarks marks;
        measurePage(located, 100, answers, true, buffers, marks);
        int clear = 0;
        int doubtful = 0;
        for (int q = 1; q <= 100; ++q)
            for (int k = 1; k <= answers; ++k) {
                const Intent meant = intent[std::size_t(q - 1)][std::size_t(k - 1)];
                const CellReading cell = marks.cells[std::size_t(q - 1)][std::size_t(k - 1)];
                const QByteArray where = QByteArray::number(q) + '/' + QByteArray::number(k) + " fill "
                    + QByteArray::number(cell.fill) + " levels " + QByteArray::number(marks.emptyLevel) + '-'
                    + QByteArray::number(marks.filledLevel);
                const CellState misread = meant.marked ? CellState::Empty : CellState::Marked;
                QVERIFY2(cell.state != misread, where.constData());
                if (meant.clear) {
                    ++clear;
                    doubtful += cell.state == CellState::Doubtful;
                }
            }
        QVERIFY2(doubtful * 100 <= clear, qPrintable(QStringLiteral("%1 of %2 clear cells in doubt").arg(doubtful).arg(clear)));
        QCOMPARE(QByteArray::fromStdString(studentNumber(marks)), QByteArray(number));
    }
};

QTEST_MAIN(TestPageReader)
#include "tst_pagereader.moc"
