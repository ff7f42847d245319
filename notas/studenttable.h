#pragma once

#include <memory>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "notas/classrun.h"

// The "Alumnos" table: one row per graded student. Sorting and filtering are
// done here on a list of row numbers rather than by a proxy, so sorting a
// class of ten thousand compares plain numbers, not variants.
class StudentTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Hits, Misses, Blanks, Grade, Review, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setClass(std::shared_ptr<const GradedClass> graded);
    // Shows only students whose name holds `text` (any case) and, with
    // `onlyToReview`, only those "a revisar". The order chosen stays.
    void setFilter(const QString& text, bool onlyToReview);

    // The student shown in `row`, an index into grading.students.
    int studentAt(int row) const { return rows_[std::size_t(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void arrange();
    bool toReview(int student) const;

    std::shared_ptr<const GradedClass> graded_;
    std::vector<int> rows_;
    QString filterText_;
    bool onlyToReview_ = false;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// What the "a revisar" column says for a student whose paper sheet has
// doubtful cells.
QString reviewLabel(int doubtfulCells);
