#include "sim_protocol.h"
#include "sim_state.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

using namespace sim;

namespace {

// The worked example of a four-relay write: first channel, offset -20 travelling as 65516.
const QByteArray kExamplePayload =
    "A$Serbatoio 1     $080000$00123$01800$01700$00300$00150$00000$00050$65516$"
    "00000$00002$00003$00000$00010$";

QByteArray sixteen_relay_payload() {
    QByteArray payload = kExamplePayload;
    for (int r = 5; r <= 16; ++r)
        payload += zero_fill(r == 16 ? 7 : 0, 5) + '$';
    return payload;
}

// A frame as "kind:body" (and the table's line count or its fate), for comparing whole sequences.
QString describe(const Frame& frame) {
    QString text = frame_kind_name(frame.kind);
    if (!frame.body.isEmpty() || frame.kind == FrameKind::Unknown)
        text += ":" + QString::fromLatin1(frame.body);
    if (frame.kind == FrameKind::WriteTable)
        text += frame.complete ? QStringLiteral(":%1 rows").arg(frame.lines.size()) : QStringLiteral(":cut");
    return text;
}

} // namespace

class TestSimProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void zero_fill_keeps_sign_and_length_data();
    void zero_fill_keeps_sign_and_length();
    void filled_numbers_read_as_the_program_writes_them_data();
    void filled_numbers_read_as_the_program_writes_them();
    void words_fold_like_the_program_reads_them();
    void identification_names_channels_and_variant_data();
    void identification_names_channels_and_variant();
    void config_line_has_the_reply_layout_data();
    void config_line_has_the_reply_layout();
    void config_line_fixes_text_widths();
    void example_payload_reads_field_by_field();
    void sixteen_relay_payload_carries_every_relay();
    void malformed_payload_is_refused_data();
    void malformed_payload_is_refused();
    void unchosen_positions_travel_as_words();
    void write_then_read_returns_what_was_written();
    void four_relay_write_keeps_what_it_does_not_carry();
    void table_lines_read_back_as_rows();
    void bad_table_lines_refuse_the_table_data();
    void bad_table_lines_refuse_the_table();
    void sms_record_round_trip();
    void sms_record_needs_four_closed_fields_data();
    void sms_record_needs_four_closed_fields();
    void assembler_splits_frames_data();
    void assembler_splits_frames();
    void assembler_counts_bursts_data();
    void assembler_counts_bursts();
    void sample_state_is_plausible();
    void state_survives_json();
    void state_file_round_trip();
    void bad_state_is_refused_data();
    void bad_state_is_refused();
};

void TestSimProtocol::zero_fill_keeps_sign_and_length_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("zero") << qint64(0) << 5 << QByteArray("00000");
    QTest::newRow("short") << qint64(123) << 5 << QByteArray("00123");
    QTest::newRow("minus one") << qint64(-1) << 5 << QByteArray("000-1");
    QTest::newRow("minus twelve") << qint64(-12) << 5 << QByteArray("00-12");
    QTest::newRow("longer kept whole") << qint64(123456) << 5 << QByteArray("123456");
    QTest::newRow("product pair") << qint64(8) << 2 << QByteArray("08");
    QTest::newRow("unchosen pair") << qint64(-1) << 2 << QByteArray("-1");
}

void TestSimProtocol::zero_fill_keeps_sign_and_length() {
    QFETCH(qint64, value);
    QFETCH(int, width);
    QFETCH(QByteArray, expected);
    QCOMPARE(zero_fill(value, width), expected);
}

void TestSimProtocol::filled_numbers_read_as_the_program_writes_them_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("value");
    QTest::newRow("padded") << QByteArray("00123") << true << qint64(123);
    QTest::newRow("sign after zeros") << QByteArray("000-1") << true << qint64(-1);
    QTest::newRow("word") << QByteArray("65516") << true << qint64(65516);
    QTest::newRow("plain negative") << QByteArray("-4464") << true << qint64(-4464);
    QTest::newRow("all zeros") << QByteArray("00000") << true << qint64(0);
    QTest::newRow("six digits") << QByteArray("123456") << true << qint64(123456);
    QTest::newRow("empty") << QByteArray("") << false << qint64(0);
    QTest::newRow("letter") << QByteArray("12a") << false << qint64(0);
    QTest::newRow("sign alone") << QByteArray("-") << false << qint64(0);
    QTest::newRow("zeros then sign") << QByteArray("00-") << false << qint64(0);
    QTest::newRow("blank") << QByteArray(" 12") << false << qint64(0);
    QTest::newRow("sign inside digits") << QByteArray("1-2") << false << qint64(0);
    QTest::newRow("too many digits") << QByteArray("1234567890123456789") << false << qint64(0);
}

void TestSimProtocol::filled_numbers_read_as_the_program_writes_them() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(qint64, value);
    const auto read = parse_filled_number(text);
    QCOMPARE(read.has_value(), valid);
    if (valid)
        QCOMPARE(*read, value);
}

void TestSimProtocol::words_fold_like_the_program_reads_them() {
    QCOMPARE(to_word(-20), 65516);
    QCOMPARE(to_word(-1), 65535);
    QCOMPARE(to_word(65536), 0);
    QCOMPARE(to_word(99999), 34463);
    QCOMPARE(fold_word(65516), -20);
    QCOMPARE(fold_word(40000), 40000);
    QCOMPARE(fold_word(40001), 40001 - 65536);
    QCOMPARE(fold_word(to_word(-25535)), -25535);
}

void TestSimProtocol::identification_names_channels_and_variant_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("relays");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("two channels, sixteen relays") << 2 << 16 << QByteArray("IBH");
    QTest::newRow("one channel, four relays") << 1 << 4 << QByteArray("IA");
    QTest::newRow("last letter") << 26 << 16 << QByteArray("IZH");
}

void TestSimProtocol::identification_names_channels_and_variant() {
    QFETCH(int, channels);
    QFETCH(int, relays);
    QFETCH(QByteArray, expected);
    QCOMPARE(identification_line(channels, relays), expected);
}

void TestSimProtocol::config_line_has_the_reply_layout_data() {
    QTest::addColumn<int>("relays");
    QTest::addColumn<bool>("closing");
    QTest::addColumn<int>("dollars");
    QTest::addColumn<QByteArray>("after_last");
    QTest::newRow("4 relays, closed") << 4 << true << 21 << QByteArray();
    QTest::newRow("4 relays, open") << 4 << false << 20 << QByteArray("30000");
    QTest::newRow("16 relays, closed") << 16 << true << 33 << QByteArray();
    QTest::newRow("16 relays, open") << 16 << false << 32 << QByteArray("00000");
}

void TestSimProtocol::config_line_has_the_reply_layout() {
    QFETCH(int, relays);
    QFETCH(bool, closing);
    QFETCH(int, dollars);
    QFETCH(QByteArray, after_last);
    const SimChannel channel = sample_channel(1);
    const QByteArray line = config_line(channel, 'A', relays, closing);
    QCOMPARE(int(line.count('$')), dollars);
    const QByteArrayList fields = line.split('$');
    QCOMPARE(fields.last(), after_last);
    QCOMPARE(fields[1], QByteArray("A"));
    QCOMPARE(fields[2], QByteArray("GASOLIO NORD    "));
    QCOMPARE(fields[3], QByteArray("080000"));
    QCOMPARE(fields[4], QByteArray("00123"));
    QCOMPARE(fields[5], QByteArray("01800"));
    // The negative offset travels as its 16-bit word; the program folds it back to -20.
    QCOMPARE(channel.numbers[kOffset], -20);
    QCOMPARE(fields[11], QByteArray("65516"));
    QCOMPARE(fold_word(fields[11].toInt()), -20);
    QCOMPARE(fields[13], QByteArray("00002"));
    QCOMPARE(fields[16], QByteArray("00010"));
    QCOMPARE(fields[19], QByteArray("02000"));
    QCOMPARE(fields[20], QByteArray("30000"));
    if (relays == 16) {
        QCOMPARE(fields[21], QByteArray("00006"));
        QCOMPARE(fields[32], QByteArray("00000"));
    }
    QVERIFY(!line.contains('\r') && !line.contains('\n'));
}

void TestSimProtocol::config_line_fixes_text_widths() {
    SimChannel channel = sample_channel(1);
    channel.description = "A DESCRIPTION FAR TOO LONG";
    channel.address = "7";
    channel.hidden_18 = -5;
    const QByteArrayList fields = config_line(channel, 'B', 4, true).split('$');
    QCOMPARE(fields[2], QByteArray("A DESCRIPTION FA"));
    QCOMPARE(fields[4], QByteArray("00007"));
    QCOMPARE(fields[18], QByteArray("65531"));
}

void TestSimProtocol::example_payload_reads_field_by_field() {
    QCOMPARE(kExamplePayload.size(), 104);
    const auto write = parse_config_payload(kExamplePayload, 2);
    QVERIFY(write);
    QCOMPARE(write->channel, 0);
    QCOMPARE(write->relay_count, 4);
    QCOMPARE(write->values.description, QString("Serbatoio 1     "));
    QCOMPARE(write->values.product, 8);
    QCOMPARE(write->values.unit, 0);
    QCOMPARE(write->values.address, QString("00123"));
    const std::array<int, kNumberFieldCount> numbers = {1800, 1700, 300, 150, 0, 50, -20, 0};
    QCOMPARE(write->values.numbers, numbers);
    QCOMPARE(write->values.relays[0], 2);
    QCOMPARE(write->values.relays[1], 3);
    QCOMPARE(write->values.relays[2], 0);
    QCOMPARE(write->values.relays[3], 10);
}

void TestSimProtocol::sixteen_relay_payload_carries_every_relay() {
    const QByteArray payload = sixteen_relay_payload();
    QCOMPARE(payload.size(), 176);
    const auto write = parse_config_payload(payload, 2);
    QVERIFY(write);
    QCOMPARE(write->relay_count, 16);
    QCOMPARE(write->values.relays[15], 7);
    QCOMPARE(write->values.relays[4], 0);
}

void TestSimProtocol::malformed_payload_is_refused_data() {
    QTest::addColumn<QByteArray>("payload");
    QByteArray example = kExamplePayload;
    QTest::newRow("no closing dollar") << example.chopped(1);
    QTest::newRow("fifteen fields") << example.left(example.lastIndexOf('$', example.size() - 2) + 1);
    QTest::newRow("dollar in the description") << QByteArray(example).replace("Serbatoio 1", "Serb$toio 1");
    QTest::newRow("short description") << QByteArray(example).replace("Serbatoio 1     ", "Serbatoio 1    ");
    QTest::newRow("channel not served") << QByteArray(example).replace(0, 1, "C");
    QTest::newRow("two-letter channel") << QByteArray(example).replace(0, 1, "AB");
    QTest::newRow("number with a letter") << QByteArray(example).replace("01800", "01a00");
    QTest::newRow("empty number") << QByteArray(example).replace("$01800$", "$$");
    QTest::newRow("short product field") << QByteArray(example).replace("080000", "0800");
    QTest::newRow("fixed pair not zero") << QByteArray(example).replace("080000", "080011");
    QTest::newRow("short address") << QByteArray(example).replace("$00123$", "$0123$");
    QTest::newRow("empty") << QByteArray();
}

void TestSimProtocol::malformed_payload_is_refused() {
    QFETCH(QByteArray, payload);
    QVERIFY(!parse_config_payload(payload, 2));
}

void TestSimProtocol::unchosen_positions_travel_as_words() {
    // A chooser with nothing chosen sends -1: "-1" in the product pair, "000-1" for a relay.
    QByteArray payload =
        QByteArray(kExamplePayload).replace("080000", "-10000").replace("$00010$", "$000-1$");
    const auto write = parse_config_payload(payload, 2);
    QVERIFY(write);
    QCOMPARE(write->values.product, -1);
    QCOMPARE(write->values.relays[3], 65535);
    SimChannel channel = sample_channel(1);
    apply_config_write(channel, *write);
    const QByteArrayList fields = config_line(channel, 'A', 4, true).split('$');
    QCOMPARE(fields[3], QByteArray("-10000"));
    QCOMPARE(fields[16], QByteArray("65535"));
}

void TestSimProtocol::write_then_read_returns_what_was_written() {
    const QByteArray payload = sixteen_relay_payload();
    const auto write = parse_config_payload(payload, 2);
    QVERIFY(write);
    SimChannel channel = sample_channel(1);
    apply_config_write(channel, *write);
    const QByteArrayList written = payload.split('$');
    const QByteArrayList read = config_line(channel, 'A', 16, true).split('$');
    // Fields 1..16 of the write are fields 1..16 of the reply; relays 5..16 come after four more values.
    for (int f = 0; f < 16; ++f)
        QCOMPARE(read[f + 1], written[f]);
    for (int r = 0; r < 12; ++r)
        QCOMPARE(read[21 + r], written[16 + r]);
}

void TestSimProtocol::four_relay_write_keeps_what_it_does_not_carry() {
    const auto write = parse_config_payload(kExamplePayload, 2);
    QVERIFY(write);
    SimChannel channel = sample_channel(1);
    const SimChannel before = channel;
    apply_config_write(channel, *write);
    QCOMPARE(channel.table, before.table);
    QCOMPARE(channel.hidden_17, before.hidden_17);
    QCOMPARE(channel.hidden_18, before.hidden_18);
    QCOMPARE(channel.tank_height, before.tank_height);
    QCOMPARE(channel.capacity, before.capacity);
    for (int r = 4; r < 16; ++r)
        QCOMPARE(channel.relays[std::size_t(r)], before.relays[std::size_t(r)]);
    QCOMPARE(channel.description, QString("Serbatoio 1     "));
}

void TestSimProtocol::table_lines_read_back_as_rows() {
    const std::vector<SimRow> rows = {{0, 0}, {100, 250}, {1500, 12000}, {-1, -12}};
    QList<QByteArray> lines = table_lines(rows);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[1], QByteArray("00100\t00250"));
    QCOMPARE(lines[3], QByteArray("000-1\t00-12"));
    QCOMPARE(lines.last(), QByteArray("65000\t65000"));
    lines.removeLast();
    const auto back = parse_table_rows(lines);
    QVERIFY(back);
    QCOMPARE(*back, rows);
    QCOMPARE(table_lines({}), QList<QByteArray>{"65000\t65000"});
}

void TestSimProtocol::bad_table_lines_refuse_the_table_data() {
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::newRow("no tab") << QList<QByteArray>{"00100"};
    QTest::newRow("two tabs") << QList<QByteArray>{"1\t2\t3"};
    QTest::newRow("letters") << QList<QByteArray>{"00000\t00000", "abc\t1"};
    QTest::newRow("empty line") << QList<QByteArray>{""};
    QTest::newRow("beyond a word") << QList<QByteArray>{"70000\t1"};
    QTest::newRow("more rows than the controller holds")
        << QList<QByteArray>(limits::kTableRows + 1, QByteArray("00001\t00002"));
}

void TestSimProtocol::bad_table_lines_refuse_the_table() {
    QFETCH(QList<QByteArray>, lines);
    QVERIFY(!parse_table_rows(lines));
}

void TestSimProtocol::sms_record_round_trip() {
    SimSms sms;
    sms.numbers = {"+391", "", "+393"};
    sms.station = "DEPOSITO";
    QCOMPARE(sms_line(sms), QByteArray("+391;;+393;DEPOSITO;"));
    const auto back = parse_sms_record(sms_line(sms));
    QVERIFY(back);
    QCOMPARE(*back, sms);
}

void TestSimProtocol::sms_record_needs_four_closed_fields_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("valid");
    QTest::newRow("four fields") << QByteArray("a;b;c;d;") << true;
    QTest::newRow("all empty") << QByteArray(";;;;") << true;
    QTest::newRow("three fields") << QByteArray("a;b;c;") << false;
    QTest::newRow("five fields") << QByteArray("a;b;c;d;e;") << false;
    QTest::newRow("text after the last") << QByteArray("a;b;c;d;x") << false;
    QTest::newRow("nothing") << QByteArray() << false;
}

void TestSimProtocol::sms_record_needs_four_closed_fields() {
    QFETCH(QByteArray, record);
    QFETCH(bool, valid);
    QCOMPARE(parse_sms_record(record).has_value(), valid);
}

void TestSimProtocol::assembler_splits_frames_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("expected");
    using L = QList<QByteArray>;
    QTest::newRow("dollar") << L{"$"} << QStringList{"$"};
    QTest::newRow("handshake") << L{"N\r"} << QStringList{"N"};
    QTest::newRow("read configuration") << L{"RB\r"} << QStringList{"R:B"};
    QTest::newRow("read table") << L{"GA\r"} << QStringList{"G:A"};
    QTest::newRow("read sms") << L{"S\r"} << QStringList{"S"};
    QTest::newRow("write sms") << L{"Ta;b;c;d;\r"} << QStringList{"T:a;b;c;d;"};
    QTest::newRow("typed one at a time") << L{"A", "B", "\r"} << QStringList{"unknown:AB"};
    QTest::newRow("typed, then a request") << L{"A", "$", "N\r"} << QStringList{"unknown:A", "$", "N"};
    QTest::newRow("dollar inside a write") << L{"WA$x$\r"} << QStringList{"W:A$x$"};
    QTest::newRow("dollar inside an sms record") << L{"Ta;b;c;St$r;\r"} << QStringList{"T:a;b;c;St$r;"};
    QTest::newRow("table write") << L{"CA\r\n00000\t00000\r\n00100\t00250\r\n65000\t65000\r\n"}
                                 << QStringList{"C:A:2 rows"};
    QTest::newRow("table write in pieces")
        << L{"CB\r", "\n001", "00\t00250\r\n65", "000\t65000\r\n"} << QStringList{"C:B:1 rows"};
    QTest::newRow("empty table") << L{"CA\r\n65000\t65000\r\n"} << QStringList{"C:A:0 rows"};
    QTest::newRow("table cut by a request")
        << L{"CA\r\n00000\t00000\r\n", "$"} << QStringList{"C:A:cut", "$"};
    QTest::newRow("stray line feed") << L{"\n", "S\r"} << QStringList{"S"};
    QTest::newRow("empty line") << L{"\r"} << QStringList{"unknown:"};
    QTest::newRow("several frames in one chunk") << L{"$N\r$S\r"} << QStringList{"$", "N", "$", "S"};
    QTest::newRow("lower-case letter") << L{"n\r"} << QStringList{"unknown:n"};
    QTest::newRow("endless typing") << L{QByteArray(limits::kSimMaxLine, 'x'), "N\r"}
                                    << QStringList{"unknown:" + QString(limits::kSimMaxLine, 'x'), "N"};
}

void TestSimProtocol::assembler_splits_frames() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, expected);
    FrameAssembler assembler;
    QStringList got;
    qint64 at = 0;
    for (const QByteArray& chunk : chunks) {
        for (const Frame& frame : assembler.feed(chunk, at))
            got << describe(frame);
        at += 200'000;
    }
    QCOMPARE(got, expected);
}

void TestSimProtocol::assembler_counts_bursts_data() {
    // Chunks with the gap (ms) before each; the last one ends the frame with CR.
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<int>>("gaps_ms");
    QTest::addColumn<bool>("violation");
    QTest::addColumn<int>("longest");
    const QByteArray twenty(20, 'x');
    QTest::newRow("21 at once") << QList<QByteArray>{twenty + "x\r"} << QList<int>{0} << true << 22;
    QTest::newRow("20 at once") << QList<QByteArray>{QByteArray(19, 'x') + "\r"} << QList<int>{0} << false
                                << 20;
    QTest::newRow("20, 100 ms, 20") << QList<QByteArray>{twenty, QByteArray(19, 'x') + "\r"}
                                    << QList<int>{0, 100} << false << 20;
    QTest::newRow("20, 79 ms, 20") << QList<QByteArray>{twenty, QByteArray(19, 'x') + "\r"}
                                   << QList<int>{0, 79} << false << 20;
    QTest::newRow("20, 50 ms, 1") << QList<QByteArray>{twenty, "\r"} << QList<int>{0, 50} << true << 21;
    QList<QByteArray> singles(20, "x");
    singles << "\r";
    QTest::newRow("21 single bytes 1 ms apart") << singles << QList<int>(21, 1) << true << 21;
    QTest::newRow("21 single bytes typed slowly") << singles << QList<int>(21, 300) << false << 1;
}

void TestSimProtocol::assembler_counts_bursts() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<int>, gaps_ms);
    QFETCH(bool, violation);
    QFETCH(int, longest);
    FrameAssembler assembler;
    // A frame long before, so the first chunk is measured against a pause.
    QCOMPARE(assembler.feed("$", 0).size(), std::size_t(1));
    qint64 at = 1'000'000;
    std::vector<Frame> frames;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        at += qint64(gaps_ms[i]) * 1000;
        for (Frame& frame : assembler.feed(chunks[i], at))
            frames.push_back(std::move(frame));
    }
    QCOMPARE(frames.size(), std::size_t(1));
    QCOMPARE(frames[0].burst_violation, violation);
    QCOMPARE(frames[0].longest_burst, longest);
}

void TestSimProtocol::sample_state_is_plausible() {
    const SimState state = sample_state(2);
    QCOMPARE(int(state.channels.size()), 2);
    QVERIFY(state.channels[0].description != state.channels[1].description);
    QVERIFY(state.channels[0].numbers[kOffset] < 0);
    for (const SimChannel& c : state.channels) {
        QVERIFY(!c.description.isEmpty() && c.description.size() <= limits::kDescriptionWidth);
        QCOMPARE(c.address.size(), limits::kAddressWidth);
        QVERIFY(c.tank_height > 0 && c.capacity > 0 && c.capacity <= limits::kTableEndValue);
        QVERIFY(std::any_of(c.relays.begin() + 4, c.relays.end(), [](int code) { return code != 0; }));
        QCOMPARE(int(c.table.size()), 40);
        for (std::size_t r = 1; r < c.table.size(); ++r) {
            QVERIFY2(c.table[r].level > c.table[r - 1].level, qPrintable(QString::number(r)));
            QVERIFY2(c.table[r].volume > c.table[r - 1].volume, qPrintable(QString::number(r)));
        }
        QVERIFY(c.table.back().volume <= limits::kTableEndValue);
        QCOMPARE(c.table.back().level, c.tank_height);
    }
    for (const QString& number : state.sms.numbers)
        QVERIFY(!number.isEmpty());
    QVERIFY(!state.sms.station.isEmpty());
    QCOMPARE(int(sample_state(5).channels.size()), 5);
}

void TestSimProtocol::state_survives_json() {
    SimState state = sample_state(3);
    state.channels[1].relays[15] = 65535;
    state.channels[2].table = {{0, 0}, {-1, 7}};
    state.sms.numbers[1].clear();
    QCOMPARE(state_from_json(state_to_json(state)), state);
}

void TestSimProtocol::state_file_round_trip() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("state.json");
    SimState loaded;
    QVERIFY(!load_state_file(path, loaded));
    SimState state = sample_state(2);
    state.channels[0].description = "CAMBIATO";
    save_state_file(path, state);
    QVERIFY(load_state_file(path, loaded));
    QCOMPARE(loaded, state);

    QFile corrupt(dir.filePath("corrupt.json"));
    QVERIFY(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("{ \"channels\": [");
    corrupt.close();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, load_state_file(corrupt.fileName(), loaded));
    QCOMPARE(loaded, state); // a file that cannot be read changes nothing
}

void TestSimProtocol::bad_state_is_refused_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("channels not a list") << QByteArray(R"({"channels": 3})");
    QTest::newRow("text for a number") << QByteArray(R"({"channels": [{"product": "x"}]})");
    QTest::newRow("fraction") << QByteArray(R"({"channels": [{"capacity": 1.5}]})");
    QTest::newRow("folded value out of range") << QByteArray(R"({"channels": [{"offset": 50000}]})");
    QTest::newRow("row of three") << QByteArray(R"({"channels": [{"table": [[1, 2, 3]]}]})");
    QTest::newRow("seventeen relays")
        << QByteArray(R"({"channels": [{"relays": [0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]}]})");
    QTest::newRow("number for a text") << QByteArray(R"({"sms": {"station": 5}})");
    QTest::newRow("four sms numbers") << QByteArray(R"({"sms": {"numbers": ["1","2","3","4"]}})");
}

void TestSimProtocol::bad_state_is_refused() {
    QFETCH(QByteArray, json);
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, state_from_json(object));
}

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "test_sim_protocol.moc"
