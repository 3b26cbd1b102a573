#include "protocol_printers.h"

#include <QTest>

// The "$" walk of the configuration reply: which fields are taken, how numbers read, and what is refused.
namespace {

const QLocale kItalian(QLocale::Italian, QLocale::Italy);
const QLocale kPoint = QLocale::c();

// A 4-relay reply, fields 0..20; joined by "$" it ends with the capacity and no closing "$".
QStringList four_relay_fields() {
    return {"CFG",    "A",     "Serbatoio 1     ",
            "080000", "00123", "01800",
            "01700",  "00300", "00150",
            "00000",  "00050", "65516",
            "00000",  "00002", "00003",
            "00000",  "00010", "00007",
            "00009",  "02500", "30000"};
}

QStringList sixteen_relay_fields() {
    QStringList fields = four_relay_fields();
    for (int relay = 5; relay <= 16; ++relay)
        fields << QStringLiteral("%1").arg(relay % 11, 5, 10, QChar(u'0'));
    return fields;
}

QStringList with(QStringList fields, int field, const QString& text) {
    fields[field] = text;
    return fields;
}

QString joined(const QStringList& fields) {
    return fields.join(u'$');
}

ChannelConfig four_relay_config() {
    ChannelConfig c;
    c.description = QStringLiteral("Serbatoio 1     ");
    c.address = QStringLiteral("00123");
    c.product = 8;
    c.unit = 0;
    c.alarm_hh = 1800;
    c.alarm_h = 1700;
    c.alarm_l = 300;
    c.alarm_ll = 150;
    c.water_zero = 0;
    c.water_alarm = 50;
    c.offset = -20;
    c.hidden_d13 = 0;
    c.hidden_d23 = 7;
    c.hidden_d24 = 9;
    c.tank_height = 2500;
    c.capacity = 30000;
    c.relays = {2, 3, 0, 10};
    return c;
}

ChannelConfig sixteen_relay_config() {
    ChannelConfig c = four_relay_config();
    for (int relay = 5; relay <= 16; ++relay)
        c.relays[size_t(relay - 1)] = relay % 11;
    return c;
}

template <typename F> ChannelConfig changed(ChannelConfig c, F change) {
    change(c);
    return c;
}

} // namespace

class TestChannelConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodes_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<ChannelConfig>("expected");

        const ChannelConfig four = four_relay_config();
        const QStringList base = four_relay_fields();

        QTest::newRow("4 relays, capacity unterminated") << joined(base) << kItalian << four;
        QTest::newRow("4 relays, closing dollar") << joined(base) + "$" << kItalian << four;
        QTest::newRow("21 dollars, non-blank tail ignored") << joined(base) + "$77777" << kItalian << four;
        QTest::newRow("20 dollars, blank tail is no capacity")
            << joined(base.mid(0, 20)) + "$   " << kItalian
            << changed(four, [](ChannelConfig& c) { c.capacity = 0; });
        QTest::newRow("20 dollars, control-character tail is no capacity")
            << joined(base.mid(0, 20)) + "$\t\x01" << kItalian
            << changed(four, [](ChannelConfig& c) { c.capacity = 0; });
        QTest::newRow("16 relays, relay 16 unterminated")
            << joined(sixteen_relay_fields()) << kItalian << sixteen_relay_config();
        QTest::newRow("16 relays, closing dollar")
            << joined(sixteen_relay_fields()) + "$" << kItalian << sixteen_relay_config();
        QTest::newRow("34 dollars, field 33 and tail ignored")
            << joined(sixteen_relay_fields() << "junk") + "$xyz" << kItalian << sixteen_relay_config();
        QTest::newRow("31 dollars, unterminated field 31 not taken")
            << joined(sixteen_relay_fields().mid(0, 31)) + "$00004" << kItalian
            << changed(sixteen_relay_config(), [](ChannelConfig& c) {
                   c.relays[14] = 0;
                   c.relays[15] = 0;
               });
        QTest::newRow("24 dollars, relays past the reply count as 0")
            << joined(sixteen_relay_fields().mid(0, 24)) + "$" << kItalian
            << changed(four, [](ChannelConfig& c) {
                   c.relays[4] = 5;
                   c.relays[5] = 6;
                   c.relays[6] = 7;
               });
        QTest::newRow("65516 folds in HH, not in tank height")
            << joined(with(with(base, 5, "65516"), 19, "65516")) << kItalian
            << changed(four, [](ChannelConfig& c) {
                   c.alarm_hh = -20;
                   c.tank_height = 65516;
               });
        QTest::newRow("40000 stays, 40001 folds") << joined(with(with(base, 6, "40000"), 7, "40001"))
                                                  << kItalian << changed(four, [](ChannelConfig& c) {
                                                         c.alarm_h = 40000;
                                                         c.alarm_l = -25535;
                                                     });
        QTest::newRow("fold before truncation")
            << joined(with(base, 8, "40000,5")) << kItalian
            << changed(four, [](ChannelConfig& c) { c.alarm_ll = -25535; });
        QTest::newRow("hidden d23 and d24 fold") << joined(with(with(base, 17, "65535"), 18, "65536"))
                                                 << kItalian << changed(four, [](ChannelConfig& c) {
                                                        c.hidden_d23 = -1;
                                                        c.hidden_d24 = 0;
                                                    });
        QTest::newRow("relays and capacity do not fold") << joined(with(with(base, 13, "65516"), 20, "65516"))
                                                         << kItalian << changed(four, [](ChannelConfig& c) {
                                                                c.relays[0] = 65516;
                                                                c.capacity = 65516;
                                                            });
        QTest::newRow("fractions truncated, comma locale") << joined(with(with(base, 9, "12,9"), 10, "-3,7"))
                                                           << kItalian << changed(four, [](ChannelConfig& c) {
                                                                  c.water_zero = 12;
                                                                  c.water_alarm = -3;
                                                              });
        QTest::newRow("fractions truncated, point locale") << joined(with(with(base, 9, "12.9"), 10, "-3.7"))
                                                           << kPoint << changed(four, [](ChannelConfig& c) {
                                                                  c.water_zero = 12;
                                                                  c.water_alarm = -3;
                                                              });
        QTest::newRow("fractions truncated, english locale")
            << joined(with(base, 19, "2500.99")) << QLocale(QLocale::English, QLocale::UnitedStates) << four;
        QTest::newRow("blanks around a number and an exponent")
            << joined(with(with(base, 5, " 42 "), 6, "1e3")) << kItalian
            << changed(four, [](ChannelConfig& c) {
                   c.alarm_hh = 42;
                   c.alarm_h = 1000;
               });
        QTest::newRow("field 3 extra characters ignored")
            << joined(with(base, 3, "2401xyz")) << kItalian << changed(four, [](ChannelConfig& c) {
                   c.product = 24;
                   c.unit = 1;
               });
        QTest::newRow("field 3 of three characters")
            << joined(with(base, 3, "121")) << kItalian << changed(four, [](ChannelConfig& c) {
                   c.product = 12;
                   c.unit = 1;
               });
        QTest::newRow("field 3 signed pairs")
            << joined(with(base, 3, "-1-100")) << kItalian << changed(four, [](ChannelConfig& c) {
                   c.product = -1;
                   c.unit = -1;
               });
        QTest::newRow("relay code 11 kept") << joined(with(base, 16, "00011")) << kItalian
                                            << changed(four, [](ChannelConfig& c) { c.relays[3] = 11; });
        QTest::newRow("texts as received, dollar-free") << joined(with(with(base, 2, "  a b  "), 4, ""))
                                                        << kItalian << changed(four, [](ChannelConfig& c) {
                                                               c.description = "  a b  ";
                                                               c.address = "";
                                                           });
        QTest::newRow("large value within 64 bits")
            << joined(with(base, 19, "9.2e18")) << kPoint
            << changed(four, [](ChannelConfig& c) { c.tank_height = 9200000000000000000LL; });
    }
    void decodes() {
        QFETCH(QString, reply);
        QFETCH(QLocale, locale);
        QFETCH(ChannelConfig, expected);
        QCOMPARE(parse_channel_config(reply, locale), expected);
    }

    void refuses_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("error");

        const QStringList base = four_relay_fields();
        const QString not_float = QStringLiteral("'%1' is not a valid floating point value");
        const QString not_int = QStringLiteral("'%1' is not a valid integer value");

        QTest::newRow("non-numeric field")
            << joined(with(base, 6, "abc")) << kItalian << not_float.arg("abc");
        QTest::newRow("empty numeric field") << joined(with(base, 7, "")) << kItalian << not_float.arg("");
        QTest::newRow("blank terminated capacity")
            << joined(with(base, 20, "   ")) + "$" << kItalian << not_float.arg("   ");
        QTest::newRow("empty relay field in 16-relay reply")
            << joined(with(sixteen_relay_fields(), 25, "")) << kItalian << not_float.arg("");
        QTest::newRow("thousands separator under italian")
            << joined(with(base, 19, "1.700")) << kItalian << not_float.arg("1.700");
        QTest::newRow("comma under point locale")
            << joined(with(base, 19, "12,5")) << kPoint << not_float.arg("12,5");
        QTest::newRow("first bad number in field order")
            << joined(with(with(base, 19, "late"), 6, "early")) << kItalian << not_float.arg("early");
        QTest::newRow("numbers checked before field 3")
            << joined(with(with(base, 3, "ab00"), 12, "zz")) << kItalian << not_float.arg("zz");
        QTest::newRow("beyond 64 bits")
            << joined(with(base, 19, "1e300")) << kPoint << not_float.arg("1e300");
        QTest::newRow("beyond 64 bits, negative")
            << joined(with(base, 13, "-1e19")) << kPoint << not_float.arg("-1e19");
        QTest::newRow("exactly 2^63") << joined(with(base, 20, "9223372036854775808")) << kPoint
                                      << not_float.arg("9223372036854775808");
        QTest::newRow("field 3 of one character")
            << joined(with(base, 3, "0")) << kItalian << not_int.arg("");
        QTest::newRow("field 3 letters in product")
            << joined(with(base, 3, "ab00")) << kItalian << not_int.arg("ab");
        QTest::newRow("field 3 letters in unit")
            << joined(with(base, 3, "08xx00")) << kItalian << not_int.arg("xx");
        QTest::newRow("field 3 blank pair") << joined(with(base, 3, " 800")) << kItalian << not_int.arg(" 8");
        QTest::newRow("three dollars") << "CFG$A$desc$080000" << kItalian << not_int.arg("");
        QTest::newRow("empty line") << "" << kItalian << not_int.arg("");
    }
    void refuses() {
        QFETCH(QString, reply);
        QFETCH(QLocale, locale);
        QFETCH(QString, error);
        QCOMPARE(raised_text([&] { parse_channel_config(reply, locale); }), error);
    }
};

QTEST_GUILESS_MAIN(TestChannelConfig)
#include "test_channel_config.moc"
