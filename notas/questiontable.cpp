#include "notas/questiontable.h"

#include <QBrush>
#include <QColor>

#include "grading/scoring.h"
#include "grading/statistics.h"

namespace {

QString percent(std::optional<double> share)
{
    return share ? QStringLiteral("%1 %").arg(*share * 100, 0, 'f', 1) : QStringLiteral("—");
}

QString fraction(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 2) : QStringLiteral("—");
}

// Figures the class does not define sort below every real one.
QVariant sortValue(std::optional<double> value)
{
    return value ? *value : -1e9;
}

} // namespace

void QuestionTableModel::setClass(std::shared_ptr<const GradedClass> graded)
{
    beginResetModel();
    graded_ = std::move(graded);
    endResetModel();
}

int QuestionTableModel::letters() const
{
    return graded_ ? graded_->grading.key.answers : kMaxAnswers;
}

int QuestionTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !graded_ ? 0 : int(graded_->questions.size());
}

int QuestionTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : reviewColumn() + 1;
}

QVariant QuestionTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !graded_ || index.row() >= int(graded_->questions.size()))
        return {};
    const QuestionAnalysis& q = graded_->questions[std::size_t(index.row())];
    const int c = index.column();
    if (role == Qt::BackgroundRole)
        return q.review ? QVariant(QBrush(QColor::fromRgb(kReviewShade))) : QVariant();
    if (role == Qt::TextAlignmentRole)
        return c == reviewColumn() ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::UserRole) {
        if (c == Question)
            return q.question;
        if (c == Key)
            return answerLetters(q.key, graded_->grading.key.testType);
        if (c == Correct)
            return sortValue(q.correct);
        if (c == Discrimination)
            return sortValue(q.discrimination);
        if (c == PointBiserial)
            return sortValue(q.pointBiserial);
        if (c < blankColumn())
            return q.chosen[std::size_t(c - FirstLetter)];
        if (c == blankColumn())
            return q.blank;
        return q.review;
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (c == Question)
        return q.question;
    if (c == Key)
        return answerLetters(q.key, graded_->grading.key.testType);
    if (c == Correct)
        return percent(q.correct);
    if (c == Discrimination)
        return fraction(q.discrimination);
    if (c == PointBiserial)
        return fraction(q.pointBiserial);
    if (c < blankColumn())
        return q.chosen[std::size_t(c - FirstLetter)];
    if (c == blankColumn())
        return q.blank;
    return reviewText(q.review);
}

QVariant QuestionTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Question:
        return QStringLiteral("Pregunta");
    case Key:
        return QStringLiteral("Clave");
    case Correct:
        return QStringLiteral("% acierto");
    case Discrimination:
        return QStringLiteral("Discriminación");
    case PointBiserial:
        return QStringLiteral("Punto-biserial");
    default:
        break;
    }
    if (section < blankColumn())
        return answerLetters(AnswerMask(1u << (section - FirstLetter)), graded_ ? graded_->grading.key.testType : 0);
    if (section == blankColumn())
        return QStringLiteral("En blanco");
    return QStringLiteral("Revisar");
}

#include "moc_questiontable.cpp"
