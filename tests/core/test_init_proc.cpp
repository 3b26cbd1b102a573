#include "init_proc.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <chrono>

class TestInitProc : public QObject {
    Q_OBJECT

private:
    static void load_entry(int index, const QByteArray& key, const QByteArray& lang1) {
        msg_table[index].fields[0].assign(key);
        msg_table[index].fields[1].assign(lang1);
        for (int f = 2; f <= limits::kMsgLanguages; ++f)
            msg_table[index].fields[f].assign(QByteArray());
    }

private Q_SLOTS:
    void init() {
        msg_count = 0;
        msg_language = 0;
    }

    void translate_with_empty_catalogue_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("water alarm key") << "Allarme Acqua" << 0 << "#Allarme Acqua#";
        QTest::newRow("empty message") << "" << 0 << "##";
        QTest::newRow("language 1") << "Confermi importazione da file csv?" << 1
                                    << "#Confermi importazione da file csv?#";
        QTest::newRow("accented text kept") << "Unità" << 1 << "#Unità#";
    }
    void translate_with_empty_catalogue() {
        QFETCH(QString, message);
        QFETCH(int, language);
        QFETCH(QString, expected);
        QCOMPARE(translate_msg(message, language), expected);
    }

    void translate_with_loaded_entry_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("upper case matches, language 1") << "ABC" << 1 << "first";
        QTest::newRow("mixed case matches, language 0 gives the key") << "aBc" << 0 << "abc";
        QTest::newRow("exact case") << "abc" << 1 << "first";
        QTest::newRow("longer text does not match") << "abcd" << 1 << "#abcd#";
        QTest::newRow("accented letter case is not folded")
            << QStringLiteral("ÀBC") << 1 << QStringLiteral("#ÀBC#");
        QTest::newRow("accented letter matches itself") << QStringLiteral("àbc") << 1 << "accented";
    }
    void translate_with_loaded_entry() {
        QFETCH(QString, message);
        QFETCH(int, language);
        QFETCH(QString, expected);
        load_entry(1, "abc", "first");
        load_entry(2, "abc", "second"); // the first match wins
        load_entry(3, QStringLiteral("àbc").toLatin1(), "accented");
        msg_count = 3;
        QCOMPARE(translate_msg(message, language), expected);
    }

    void strip_lf_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("cr lf A lf") << QByteArray("\r\nA\n") << QByteArray("\rA");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("only line feeds") << QByteArray("\n\n\n") << QByteArray();
        QTest::newRow("no line feed") << QByteArray("65000\t65000\r") << QByteArray("65000\t65000\r");
        QTest::newRow("nul kept") << QByteArray("a\0\nb", 4) << QByteArray("a\0b", 3);
    }
    void strip_lf() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        QCOMPARE(::strip_lf(input), expected);
        QCOMPARE(::strip_lf(QString::fromLatin1(input)), QString::fromLatin1(expected));
    }

    void wait_seconds_returns_after_more_than_the_time_data() {
        QTest::addColumn<double>("seconds");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("20 ms") << 0.02;
        QTest::newRow("100 ms") << 0.1;
        QTest::newRow("negative") << -1.0;
    }
    void wait_seconds_returns_after_more_than_the_time() {
        QFETCH(double, seconds);
        const auto start = std::chrono::steady_clock::now();
        wait_seconds(seconds);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        QVERIFY2(elapsed.count() > seconds, qPrintable(QString::number(elapsed.count())));
    }

    void wait_seconds_takes_no_events() {
        bool fired = false;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [&fired] { fired = true; });
        timer.start(0);
        QMetaObject::invokeMethod(
            this, [&fired] { fired = true; }, Qt::QueuedConnection);
        wait_seconds(0.1);
        QVERIFY(!fired);
        QTRY_VERIFY_WITH_TIMEOUT(fired, 5000);
    }
};

QTEST_MAIN(TestInitProc)
#include "test_init_proc.moc"
