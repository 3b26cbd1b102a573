#include "tipi.h"

#include <QTemporaryDir>
#include <QTest>

class TestTipi : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void short_text_keeps_first_characters_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("stored");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("229") << 229 << 229;
        QTest::newRow("230 whole") << 230 << 230;
        QTest::newRow("231 cut") << 231 << 230;
        QTest::newRow("5000 cut") << 5000 << 230;
    }
    void short_text_keeps_first_characters() {
        QFETCH(int, length);
        QFETCH(int, stored);
        QByteArray text;
        for (int i = 0; i < length; ++i)
            text.append(char('a' + i % 26));
        RxLine line{};
        line.assign(text);
        QCOMPARE(line.bytes(), text.left(stored));
    }

    void one_based_numbering() {
        reset_shared_state();
        tank_tables[1].rows[1] = {5, 6};
        tank_tables[1].rows[limits::kTableRows] = {7, 8};
        QCOMPARE(tank_tables[1].rows.begin()->level, 5.0);
        QCOMPARE((tank_tables[1].rows.end() - 1)->volume, 8.0);
        QCOMPARE(stations.size(), limits::kStationCount);
    }

    void reset_zeroes_the_state() {
        stations[1].rx_state = 2;
        stations[1].rx_line_count = 3;
        stations[1].rx_lines[1].assign("x");
        com_state = 4;
        cmd_letter = "G";
        device_connected = 1;
        tank_tables[1].row_count = 9;
        tank_tables[1].rows[2] = {1, 1};
        reset_shared_state();
        QCOMPARE(stations[1].rx_state, 0);
        QCOMPARE(stations[1].rx_line_count, 0);
        QCOMPARE(stations[1].rx_lines[1].length, 0);
        QCOMPARE(com_state, 0);
        QVERIFY(cmd_letter.isEmpty());
        QCOMPARE(device_connected, 0);
        QCOMPARE(tank_tables[1].row_count, 0);
        QCOMPARE(tank_tables[1].rows[2], (TStrapRow{0, 0}));
    }

    void clear_table_rows_marks_every_row_empty() {
        reset_shared_state();
        clear_table_rows(tank_tables[1]);
        for (const TStrapRow& row : tank_tables[1].rows)
            QCOMPARE(row, (TStrapRow{-1, -1}));
    }

    void byte_text_of_wide_text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << "Serbatoio 1" << QByteArray("Serbatoio 1");
        QTest::newRow("latin-1") << QStringLiteral("Unità") << QByteArray("Unit\xe0");
        QTest::newRow("outside latin-1") << QStringLiteral("€5") << QByteArray("?5");
    }
    void byte_text_of_wide_text() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(to_byte_text(text), bytes);
    }

    void log_writes_only_when_on() {
        reset_shared_state();
        write_log_line("D - $"); // off: nothing happens, nothing raises
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        set_log_file(path);
        write_log_line("D - $");
        write_log_line("R - OK");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().replace("\r\n", "\n"), QByteArray("D - $\nR - OK\n"));
        reset_shared_state();
    }
};

QTEST_GUILESS_MAIN(TestTipi)
#include "test_tipi.moc"
