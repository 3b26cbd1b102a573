#pragma once

#include "tipi.h"

#include <QAbstractTableModel>
#include <QString>

// The cell texts and cell edits of the strapping-table grid, on a table record; column 1 is the level,
// column 2 the volume, rows count from 1. Other columns and rows outside the table are left alone.
QString grid1CellLoaded(const TTankTableRec& table, int column, int row);
// Raises the integer conversion error for a text that is not a 32-bit whole number; the row keeps its value.
void grid1CellEdit(TTankTableRec& table, int column, int row, const QString& text);

// The grid's model: it holds no rows of its own, only how many of the table's rows the grid shows.
class StrapGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StrapGridModel(TTankTableRec& table, QObject* parent = nullptr);

    // The grid takes the table's row_count rows and repaints.
    void refresh();
    void set_headings(const QString& level, const QString& volume);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    TTankTableRec& m_table;
    int m_rows = 0;
    QString m_headings[2];
};
