// The Qt item model over the Qt-free CoordinateTable.
#include "app/coordinate_table_model.h"

#include "form/grid_text.h"

#include <QString>

namespace vexilo::app {

CoordinateTableModel::CoordinateTableModel(cad::CoordinateTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_repeats(table) {
    m_table.setObserver(this);
}

CoordinateTableModel::~CoordinateTableModel() {
    m_table.setObserver(nullptr);
}

int CoordinateTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.rowCount() - 1;
}

int CoordinateTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.columnCount();
}

QVariant CoordinateTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(
            std::string(form::gridCell(m_table, index.row() + 1, index.column()).text));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    case Qt::BackgroundRole:
        if (index.column() > 0 && m_repeats.earlierRow(index.row() + 1) != 0) {
            return kRepeatTint;
        }
        return {};
    case Qt::ToolTipRole: {
        const std::string note = m_repeats.note(index.row() + 1);
        return note.empty() ? QVariant() : QVariant(QString::fromStdString(note));
    }
    default:
        return {};
    }
}

QVariant CoordinateTableModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_table.columnCount()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(std::string(form::gridCell(m_table, 0, section).text));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

Qt::ItemFlags CoordinateTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CoordinateTableModel::rowsAboutToBeInserted(int first, int last) {
    m_changingRows = true;
    beginInsertRows(QModelIndex(), first - 1, last - 1);
}

void CoordinateTableModel::rowsInserted() {
    m_repeats.invalidate();
    endInsertRows();
    m_changingRows = false;
}

void CoordinateTableModel::rowsAboutToBeRemoved(int first, int last) {
    m_changingRows = true;
    beginRemoveRows(QModelIndex(), first - 1, last - 1);
}

void CoordinateTableModel::rowsRemoved() {
    m_repeats.invalidate();
    endRemoveRows();
    m_changingRows = false;
    repeatsChanged();
}

void CoordinateTableModel::repeatsChanged() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
    }
}

void CoordinateTableModel::cellChanged(int row, int column) {
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    const QModelIndex changed = index(row - 1, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    if (column == 1) {
        m_repeats.invalidate();
        // A code written into the last row can only tint that row; elsewhere it can tint any
        // row below.
        if (row == m_table.rowCount() - 1) {
            emit dataChanged(index(row - 1, 0), index(row - 1, columnCount() - 1),
                             {Qt::BackgroundRole, Qt::ToolTipRole});
        } else {
            repeatsChanged();
        }
    }
}

void CoordinateTableModel::currentRowChanged(int row) {
    emit currentTableRowChanged(row);
}

} // namespace vexilo::app
