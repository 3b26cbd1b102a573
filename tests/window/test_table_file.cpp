#include "protocol.h"
#include "table_file.h"

#include <QTest>

#include <limits>

namespace {

TStrapRow row(double level, double volume) {
    return {level, volume};
}

using Rows = std::vector<TStrapRow>;

TableImport accepted(Rows rows) {
    TableImport result;
    result.rows = std::move(rows);
    return result;
}

TableImport refused(const QString& error) {
    TableImport result;
    result.error = error;
    return result;
}

TTankTableRec& table_with(const Rows& rows) {
    static TTankTableRec table;
    for (TStrapRow& cells : table.rows)
        cells = {0, 0};
    int n = 0;
    for (const TStrapRow& cells : rows)
        table.rows[++n] = cells;
    table.row_count = n;
    return table;
}

} // namespace

Q_DECLARE_METATYPE(TStrapRow)
Q_DECLARE_METATYPE(TableImport)

namespace QTest {
template <> char* toString(const TableImport& value) {
    QByteArray text = "rows:";
    for (const TStrapRow& cells : value.rows)
        text += " (" + QByteArray::number(cells.level, 'f', 1) + ", " +
                QByteArray::number(cells.volume, 'f', 1) + ")";
    text += " error: " + value.error.toUtf8();
    return qstrdup(text.constData());
}
} // namespace QTest

class TestTableFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void whole_number_text_truncates_toward_zero_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("small negative fraction") << -0.7 << "0";
        QTest::newRow("positive fraction") << 12.9 << "12";
        QTest::newRow("negative fraction") << -3.7 << "-3";
        QTest::newRow("largest 32-bit") << 2147483647.0 << "2147483647";
        QTest::newRow("past 32 bits") << 1e12 << "1000000000000";
        QTest::newRow("empty row marker") << -1.0 << "-1";
    }
    void whole_number_text_truncates_toward_zero() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(whole_number_text(value), text);
    }

    void export_line_data() {
        QTest::addColumn<TStrapRow>("cells");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("both padded") << row(100, 1234) << QByteArray("00100;01234");
        QTest::newRow("zeros") << row(0, 0) << QByteArray("00000;00000");
        QTest::newRow("five digits") << row(1800, 65000) << QByteArray("01800;65000");
        QTest::newRow("longer written whole") << row(150000, 0) << QByteArray("150000;00000");
        QTest::newRow("negative padded after zeros") << row(-5, 7) << QByteArray("000-5;00007");
        QTest::newRow("empty row") << row(-1, -1) << QByteArray("000-1;000-1");
        QTest::newRow("fractions truncated") << row(12.9, -3.7) << QByteArray("00012;000-3");
    }
    void export_line() {
        QFETCH(TStrapRow, cells);
        QFETCH(QByteArray, line);
        QCOMPARE(::export_line(cells), line);
    }

    void export_text_ends_every_line_with_crlf() {
        QCOMPARE(export_text(table_with({row(0, 0), row(250, 1200), row(1800, 65000)})),
                 QByteArray("00000;00000\r\n00250;01200\r\n01800;65000\r\n"));
    }

    void export_text_of_empty_table_is_empty() { QCOMPARE(export_text(table_with({})), QByteArray()); }

    void export_text_writes_only_rows_in_use() {
        TTankTableRec& table = table_with({row(1, 2), row(3, 4)});
        table.row_count = 1;
        QCOMPARE(export_text(table), QByteArray("00001;00002\r\n"));
    }

    void export_text_never_reads_past_the_table() {
        TTankTableRec& table = table_with({row(1, 2)});
        table.row_count = limits::kTableRows + 50;
        QCOMPARE(export_text(table).count("\r\n"), limits::kTableRows);
        table.row_count = -3;
        QCOMPARE(export_text(table), QByteArray());
    }

    void import_table_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TableImport>("expected");
        QTest::newRow("exported file") << QByteArray("00000;00000\r\n00250;01200\r\n01800;65000\r\n")
                                       << accepted({row(0, 0), row(250, 1200), row(1800, 65000)});
        QTest::newRow("header skipped")
            << QByteArray("Livello;Volume\r\n10;20\r\n30;40\r\n") << accepted({row(10, 20), row(30, 40)});
        QTest::newRow("last two fields taken") << QByteArray("1;2;3\n") << accepted({row(2, 3)});
        QTest::newRow("trailing separator skipped") << QByteArray("15;\n") << accepted({});
        QTest::newRow("leading separator skipped") << QByteArray(";15\n") << accepted({});
        QTest::newRow("no separator skipped") << QByteArray("15\n") << accepted({});
        QTest::newRow("brackets ignored") << QByteArray("(1);[2]\n") << accepted({row(1, 2)});
        QTest::newRow("empty file") << QByteArray() << accepted({});
        QTest::newRow("blank lines") << QByteArray("\r\n\n  \r\n") << accepted({});
        QTest::newRow("lf line ends") << QByteArray("1;2\n3;4\n") << accepted({row(1, 2), row(3, 4)});
        QTest::newRow("no final line end") << QByteArray("1;2\r\n3;4") << accepted({row(1, 2), row(3, 4)});
        QTest::newRow("cr alone ends a line") << QByteArray("1;2\r3;4\r") << accepted({row(1, 2), row(3, 4)});
        QTest::newRow("decimal comma read as digits") << QByteArray("12,5;7\n") << accepted({row(125, 7)});
        QTest::newRow("decimal point read as digits") << QByteArray("12.5;7\n") << accepted({row(125, 7)});
        QTest::newRow("minus sign dropped") << QByteArray("000-5;00007\n") << accepted({row(5, 7)});
        QTest::newRow("tabs and blanks skipped") << QByteArray(" 1 0\t; 2 0 \n") << accepted({row(10, 20)});
        QTest::newRow("high bytes skipped") << QByteArray("1\xe8;\xff"
                                                          "2\n")
                                            << accepted({row(1, 2)});
        QTest::newRow("unsorted and duplicates kept")
            << QByteArray("5;5\n1;1\n5;5\n") << accepted({row(5, 5), row(1, 1), row(5, 5)});
        QTest::newRow("largest 32-bit value")
            << QByteArray("2147483647;0\n") << accepted({row(2147483647, 0)});
        QTest::newRow("leading zeros beyond ten digits")
            << QByteArray("000000000000001;2\n") << accepted({row(1, 2)});
        QTest::newRow("level too large")
            << QByteArray("1;2\n3;4\n99999999999;5\n6;7\n")
            << refused(QStringLiteral(
                   "'99999999999' is not a valid integer value (line 3). The table was not changed."));
        QTest::newRow("volume one past 32 bits")
            << QByteArray("Livello;Volume\r\n1;2147483648\r\n")
            << refused(QStringLiteral(
                   "'2147483648' is not a valid integer value (line 2). The table was not changed."));
        QTest::newRow("huge number quoted by its first digits")
            << QByteArray("1;2\n") + QByteArray(100000, '7') + QByteArray(";5\n")
            << refused(
                   QStringLiteral("'") + QString(40, u'7') +
                   QStringLiteral("...' is not a valid integer value (line 2). The table was not changed."));
    }
    void import_table() {
        QFETCH(QByteArray, bytes);
        QFETCH(TableImport, expected);
        QCOMPARE(::import_table(bytes), expected);
    }

    void import_round_trips_an_export() {
        const Rows rows = {row(0, 0), row(250, 1200), row(1800, 65000), row(150000, 2147483647)};
        QCOMPARE(::import_table(export_text(table_with(rows))), accepted(rows));
    }

    void import_takes_a_full_table() {
        QByteArray bytes;
        for (int n = 1; n <= limits::kTableRows; ++n)
            bytes += QByteArray::number(n) + ";" + QByteArray::number(n * 2) + "\r\n";
        bytes += "no row here\r\n";
        const TableImport result = ::import_table(bytes);
        QVERIFY(result.ok());
        QCOMPARE(int(result.rows.size()), limits::kTableRows);
        QCOMPARE(result.rows.back(), row(limits::kTableRows, limits::kTableRows * 2));
    }

    void import_refuses_more_rows_than_the_table_holds() {
        QByteArray bytes = "Livello;Volume\n";
        for (int n = 1; n <= limits::kTableRows + 1; ++n)
            bytes += QByteArray::number(n) + ";1\n";
        const TableImport result = ::import_table(bytes);
        QCOMPARE(result,
                 refused(QStringLiteral(
                     "The file holds more than 2000 table rows (line 2002). The table was not changed.")));
    }
};

QTEST_APPLESS_MAIN(TestTableFile)
#include "test_table_file.moc"
