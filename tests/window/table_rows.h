#pragma once

#include "f_defs.h"
#include "tipi.h"

#include <QAbstractItemModel>
#include <QTest>

// The table the file suites start from: three rows in use, and rows past them holding values that an
// accepted import must overwrite with -1.
inline void fill_three_rows(Tdefs& window) {
    for (int n = 1; n <= 6; ++n)
        tank_tables[1].rows[n] = {double(n * 10), double(n * 100)};
    tank_tables[1].row_count = 3;
    window.refresh_grid();
}

// Checks that the table is still the one fill_three_rows made, on screen too.
inline void check_three_rows_kept(const QAbstractItemModel* grid) {
    QCOMPARE(tank_tables[1].row_count, 3);
    for (int n = 1; n <= 6; ++n)
        QCOMPARE(tank_tables[1].rows[n], TStrapRow({double(n * 10), double(n * 100)}));
    QCOMPARE(grid->rowCount(), 3);
}
