#include "controller.h"
#include "line_client.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace sim;

namespace {

// The program's confirmation check: the last eight characters, upper-cased, start with "NORMALE".
bool confirms(const QByteArray& line) {
    return line.right(8).toUpper().startsWith("NORMALE");
}

// One request as the program makes it: "$", the controller's line (whatever it holds), 0.12 s, then the
// follow-up frame paced in bursts of 20. The first line of the reply to the follow-up, or nothing.
std::optional<QByteArray> request(LineClient& line, QByteArrayView follow_up) {
    line.send("$");
    if (!line.read_line())
        return std::nullopt;
    QThread::msleep(120);
    line.send_paced(follow_up);
    return line.read_line();
}

// The four-relay write of the first channel with the offset at -20 (65516 on the wire).
const QByteArray kWritePayload = "A$Serbatoio 1     $080000$00123$01800$01700$00300$00150$00000$00050$65516$"
                                 "00000$00002$00003$00000$00010$";

// A running controller with a client on its device.
struct Bench {
    explicit Bench(SimOptions options = {}) : sim(std::move(options)) {
        sim.start();
        line = std::make_unique<LineClient>(sim.device_path());
    }
    ControllerSimulator sim;
    std::unique_ptr<LineClient> line;
};

QList<FlagKind> flag_kinds(const std::vector<LogFlag>& flags) {
    QList<FlagKind> kinds;
    for (const LogFlag& flag : flags)
        kinds << flag.kind;
    return kinds;
}

} // namespace

class TestSimController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dollar_gets_one_line();
    void identification_reports_channels_and_relays_data();
    void identification_reports_channels_and_relays();
    void configuration_reply_has_its_layout_data();
    void configuration_reply_has_its_layout();
    void table_reply_ends_with_its_marker();
    void sms_record_is_read();
    void write_then_read_returns_what_was_written();
    void table_write_then_read_returns_the_table();
    void sms_write_then_read_returns_the_record();
    void malformed_write_is_not_confirmed();
    void unknown_and_typed_frames_get_no_answer();
    void log_flags_bursts_and_unknown_commands();
    void state_file_keeps_writes_across_runs();
    void serves_across_reopens_without_stale_bytes();
    void line_rate_paces_replies();
    void channel_count_can_change_while_running();
    void fault_modes_can_be_switched_on_data();
    void fault_modes_can_be_switched_on();
};

void TestSimController::dollar_gets_one_line() {
    Bench bench;
    QVERIFY(bench.line->is_open());
    bench.line->send("$");
    QCOMPARE(bench.line->read_line(), std::optional<QByteArray>("OK"));
    QTRY_COMPARE_WITH_TIMEOUT(int(bench.sim.frames().size()), 1, 5000);
    QCOMPARE(bench.sim.frames()[0].kind, FrameKind::Dollar);
    QCOMPARE(bench.sim.replies()[0].bytes, QByteArray("OK\r\n"));
}

void TestSimController::identification_reports_channels_and_relays_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("relays");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("2 channels, 16 relays") << 2 << 16 << QByteArray("IBH");
    QTest::newRow("1 channel, 4 relays") << 1 << 4 << QByteArray("IA");
}

void TestSimController::identification_reports_channels_and_relays() {
    QFETCH(int, channels);
    QFETCH(int, relays);
    QFETCH(QByteArray, expected);
    SimOptions options;
    options.channels = channels;
    options.relays = relays;
    Bench bench(options);
    QCOMPARE(request(*bench.line, "N\r"), std::optional<QByteArray>(expected));
}

void TestSimController::configuration_reply_has_its_layout_data() {
    QTest::addColumn<int>("relays");
    QTest::addColumn<bool>("closing");
    QTest::addColumn<int>("dollars");
    QTest::addColumn<QByteArray>("after_last");
    QTest::newRow("16 relays") << 16 << true << 33 << QByteArray();
    QTest::newRow("4 relays, closing dollar") << 4 << true << 21 << QByteArray();
    QTest::newRow("4 relays, no closing dollar") << 4 << false << 20 << QByteArray("30000");
}

void TestSimController::configuration_reply_has_its_layout() {
    QFETCH(int, relays);
    QFETCH(bool, closing);
    QFETCH(int, dollars);
    QFETCH(QByteArray, after_last);
    SimOptions options;
    options.relays = relays;
    options.closing_dollar = closing;
    Bench bench(options);
    const auto reply = request(*bench.line, "RA\r");
    QVERIFY(reply);
    QCOMPARE(int(reply->count('$')), dollars);
    const QByteArrayList fields = reply->split('$');
    QCOMPARE(fields[1], QByteArray("A"));
    QCOMPARE(fields[2].size(), 16);
    QCOMPARE(fields[3].size(), 6);
    QVERIFY(fields[3].endsWith("00"));
    QCOMPARE(fields[4].size(), 5);
    // The negative offset of the sample travels folded: 65516 reads back as -20.
    QCOMPARE(fields[11], QByteArray("65516"));
    QCOMPARE(fold_word(fields[11].toInt()), bench.sim.channel(1).numbers[kOffset]);
    QCOMPARE(fields[20], closing || relays == 16 ? QByteArray("30000") : after_last);
    QCOMPARE(fields.last(), after_last);

    const auto second = request(*bench.line, "RB\r");
    QVERIFY(second);
    QCOMPARE(second->split('$')[1], QByteArray("B"));
}

void TestSimController::table_reply_ends_with_its_marker() {
    Bench bench;
    const auto first = request(*bench.line, "GA\r");
    QVERIFY(first);
    QList<QByteArray> lines{*first};
    lines += bench.line->read_lines_until("65000");
    QCOMPARE(lines.size(), 41);
    QCOMPARE(lines.last(), QByteArray("65000\t65000"));
    const std::vector<SimRow> table = bench.sim.channel(1).table;
    for (int r = 0; r < 40; ++r) {
        const QByteArrayList parts = lines[r].split('\t');
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].toInt(), table[std::size_t(r)].level);
        QCOMPARE(parts[1].toInt(), table[std::size_t(r)].volume);
        QVERIFY(parts[1].toInt() <= 65000);
    }
}

void TestSimController::sms_record_is_read() {
    Bench bench;
    const auto reply = request(*bench.line, "S\r");
    QVERIFY(reply);
    QCOMPARE(reply->count(';'), 4);
    QVERIFY(reply->endsWith(';'));
    QCOMPARE(QString::fromLatin1(reply->split(';')[3]), bench.sim.sms().station);
}

void TestSimController::write_then_read_returns_what_was_written() {
    Bench bench;
    const auto ack = request(*bench.line, "W" + kWritePayload + "\r");
    QVERIFY(ack);
    QVERIFY2(confirms(*ack), ack->constData());
    QCOMPARE(bench.sim.channel(1).description, QString("Serbatoio 1     "));

    const auto reply = request(*bench.line, "RA\r");
    QVERIFY(reply);
    const QByteArrayList read = reply->split('$');
    const QByteArrayList written = kWritePayload.split('$');
    for (int f = 0; f < 16; ++f)
        QCOMPARE(read[f + 1], written[f]);
    QVERIFY(bench.sim.flags().empty());
}

void TestSimController::table_write_then_read_returns_the_table() {
    Bench bench;
    const QByteArray payload = "00000\t00000\r\n00100\t00250\r\n01500\t12000\r\n65000\t65000\r\n";
    const auto ack = request(*bench.line, "CB\r\n" + payload);
    QVERIFY(ack);
    QVERIFY2(confirms(*ack), ack->constData());
    const std::vector<SimRow> expected = {{0, 0}, {100, 250}, {1500, 12000}};
    QCOMPARE(bench.sim.channel(2).table, expected);

    const auto first = request(*bench.line, "GB\r");
    QVERIFY(first);
    QList<QByteArray> lines{*first};
    lines += bench.line->read_lines_until("65000");
    QCOMPARE(lines, (QList<QByteArray>{"00000\t00000", "00100\t00250", "01500\t12000", "65000\t65000"}));
    QCOMPARE(int(bench.sim.channel(1).table.size()), 40);
}

void TestSimController::sms_write_then_read_returns_the_record() {
    Bench bench;
    const auto ack = request(*bench.line, "T+39111;;+39333;NUOVO NOME;\r");
    QVERIFY(ack);
    QVERIFY(!ack->isEmpty());
    QCOMPARE(request(*bench.line, "S\r"), std::optional<QByteArray>("+39111;;+39333;NUOVO NOME;"));
}

void TestSimController::malformed_write_is_not_confirmed() {
    Bench bench;
    const SimState before = bench.sim.state();
    QByteArray broken = kWritePayload;
    broken.replace("Serbatoio 1", "Serb$toio 1"); // a "$" in the description shifts every field
    const auto ack = request(*bench.line, "W" + broken + "\r");
    QVERIFY(ack);
    QVERIFY2(!confirms(*ack), ack->constData());
    const auto table_ack = request(*bench.line, "CA\r\n00100\r\n65000\t65000\r\n");
    QVERIFY(table_ack);
    QVERIFY(!confirms(*table_ack));
    QCOMPARE(bench.sim.state(), before);
    QCOMPARE(flag_kinds(bench.sim.flags()),
             (QList<FlagKind>{FlagKind::WriteRefused, FlagKind::WriteRefused}));
}

void TestSimController::unknown_and_typed_frames_get_no_answer() {
    Bench bench;
    // Typed in the console one at a time: "AB" is one unknown command.
    for (const char* typed : {"A", "B", "\r"}) {
        bench.line->send(typed);
        QThread::msleep(20);
    }
    // A channel the controller does not serve, and a typed letter cut short by a request.
    bench.line->send("RC\r");
    QTRY_COMPARE_WITH_TIMEOUT(int(bench.sim.frames().size()), 2, 5000);
    bench.line->send("X");
    // Nothing was answered before: the first line to come is the answer to "$".
    QCOMPARE(request(*bench.line, "N\r"), std::optional<QByteArray>("IBH"));
    const std::vector<LogFlag> flags = bench.sim.flags();
    QCOMPARE(flag_kinds(flags),
             (QList<FlagKind>{FlagKind::UnknownCommand, FlagKind::UnknownCommand, FlagKind::UnknownCommand}));
    QCOMPARE(flags[0].frame, QByteArray("AB\r"));
    QCOMPARE(flags[1].frame, QByteArray("RC\r"));
    QCOMPARE(flags[2].frame, QByteArray("X"));
}

void TestSimController::log_flags_bursts_and_unknown_commands() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimOptions options;
    options.log_file = dir.filePath("line.log");
    Bench bench(options);

    // The whole write in one go: 178 characters without a pause.
    bench.line->send("$");
    QCOMPARE(bench.line->read_line(), std::optional<QByteArray>("OK"));
    QThread::msleep(120);
    bench.line->send("W" + kWritePayload + "\r");
    QVERIFY(bench.line->read_line());
    // The same write paced as the program paces it: bursts of 20, 100 ms apart.
    QThread::msleep(120);
    const auto paced = request(*bench.line, "W" + kWritePayload + "\r");
    QVERIFY(paced && confirms(*paced));
    // An unknown command.
    bench.line->send("XY\r");
    QTRY_COMPARE_WITH_TIMEOUT(int(bench.sim.frames().size()), 5, 5000);

    const std::vector<LogFlag> flags = bench.sim.flags();
    QCOMPARE(flag_kinds(flags), (QList<FlagKind>{FlagKind::Burst, FlagKind::UnknownCommand}));
    QCOMPARE(flags[0].frame, "W" + kWritePayload + "\r");
    QCOMPARE(flags[1].frame, QByteArray("XY\r"));
    const std::vector<Frame> frames = bench.sim.frames();
    QVERIFY(frames[3].longest_burst <= 20);
    QVERIFY(!frames[3].burst_violation);

    QFile log(options.log_file);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QCOMPARE(text.count("FLAG:BURST("), 1);
    QCOMPARE(text.count("FLAG:UNKNOWN-COMMAND"), 1);
    QCOMPARE(text.count(" RX $\n"), 2);
    QCOMPARE(text.count(" TX SCRITTURA NORMALE.<CR><LF>\n"), 2);
    QVERIFY(text.contains(" RX XY<CR> FLAG:UNKNOWN-COMMAND\n"));
    // Every line is stamped with the time of day to the millisecond.
    const QByteArrayList lines = text.trimmed().split('\n');
    for (const QByteArray& line : lines)
        QVERIFY2(QTime::fromString(QString::fromLatin1(line.left(12)), "hh:mm:ss.zzz").isValid(),
                 line.constData());
}

void TestSimController::state_file_keeps_writes_across_runs() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimOptions options;
    options.state_file = dir.filePath("state.json");
    {
        Bench bench(options);
        QByteArray payload = kWritePayload;
        payload[0] = 'B';
        const auto ack = request(*bench.line, "W" + payload + "\r");
        QVERIFY(ack && confirms(*ack));
        // Saved after the write request already, not only at the end.
        SimState saved;
        QVERIFY(load_state_file(options.state_file, saved));
        QCOMPARE(saved.channels[1].description, QString("Serbatoio 1     "));
        QVERIFY(request(*bench.line, "T1;2;3;STAZIONE;\r"));
        bench.sim.stop();
    }
    Bench again(options);
    QCOMPARE(again.sim.channel(2).description, QString("Serbatoio 1     "));
    QCOMPARE(again.sim.channel(2).numbers[kOffset], -20);
    QCOMPARE(again.sim.sms().station, QString("STAZIONE"));
    const auto reply = request(*again.line, "RB\r");
    QVERIFY(reply);
    QCOMPARE(reply->split('$')[2], QByteArray("Serbatoio 1     "));
    QCOMPARE(request(*again.line, "S\r"), std::optional<QByteArray>("1;2;3;STAZIONE;"));
}

void TestSimController::serves_across_reopens_without_stale_bytes() {
    Bench bench;
    QVERIFY(request(*bench.line, "N\r"));
    // A long table asked for and never read, then the port closed: more bytes than the device's own
    // input queue holds wait in the line for whoever opens the device next.
    bench.sim.set_fault(FaultMode::Table2500);
    bench.line->send("$");
    QVERIFY(bench.line->read_line());
    QThread::msleep(120);
    bench.line->send("GA\r");
    QTRY_VERIFY_WITH_TIMEOUT(bench.sim.replies().back().done_us >= 0, 5000);
    bench.sim.set_fault(FaultMode::None);
    bench.line->close();
    QTRY_VERIFY_WITH_TIMEOUT(!bench.sim.peer_open(), 5000);

    LineClient again(bench.sim.device_path());
    QVERIFY(again.is_open());
    // The first line of the new session is the answer to its own "$", not a leftover table row.
    again.send("$");
    QCOMPARE(again.read_line(), std::optional<QByteArray>("OK"));
}

void TestSimController::line_rate_paces_replies() {
    SimOptions options;
    options.line_rate = true;
    Bench bench(options);
    QVERIFY(request(*bench.line, "GA\r"));
    QCOMPARE(bench.line->read_lines_until("65000").last(), QByteArray("65000\t65000"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.sim.replies().back().done_us >= 0, 5000);
    const SentReply table = bench.sim.replies().back();
    QCOMPARE(table.answer_to, FrameKind::ReadTable);
    // At 9600 baud the bytes cannot leave faster than one per 1.04 ms.
    QVERIFY(table.done_us - table.first_byte_us >= qint64(table.bytes.size() - 1) * limits::kLineByteMicros);
}

void TestSimController::channel_count_can_change_while_running() {
    Bench bench;
    QCOMPARE(request(*bench.line, "N\r"), std::optional<QByteArray>("IBH"));
    bench.sim.set_channels(3);
    bench.sim.set_relays(4);
    QCOMPARE(request(*bench.line, "N\r"), std::optional<QByteArray>("IC"));
    const auto reply = request(*bench.line, "RC\r");
    QVERIFY(reply);
    QCOMPARE(reply->split('$')[1], QByteArray("C"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, bench.sim.set_channels(64));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, bench.sim.set_relays(8));
}

void TestSimController::fault_modes_can_be_switched_on_data() {
    QTest::addColumn<QString>("fault");
    for (const FaultInfo& info : fault_modes()) {
        if (info.mode != FaultMode::None)
            QTest::newRow(qPrintable(info.name)) << info.name;
    }
}

void TestSimController::fault_modes_can_be_switched_on() {
    QFETCH(QString, fault);
    const auto mode = fault_from_name(fault);
    QVERIFY(mode);
    QCOMPARE(fault_name(*mode), fault);
    Bench bench;
    QCOMPARE(request(*bench.line, "N\r"), std::optional<QByteArray>("IBH"));
    bench.sim.set_fault(*mode);
    LineClient& line = *bench.line;
    const QByteArray sms = sms_line(bench.sim.sms());

    switch (*mode) {
    case FaultMode::Silent: {
        line.send("$");
        QThread::msleep(120);
        line.send("W" + kWritePayload + "\r");
        QTRY_COMPARE_WITH_TIMEOUT(int(bench.sim.frames().size()), 4, 5000);
        QCOMPARE(int(bench.sim.replies().size()), 2);
        QVERIFY(bench.sim.channel(1).description != "Serbatoio 1     ");
        break;
    }
    case FaultMode::SilentFollowup:
        line.send("$");
        QCOMPARE(line.read_line(), std::optional<QByteArray>("OK"));
        line.send("N\r");
        QTRY_COMPARE_WITH_TIMEOUT(int(bench.sim.frames().size()), 4, 5000);
        QCOMPARE(int(bench.sim.replies().size()), 3);
        break;
    case FaultMode::Garbage: {
        const auto seven_bit = [](const QByteArray& bytes) {
            QByteArray kept;
            for (char c : bytes) {
                if (quint8(c) < 128)
                    kept += c;
            }
            return kept;
        };
        line.send("$");
        const auto answer = line.read_line();
        QVERIFY(answer);
        QVERIFY(std::any_of(answer->begin(), answer->end(), [](char c) { return quint8(c) >= 128; }));
        QVERIFY(seven_bit(*answer).contains("OK"));
        QThread::msleep(120);
        line.send("S\r");
        const auto reply = line.read_line();
        QVERIFY(reply);
        QVERIFY(*reply != sms);
        // What the program keeps of it, bytes of 128 and above and line feeds dropped, is the record.
        QCOMPARE(seven_bit(*reply), sms);
        return; // junk may follow the last CR
    }
    case FaultMode::Split: {
        QCOMPARE(request(line, "S\r"), std::optional<QByteArray>(sms));
        QTRY_VERIFY_WITH_TIMEOUT(bench.sim.replies().back().done_us >= 0, 5000);
        const SentReply reply = bench.sim.replies().back();
        QVERIFY(reply.done_us - reply.first_byte_us >=
                qint64(reply.bytes.size() - 1) * limits::kSimSplitPauseMicros);
        break;
    }
    case FaultMode::Overlong: {
        const auto reply = request(line, "S\r");
        QVERIFY(reply);
        QCOMPARE(reply->size(), limits::kSimOverlongLine);
        QVERIFY(reply->startsWith(sms));
        break;
    }
    case FaultMode::Table2500: {
        QVERIFY(request(line, "GA\r"));
        const QList<QByteArray> rest = line.read_lines_until("65000", 30000);
        QCOMPARE(rest.size(), limits::kSimLongTable);
        QCOMPARE(rest.last(), QByteArray("65000\t65000"));
        break;
    }
    case FaultMode::HangupMidTable: {
        const QString device = bench.sim.device_path();
        line.send("$");
        QVERIFY(line.read_line());
        QThread::msleep(120);
        line.send("GA\r");
        QTRY_COMPARE_WITH_TIMEOUT(int(bench.sim.frames().size()), 4, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(bench.sim.replies().back().done_us >= 0, 5000);
        // Half the table is on its way but unread: the line stays up until the program has taken it.
        QThread::msleep(300);
        QVERIFY(!bench.sim.hung_up());
        QCOMPARE(line.read_lines_until("65000", 3000).size(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(bench.sim.hung_up(), 10000);
        line.read_raw(1, 2000);
        QVERIFY(line.hung_up());
        QVERIFY(!QFile::exists(device));
        return;
    }
    case FaultMode::WrongKind:
        QCOMPARE(request(line, "RA\r"), std::optional<QByteArray>("ERR"));
        break;
    case FaultMode::None:
        break;
    }
    // Switched off again, the controller answers as before; nothing was left on the line in between.
    bench.sim.set_fault(FaultMode::None);
    QCOMPARE(request(line, "N\r"), std::optional<QByteArray>("IBH"));
}

QTEST_GUILESS_MAIN(TestSimController)
#include "test_sim_controller.moc"
