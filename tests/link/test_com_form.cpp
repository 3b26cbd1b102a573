#include "com_form.h"

#include "errors.h"
#include "recording_view.h"
#include "scripted_dialogs.h"
#include "test_files.h"
#include "tipi.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The device link with its port and its pauses replaced by recorders: frames and waits in one log.
struct Fixture {
    Tcf link;
    RecordingView view;
    RecordingProgress progress;
    QStringList wire; // "w0.02", "$", "R", ... in the order they happened
    QByteArray sent;  // every character written

    Fixture() {
        reset_shared_state();
        link.attach(&view, &progress);
        link.set_char_writer([this](const QByteArray& one) {
            wire << QString::fromLatin1(one);
            sent += one;
        });
        link.set_waiter([this](double seconds) { wire << QStringLiteral("w%1").arg(seconds); });
        view.on_channel_change = [this] { link.read_channel(1); };
    }
    void receive(const QByteArray& bytes) { link.port1_oldReceiveCallBack(bytes); }
    void clear() {
        wire.clear();
        sent.clear();
        view.events.clear();
        view.console.clear();
    }
};

QByteArray sample_config_line() {
    // Field 0, letter, description, product/unit, address, 8 numbers, 4 relays, 17, 18, height, capacity.
    return "X$A$Serbatoio 1     $080000$00123$01800$01700$00300$00150$00000$00050$65516$00000$"
           "00002$00003$00000$00010$00000$00000$03000$50000";
}

QStringList stored_lines() {
    QStringList lines;
    for (int i = 1; i <= stations[1].rx_line_count; ++i)
        lines << stations[1].rx_lines[i].text();
    return lines;
}

} // namespace

class TestComForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // ---- transmitter ----

    void send_frame_paces_every_twenty_characters_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("pauses"); // positions after which a 0.1 s pause comes
        QTest::newRow("empty") << 0 << QStringList();
        QTest::newRow("19") << 19 << QStringList();
        QTest::newRow("20 ends with a pause") << 20 << QStringList{"20"};
        QTest::newRow("40 ends with a pause") << 40 << QStringList{"20", "40"};
        QTest::newRow("45") << 45 << QStringList{"20", "40"};
    }
    void send_frame_paces_every_twenty_characters() {
        QFETCH(int, length);
        QFETCH(QStringList, pauses);
        Fixture f;
        QByteArray frame;
        for (int i = 0; i < length; ++i)
            frame.append(char('a' + i % 26));
        f.link.send_frame(frame, 0);
        QStringList expected{QStringLiteral("w0.02")};
        for (int i = 0; i < length; ++i) {
            expected << QString(QChar(frame[i]));
            if (pauses.contains(QString::number(i + 1)))
                expected << QStringLiteral("w0.1");
        }
        QCOMPARE(f.wire, expected);
        QCOMPARE(f.view.console, QList<QByteArray>{frame});
        QVERIFY(f.view.lamp_busy);
        QVERIFY(!f.view.panels_enabled);
        QVERIFY(f.link.tm_timeout->isActive());
    }

    void typed_character_is_not_echoed() {
        Fixture f;
        f.link.send_frame("A", 1);
        QCOMPARE(f.sent, QByteArray("A"));
        QVERIFY(f.view.console.isEmpty());
        QVERIFY(f.view.lamp_busy);
        QVERIFY(!f.view.panels_enabled);
    }

    void reply_timer_is_not_restarted_by_a_second_frame() {
        Fixture f;
        f.link.send_frame("$", 0);
        const int first = f.link.tm_timeout->timerId();
        f.link.send_frame("R", 0);
        QCOMPARE(f.link.tm_timeout->timerId(), first);
        QCOMPARE(f.link.tm_timeout->interval(), 200);
    }

    void reply_timer_only_enables_the_panels() {
        Fixture f;
        f.link.read_channel(1);
        QTRY_VERIFY_WITH_TIMEOUT(f.view.panels_enabled, 5000);
        QVERIFY(!f.link.tm_timeout->isActive());
        QVERIFY(f.view.lamp_busy); // the lamp stays red: no reply came
        QCOMPARE(com_state, 1);
        QCOMPARE(f.sent, QByteArray("$"));
    }

    void frames_and_replies_are_logged_when_the_log_is_on() {
        Fixture f;
        QTemporaryDir dir;
        set_log_file(dir.filePath("log.txt"));
        f.link.read_channel(1);
        f.receive("OK\r");
        reset_shared_state(); // closes the log
        QFile file(dir.filePath("log.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        // One line per frame and reply; the follow-up frame keeps its own CR.
        QCOMPARE(file.readAll(), QByteArray("D - $\nR - OK\nD - RA\r\n"));
    }

    // ---- requests ----

    void requests_record_the_exchange_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QByteArray>("letter");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QString>("frame");
        QTest::newRow("handshake") << "N" << QByteArray("N") << QByteArray() << "N";
        QTest::newRow("read channel 2") << "R2" << QByteArray("R") << QByteArray("B") << "$";
        QTest::newRow("write channel 1") << "W1" << QByteArray("W") << QByteArray("A") << "$";
        QTest::newRow("read table 3") << "G3" << QByteArray("G") << QByteArray("C") << "$";
        QTest::newRow("write table 1") << "C1" << QByteArray("C") << QByteArray("A") << "$";
        QTest::newRow("read sms") << "S" << QByteArray("S") << QByteArray() << "$";
        QTest::newRow("write sms") << "T" << QByteArray("T") << QByteArray() << "$";
    }
    void requests_record_the_exchange() {
        QFETCH(QString, request);
        QFETCH(QByteArray, letter);
        QFETCH(QByteArray, address);
        QFETCH(QString, frame);
        Fixture f;
        stations[1].rx_line_count = 5;
        com_state = 4;
        const int n = request.size() > 1 ? request.mid(1).toInt() : 0;
        switch (request[0].toLatin1()) {
        case 'N':
            f.link.send_handshake();
            break;
        case 'R':
            f.link.read_channel(n);
            break;
        case 'W':
            f.link.send_config(n, QStringLiteral("payload"));
            break;
        case 'G':
            f.link.read_table(n);
            break;
        case 'C':
            f.link.send_table(n, QStringLiteral("payload"));
            break;
        case 'S':
            f.link.read_sms();
            break;
        case 'T':
            f.link.write_sms();
            break;
        }
        QCOMPARE(cmd_letter, letter);
        QCOMPARE(cmd_address, address);
        QCOMPARE(com_state, 1);
        QCOMPARE(stations[1].rx_state, 1);
        QCOMPARE(stations[1].rx_mode, 2);
        QCOMPARE(stations[1].rx_line_count, 0);
        QCOMPARE(stations[1].rx_frame, frame);
        QCOMPARE(f.sent, QByteArray("$"));
        QCOMPARE(f.view.console, QList<QByteArray>{"$"});
    }

    void sms_read_keeps_the_channel_address() {
        Fixture f;
        f.link.read_channel(2);
        f.link.read_sms();
        QCOMPARE(cmd_address, QByteArray("B"));
    }

    void table_requests_show_the_progress_window_data() {
        QTest::addColumn<bool>("download");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("label");
        QTest::newRow("upload keeps lb1") << false << 0 << "lb1";
        QTest::newRow("download italian") << true << 0 << "#Attendere. Scarico tabella in corso!!#";
        QTest::newRow("download english") << true << 1 << "#Please wait. Writing table on device!!#";
    }
    void table_requests_show_the_progress_window() {
        QFETCH(bool, download);
        QFETCH(int, language);
        QFETCH(QString, label);
        Fixture f;
        f.view.language_index = language;
        QString label_when_sent;
        f.link.set_char_writer([&](const QByteArray&) { label_when_sent = f.progress.text; });
        if (download)
            f.link.send_table(1, QStringLiteral("65000\t65000\r\n"));
        else
            f.link.read_table(1);
        QVERIFY(f.progress.shown);
        QCOMPARE(label_when_sent, label);
    }

    // ---- receive path ----

    void receive_path_assembles_lines_data() {
        QTest::addColumn<QList<QByteArray>>("deliveries");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QList<QByteArray>>("console");
        QTest::addColumn<QString>("pending");
        QTest::newRow("split across deliveries")
            << QList<QByteArray>{"O", "K\r\n"} << QStringList{"OK"} << QList<QByteArray>{"OK"} << "";
        QTest::newRow("cr lf cr lf gives an empty line")
            << QList<QByteArray>{"OK\r\n\r\n"} << QStringList{"OK", ""} << QList<QByteArray>{"OK", ""} << "";
        QTest::newRow("lf alone ends nothing")
            << QList<QByteArray>{"AB\nCD"} << QStringList{} << QList<QByteArray>{} << "ABCD";
        QTest::newRow("two lines in one delivery")
            << QList<QByteArray>{"one\rtwo\r"} << QStringList{"one", "two"} << QList<QByteArray>{"one", "two"}
            << "";
        QTest::newRow("230 characters whole")
            << QList<QByteArray>{QByteArray(230, 'x') + "\r"} << QStringList{QString(230, u'x')}
            << QList<QByteArray>{QByteArray(230, 'x')} << "";
        QTest::newRow("231 characters cut, console whole")
            << QList<QByteArray>{QByteArray(231, 'y') + "\r"} << QStringList{QString(230, u'y')}
            << QList<QByteArray>{QByteArray(231, 'y')} << "";
    }
    void receive_path_assembles_lines() {
        QFETCH(QList<QByteArray>, deliveries);
        QFETCH(QStringList, stored);
        QFETCH(QList<QByteArray>, console);
        QFETCH(QString, pending);
        Fixture f;
        // A request in state 3 stores every line and sends nothing more.
        f.link.send_config(1, QString());
        com_state = 3;
        f.clear();
        for (const QByteArray& bytes : deliveries)
            f.receive(bytes);
        QCOMPARE(stored_lines(), stored);
        QCOMPARE(f.view.console, console);
        QCOMPARE(rx_fields[0], pending);
        QVERIFY(f.sent.isEmpty());
    }

    void lines_before_the_first_request_are_only_shown() {
        Fixture f;
        f.receive("hello\r");
        QCOMPARE(f.view.console, QList<QByteArray>{"hello"});
        QCOMPARE(stations[1].rx_state, 1);
        QCOMPARE(stations[1].rx_line_count, 0);
        QCOMPARE(com_state, 0);
        QVERIFY(f.sent.isEmpty());
    }

    void lines_past_the_buffer_are_dropped_and_counted() {
        Fixture f;
        f.link.send_config(1, QString());
        com_state = 4;
        f.clear();
        QByteArray many;
        for (int i = 1; i <= limits::kRxLineCount + 5; ++i)
            many += QByteArray::number(i) + "\r";
        f.receive(many);
        QCOMPARE(stations[1].rx_line_count, limits::kRxLineCount);
        QCOMPARE(stations[1].rx_lines_dropped, 5);
        QCOMPARE(stations[1].rx_lines[limits::kRxLineCount].text(), QStringLiteral("2000"));
        QCOMPARE(f.view.console.size(), limits::kRxLineCount + 5);
    }

    // ---- command exchange ----

    void handshake_identifies_and_reads_channel_one() {
        Fixture f;
        f.link.send_handshake();
        QCOMPARE(f.wire, (QStringList{"w0.02", "$"}));
        f.clear();
        f.receive("OK\r\n");
        QCOMPARE(f.wire, (QStringList{"w0.1", "w0.02", "N", "\r"}));
        QCOMPARE(com_state, 2);
        f.clear();
        f.receive("?BH\r\n");
        QCOMPARE(device_connected, 1);
        QCOMPARE(channel_count, 2);
        QCOMPARE(f.view.channels, 2);
        QVERIFY(f.view.sixteen);
        // d9Change started the read of channel 1 at once; the lamp is green all the same.
        QCOMPARE(f.wire, (QStringList{"w0.02", "$"}));
        QCOMPARE(cmd_letter, QByteArray("R"));
        QCOMPARE(cmd_address, QByteArray("A"));
        QCOMPARE(com_state, 1);
        QVERIFY(!f.view.lamp_busy);
        QVERIFY(f.view.panels_enabled);
        QCOMPARE(f.view.events.last(), QStringLiteral("panels on"));
    }

    void read_channel_decodes_the_configuration() {
        Fixture f;
        f.link.read_channel(2);
        f.receive("OK\r");
        QCOMPARE(f.sent, QByteArray("$RB\r"));
        f.receive(sample_config_line() + "\r\n");
        QVERIFY(f.view.config.has_value());
        QCOMPARE(f.view.config->description, QStringLiteral("Serbatoio 1     "));
        QCOMPARE(f.view.config->offset, qint64(-20));
        QCOMPARE(f.view.config->capacity, qint64(50000));
        QCOMPARE(com_state, 3);
        QVERIFY(!f.view.lamp_busy);
        QCOMPARE(f.progress.hides, 1);
    }

    void bad_configuration_changes_nothing() {
        Fixture f;
        f.link.read_channel(1);
        f.receive("OK\r");
        f.view.events.clear();
        QByteArray bad = sample_config_line();
        bad.replace("$01800$", "$18x00$");
        QCOMPARE(raised_text([&] { f.receive(bad + "\rNEXT\r"); }),
                 QStringLiteral("'18x00' is not a valid floating point value"));
        QVERIFY(!f.view.config.has_value());
        QCOMPARE(com_state, 2);
        QVERIFY(f.view.lamp_busy);       // the lamp stays red
        QVERIFY(rx_fields[0].isEmpty()); // the rest of the delivery is not processed
        QCOMPARE(f.view.console.last(), bad);
    }

    void write_configuration_and_confirmation_data() {
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<int>("state");
        QTest::newRow("confirmed") << QByteArray("SCRITTURA NORMALE.\r") << 4;
        QTest::newRow("plain normale") << QByteArray("NORMALE\r") << 4;
        QTest::newRow("lower case") << QByteArray("ok normale!\r") << 4;
        QTest::newRow("not confirmed") << QByteArray("ERRORE\r") << 3;
        QTest::newRow("second line examines the first") << QByteArray("AB\rSCRITTURA NORMALE.\r") << 3;
        QTest::newRow("confirmation then anything") << QByteArray("NORMALE.\rAB\r") << 4;
    }
    void write_configuration_and_confirmation() {
        QFETCH(QByteArray, replies);
        QFETCH(int, state);
        Fixture f;
        f.link.send_config(2, QStringLiteral("B$payload$"));
        f.receive("OK\r");
        QCOMPARE(f.sent, QByteArray("$WB$payload$\r"));
        QCOMPARE(com_state, 3);
        f.receive(replies);
        QCOMPARE(com_state, state);
        QVERIFY(!f.view.lamp_busy);
    }

    void table_write_sends_the_payload_and_keeps_progress_until_a_plain_reply() {
        Fixture f;
        const QString payload = QStringLiteral("00000\t00000\r\n65000\t65000\r\n");
        f.link.send_table(1, payload);
        f.receive("OK\r");
        QCOMPARE(f.sent, QByteArray("$CA\r\n") + payload.toLatin1());
        QCOMPARE(com_state, 3);
        QVERIFY(f.progress.shown);
        f.receive("TABELLA NORMALE.\r");
        QCOMPARE(com_state, 4);
        QVERIFY(f.progress.shown); // a confirmed download leaves the window as it is

        Fixture g;
        g.link.send_table(1, payload);
        g.receive("OK\r");
        g.receive("ERRORE\r");
        QCOMPARE(com_state, 3);
        QVERIFY(!g.progress.shown);
    }

    void table_read_stores_rows_and_counts_progress() {
        Fixture f;
        tank_tables[1].row_count = 7;
        f.link.read_table(1);
        f.receive("OK\r");
        QCOMPARE(f.sent, QByteArray("$GA\r"));
        f.receive("0\t0\r\n10\t52\r\n\r\n100\t1250");
        QCOMPARE(f.progress.labels, (QStringList{"1", "2", "3"}));
        QCOMPARE(tank_tables[1].row_count, 7);
        f.receive("\r\n6500\r\n");
        QCOMPARE(com_state, 2); // a line shorter than five characters never ends the table
        f.receive("65000\t65000xyz\r\n");
        QCOMPARE(com_state, 3);
        QCOMPARE(tank_tables[1].row_count, 5);
        QCOMPARE(tank_tables[1].rows[1], (TStrapRow{0, 0}));
        QCOMPARE(tank_tables[1].rows[2], (TStrapRow{10, 52}));
        QCOMPARE(tank_tables[1].rows[3], (TStrapRow{-1, -1}));
        QCOMPARE(tank_tables[1].rows[4], (TStrapRow{100, 1250}));
        QCOMPARE(tank_tables[1].rows[5], (TStrapRow{-1, -1})); // "6500" alone: no TAB
        QCOMPARE(tank_tables[1].rows[6], (TStrapRow{-1, -1}));
        QVERIFY(!f.progress.shown);
        QCOMPARE(f.view.grid_refreshes, 1);
        QCOMPARE(f.view.console.last(), QByteArray("65000\t65000xyz"));
    }

    void table_read_of_no_rows() {
        Fixture f;
        f.link.read_table(1);
        f.receive("OK\r65000\t65000\r");
        QCOMPARE(tank_tables[1].row_count, 0);
        QCOMPARE(tank_tables[1].rows[1], (TStrapRow{-1, -1}));
        QCOMPARE(com_state, 3);
    }

    void table_read_with_a_huge_number_keeps_the_old_table() {
        Fixture f;
        tank_tables[1].rows[1] = {5, 6};
        tank_tables[1].row_count = 1;
        f.link.read_table(1);
        f.receive("OK\r1\t2\r99999999999\t3\r");
        QCOMPARE(raised_text([&] { f.receive("65000\r"); }),
                 QStringLiteral("'99999999999' is not a valid integer value"));
        QCOMPARE(tank_tables[1].row_count, 1);
        QCOMPARE(tank_tables[1].rows[1], (TStrapRow{5, 6}));
        QCOMPARE(tank_tables[1].rows[2].level, 0.0);
        QCOMPARE(com_state, 2);
        QVERIFY(f.progress.shown);
    }

    void table_read_of_more_lines_than_the_table_holds() {
        ScriptedDialogs answers;
        Fixture f;
        f.link.read_table(1);
        f.receive("OK\r");
        QByteArray lines;
        for (int i = 1; i <= 2010; ++i)
            lines += QByteArray::number(i) + "\t" + QByteArray::number(i * 2) + "\r\n";
        f.receive(lines + "65000\r\n");
        QCOMPARE(tank_tables[1].row_count, limits::kTableRows);
        QCOMPARE(tank_tables[1].rows[2000], (TStrapRow{2000, 4000}));
        QCOMPARE(f.progress.labels.last(), QStringLiteral("2010"));
        QCOMPARE(com_state, 3);
        QTRY_COMPARE_WITH_TIMEOUT(answers.messages.size(), 1, 5000);
        QVERIFY(answers.messages.front().contains(QStringLiteral("10")));
        // Everything the reply queued has run by now; a second message would be among it.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(answers.messages.size(), 1); // told once
    }

    void sms_read_fills_the_fields() {
        Fixture f;
        f.link.read_sms();
        f.receive("OK\r");
        QCOMPARE(f.sent, QByteArray("$S\r"));
        f.receive(" 3331234567 ;3337654321;;Stazione Nord;extra;\r");
        QCOMPARE(f.view.sms[0], QStringLiteral("3331234567"));
        QCOMPARE(f.view.sms[1], QStringLiteral("3337654321"));
        QCOMPARE(f.view.sms[2], QString());
        QCOMPARE(f.view.sms[3], QStringLiteral("Stazione Nord"));
        QCOMPARE(com_state, 3);
    }

    void sms_write_takes_the_fields_at_send_time() {
        Fixture f;
        f.view.sms = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
        f.link.write_sms();
        // Cut to 20 characters first, then trimmed: the two leading blanks count.
        f.view.sms = {QStringLiteral("  0123456789012345678901234 "), QString(), QStringLiteral("x"),
                      QStringLiteral("Nord")};
        f.receive("OK\r");
        QCOMPARE(f.sent, QByteArray("$T012345678901234567;;x;Nord;\r"));
        f.receive("anything\r");
        QCOMPARE(com_state, 3);
    }

    void two_lines_in_state_one_run_the_exchange_twice() {
        Fixture f;
        f.link.read_channel(1);
        f.receive("OK\r" + sample_config_line() + "\r");
        QCOMPARE(f.sent, QByteArray("$RA\r"));
        QVERIFY(f.view.config.has_value());
        QCOMPARE(com_state, 3);
    }

    void empty_line_answers_the_first_frame() {
        Fixture f;
        f.link.read_sms();
        f.receive("\r");
        QCOMPARE(com_state, 2);
        QCOMPARE(f.sent, QByteArray("$S\r"));
    }

    void reply_in_state_four_only_turns_the_lamp_green() {
        Fixture f;
        f.link.send_config(1, QStringLiteral("p"));
        f.receive("OK\rNORMALE.\r");
        QCOMPARE(com_state, 4);
        f.clear();
        f.view.lamp_busy = true;
        f.receive("more\r");
        QCOMPARE(com_state, 4);
        QVERIFY(!f.view.lamp_busy);
        QVERIFY(f.sent.isEmpty());
        QCOMPARE(f.progress.hides, 0);
    }

    void starting_a_request_abandons_a_table_read() {
        Fixture f;
        f.link.read_table(1);
        f.receive("OK\r");
        f.link.read_channel(2);
        f.progress.labels.clear();
        f.receive("1\t2\r");
        QCOMPARE(com_state, 2); // the table line was the answer to the new "$"
        QCOMPARE(f.sent, QByteArray("$GA\r$RB\r"));
        QVERIFY(f.progress.labels.isEmpty());
    }

    void lost_port_clears_the_connection() {
        Fixture f;
        device_connected = 1;
        Q_EMIT f.link.port1->PortLost(QStringLiteral("gone"));
        QCOMPARE(device_connected, 0);
        QCOMPARE(f.view.lost, QStringList{"gone"});
    }
};

QTEST_MAIN(TestComForm)
#include "test_com_form.moc"
