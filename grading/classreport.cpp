#include "grading/classreport.h"

#include <algorithm>
#include <array>
#include <optional>

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "grading/classgrading.h"
#include "grading/csvexport.h"
#include "grading/statistics.h"
#include "grading/xlsxexport.h"
#include "platform/atomicfile.h"
#include "testfile/testfile.h"

namespace {

constexpr double kLeft = 50;
constexpr double kRight = 545;
constexpr double kBottom = 800;
constexpr double kHistogramTop = 330;
constexpr double kHistogramBase = 480;
constexpr double kBarsTop = 560;
constexpr double kBarsBase = 760;
constexpr double kRowHeight = 16;
constexpr int kBins = 10;

QString figure(std::optional<double> value, int decimals = 2)
{
    return value ? QString::number(*value, 'f', decimals) : QStringLiteral("—");
}

QFont reportFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

class ReportPainter {
public:
    ReportPainter(
        QPdfWriter& writer, const ClassGrading& g, const ClassSummary& c, const std::vector<QuestionAnalysis>& q)
        : writer_(writer)
        , p_(&writer)
        , g_(g)
        , c_(c)
        , q_(q)
    {
    }

    void paint()
    {
        firstPage();
        questionTable();
        paperReview();
    }

private:
    void text(double x, double y, const QString& s, double size = 10, bool bold = false)
    {
        p_.setFont(reportFont(size, bold));
        p_.setPen(Qt::black);
        p_.drawText(QPointF(x, y), s);
    }

    // Text from baseline y within [x, kRight], on as many lines as it takes;
    // returns the height of the lines after the first.
    double wrapped(double x, double y, const QString& s, double size, bool bold = false)
    {
        const QFont font = reportFont(size, bold);
        p_.setFont(font);
        p_.setPen(Qt::black);
        const QFontMetricsF metrics(font, p_.device());
        const QRectF box(x, y - metrics.ascent(), kRight - x, 10 * metrics.lineSpacing());
        const QRectF used = p_.boundingRect(box, Qt::TextWordWrap, s);
        p_.drawText(box, Qt::TextWordWrap, s);
        return std::max(0.0, used.height() - metrics.lineSpacing());
    }

    void firstPage()
    {
        text(kLeft, 70, QStringLiteral("Informe de la clase"), 18, true);
        text(kLeft, 95,
            QStringLiteral("Clave: %1 · %2 · %3 preguntas · penalización %4 · escala %5")
                .arg(fileNameOf(g_.keyPath), testTypeName(g_.key.testType))
                .arg(g_.key.questions.size())
                .arg(QString::number(g_.rules.penalty, 'g', 4), QString::number(g_.rules.scale, 'g', 6)));

        const std::array<std::pair<QString, QString>, 9> rows { {
            { QStringLiteral("Alumnos"), QString::number(c_.students) },
            { QStringLiteral("No calificados"), QString::number(g_.refused.size()) },
            { QStringLiteral("Media"), figure(c_.mean) },
            { QStringLiteral("Mediana"), figure(c_.median) },
            { QStringLiteral("Desviación típica"), figure(c_.deviation) },
            { QStringLiteral("Mínima"), figure(c_.lowest) },
            { QStringLiteral("Máxima"), figure(c_.highest) },
            { QStringLiteral("Aprobados"), QString::number(c_.passed) },
            { QStringLiteral("Fiabilidad KR-20"),
                c_.reliability ? figure(c_.reliability) : reliabilityUndefinedText() },
        } };
        double y = 125;
        for (const auto& [label, value] : rows) {
            text(kLeft, y, label, 10, true);
            y += wrapped(kLeft + 130, y, value, 10) + kRowHeight;
        }

        histogram();
        questionBars();
    }

    void histogram()
    {
        text(kLeft, kHistogramTop - 15, QStringLiteral("Distribución de las notas"), 12, true);
        std::array<int, kBins> bins {};
        for (const StudentResult& s : g_.students)
            ++bins[std::size_t(gradeBin(s.grade, g_.rules.scale))];
        const int tallest = std::max(1, *std::max_element(bins.begin(), bins.end()));
        p_.setPen(Qt::NoPen);
        p_.setBrush(QColor::fromRgb(kReportBarColor));
        for (int i = 0; i < kBins; ++i)
            p_.drawRect(gradeBinRect(i, bins[std::size_t(i)], tallest));
        p_.setPen(Qt::black);
        p_.drawLine(QPointF(kLeft, kHistogramBase), QPointF(kRight, kHistogramBase));
        const double width = (kRight - kLeft) / kBins;
        for (int i = 0; i <= kBins; ++i) {
            const double x = kLeft + i * width;
            text(x - 8, kHistogramBase + 12, QString::number(g_.rules.scale * i / kBins, 'g', 3), 7);
        }
        for (int i = 0; i < kBins; ++i) {
            if (bins[std::size_t(i)] > 0) {
                const QRectF bar = gradeBinRect(i, bins[std::size_t(i)], tallest);
                text(bar.center().x() - 6, bar.top() - 3, QString::number(bins[std::size_t(i)]), 7);
            }
        }
    }

    void questionBars()
    {
        text(
            kLeft, kBarsTop - 15, QStringLiteral("Porcentaje de aciertos por pregunta (en rojo, a revisar)"), 12, true);
        p_.setPen(QColor(200, 200, 200));
        for (int tenth = 0; tenth <= 10; tenth += 5) {
            const double y = kBarsBase - (kBarsBase - kBarsTop) * tenth / 10;
            p_.drawLine(QPointF(kLeft, y), QPointF(kRight, y));
            text(kLeft - 25, y + 3, QStringLiteral("%1 %").arg(tenth * 10), 7);
        }
        const int count = int(q_.size());
        p_.setPen(Qt::NoPen);
        for (int i = 0; i < count; ++i) {
            const QuestionAnalysis& a = q_[std::size_t(i)];
            p_.setBrush(QColor::fromRgb(a.review ? kReportReviewColor : kReportBarColor));
            p_.drawRect(questionBarRect(i, count, a.correct.value_or(0)));
        }
        // Numbers under the bars only where they fit.
        const int step = count <= 25 ? 1 : count <= 50 ? 2 : 5;
        for (int i = 0; i < count; i += step) {
            const QRectF bar = questionBarRect(i, count, 0);
            text(bar.center().x() - 5, kBarsBase + 12, QString::number(q_[std::size_t(i)].question), 6);
        }
    }

    // Students whose paper sheets hold cells the reader left undecided.
    void paperReview()
    {
        double y = kBottom;
        for (const StudentResult& s : g_.students) {
            if (s.doubtfulCells == 0)
                continue;
            if (y + kRowHeight > kBottom) {
                writer_.newPage();
                text(kLeft, 70, QStringLiteral("Hojas de papel %1").arg(paperReviewText()), 14, true);
                y = 100;
            }
            text(kLeft, y, s.name, 9);
            text(kLeft + 250, y,
                QStringLiteral("%1: %2 casillas dudosas, leídas como no marcadas")
                    .arg(paperReviewText())
                    .arg(s.doubtfulCells),
                9, true);
            y += kRowHeight;
        }
    }

    void questionTable()
    {
        QStringList titles { QStringLiteral("Pregunta"), QStringLiteral("Clave"), QStringLiteral("% acierto"),
            QStringLiteral("Discrim."), QStringLiteral("r pbis") };
        for (int k = 0; k < g_.key.answers; ++k)
            titles << answerLetters(AnswerMask(1u << k), g_.key.testType);
        titles << QStringLiteral("Blanco") << QStringLiteral("Revisar");
        QList<double> columns { kLeft, kLeft + 45, kLeft + 80, kLeft + 130, kLeft + 175 };
        for (int k = 0; k <= g_.key.answers; ++k)
            columns << kLeft + 215 + k * 22;
        columns << columns.last() + 35;

        double y = kBottom;
        for (const QuestionAnalysis& a : q_) {
            if (y + kRowHeight > kBottom) {
                writer_.newPage();
                text(kLeft, 70, QStringLiteral("Análisis de las preguntas"), 14, true);
                y = 100;
                for (int i = 0; i < titles.size(); ++i)
                    text(columns[i], y, titles[i], 8, true);
                y += kRowHeight;
            }
            QStringList cells { QString::number(a.question), answerLetters(a.key, g_.key.testType),
                a.correct ? QString::number(*a.correct * 100, 'f', 1) : QStringLiteral("—"), figure(a.discrimination),
                figure(a.pointBiserial) };
            for (int k = 0; k < g_.key.answers; ++k)
                cells << QString::number(a.chosen[std::size_t(k)]);
            cells << QString::number(a.blank) << reviewText(a.review);
            for (int i = 0; i + 1 < cells.size(); ++i)
                text(columns[i], y, cells[i], 8);
            y += wrapped(columns.last(), y, cells.last(), 8, true) + kRowHeight;
        }
    }

    QPdfWriter& writer_;
    QPainter p_;
    const ClassGrading& g_;
    const ClassSummary& c_;
    const std::vector<QuestionAnalysis>& q_;
};

} // namespace

QRectF questionBarRect(int index, int count, double share)
{
    const double slot = (kRight - kLeft) / std::max(count, 1);
    const double height = (kBarsBase - kBarsTop) * std::clamp(share, 0.0, 1.0);
    return QRectF(kLeft + index * slot + slot * 0.15, kBarsBase - height, slot * 0.7, height);
}

QRectF gradeBinRect(int index, int students, int tallest)
{
    const double slot = (kRight - kLeft) / kBins;
    const double height = (kHistogramBase - kHistogramTop) * students / std::max(tallest, 1);
    return QRectF(kLeft + index * slot + 2, kHistogramBase - height, slot - 4, height);
}

int gradeBin(double grade, double scale)
{
    if (scale <= 0)
        return 0;
    return std::clamp(int(grade / scale * kBins), 0, kBins - 1);
}

QByteArray classReportPdf(
    const ClassGrading& grading, const ClassSummary& summary, const std::vector<QuestionAnalysis>& questions)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(QStringLiteral("Informe de la clase"));
        writer.setCreator(QStringLiteral("zelvora-notas"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        ReportPainter(writer, grading, summary, questions).paint();
    }
    return bytes;
}

bool writeClassReport(const QString& path, const ClassGrading& grading, const ClassSummary& summary,
    const std::vector<QuestionAnalysis>& questions)
{
    return writeFileAtomically(path, classReportPdf(grading, summary, questions));
}
