#include "protocol_printers.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

// The strapping table on the wire: the "C" payload with its 65000 limit, and the rows of a "G" reply.
namespace {

using Rows = std::vector<TStrapRow>;

// The record is large; each case builds its own on the heap, cleared as the window keeps it.
std::unique_ptr<TTankTableRec> table_of(const Rows& rows) {
    auto table = std::make_unique<TTankTableRec>();
    clear_table_rows(*table);
    for (size_t i = 0; i < rows.size(); ++i)
        table->rows[int(i) + 1] = rows[i];
    table->row_count = qint32(rows.size());
    return table;
}

const QString kEndLine = QStringLiteral("65000\t65000\r\n");

} // namespace

class TestTableProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void payload_data() {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("payload");
        QTest::newRow("worked example") << Rows{{0, 0}, {100, 250}, {1500, 12000}}
                                        << "00000\t00000\r\n00100\t00250\r\n01500\t12000\r\n" + kEndLine;
        QTest::newRow("empty table") << Rows{} << kEndLine;
        QTest::newRow("65000 passes") << Rows{{65000, 65000}} << "65000\t65000\r\n" + kEndLine;
        QTest::newRow("negatives zero-filled before the sign")
            << Rows{{-1, -12}} << "000-1\t00-12\r\n" + kEndLine;
        QTest::newRow("five-digit negative") << Rows{{-12345, 0}} << "-12345\t00000\r\n" + kEndLine;
        QTest::newRow("fractions truncated") << Rows{{12.9, -3.7}} << "00012\t000-3\r\n" + kEndLine;
        QTest::newRow("small negative fraction is zero") << Rows{{-0.5, 0}} << "00000\t00000\r\n" + kEndLine;
        QTest::newRow("empty row sent as it is") << Rows{{-1, -1}} << "000-1\t000-1\r\n" + kEndLine;
        QTest::newRow("huge negative written whole")
            << Rows{{-1e20, 1}} << "-100000000000000000000\t00001\r\n" + kEndLine;
        QTest::newRow("order and repeats as they are")
            << Rows{{300, 1}, {100, 1}, {100, 1}}
            << "00300\t00001\r\n00100\t00001\r\n00100\t00001\r\n" + kEndLine;
    }
    void payload() {
        QFETCH(Rows, rows);
        QFETCH(QString, payload);
        QCOMPARE(build_table_payload(*table_of(rows)), (TablePayload{false, payload}));
    }

    void refused_data() {
        QTest::addColumn<Rows>("rows");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("level 65001") << Rows{{0, 0}, {65001, 1}, {2, 2}};
        QTest::newRow("volume 65001") << Rows{{0, 0}, {1, 1}, {2, 65001}};
        QTest::newRow("fraction above 65000") << Rows{{65000.5, 0}};
        QTest::newRow("not a number") << Rows{{nan, 0}};
        QTest::newRow("infinite volume") << Rows{{0, inf}};
        QTest::newRow("negative infinity") << Rows{{-inf, 0}};
        QTest::newRow("largest double") << Rows{{0, std::numeric_limits<double>::max()}};
    }
    void refused() {
        QFETCH(Rows, rows);
        QCOMPARE(build_table_payload(*table_of(rows)), (TablePayload{true, QString()}));
    }

    void rows_past_row_count_ignored() {
        auto table = table_of({{1, 2}});
        table->rows[2] = {70000, 70000};
        QCOMPARE(build_table_payload(*table), (TablePayload{false, "00001\t00002\r\n" + kEndLine}));
    }

    void full_table() {
        Rows rows;
        for (int r = 0; r < limits::kTableRows; ++r)
            rows.push_back({double(r * 32), 65000});
        const TablePayload result = build_table_payload(*table_of(rows));
        QVERIFY(!result.refused);
        QCOMPARE(result.payload.size(), 13 * 2001);
        QVERIFY(result.payload.startsWith("00000\t65000\r\n00032\t65000\r\n"));
        QVERIFY(result.payload.endsWith("63968\t65000\r\n" + kEndLine));
    }

    void lines_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("two rows") << QStringList{"0\t0", "100\t1250"} << Rows{{0, 0}, {100, 1250}};
        QTest::newRow("no lines") << QStringList{} << Rows{};
        QTest::newRow("empty line keeps its place")
            << QStringList{"1\t2", "", "3\t4"} << Rows{{1, 2}, {-1, -1}, {3, 4}};
        QTest::newRow("two tabs") << QStringList{"1\t2\t3"} << Rows{{2, 3}};
        QTest::newRow("blanks and signs skipped") << QStringList{"  -100 \t +1250 "} << Rows{{100, 1250}};
        QTest::newRow("decimal point dropped") << QStringList{"1.5\t2,5"} << Rows{{15, 25}};
        QTest::newRow("no tab") << QStringList{"100 1250"} << Rows{{-1, -1}};
        QTest::newRow("nothing after the tab") << QStringList{"100\t"} << Rows{{-1, -1}};
        QTest::newRow("nothing before the last tab") << QStringList{"100\t\t5"} << Rows{{-1, -1}};
        QTest::newRow("nothing before the tab") << QStringList{"\t5"} << Rows{{-1, -1}};
        QTest::newRow("leading zeros") << QStringList{"00000000000012\t0005"} << Rows{{12, 5}};
        QTest::newRow("largest 32-bit") << QStringList{"2147483647\t0"} << Rows{{2147483647, 0}};
        QTest::newRow("letters and other digits ignored")
            << QStringList{QStringLiteral("l1\u0663\tv2")} << Rows{{1, 2}};
    }
    void lines() {
        QFETCH(QStringList, lines);
        QFETCH(Rows, rows);
        QCOMPARE(parse_table_lines(lines), rows);
    }

    void line_too_large_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("error");
        QTest::newRow("level") << QStringList{"1\t1", "99999999999\t1"}
                               << "'99999999999' is not a valid integer value";
        QTest::newRow("volume") << QStringList{"1\t99999999999"}
                                << "'99999999999' is not a valid integer value";
        QTest::newRow("one past 32 bits")
            << QStringList{"2147483648\t1"} << "'2147483648' is not a valid integer value";
        QTest::newRow("digits run together")
            << QStringList{"1 234 567 890 1\t1"} << "'12345678901' is not a valid integer value";
    }
    void line_too_large() {
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        QCOMPARE(raised_text([&] { parse_table_lines(lines); }), error);
    }

    // A table read back from the controller is what was written, for values the format can carry.
    void round_trip() {
        const Rows rows{{0, 0}, {10, 150}, {2500, 65000}};
        QStringList lines = build_table_payload(*table_of(rows)).payload.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.takeLast(), QStringLiteral("65000\t65000"));
        QCOMPARE(parse_table_lines(lines), rows);
    }
};

QTEST_GUILESS_MAIN(TestTableProtocol)
#include "test_table_protocol.moc"
