#pragma once

#include "tipi.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The strapping-table file: one "level;volume" line per row, read and written by the grid's buttons.

// One export line without its line end: each number zero-filled on the left to at least five characters.
QByteArray export_line(const TStrapRow& row);

// Rows 1..row_count, each line ended by CR LF; empty for an empty table.
QByteArray export_text(const TTankTableRec& table);

// What an import found: the accepted rows in file order, or the reason the file was refused.
struct TableImport {
    std::vector<TStrapRow> rows;
    QString error; // empty when the file was accepted
    bool ok() const { return error.isEmpty(); }
    friend bool operator==(const TableImport&, const TableImport&) = default;
};

// Reads a whole file's bytes. Only digits and ";" count on a line; its last two fields, when both are
// present, are a row. A number above 2147483647 or more rows than the table holds refuse the whole file.
TableImport import_table(const QByteArray& bytes);

// The file's bytes; raises the operator's text ("File not found", "Path not found"...) when it cannot
// be opened, and refuses a file larger than any strapping table can be without reading it all.
QByteArray read_table_file(const QString& path);

// Replaces the file with text in one step, so a failed write leaves any old file as it was; raises the
// operator's text when the file cannot be created or written.
void write_table_file(const QString& path, const QByteArray& text);
