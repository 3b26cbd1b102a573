#pragma once

#include <QStringList>

class QComboBox;
class QObject;

#include <functional>

// The fixed choice lists of the window; an entry's position is the code exchanged with the controller.
QStringList unit_names(int language);
QStringList relay_function_names(int language);
QStringList product_names();

// Program changes to a drop-down list run with its signals blocked, so only the operator's choices and
// typing reach its change handler.

// Replaces the entries; no entry is chosen afterwards and the box keeps showing the text it showed.
void rebuild_list(QComboBox* combo, const QStringList& entries);
// Chooses the entry at position; a position outside the list leaves no entry chosen and an empty text.
void set_position(QComboBox* combo, qint64 position);
// Makes the box an editable drop-down list: typing chooses the entry whose text matches exactly, or none.
void make_editable_list(QComboBox* combo);
// Runs handler when the operator chooses an entry or types into the box.
void on_operator_change(QComboBox* combo, QObject* context, const std::function<void()>& handler);
