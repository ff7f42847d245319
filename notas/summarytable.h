#pragma once

#include <array>
#include <memory>

#include <QAbstractTableModel>
#include <QWidget>

#include "notas/classrun.h"

// The "Resumen" figures of the class, one per row: a label and its value.
class SummaryTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setClass(std::shared_ptr<const GradedClass> graded);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const GradedClass> graded_;
};

// The marks of the class in ten equal bins of the scale, as the class report
// draws them: a row per bin with its range and its students.
class HistogramModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kBins = 10;

    using QAbstractTableModel::QAbstractTableModel;

    void setClass(std::shared_ptr<const GradedClass> graded);
    int students(int bin) const { return counts_[std::size_t(bin)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    double scale_ = 10;
    std::array<int, kBins> counts_ {};
};

// Bars of the histogram model, read back from it whenever it changes.
class HistogramChart : public QWidget {
    Q_OBJECT

public:
    explicit HistogramChart(const HistogramModel& model, QWidget* parent = nullptr);
    QSize sizeHint() const override { return { 360, 200 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const HistogramModel& model_;
};
