// The Qt item model over the Qt-free CoordinateTable: header row as the horizontal header,
// data rows as model rows, followed change by change.
#pragma once

#include "cad/coordinate_table.h"
#include "form/duplicate_codes.h"

#include <QAbstractTableModel>
#include <QColor>

namespace vexilo::app {

/// Presents a CoordinateTable to Qt views. Table row 0 (the header) is the horizontal header;
/// table row r ≥ 1 is model row r − 1; the four columns are the table's. Every cell is centred
/// both ways and read-only; a row whose code repeats an earlier row's is tinted (kRepeatTint,
/// on every cell but the number) and says so in its tooltip. The model observes the table, so each
/// change reaches the views as the matching insert, remove or data-changed signal: appending a row
/// costs O(1), never a reset. The table must outlive the model; only one observer can watch a
/// table.
class CoordinateTableModel : public QAbstractTableModel, private cad::TableObserver {
    Q_OBJECT
public:
    /// The background of a row whose code repeats an earlier row's.
    static inline const QColor kRepeatTint{255, 214, 170};

    explicit CoordinateTableModel(cad::CoordinateTable& table, QObject* parent = nullptr);
    ~CoordinateTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    cad::CoordinateTable& table() { return m_table; }
    /// True between the "about to" and the "done" notice of a row insertion or removal, while
    /// the model and the table disagree about the rows.
    bool isChangingRows() const { return m_changingRows; }

signals:
    /// The table's current row changed to `tableRow` (0 is the header).
    void currentTableRowChanged(int tableRow);

private:
    void rowsAboutToBeInserted(int first, int last) override;
    void rowsInserted() override;
    void rowsAboutToBeRemoved(int first, int last) override;
    void rowsRemoved() override;
    void cellChanged(int row, int column) override;
    void currentRowChanged(int row) override;

    /// Every row's tint and tooltip may change: codes above it came or went.
    void repeatsChanged();

    cad::CoordinateTable& m_table;
    mutable form::DuplicateCodes m_repeats;
    bool m_changingRows = false;
};

} // namespace vexilo::app
