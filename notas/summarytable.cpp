#include "notas/summarytable.h"

#include <algorithm>

#include <QPainter>

#include "grading/classreport.h"
#include "grading/csvexport.h"
#include "grading/xlsxexport.h"

namespace {

enum Row { Students, Mean, Median, Deviation, Lowest, Highest, Passed, NotGraded, Reliability, RowCount };

QString figure(std::optional<double> value)
{
    return value ? gradeText(*value) : QStringLiteral("—");
}

} // namespace

void SummaryTableModel::setClass(std::shared_ptr<const GradedClass> graded)
{
    beginResetModel();
    graded_ = std::move(graded);
    endResetModel();
}

int SummaryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !graded_ ? 0 : RowCount;
}

int SummaryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant SummaryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !graded_ || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const ClassSummary& c = graded_->summary;
    const bool label = index.column() == 0;
    switch (Row(index.row())) {
    case Students:
        return label ? QStringLiteral("Alumnos") : QString::number(c.students);
    case Mean:
        return label ? QStringLiteral("Media") : figure(c.mean);
    case Median:
        return label ? QStringLiteral("Mediana") : figure(c.median);
    case Deviation:
        return label ? QStringLiteral("Desviación típica") : figure(c.deviation);
    case Lowest:
        return label ? QStringLiteral("Mínima") : figure(c.lowest);
    case Highest:
        return label ? QStringLiteral("Máxima") : figure(c.highest);
    case Passed:
        return label ? QStringLiteral("Aprobados") : QStringLiteral("%1 de %2").arg(c.passed).arg(c.students);
    case NotGraded:
        return label ? QStringLiteral("No calificados") : QString::number(graded_->grading.refused.size());
    case Reliability:
        return label        ? QStringLiteral("Fiabilidad (KR-20)")
            : c.reliability ? QString::number(*c.reliability, 'f', 2)
                            : reliabilityUndefinedText();
    case RowCount:
        break;
    }
    return {};
}

QVariant SummaryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == 0 ? QStringLiteral("Dato") : QStringLiteral("Valor");
}

void HistogramModel::setClass(std::shared_ptr<const GradedClass> graded)
{
    beginResetModel();
    counts_.fill(0);
    if (graded) {
        scale_ = graded->grading.rules.scale;
        for (const StudentResult& s : graded->grading.students)
            ++counts_[std::size_t(gradeBin(s.grade, scale_))];
    }
    endResetModel();
}

int HistogramModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kBins;
}

int HistogramModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant HistogramModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const int bin = index.row();
    if (index.column() == 1)
        return counts_[std::size_t(bin)];
    const double step = scale_ / kBins;
    return QStringLiteral("%1 – %2").arg(gradeText(bin * step), gradeText((bin + 1) * step));
}

QVariant HistogramModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == 0 ? QStringLiteral("Notas") : QStringLiteral("Alumnos");
}

HistogramChart::HistogramChart(const HistogramModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    connect(&model_, &QAbstractItemModel::modelReset, this, qOverload<>(&QWidget::update));
    setMinimumHeight(160);
}

void HistogramChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    int tallest = 1;
    for (int b = 0; b < HistogramModel::kBins; ++b)
        tallest = std::max(tallest, model_.students(b));
    const QRectF area = QRectF(rect()).adjusted(8, 8, -8, -24);
    const double slot = area.width() / HistogramModel::kBins;
    p.setPen(palette().text().color());
    for (int b = 0; b < HistogramModel::kBins; ++b) {
        const double h = area.height() * model_.students(b) / tallest;
        const QRectF bar(area.left() + slot * b + slot * 0.1, area.bottom() - h, slot * 0.8, h);
        p.fillRect(bar, QColor::fromRgb(kReportBarColor));
        p.drawText(QRectF(area.left() + slot * b, area.bottom() + 2, slot, 20), Qt::AlignHCenter | Qt::AlignTop,
            QString::number(model_.students(b)));
    }
}

#include "moc_summarytable.cpp"
