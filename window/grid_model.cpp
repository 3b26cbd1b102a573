#include "grid_model.h"

#include "convert.h"
#include "errors.h"
#include "protocol.h"
#include "table_file.h"

namespace {

bool in_table(int column, int row) {
    return (column == 1 || column == 2) && row >= 1 && row <= limits::kTableRows;
}

} // namespace

QString grid1CellLoaded(const TTankTableRec& table, int column, int row) {
    if (!in_table(column, row))
        return QString();
    const TStrapRow& cells = table.rows[row];
    return whole_number_text(column == 1 ? cells.level : cells.volume);
}

void grid1CellEdit(TTankTableRec& table, int column, int row, const QString& text) {
    if (!in_table(column, row))
        return;
    const double value = str_to_int(text);
    TStrapRow& cells = table.rows[row];
    (column == 1 ? cells.level : cells.volume) = value;
}

StrapGridModel::StrapGridModel(TTankTableRec& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {}

void StrapGridModel::refresh() {
    beginResetModel();
    // A row count outside the table's rows would make the grid read past them.
    m_rows = qBound(0, m_table.row_count, limits::kTableRows);
    endResetModel();
}

void StrapGridModel::set_headings(const QString& level, const QString& volume) {
    m_headings[0] = level;
    m_headings[1] = volume;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 1);
}

int StrapGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int StrapGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant StrapGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return grid1CellLoaded(m_table, index.column() + 1, index.row() + 1);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return QVariant();
}

bool StrapGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= m_rows)
        return false;
    bool stored = false;
    // The view calls this from its own code: the error box is shown here, and the cell keeps its value.
    run_handler([&] {
        grid1CellEdit(m_table, index.column() + 1, index.row() + 1, value.toString());
        stored = true;
    });
    if (stored)
        Q_EMIT dataChanged(index, index);
    return stored;
}

Qt::ItemFlags StrapGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant StrapGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && (section == 0 || section == 1))
        return m_headings[section];
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QVariant();
}
