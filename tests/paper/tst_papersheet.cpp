// Printed sheets as a printer gets them: the PDF is read back by Poppler and
// every position checked against the geometry, which this test turns into
// pixels on its own; the code is read by the QR library's reader.

#include <QImage>
#include <QTest>

#include "paper/papergeometry.h"
#include "paper/papersheet.h"
#include "tests/support/pdfpages.h"
#include "tests/support/qrread.h"

namespace {

PaperSheet sheet(SheetLayout layout, int serial, const QString& id = {}, const QString& name = {})
{
    PaperSheet s;
    s.title = QStringLiteral("Ciencias Naturales · 2º ESO B · examen de la unidad 4");
    s.code.examId = QStringLiteral("C0FFEE42");
    s.code.layout = layout;
    s.code.serial = serial;
    s.code.studentId = id;
    s.code.studentName = name;
    return s;
}

class PagePixels {
public:
    PagePixels(const QImage& image, int dpi)
        : image_(image)
        , dpi_(dpi)
    {
    }

    QPoint at(QPointF mm) const { return { int(mm.x() / 25.4 * dpi_), int(mm.y() / 25.4 * dpi_) }; }

    int grey(QPointF mm) const { return qGray(image_.pixel(at(mm))); }

    // The lightest and darkest pixel inside `mm`.
    std::pair<int, int> range(const QRectF& mm) const
    {
        int lightest = 0;
        int darkest = 255;
        const QPoint a = at(mm.topLeft());
        const QPoint b = at(mm.bottomRight());
        for (int y = a.y(); y <= b.y(); ++y)
            for (int x = a.x(); x <= b.x(); ++x) {
                const int g = qGray(image_.pixel(x, y));
                lightest = std::max(lightest, g);
                darkest = std::min(darkest, g);
            }
        return { lightest, darkest };
    }

private:
    const QImage& image_;
    int dpi_;
};

// Inside a round cell the largest square keeps clear of its outline and of
// the smoothing around it.
QRectF interior(const QRectF& cell)
{
    const double half = cell.width() / 2 / std::sqrt(2.0) - 0.45;
    return { cell.center().x() - half, cell.center().y() - half, 2 * half, 2 * half };
}

QPointF leftEdge(const QRectF& cell)
{
    return { cell.left() + 0.15, cell.center().y() };
}

void checkPage(const QImage& image, int dpi, const PaperSheet& s)
{
    QVERIFY(!image.isNull());
    const SheetLayout& l = s.code.layout;
    const QSizeF page = paperSizeMm(l.paper);
    QCOMPARE(image.width(), qRound(page.width() / 25.4 * dpi));
    const PagePixels px(image, dpi);

    for (int corner = 0; corner < 4; ++corner) {
        const QPointF c = markCentreMm(l.paper, corner);
        const double reach = kMarkSideMm / 2 - 0.5;
        QVERIFY2(px.range(QRectF(c.x() - reach, c.y() - reach, 2 * reach, 2 * reach)).first < 60,
            qPrintable(QStringLiteral("mark %1").arg(corner)));
    }

    const int answers = paperAnswers(l.testType);
    for (int q = 1; q <= 100; ++q)
        for (int k = 1; k <= 5; ++k) {
            const QRectF cell = answerCellMm(l.paper, q, k);
            const QString where = QStringLiteral("question %1, answer %2").arg(q).arg(k);
            if (q <= l.questions && k <= answers) {
                QVERIFY2(px.range(interior(cell)).second > 200, qPrintable(where + QStringLiteral(" not white")));
                QVERIFY2(px.grey(leftEdge(cell)) < 140, qPrintable(where + QStringLiteral(" has no outline")));
            } else {
                QVERIFY2(px.range(cell).second > 240, qPrintable(where + QStringLiteral(" printed")));
            }
        }

    // Roster pages print the student instead, and their text may lie there.
    if (s.code.studentId.isEmpty())
        for (int column = 0; column < kStudentNumberDigits; ++column)
            for (int digit = 0; digit <= 9; ++digit) {
                const QRectF cell = digitCellMm(l.paper, column, digit);
                const QString where = QStringLiteral("digit %1 of column %2").arg(digit).arg(column);
                QVERIFY2(px.range(interior(cell)).second > 200, qPrintable(where + QStringLiteral(" not white")));
                QVERIFY2(px.grey(leftEdge(cell)) < 140, qPrintable(where + QStringLiteral(" has no outline")));
            }

    QCOMPARE(readQrPayload(image), encodeSheetCode(s.code));
}

} // namespace

class TestPaperSheet : public QObject {
    Q_OBJECT

private slots:
    void pages_data()
    {
        QTest::addColumn<PaperSheet>("sheet");
        QTest::newRow("anonymous, five answers, round, A4") << sheet(SheetLayout { 0, 1, 1, 100, PaperSize::A4 }, 1);
        QTest::newRow("roster, V/F, square, small letters, Letter, 37 questions")
            << sheet(SheetLayout { 1, 0, 0, 37, PaperSize::Letter }, 2, QStringLiteral("X1234567"),
                   QStringLiteral("Íñigo Zubizarreta Echevarría"));
        QTest::newRow("anonymous, T/F, square, Letter, one question")
            << sheet(SheetLayout { 2, 0, 1, 1, PaperSize::Letter }, 99999);
        QTest::newRow("roster, five answers, A4, 26 questions")
            << sheet(SheetLayout { 0, 1, 0, 26, PaperSize::A4 }, 3, QStringLiteral("ana.gil"));
    }

    // The same page drawn straight onto an image and through the PDF.
    void pages()
    {
        QFETCH(PaperSheet, sheet);
        checkPage(renderPaperSheet(sheet, 200), 200, sheet);
        if (QTest::currentTestFailed())
            return;
        const QByteArray pdf = paperSheetsPdf({ sheet });
        QCOMPARE(pdfPageCount(pdf), 1);
        checkPage(renderPdfPage(pdf, 0, 150), 150, sheet);
    }

    void pdfIsOneVectorPagePerSheet_data()
    {
        QTest::addColumn<int>("paper");
        QTest::addColumn<QSizeF>("points");
        QTest::newRow("A4") << int(PaperSize::A4) << QSizeF(595.28, 841.89);
        QTest::newRow("Letter") << int(PaperSize::Letter) << QSizeF(612, 792);
    }

    void pdfIsOneVectorPagePerSheet()
    {
        QFETCH(int, paper);
        QFETCH(QSizeF, points);
        const SheetLayout layout { 0, 1, 1, 100, PaperSize(paper) };
        std::vector<PaperSheet> sheets;
        for (int serial = 1; serial <= 3; ++serial)
            sheets.push_back(sheet(layout, serial));
        sheets.push_back(sheet(layout, 4, QStringLiteral("42"), QStringLiteral("Luz")));
        const QByteArray pdf = paperSheetsPdf(sheets);
        QCOMPARE(pdfPageCount(pdf), 4);
        for (int page = 0; page < 4; ++page) {
            const QSizeF size = pdfPageSizePt(pdf, page);
            QVERIFY(std::abs(size.width() - points.width()) < 0.5 && std::abs(size.height() - points.height()) < 0.5);
        }
        QVERIFY2(!pdf.contains("/Subtype /Image") && !pdf.contains("/Subtype/Image"), "an image in the PDF");
        // Each page names its own serial and student in its code.
        QCOMPARE(readQrPayload(renderPdfPage(pdf, 3, 150)), encodeSheetCode(sheets[3].code));
    }

    void undrawableSheetGivesNoPdf()
    {
        PaperSheet bad = sheet(SheetLayout {}, 1, QStringLiteral("../x"));
        QVERIFY(paperSheetsPdf({ sheet(SheetLayout {}, 1), bad }).isEmpty());
        QVERIFY(renderPaperSheet(bad, 100).isNull());
    }
};

QTEST_MAIN(TestPaperSheet)
#include "tst_papersheet.moc"
