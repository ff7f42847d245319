// The scans the reader's tests are made of: each kind of fill darkens its
// cell as far as its name says and no further, the same seed gives the same
// scan, and no distortion is so wild that the page's code cannot be read.

#include <map>
#include <set>

#include <QTest>

#include <opencv2/imgproc.hpp>

#include "paper/papergeometry.h"
#include "tests/support/qrread.h"
#include "tests/support/scanmaker.h"

namespace {

constexpr int kDpi = 200;

PaperSheet sampleSheet()
{
    PaperSheet s;
    s.title = QStringLiteral("Prueba");
    s.code.examId = QStringLiteral("0BADF00D");
    s.code.layout = SheetLayout { 0, 1, 1, 100, PaperSize::A4 };
    s.code.serial = 5;
    return s;
}

// The mean darkness, 0 white to 255 black, inside the printed outline.
double darkness(const cv::Mat& page, const QRectF& cellMm)
{
    const double s = kDpi / 25.4;
    const QRectF inner = cellMm.adjusted(0.4, 0.4, -0.4, -0.4);
    cv::Mat mask(page.size(), CV_8UC1, cv::Scalar(0));
    cv::ellipse(mask, cv::Point(int(inner.center().x() * s), int(inner.center().y() * s)),
        cv::Size(int(inner.width() * s / 2), int(inner.height() * s / 2)), 0, 0, 360, cv::Scalar(255), cv::FILLED);
    return 255 - cv::mean(page, mask)[0];
}

} // namespace

class TestScanMaker : public QObject {
    Q_OBJECT

private slots:
    void fills_data()
    {
        QTest::addColumn<int>("fill");
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        // Clear fills are far darker than anything a reader should leave
        // unmarked; the doubtful kinds lie in between, each where its name
        // puts it.
        QTest::newRow("pen") << int(Fill::Pen) << 130.0 << 255.0;
        QTest::newRow("pencil") << int(Fill::Pencil) << 110.0 << 255.0;
        QTest::newRow("light pencil") << int(Fill::LightPencil) << 55.0 << 135.0;
        QTest::newRow("half filled") << int(Fill::HalfFilled) << 60.0 << 150.0;
        QTest::newRow("erased") << int(Fill::Erased) << 15.0 << 70.0;
        QTest::newRow("stray dot") << int(Fill::StrayDot) << 0.5 << 30.0;
    }

    void fills()
    {
        QFETCH(int, fill);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        const PaperSheet sheet = sampleSheet();
        cv::Mat page = ScanMaker::renderPdf(paperSheetsPdf({ sheet }), 0, kDpi);
        QVERIFY(!page.empty());
        ScanMaker maker(7);
        double low = 255, high = 0;
        for (int q = 1; q <= 100; ++q) {
            const QRectF cell = answerCellMm(PaperSize::A4, q, 1 + q % 5);
            maker.fillCell(page, kDpi, cell, Fill(fill));
            const double d = darkness(page, cell);
            low = std::min(low, d);
            high = std::max(high, d);
        }
        QVERIFY2(low >= lowest && high <= highest, qPrintable(QStringLiteral("%1 to %2").arg(low).arg(high)));
    }

    void sameSeedSameScan()
    {
        const PaperSheet sheet = sampleSheet();
        const cv::Mat page = ScanMaker::renderSheet(sheet, 100);
        const auto scan = [&](unsigned seed) {
            ScanMaker maker(seed);
            cv::Mat filled = page.clone();
            maker.fillCells(filled, 100, PaperSize::A4, maker.someAnswers(sheet.code.layout));
            maker.fillCells(filled, 100, PaperSize::A4, maker.studentNumber(QStringLiteral("20261210")));
            return maker.photocopy(maker.phonePhoto(filled));
        };
        const cv::Mat a = scan(1);
        QCOMPARE(cv::norm(a, scan(1), cv::NORM_INF), 0.0);
        QVERIFY(cv::norm(a, scan(2), cv::NORM_INF) > 0);
    }

    // Some questions are left blank, some have two marks, and every doubtful
    // kind lies alone in its question, or beside a clear mark where an
    // answer was erased and changed.
    void someAnswersMixWhatStudentsDo()
    {
        ScanMaker maker(3);
        const SheetLayout layout { 1, 0, 1, 60, PaperSize::Letter };
        const std::vector<CellFill> fills = maker.someAnswers(layout);
        std::map<int, std::vector<Fill>> byQuestion;
        for (const CellFill& f : fills) {
            QVERIFY(f.q >= 1 && f.q <= 60 && f.k >= 1 && f.k <= 2);
            byQuestion[f.q].push_back(f.fill);
        }
        QVERIFY(byQuestion.size() < 60);
        std::set<Fill> doubtful;
        bool twoMarks = false;
        for (const auto& [q, kinds] : byQuestion) {
            twoMarks = twoMarks || (kinds.size() == 2 && isClearFill(kinds[0]) && isClearFill(kinds[1]));
            for (Fill f : kinds)
                if (!isClearFill(f)) {
                    doubtful.insert(f);
                    QVERIFY(kinds.size() == 1 || f == Fill::Erased);
                }
        }
        QVERIFY(twoMarks);
        QCOMPARE(doubtful.size(), std::size_t(4));
    }

    void distortionsKeepTheCodeReadable_data()
    {
        QTest::addColumn<int>("distortion");
        const char* names[] = { "a few degrees", "quarter turn", "upside down", "phone photo", "photocopy",
            "noise and blur", "JPEG quality 50", "colour scan" };
        for (int i = 0; i < int(std::size(names)); ++i)
            QTest::newRow(names[i]) << i;
    }

    void distortionsKeepTheCodeReadable()
    {
        QFETCH(int, distortion);
        const PaperSheet sheet = sampleSheet();
        ScanMaker maker(11);
        cv::Mat page = ScanMaker::renderSheet(sheet, kDpi);
        maker.fillCells(page, kDpi, PaperSize::A4, maker.someAnswers(sheet.code.layout));
        cv::Mat scan;
        switch (distortion) {
        case 0:
            scan = ScanMaker::rotate(page, -3.5);
            QVERIFY(scan.cols > page.cols && scan.rows > page.rows);
            break;
        case 1:
            scan = ScanMaker::rotateQuarterTurns(page, 1);
            QCOMPARE(scan.size(), cv::Size(page.rows, page.cols));
            break;
        case 2:
            scan = ScanMaker::rotateQuarterTurns(page, 2);
            QCOMPARE(scan.at<uchar>(0, 0), page.at<uchar>(page.rows - 1, page.cols - 1));
            break;
        case 3:
            scan = maker.phonePhoto(page);
            break;
        case 4:
            scan = maker.photocopy(page);
            QVERIFY(cv::mean(scan)[0] < 215);
            break;
        case 5:
            scan = page.clone();
            maker.addNoise(scan, 12);
            ScanMaker::blur(scan, 1.2);
            break;
        case 6:
            scan = ScanMaker::throughJpeg(page, 50);
            QVERIFY(ScanMaker::jpeg(page, 50).size() < ScanMaker::jpeg(page, 95).size());
            break;
        default:
            scan = ScanMaker::inColour(page);
            QCOMPARE(scan.channels(), 3);
            break;
        }
        QCOMPARE(readQrPayload(imageFromMat(scan)), encodeSheetCode(sheet.code));
    }
};

QTEST_MAIN(TestScanMaker)
#include "tst_scanmaker.moc"
