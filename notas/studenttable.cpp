#include "notas/studenttable.h"

#include <algorithm>

#include "grading/csvexport.h"

QString reviewLabel(int doubtfulCells)
{
    if (doubtfulCells <= 0)
        return {};
    return doubtfulCells == 1 ? QStringLiteral("a revisar (1 duda)")
                              : QStringLiteral("a revisar (%1 dudas)").arg(doubtfulCells);
}

void StudentTableModel::setClass(std::shared_ptr<const GradedClass> graded)
{
    beginResetModel();
    graded_ = std::move(graded);
    arrange();
    endResetModel();
}

void StudentTableModel::setFilter(const QString& text, bool onlyToReview)
{
    if (text == filterText_ && onlyToReview == onlyToReview_)
        return;
    beginResetModel();
    filterText_ = text;
    onlyToReview_ = onlyToReview;
    arrange();
    endResetModel();
}

bool StudentTableModel::toReview(int student) const
{
    return graded_->grading.students[std::size_t(student)].doubtfulCells > 0;
}

void StudentTableModel::arrange()
{
    rows_.clear();
    if (!graded_)
        return;
    const auto& students = graded_->grading.students;
    rows_.reserve(students.size());
    for (int i = 0; i < int(students.size()); ++i) {
        if (onlyToReview_ && !toReview(i))
            continue;
        if (!filterText_.isEmpty() && !students[std::size_t(i)].name.contains(filterText_, Qt::CaseInsensitive))
            continue;
        rows_.push_back(i);
    }
    if (sortColumn_ < 0)
        return;
    // Stable, so students with equal figures keep the class's order, the
    // same whichever way round.
    const auto by = [this](auto less) {
        if (sortOrder_ == Qt::AscendingOrder)
            std::stable_sort(rows_.begin(), rows_.end(), less);
        else
            std::stable_sort(rows_.begin(), rows_.end(), [&less](int a, int b) { return less(b, a); });
    };
    const auto s = [&students](int i) -> const StudentResult& { return students[std::size_t(i)]; };
    switch (Column(sortColumn_)) {
    case Name:
        by([&](int a, int b) { return QString::compare(s(a).name, s(b).name, Qt::CaseInsensitive) < 0; });
        break;
    case Hits:
        by([&](int a, int b) { return s(a).hits < s(b).hits; });
        break;
    case Misses:
        by([&](int a, int b) { return s(a).misses < s(b).misses; });
        break;
    case Blanks:
        by([&](int a, int b) { return s(a).blanks < s(b).blanks; });
        break;
    case Grade:
        by([&](int a, int b) { return s(a).grade < s(b).grade; });
        break;
    case Review:
        by([&](int a, int b) { return s(a).doubtfulCells < s(b).doubtfulCells; });
        break;
    case ColumnCount:
        break;
    }
}

void StudentTableModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> students;
    students.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before)
        students.push_back(studentAt(index.row()));
    sortColumn_ = column;
    sortOrder_ = order;
    arrange();
    if (!before.isEmpty()) {
        std::vector<int> rowOf(graded_->grading.students.size(), -1);
        for (int r = 0; r < int(rows_.size()); ++r)
            rowOf[std::size_t(rows_[std::size_t(r)])] = r;
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after << index(rowOf[std::size_t(students[std::size_t(i)])], before[i].column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int StudentTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int StudentTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StudentTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const int i = studentAt(index.row());
    const StudentResult& s = graded_->grading.students[std::size_t(i)];
    if (role == Qt::TextAlignmentRole)
        return index.column() == Name || index.column() == Review ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                                  : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    switch (Column(index.column())) {
    case Name:
        return s.name;
    case Hits:
        return s.hits;
    case Misses:
        return s.misses;
    case Blanks:
        return s.blanks;
    case Grade:
        return gradeText(s.grade);
    case Review:
        return reviewLabel(graded_->grading.students[std::size_t(i)].doubtfulCells);
    case ColumnCount:
        break;
    }
    return {};
}

QVariant StudentTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (Column(section)) {
    case Name:
        return QStringLiteral("Alumno");
    case Hits:
        return QStringLiteral("Aciertos");
    case Misses:
        return QStringLiteral("Fallos");
    case Blanks:
        return QStringLiteral("Blancos");
    case Grade:
        return QStringLiteral("Nota");
    case Review:
        return QStringLiteral("A revisar");
    case ColumnCount:
        break;
    }
    return {};
}

#include "moc_studenttable.cpp"
