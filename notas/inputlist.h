#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "notas/classrun.h"

// The class's inputs and what became of each: before grading, the files and
// folders as added; after, every answer file they name with its state.
class InputListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<InputRow> rows);
    const std::vector<InputRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<InputRow> rows_;
};

// "calificado", "rechazado: está vacío", "sin calificar", and for a sheet
// read from paper "leído del papel" or "2 dudas".
QString inputStateText(const InputRow& row);
