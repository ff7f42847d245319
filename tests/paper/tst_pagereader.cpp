// The page reader on printed sheets filled as students fill them: every
// clear fill and every clear empty cell read as it is (a mistake may only
// show as a doubt, and rarely), the other cells read as meant or left in
// doubt, whatever the page went through on its way back.

#include <QTest>

#include <opencv2/imgproc.hpp>

#include "paper/pagereader.h"
#include "paper/sheetcode.h"
#include "tests/support/scanmaker.h"

namespace {

enum class Trip { Clean, Turned3, Sideways, UpsideDown, Phone, Noise, Blur, Jpeg50, Photocopy, ColourScan, FromPdf };

SheetCode anonymousCode(int testType, PaperSize paper)
{
    SheetCode c;
    c.examId = QStringLiteral("0A1B2C3D");
    c.layout.testType = testType;
    c.layout.cellShape = testType == 1 ? 0 : 1;
    c.layout.paper = paper;
    c.serial = 7;
    return c;
}

cv::Mat travel(ScanMaker& maker, const cv::Mat& page, Trip trip)
{
    cv::Mat out;
    switch (trip) {
    case Trip::Clean:
    case Trip::FromPdf:
        return page;
    case Trip::Turned3:
        return ScanMaker::rotate(page, -3.0);
    case Trip::Sideways:
        return ScanMaker::rotateQuarterTurns(page, 1);
    case Trip::UpsideDown:
        return ScanMaker::rotateQuarterTurns(page, 2);
    case Trip::Phone:
        return maker.phonePhoto(page);
    case Trip::Noise:
        out = page.clone();
        maker.addNoise(out, 20);
        return out;
    case Trip::Blur:
        out = page.clone();
        ScanMaker::blur(out, 1.5);
        return out;
    case Trip::Jpeg50:
        return ScanMaker::throughJpeg(page, 50);
    case Trip::Photocopy:
        return maker.photocopy(page);
    case Trip::ColourScan:
        // What decoding a colour file to grey gives the reader.
        cv::cvtColor(ScanMaker::inColour(page), out, cv::COLOR_BGR2GRAY);
        return out;
    }
    return page;
}

} // namespace

Q_DECLARE_METATYPE(Trip)
Q_DECLARE_METATYPE(PaperSize)

class TestPageReader : public QObject {
    Q_OBJECT

private slots:
    void readsWhatWasMeant_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("testType");
        QTest::addColumn<PaperSize>("paper");
        QTest::addColumn<Trip>("trip");
        QTest::newRow("150 dpi, clean") << 150 << 0 << PaperSize::A4 << Trip::Clean;
        QTest::newRow("200 dpi, V/F, turned 3 degrees") << 200 << 1 << PaperSize::A4 << Trip::Turned3;
        QTest::newRow("150 dpi, Letter, sideways") << 150 << 0 << PaperSize::Letter << Trip::Sideways;
        QTest::newRow("150 dpi, T/F, upside down") << 150 << 2 << PaperSize::A4 << Trip::UpsideDown;
        QTest::newRow("200 dpi, phone photo") << 200 << 0 << PaperSize::A4 << Trip::Phone;
        QTest::newRow("200 dpi, Letter, phone photo") << 200 << 1 << PaperSize::Letter << Trip::Phone;
        QTest::newRow("150 dpi, noise") << 150 << 0 << PaperSize::A4 << Trip::Noise;
        QTest::newRow("150 dpi, blur") << 150 << 1 << PaperSize::A4 << Trip::Blur;
        QTest::newRow("150 dpi, JPEG 50") << 150 << 0 << PaperSize::A4 << Trip::Jpeg50;
        QTest::newRow("200 dpi, photocopy") << 200 << 0 << PaperSize::A4 << Trip::Photocopy;
        QTest::newRow("150 dpi, colour scan") << 150 << 2 << PaperSize::A4 << Trip::ColourScan;
        QTest::newRow("300 dpi, printed PDF") << 300 << 0 << PaperSize::A4 << Trip::FromPdf;
    }

    void readsWhatWasMeant()
    {
        QFETCH(int, dpi);
        QFETCH(int, testType);
        QFETCH(PaperSize, paper);
        QFETCH(Trip, trip);
        const PaperSheet sheet { anonymousCode(testType, paper), QStringLiteral("Examen de prueba") };
        ScanMaker maker(unsigned(dpi * 31 + int(trip) * 7 + testType));
        cv::Mat page = trip == Trip::FromPdf ? ScanMaker::renderPdf(paperSheetsPdf({ sheet }), 0, dpi)
                                             : ScanMaker::renderSheet(sheet, dpi);
        std::vector<CellFill> fills = maker.someAnswers(sheet.code.layout);
        const std::vector<CellFill> number = maker.studentNumber(QStringLiteral("40718253"));
        maker.fillCells(page, dpi, paper, fills);
        maker.fillCells(page, dpi, paper, number);
        const cv::Mat scan = travel(maker, page, trip);

        PageBuffers buffers;
        LocatedPage located;
        QCOMPARE(int(locatePage(scan, buffers, located)), int(LocateProblem::None));
        QCOMPARE(located.sheet, std::optional<SheetCode>(sheet.code));
        QCOMPARE(located.size, paper);

        PageMarks marks;
        const int answers = paperAnswers(testType);
        measurePage(located, 100, answers, true, buffers, marks);
        QCOMPARE(QByteArray::fromStdString(studentNumber(marks)), QByteArray("40718253"));

        int clear = 0;
        int doubtful = 0;
        for (int q = 1; q <= 100; ++q)
            for (int k = 1; k <= answers; ++k) {
                const auto fill
                    = std::find_if(fills.begin(), fills.end(), [&](const CellFill& f) { return f.q == q && f.k == k; });
                const bool meant = fill != fills.end() && meantAsMark(fill->fill);
                const bool isClear = fill == fills.end() || isClearFill(fill->fill);
                const CellReading cell = marks.cells[std::size_t(q - 1)][std::size_t(k - 1)];
                const CellState misread = meant ? CellState::Empty : CellState::Marked;
                QVERIFY2(cell.state != misread,
                    qPrintable(QStringLiteral("question %1, answer %2: fill %3 between %4 and %5")
                                   .arg(q)
                                   .arg(k)
                                   .arg(cell.fill)
                                   .arg(marks.emptyLevel)
                                   .arg(marks.filledLevel)));
                if (isClear) {
                    ++clear;
                    doubtful += cell.state == CellState::Doubtful;
                }
            }
        QVERIFY2(doubtful * 100 <= clear,
            qPrintable(QStringLiteral("%1 of %2 clear cells in doubt").arg(doubtful).arg(clear)));
    }

    // The band between empty and filled, on the page's own levels: what is
    // close to either level is decided, the middle is left in doubt.
    void decidesAgainstThePage_data()
    {
        QTest::addColumn<float>("fill");
        QTest::addColumn<float>("empty");
        QTest::addColumn<float>("filled");
        QTest::addColumn<int>("state");
        QTest::newRow("empty on white paper") << 0.03f << 0.02f << 0.9f << int(CellState::Empty);
        QTest::newRow("pen on white paper") << 0.85f << 0.02f << 0.9f << int(CellState::Marked);
        QTest::newRow("half way") << 0.46f << 0.02f << 0.9f << int(CellState::Doubtful);
        // The same darkness is a mark on a page filled in light pencil.
        QTest::newRow("light pencil page") << 0.4f << 0.02f << 0.45f << int(CellState::Marked);
    }

    void decidesAgainstThePage()
    {
        QFETCH(float, fill);
        QFETCH(float, empty);
        QFETCH(float, filled);
        QFETCH(int, state);
        QCOMPARE(int(decideCell(fill, empty, filled)), state);
    }
};

QTEST_MAIN(TestPageReader)
#include "tst_pagereader.moc"
