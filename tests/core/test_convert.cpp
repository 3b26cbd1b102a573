#include "convert.h"
#include "errors.h"

#include <QTest>

class TestConvert : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void str_to_int_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "42" << true << 42;
        QTest::newRow("minus") << "-5" << true << -5;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("leading zeros") << "00100" << true << 100;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("one too large") << "2147483648" << false << 0;
        QTest::newRow("far too large") << "99999999999999999999999" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("letters") << "12a" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
        QTest::newRow("blank") << " 1" << false << 0;
    }
    void str_to_int() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        if (ok) {
            QCOMPARE(::str_to_int(text), value);
            return;
        }
        try {
            ::str_to_int(text);
            QFAIL("no error raised");
        } catch (const TankdefError& error) {
            QCOMPARE(error.text(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }

    void str_to_float_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        const QLocale italian(QLocale::Italian, QLocale::Italy);
        const QLocale c = QLocale::c();
        QTest::newRow("comma decimal, italian") << "1700,9" << italian << true << 1700.9;
        QTest::newRow("point decimal, italian") << "12.5" << italian << false << 0.0;
        QTest::newRow("thousands point, italian") << "1.700" << italian << false << 0.0;
        QTest::newRow("point decimal, c") << "12.5" << c << true << 12.5;
        QTest::newRow("comma decimal, c") << "12,5" << c << false << 0.0;
        QTest::newRow("blanks around") << " 42 " << c << true << 42.0;
        QTest::newRow("negative") << "-3,7" << italian << true << -3.7;
        QTest::newRow("plus") << "+3" << c << true << 3.0;
        QTest::newRow("exponent") << "1e3" << c << true << 1000.0;
        QTest::newRow("exponent with sign") << "25E-1" << c << true << 2.5;
        QTest::newRow("exponent without digits") << "1e" << c << false << 0.0;
        QTest::newRow("leading separator") << ",5" << italian << true << 0.5;
        QTest::newRow("trailing separator") << "5," << italian << true << 5.0;
        QTest::newRow("empty") << "" << c << false << 0.0;
        QTest::newRow("blank") << "   " << c << false << 0.0;
        QTest::newRow("two separators") << "1,2,3" << italian << false << 0.0;
        QTest::newRow("infinity") << "inf" << c << false << 0.0;
        QTest::newRow("nan") << "nan" << c << false << 0.0;
        QTest::newRow("overflow") << "1e999" << c << false << 0.0;
        QTest::newRow("inner blank") << "1 2" << c << false << 0.0;
    }
    void str_to_float() {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        QFETCH(bool, ok);
        QFETCH(double, value);
        if (ok) {
            QCOMPARE(::str_to_float(text, locale), value);
            return;
        }
        try {
            ::str_to_float(text, locale);
            QFAIL("no error raised");
        } catch (const TankdefError& error) {
            QCOMPARE(error.text(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "test_convert.moc"
