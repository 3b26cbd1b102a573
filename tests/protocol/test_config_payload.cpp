#include "protocol_printers.h"

#include <QTest>

// The "W" payload: field widths, the number rule in both decimal conventions, and what is refused.
namespace {

const QLocale kItalian(QLocale::Italian, QLocale::Italy);
const QLocale kPoint = QLocale::c();

// The form of the worked example: first channel, four relays shown.
ConfigForm example_form() {
    ConfigForm form;
    form.channel = 0;
    form.description = QStringLiteral("Serbatoio 1");
    form.address = QStringLiteral("123");
    form.product = 8;
    form.unit = 0;
    form.numbers = {"1800", "1700,9", "300", "150", "0", "50", "-20", "0"};
    form.relays = {2, 3, 0, 10};
    form.sixteen_relays = false;
    return form;
}

// The same form with no decimal separator in it, valid under any locale.
ConfigForm whole_number_form() {
    ConfigForm form = example_form();
    form.numbers[1] = QStringLiteral("1700");
    return form;
}

const QString kExamplePayload =
    QStringLiteral("A$Serbatoio 1     $080000$00123$01800$01700$00300$00150$00000$"
                   "00050$65516$00000$00002$00003$00000$00010$");

template <typename F> ConfigForm changed(ConfigForm form, F change) {
    change(form);
    return form;
}

QStringList payload_fields(const ConfigForm& form, const QLocale& locale) {
    return build_config_payload(form, locale).split(u'$');
}

} // namespace

class TestConfigPayload : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void worked_example() {
        const QString payload = build_config_payload(example_form(), kItalian);
        QCOMPARE(payload, kExamplePayload);
        QCOMPARE(payload.size(), 104);
    }

    void sixteen_relays() {
        ConfigForm form = example_form();
        form.sixteen_relays = true;
        const QString payload = build_config_payload(form, kItalian);
        QCOMPARE(payload, kExamplePayload + QStringLiteral("00000$").repeated(12));
        QCOMPARE(payload.size(), 176);

        form.relays = {2, 3, 0, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, -1};
        QCOMPARE(build_config_payload(form, kItalian),
                 kExamplePayload +
                     "00001$00002$00003$00004$00005$00006$00007$00008$00009$00010$00000$000-1$");
    }

    void hidden_relays_not_sent() {
        ConfigForm form = example_form();
        form.relays = {2, 3, 0, 10, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
        QCOMPARE(build_config_payload(form, kItalian), kExamplePayload);
    }

    void number_rule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("field");
        QTest::newRow("blanks around") << " 42 " << kItalian << "00042";
        QTest::newRow("zero") << "0" << kItalian << "00000";
        QTest::newRow("minus one") << "-1" << kItalian << "65535";
        QTest::newRow("minus twenty") << "-20" << kItalian << "65516";
        QTest::newRow("five nines") << "99999" << kItalian << "99999";
        QTest::newRow("six digits whole") << "123456" << kItalian << "123456";
        QTest::newRow("minus 65536 is zero") << "-65536" << kItalian << "00000";
        QTest::newRow("below minus 65536 keeps its sign") << "-70000" << kItalian << "-4464";
        QTest::newRow("just below minus 65536") << "-65537" << kItalian << "000-1";
        QTest::newRow("comma decimal, italian") << "12,5" << kItalian << "00012";
        QTest::newRow("point decimal, point locale") << "12.5" << kPoint << "00012";
        QTest::newRow("negative fraction truncated") << "-3,9" << kItalian << "65533";
        QTest::newRow("small negative fraction is zero") << "-0,5" << kItalian << "00000";
        QTest::newRow("fraction truncated, not rounded") << "1700,9" << kItalian << "01700";
        QTest::newRow("exponent") << "1e3" << kItalian << "01000";
        QTest::newRow("plus sign") << "+7" << kItalian << "00007";
        QTest::newRow("largest 32-bit") << "2147483647" << kPoint << "2147483647";
        QTest::newRow("smallest 32-bit") << "-2147483648" << kPoint << "-2147418112";
    }
    void number_rule() {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        QFETCH(QString, field);
        for (int slot = 0; slot < 8; ++slot) {
            ConfigForm form = whole_number_form();
            form.numbers[size_t(slot)] = text;
            QCOMPARE(payload_fields(form, locale).at(4 + slot), field);
        }
    }

    void number_refused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("point decimal, italian") << "12.5" << kItalian;
        QTest::newRow("comma decimal, point locale") << "12,5" << kPoint;
        QTest::newRow("thousands separator, italian") << "1.700" << kItalian;
        QTest::newRow("thousands separator, point locale") << "1,700" << kPoint;
        QTest::newRow("empty") << "" << kItalian;
        QTest::newRow("blank") << "   " << kItalian;
        QTest::newRow("letters") << "12a" << kItalian;
        QTest::newRow("beyond 32 bits") << "3000000000" << kItalian;
        QTest::newRow("beyond 32 bits, negative") << "-2147483649" << kItalian;
        QTest::newRow("beyond 64 bits") << "1e300" << kPoint;
        QTest::newRow("overflowing exponent") << "1e400" << kPoint;
    }
    void number_refused() {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        ConfigForm form = whole_number_form();
        form.numbers[3] = text;
        QCOMPARE(raised_text([&] { build_config_payload(form, locale); }),
                 QStringLiteral("'%1' is not a valid floating point value.").arg(text));
    }

    void first_bad_number_reported() {
        ConfigForm form = example_form();
        form.numbers[6] = "later";
        form.numbers[2] = "first";
        QCOMPARE(raised_text([&] { build_config_payload(form, kItalian); }),
                 QStringLiteral("'first' is not a valid floating point value."));
    }

    void text_fields_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("description_field");
        QTest::addColumn<QString>("address_field");
        QTest::newRow("empty texts") << ""
                                     << "" << QString(16, u' ') << "00000";
        QTest::newRow("address 7") << "d"
                                   << "7"
                                   << "d               "
                                   << "00007";
        QTest::newRow("six-digit address cut") << "d"
                                               << "123456"
                                               << "d               "
                                               << "12345";
        QTest::newRow("address with a letter") << "d"
                                               << "12a"
                                               << "d               "
                                               << "0012a";
        QTest::newRow("description of 16") << "0123456789abcdef"
                                           << "1"
                                           << "0123456789abcdef"
                                           << "00001";
        QTest::newRow("description of 20 cut") << "0123456789abcdefWXYZ"
                                               << "1"
                                               << "0123456789abcdef"
                                               << "00001";
        QTest::newRow("blanks kept") << "  a  "
                                     << " 1"
                                     << "  a             "
                                     << "000 1";
        QTest::newRow("dollar past the cut not sent") << "0123456789abcdef$"
                                                      << "12345$"
                                                      << "0123456789abcdef"
                                                      << "12345";
    }
    void text_fields() {
        QFETCH(QString, description);
        QFETCH(QString, address);
        QFETCH(QString, description_field);
        QFETCH(QString, address_field);
        ConfigForm form = example_form();
        form.description = description;
        form.address = address;
        const QStringList fields = payload_fields(form, kItalian);
        QCOMPARE(fields.at(1), description_field);
        QCOMPARE(fields.at(3), address_field);
        QCOMPARE(fields.size(), 17); // sixteen fields, each followed by "$"
    }

    void positions_data() {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("relay");
        QTest::addColumn<QString>("code_field");
        QTest::addColumn<QString>("relay_field");
        QTest::newRow("first entries") << 0 << 0 << 0 << "000000"
                                       << "00000";
        QTest::newRow("last entries") << 24 << 1 << 10 << "240100"
                                      << "00010";
        QTest::newRow("no entry chosen") << -1 << -1 << -1 << "-1-100"
                                         << "000-1";
        QTest::newRow("product only unchosen") << -1 << 1 << 5 << "-10100"
                                               << "00005";
    }
    void positions() {
        QFETCH(int, product);
        QFETCH(int, unit);
        QFETCH(int, relay);
        QFETCH(QString, code_field);
        QFETCH(QString, relay_field);
        ConfigForm form = example_form();
        form.product = product;
        form.unit = unit;
        form.relays[2] = relay;
        const QStringList fields = payload_fields(form, kItalian);
        QCOMPARE(fields.at(2), code_field);
        QCOMPARE(fields.at(14), relay_field);
    }

    void channel_letter_data() {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("start");
        QTest::newRow("first channel") << 0 << "A$";
        QTest::newRow("second channel") << 1 << "B$";
        QTest::newRow("twenty-sixth channel") << 25 << "Z$";
    }
    void channel_letter() {
        QFETCH(int, channel);
        QFETCH(QString, start);
        const QString payload = build_config_payload(
            changed(example_form(), [&](ConfigForm& f) { f.channel = channel; }), kItalian);
        QVERIFY2(payload.startsWith(start), qPrintable(payload));
        QCOMPARE(payload.mid(2), kExamplePayload.mid(2));
    }

    void refusals_data() {
        QTest::addColumn<ConfigForm>("form");
        QTest::addColumn<QString>("error");
        const QString dollar = QStringLiteral("The %1 must not contain \"$\": it would shift every later "
                                              "field on the controller. Nothing was sent.");
        const QString line_break =
            QStringLiteral("The %1 must not contain a line break: the controller would "
                           "take it as the end of the frame. Nothing was sent.");
        QTest::newRow("no channel") << changed(example_form(), [](ConfigForm& f) { f.channel = -1; })
                                    << "No channel is selected. Nothing was sent.";
        QTest::newRow("dollar in description")
            << changed(example_form(), [](ConfigForm& f) { f.description = "Tank $1"; })
            << dollar.arg("description");
        QTest::newRow("dollar in address")
            << changed(example_form(), [](ConfigForm& f) { f.address = "1$"; }) << dollar.arg("address");
        QTest::newRow("carriage return in description")
            << changed(example_form(), [](ConfigForm& f) { f.description = "Tank\r1"; })
            << line_break.arg("description");
        QTest::newRow("line feed in address")
            << changed(example_form(), [](ConfigForm& f) { f.address = "12\n"; })
            << line_break.arg("address");
        QTest::newRow("channel checked before a bad number") << changed(example_form(), [](ConfigForm& f) {
            f.channel = -1;
            f.numbers[0] = "x";
        }) << "No channel is selected. Nothing was sent.";
        QTest::newRow("description checked before a bad number") << changed(example_form(),
                                                                            [](ConfigForm& f) {
                                                                                f.description = "$";
                                                                                f.numbers[0] = "x";
                                                                            })
                                                                 << dollar.arg("description");
    }
    void refusals() {
        QFETCH(ConfigForm, form);
        QFETCH(QString, error);
        QCOMPARE(raised_text([&] { build_config_payload(form, kItalian); }), error);
    }

    // What the window writes comes back through the configuration reply; the fold decides what it shows.
    void read_back_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("shown");
        QTest::newRow("lowest unchanged") << "-25535" << qint64(-25535);
        QTest::newRow("minus twenty") << "-20" << qint64(-20);
        QTest::newRow("zero") << "0" << qint64(0);
        QTest::newRow("40000 unchanged") << "40000" << qint64(40000);
        QTest::newRow("40001 folds") << "40001" << qint64(-25535);
        QTest::newRow("65516 folds") << "65516" << qint64(-20);
    }
    void read_back() {
        QFETCH(QString, typed);
        QFETCH(qint64, shown);
        ConfigForm form = example_form();
        form.numbers[0] = typed;
        QStringList fields = payload_fields(form, kItalian);
        fields.removeLast(); // the empty text after the closing "$"
        fields << "00000"
               << "00000"
               << "01000"
               << "02000"; // d23, d24, tank height, capacity
        fields.prepend(QStringLiteral("CFG"));
        const ChannelConfig config = parse_channel_config(fields.join(u'$') + u'$', kItalian);
        QCOMPARE(config.alarm_hh, shown);
        QCOMPARE(config.offset, qint64(-20));
        QCOMPARE(config.capacity, qint64(2000));
        QCOMPARE(config.relays[3], qint64(10));
    }
};

QTEST_GUILESS_MAIN(TestConfigPayload)
#include "test_config_payload.moc"
