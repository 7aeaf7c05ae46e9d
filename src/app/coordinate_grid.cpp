// The grid `zbxsc` over the coordinate table.
#include "app/coordinate_grid.h"

#include "app/cjk_font.h"
#include "app/coordinate_table_model.h"
#include "form/control_table.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>

namespace vexilo::app {
namespace {

using form::kGridColumnWidthsTwips;
using form::kGridPointSize;
using form::kGridRowHeightTwips;
using form::twipsToPixels;

/// Paints a cell as a header section: the fixed first column of the grid.
class HeaderStyleDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        QStyleOptionHeader header;
        header.rect = option.rect;
        header.palette = option.palette;
        header.fontMetrics = option.fontMetrics;
        header.direction = option.direction;
        header.state = option.state & QStyle::State_Enabled;
        header.state |= QStyle::State_Raised;
        header.orientation = Qt::Vertical;
        header.position = QStyleOptionHeader::Middle;
        header.section = index.row();
        header.text = item.text;
        header.textAlignment = Qt::AlignCenter;
        QStyle* style = option.widget != nullptr ? option.widget->style() : nullptr;
        if (style == nullptr) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        painter->save();
        painter->setFont(option.font);
        style->drawControl(QStyle::CE_Header, &header, painter, option.widget);
        painter->restore();
    }
};

} // namespace

CoordinateGrid::CoordinateGrid(cad::CoordinateTable& table, QWidget* parent)
    : QTableView(parent), m_table(table), m_model(new CoordinateTableModel(table, this)) {
    setModel(m_model);
    setFont(songFont(kGridPointSize));
    setItemDelegateForColumn(0, new HeaderStyleDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setTabKeyNavigation(false);

    const int rowHeight = twipsToPixels(kGridRowHeightTwips);
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(rowHeight);

    QHeaderView* columns = horizontalHeader();
    columns->setFont(songFont(kGridPointSize));
    columns->setMinimumSectionSize(1);
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignCenter);
    columns->setFixedHeight(rowHeight);
    for (int column = 0; column < static_cast<int>(kGridColumnWidthsTwips.size()); ++column) {
        columns->resizeSection(
            column, twipsToPixels(kGridColumnWidthsTwips[static_cast<std::size_t>(column)]));
    }

    connect(
        selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current, const QModelIndex&) { takeViewCurrentRow(current); });
    connect(m_model, &CoordinateTableModel::currentTableRowChanged, this,
            &CoordinateGrid::showTableCurrentRow);
    // Qt's selection model moves the current row on its own when the current row goes; the
    // table's own rule decides which row is current afterwards.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &CoordinateGrid::showTableCurrentRow);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CoordinateGrid::scrollToNewRows);
    showTableCurrentRow();
}

bool CoordinateGrid::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->ignore();
        return false;
    }
    return QTableView::event(event);
}

void CoordinateGrid::scrollToNewRows() {
    if (m_scrollPending) {
        return;
    }
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        executeDelayedItemsLayout();
        if (m_model->rowCount() > 0) {
            scrollTo(m_model->index(m_model->rowCount() - 1, 0), QAbstractItemView::EnsureVisible);
        }
    });
}

std::vector<int> CoordinateGrid::selectedTableRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row() + 1);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CoordinateGrid::showTableCurrentRow() {
    const int modelRow = m_table.currentRow() - 1;
    if (currentIndex().isValid() && currentIndex().row() == modelRow &&
        selectionModel()->isRowSelected(modelRow, QModelIndex())) {
        return; // already shown, as after a click on the row
    }
    m_following = true;
    if (modelRow >= 0 && modelRow < m_model->rowCount()) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 1;
        selectionModel()->setCurrentIndex(m_model->index(modelRow, column),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    } else {
        selectionModel()->clear();
    }
    m_following = false;
}

void CoordinateGrid::takeViewCurrentRow(const QModelIndex& current) {
    if (m_following || m_model->isChangingRows() || !current.isValid()) {
        return;
    }
    m_table.setCurrentRow(current.row() + 1);
}

} // namespace vexilo::app
