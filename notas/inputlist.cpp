#include "notas/inputlist.h"

#include <QBrush>
#include <QColor>
#include <QDir>

QString inputStateText(const InputRow& row)
{
    switch (row.state) {
    case InputState::Waiting:
        return QStringLiteral("sin calificar");
    case InputState::Graded:
        if (row.doubts == 0)
            return QStringLiteral("leído del papel");
        if (row.doubts > 0)
            return row.doubts == 1 ? QStringLiteral("1 duda") : QStringLiteral("%1 dudas").arg(row.doubts);
        return QStringLiteral("calificado");
    case InputState::Refused:
        return QStringLiteral("rechazado: %1").arg(row.reason);
    }
    return {};
}

void InputListModel::setRows(std::vector<InputRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int InputListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int InputListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant InputListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const InputRow& row = rows_[std::size_t(index.row())];
    if (role == Qt::ForegroundRole && index.column() == 1 && row.state == InputState::Refused)
        return QBrush(QColor(0xB0, 0x20, 0x10));
    if (role == Qt::ToolTipRole)
        return QDir::toNativeSeparators(row.path);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (index.column() == 1)
        return inputStateText(row);
    // A sheet read from paper is known to the teacher by its page.
    return row.page.isEmpty() ? QDir::toNativeSeparators(row.path) : row.page;
}

QVariant InputListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == 0 ? QStringLiteral("Entrada") : QStringLiteral("Estado");
}

#include "moc_inputlist.cpp"
