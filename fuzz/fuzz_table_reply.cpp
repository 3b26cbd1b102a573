// The strapping-table reply's lines: every line becomes one row, empty or two whole numbers, or the
// whole reply is refused; rows the controller can hold travel back unchanged through the "C" payload.

#include "errors.h"
#include "fuzz_common.h"
#include "protocol.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    // The receive path hands over lines without their CR; LF never reaches them.
    const QStringList lines = text.split(u'\r');
    std::vector<TStrapRow> rows;
    try {
        rows = parse_table_lines(lines);
    } catch (const TankdefError& error) {
        FUZZ_CHECK(error.text().endsWith(QStringLiteral(" is not a valid integer value")));
        return 0;
    }
    FUZZ_CHECK(rows.size() == size_t(lines.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
        const TStrapRow& row = rows[r];
        // A row is empty exactly when its line lacks a TAB with digits both before and after it.
        const QString& line = lines[qsizetype(r)];
        const auto has_digit = [&line](qsizetype from, qsizetype to) {
            for (qsizetype i = from; i < to; ++i) {
                if (line[i] >= u'0' && line[i] <= u'9')
                    return true;
            }
            return false;
        };
        const qsizetype tab = line.lastIndexOf(u'\t');
        const qsizetype previous_tab = tab > 0 ? line.lastIndexOf(u'\t', tab - 1) : -1;
        const bool complete = tab >= 0 && has_digit(previous_tab + 1, tab) && has_digit(tab + 1, line.size());
        FUZZ_CHECK((row.level == -1 && row.volume == -1) == !complete);
        if (!complete)
            continue;
        FUZZ_CHECK(row.level >= 0 && row.level <= 2147483647.0 && row.level == double(qint64(row.level)));
        FUZZ_CHECK(row.volume >= 0 && row.volume <= 2147483647.0 && row.volume == double(qint64(row.volume)));
    }

    // Rows within the controller's range go out with "C" and come back with "G" as they were.
    static auto table = std::make_unique<TTankTableRec>();
    int count = 0;
    for (const TStrapRow& row : rows) {
        if (count == limits::kTableRows)
            break;
        if (row.level >= 0 && row.level <= 65000 && row.volume >= 0 && row.volume <= 65000)
            table->rows[++count] = row;
    }
    table->row_count = count;
    const TablePayload payload = build_table_payload(*table);
    FUZZ_CHECK(!payload.refused);
    FUZZ_CHECK(payload.payload.size() == 13 * qsizetype(count + 1));
    QStringList sent = payload.payload.split(QStringLiteral("\r\n"));
    FUZZ_CHECK(sent.size() == count + 2 && sent.last().isEmpty());
    sent.removeLast();
    FUZZ_CHECK(sent.last() == QStringLiteral("65000\t65000"));
    sent.removeLast();
    const std::vector<TStrapRow> back = parse_table_lines(sent);
    FUZZ_CHECK(int(back.size()) == count);
    for (int r = 1; r <= count; ++r)
        FUZZ_CHECK(back[size_t(r - 1)] == table->rows[r]);
    return 0;
}
