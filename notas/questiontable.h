#pragma once

#include <memory>

#include <QAbstractTableModel>

#include "notas/classrun.h"

// The "Preguntas" table: one row per counted question, with the key's
// letters, the analysis of the question, how many chose each letter and the
// reasons to look at it again. Questions to review are shaded. Qt::UserRole
// gives each figure as a number for sorting.
class QuestionTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Question, Key, Correct, Discrimination, PointBiserial, FirstLetter };

    using QAbstractTableModel::QAbstractTableModel;

    void setClass(std::shared_ptr<const GradedClass> graded);

    // The columns after the letters, which move with the test type's number
    // of answers.
    int blankColumn() const { return FirstLetter + letters(); }
    int reviewColumn() const { return blankColumn() + 1; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    int letters() const;

    std::shared_ptr<const GradedClass> graded_;
};

// The shade of a question to review, light enough for black text.
inline constexpr unsigned kReviewShade = 0xFFF6D5CF;
