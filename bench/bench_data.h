#pragma once

#include "sim_state.h"
#include "tipi.h"

#include <QByteArray>

#include <vector>

// The data every benchmark works on: full-size tables as the controller and the files hold them.
namespace bench {

inline constexpr int kRows = limits::kTableRows;

// `rows` rows with rising levels and volumes, every value within what the controller takes.
std::vector<sim::SimRow> rising_rows(int rows);

// The controller's whole reply to "G" for these rows, its "65000" end line included.
QByteArray table_reply(const std::vector<sim::SimRow>& rows);

// Rows 1..rows.size() of the table, row_count set, the rows after it emptied.
void fill_table(TTankTableRec& table, const std::vector<sim::SimRow>& rows);

// A controller of two channels whose tables both hold `rows` rows.
sim::SimState state_with_tables(int rows);

} // namespace bench
