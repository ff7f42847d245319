#include "paper/papersheet.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

namespace {

// The PDF's own unit for positions; text and shapes stay vectors whatever
// it is, so it only needs to place them finer than a printer can.
constexpr int kPdfResolution = 1200;

constexpr double kOutlineMm = 0.3;
constexpr double kLineMm = 0.25;
constexpr double kLeftMm = 16.0;
// The student's block ends before the number grid on anonymous pages and
// before the code on roster pages.
constexpr double kAnonymousBlockRightMm = 98.0;
constexpr double kRosterBlockRightMm = 166.0;

// Millimetres to the device's own units.
class PageUnits {
public:
    explicit PageUnits(const QPaintDevice& device)
        : perMm_(device.logicalDpiX() / 25.4)
    {
    }

    double operator()(double mm) const { return mm * perMm_; }
    QPointF operator()(QPointF mm) const { return mm * perMm_; }
    QRectF operator()(const QRectF& mm) const
    {
        return { mm.x() * perMm_, mm.y() * perMm_, mm.width() * perMm_, mm.height() * perMm_ };
    }

private:
    double perMm_;
};

QFont paperFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    // Glyph outlines at their true shape: hinting would move them by
    // device pixels, which a PDF does not have.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// `text` in `box`, shrunk to fit one line down to `smallest` points, then cut
// with an ellipsis.
void fittedText(QPainter& p, const PageUnits& mm, const QRectF& box, const QString& text, double points,
    double smallest, bool bold, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    const QRectF target = mm(box);
    QFont font = paperFont(points, bold);
    for (double size = points; size >= smallest; size -= 0.5) {
        font.setPointSizeF(size);
        if (QFontMetricsF(font, p.device()).horizontalAdvance(text) <= target.width())
            break;
    }
    p.setFont(font);
    const QString shown = QFontMetricsF(font, p.device()).elidedText(text, Qt::ElideRight, target.width());
    p.drawText(target, int(align), shown);
}

// `text` wrapped in `box`, shrunk until it fits down to `smallest` points;
// what still does not fit is cut by the box.
void wrappedText(
    QPainter& p, const PageUnits& mm, const QRectF& box, const QString& text, double points, double smallest, bool bold)
{
    const QRectF target = mm(box);
    constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    QFont font = paperFont(points, bold);
    for (double size = points; size >= smallest; size -= 0.5) {
        font.setPointSizeF(size);
        if (QFontMetricsF(font, p.device()).boundingRect(target, kFlags, text).height() <= target.height())
            break;
    }
    p.setFont(font);
    p.save();
    p.setClipRect(target);
    p.drawText(target, kFlags, text);
    p.restore();
}

void drawLine(QPainter& p, const PageUnits& mm, QPointF from, QPointF to)
{
    p.setPen(QPen(Qt::black, mm(kLineMm), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(mm(from), mm(to));
}

void drawCell(QPainter& p, const PageUnits& mm, const QRectF& cell, bool round)
{
    // The pen lies inside the outline, so the measured square holds only
    // the ink the student adds.
    const double inset = kOutlineMm / 2;
    const QRectF r = mm(cell.adjusted(inset, inset, -inset, -inset));
    p.setPen(QPen(Qt::black, mm(kOutlineMm)));
    p.setBrush(Qt::NoBrush);
    if (round)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

void drawMarks(QPainter& p, const PageUnits& mm, PaperSize size)
{
    for (int corner = 0; corner < 4; ++corner) {
        const QPointF c = markCentreMm(size, corner);
        const double half = kMarkSideMm / 2;
        p.fillRect(mm(QRectF(c.x() - half, c.y() - half, kMarkSideMm, kMarkSideMm)), Qt::black);
    }
}

void drawCode(QPainter& p, const PageUnits& mm, PaperSize size, const CodeMatrix& code)
{
    // One path of row runs, filled at once: squares side by side would
    // leave hairline seams where a viewer smooths each edge on its own.
    const QRectF area = codeRectMm(size);
    const double module = area.width() / code.size;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (int y = 0; y < code.size; ++y) {
        for (int x = 0; x < code.size;) {
            if (!code.at(x, y)) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < code.size && code.at(x, y))
                ++x;
            path.addRect(mm(QRectF(area.left() + from * module, area.top() + y * module, (x - from) * module, module)));
        }
    }
    p.fillPath(path, Qt::black);
}

void drawQuestions(QPainter& p, const PageUnits& mm, const SheetLayout& layout)
{
    const QStringList letters = paperLetters(layout);
    const QFont numberFont = paperFont(9, true);
    const QFont letterFont = paperFont(7);
    for (int q = 1; q <= layout.questions; ++q) {
        p.setPen(Qt::black);
        p.setFont(numberFont);
        p.drawText(mm(questionNumberMm(layout.paper, q)), Qt::AlignRight | Qt::AlignVCenter, QString::number(q));
        for (int k = 1; k <= letters.size(); ++k) {
            p.setPen(Qt::black);
            p.setFont(letterFont);
            p.drawText(mm(answerLetterMm(layout.paper, q, k)), Qt::AlignCenter, letters[k - 1]);
            drawCell(p, mm, answerCellMm(layout.paper, q, k), layout.cellShape != 0);
        }
    }
}

void drawDigitGrid(QPainter& p, const PageUnits& mm, const SheetLayout& layout)
{
    const PaperSize size = layout.paper;
    const QRectF first = digitHeadMm(size, 0);
    const QRectF last = digitHeadMm(size, kStudentNumberDigits - 1);
    p.setPen(Qt::black);
    fittedText(p, mm, QRectF(first.left() - 4, first.top() - 5.5, last.right() - first.left() + 8, 5),
        QStringLiteral("Número de alumno"), 8, 6, true, Qt::AlignCenter);
    for (int column = 0; column < kStudentNumberDigits; ++column) {
        p.setPen(QPen(Qt::black, mm(kLineMm)));
        p.setBrush(Qt::NoBrush);
        p.drawRect(mm(digitHeadMm(size, column)));
        for (int digit = 0; digit <= 9; ++digit)
            drawCell(p, mm, digitCellMm(size, column, digit), layout.cellShape != 0);
    }
    // The digits name the rows on both sides, outside the cells, so that
    // the cells hold nothing but what the student fills in.
    p.setPen(Qt::black);
    p.setFont(paperFont(7));
    for (int digit = 0; digit <= 9; ++digit) {
        const QRectF left = digitCellMm(size, 0, digit);
        const QRectF right = digitCellMm(size, kStudentNumberDigits - 1, digit);
        p.drawText(mm(QRectF(left.left() - 3.4, left.top(), 2.8, left.height())), Qt::AlignRight | Qt::AlignVCenter,
            QString::number(digit));
        p.drawText(mm(QRectF(right.right() + 0.6, right.top(), 2.8, right.height())), Qt::AlignLeft | Qt::AlignVCenter,
            QString::number(digit));
    }
}

void drawHeader(QPainter& p, const PageUnits& mm, const PaperSheet& sheet)
{
    const SheetLayout& layout = sheet.code.layout;
    const bool roster = !sheet.code.studentId.isEmpty();
    const double right = roster ? kRosterBlockRightMm : kAnonymousBlockRightMm;
    const double top = codeRectMm(layout.paper).top();
    const double width = right - kLeftMm;
    p.setPen(Qt::black);
    if (!sheet.title.isEmpty())
        wrappedText(p, mm, QRectF(kLeftMm, top - 2, width, 11), sheet.title, 13, 8, true);
    if (roster) {
        fittedText(p, mm, QRectF(kLeftMm, top + 11, width, 6), sheet.code.studentName, 11, 7, true);
        fittedText(p, mm, QRectF(kLeftMm, top + 17, width, 5),
            QStringLiteral("Identificador: %1").arg(sheet.code.studentId), 9, 7, false);
    } else {
        fittedText(p, mm, QRectF(kLeftMm, top + 13, 16, 6), QStringLiteral("Nombre:"), 10, 8, false);
        drawLine(p, mm, QPointF(kLeftMm + 16, top + 18), QPointF(right, top + 18));
        drawLine(p, mm, QPointF(kLeftMm, top + 26), QPointF(right, top + 26));
        drawDigitGrid(p, mm, layout);
    }

    // The instruction sits right above the questions it is about.
    const double gridTop = questionGridTopMm(layout.paper);
    p.setFont(paperFont(8));
    p.setPen(Qt::black);
    p.drawText(mm(QRectF(kLeftMm, gridTop - 17, width, 14)), Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
        paperInstruction());

    // Under the code, for the person who sorts the pages.
    const QRectF code = codeRectMm(layout.paper);
    fittedText(p, mm, QRectF(code.left() - 4, code.bottom() + 3, code.width() + 8, 3.5),
        QStringLiteral("%1 · hoja %2").arg(sheet.code.examId).arg(sheet.code.serial), 6, 5, false, Qt::AlignCenter);
}

} // namespace

QString paperInstruction()
{
    return QStringLiteral("Rellene por completo la celda de cada respuesta con bolígrafo o lápiz oscuro. "
                          "Si se equivoca, borre bien la marca.");
}

QStringList paperLetters(const SheetLayout& layout)
{
    QStringList letters;
    switch (layout.testType) {
    case 0:
        letters = { QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
            QStringLiteral("E") };
        break;
    case 1:
        letters = { QStringLiteral("V"), QStringLiteral("F") };
        break;
    default:
        letters = { QStringLiteral("T"), QStringLiteral("F") };
        break;
    }
    if (layout.letterCase == 0)
        for (QString& l : letters)
            l = l.toLower();
    return letters;
}

bool drawPaperSheet(QPainter& painter, const PaperSheet& sheet)
{
    const QByteArray payload = encodeSheetCode(sheet.code);
    if (payload.isEmpty())
        return false;
    const CodeMatrix code = sheetCodeMatrix(payload);
    const PageUnits mm(*painter.device());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawMarks(painter, mm, sheet.code.layout.paper);
    drawCode(painter, mm, sheet.code.layout.paper, code);
    drawHeader(painter, mm, sheet);
    drawQuestions(painter, mm, sheet.code.layout);
    painter.restore();
    return true;
}

QImage renderPaperSheet(const PaperSheet& sheet, int dpi)
{
    const QSizeF page = paperSizeMm(sheet.code.layout.paper);
    QImage image(qRound(page.width() / 25.4 * dpi), qRound(page.height() / 25.4 * dpi), QImage::Format_Grayscale8);
    const int dotsPerMetre = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (!drawPaperSheet(painter, sheet))
        return {};
    return image;
}

QByteArray paperSheetsPdf(const std::vector<PaperSheet>& sheets)
{
    if (sheets.empty())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool drawn = true;
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(sheets.front().title.isEmpty() ? QStringLiteral("Hojas de respuestas") : sheets.front().title);
        writer.setCreator(QStringLiteral("zelvora-notas"));
        writer.setResolution(kPdfResolution);
        const auto pageSize
            = [](PaperSize size) { return QPageSize(size == PaperSize::Letter ? QPageSize::Letter : QPageSize::A4); };
        writer.setPageSize(pageSize(sheets.front().code.layout.paper));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        for (std::size_t i = 0; i < sheets.size() && drawn; ++i) {
            if (i > 0) {
                writer.setPageSize(pageSize(sheets[i].code.layout.paper));
                writer.newPage();
            }
            drawn = drawPaperSheet(painter, sheets[i]);
        }
    }
    return drawn ? bytes : QByteArray();
}
