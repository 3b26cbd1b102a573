#include "bench_data.h"

#include "sim_protocol.h"

namespace bench {

std::vector<sim::SimRow> rising_rows(int rows) {
    std::vector<sim::SimRow> out;
    out.reserve(std::size_t(rows));
    for (int r = 0; r < rows; ++r)
        out.push_back({r * 30, int(qint64(r) * limits::kTableEndValue / qMax(1, rows))});
    return out;
}

QByteArray table_reply(const std::vector<sim::SimRow>& rows) {
    QByteArray bytes;
    for (const QByteArray& line : sim::table_lines(rows))
        bytes += line + "\r\n";
    return bytes;
}

void fill_table(TTankTableRec& table, const std::vector<sim::SimRow>& rows) {
    for (TStrapRow& row : table.rows)
        row = {-1, -1};
    for (std::size_t r = 0; r < rows.size() && r < std::size_t(kRows); ++r)
        table.rows[int(r) + 1] = {double(rows[r].level), double(rows[r].volume)};
    table.row_count = qint32(qMin<std::size_t>(rows.size(), kRows));
}

sim::SimState state_with_tables(int rows) {
    sim::SimState state = sim::sample_state(2);
    for (sim::SimChannel& channel : state.channels)
        channel.table = rising_rows(rows);
    return state;
}

} // namespace bench
