#include "f_defs_ui.h"
#include "init_proc.h"
#include "session.h"
#include "test_files.h"
#include "tipi.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

using sim::FrameKind;

namespace {

bool has_burst_flag(const sim::ControllerSimulator& controller) {
    for (const sim::LogFlag& flag : controller.flags())
        if (flag.kind == sim::FlagKind::Burst)
            return true;
    return false;
}

} // namespace

// Port, handshake, connection status, language switch and close, against the simulator on COM1.
class TestE2eConnection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startup_handshake_lists_channels_and_reads_channel_one() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();

        // "$", then "N" CR after the answer, then the read of channel 1: "$" and "R", "A", CR.
        const std::vector<sim::Frame> frames = session.controller().frames();
        QVERIFY(frames.size() >= 4);
        QCOMPARE(frames[0].raw, QByteArray("$"));
        QCOMPARE(frames[1].raw, QByteArray("N\r"));
        QCOMPARE(frames[2].raw, QByteArray("$"));
        QCOMPARE(frames[3].raw, QByteArray("RA\r"));
        // The follow-up goes out only after the 0.1 s wait and the 0.02 s before every frame.
        const std::vector<sim::SentReply> replies = session.controller().replies();
        QVERIFY(!replies.empty() && replies[0].done_us >= 0);
        QVERIFY2(frames[1].first_us - replies[0].done_us >= 120000,
                 qPrintable(QString::number(frames[1].first_us - replies[0].done_us)));

        QCOMPARE(ui.d9->count(), 2);
        QCOMPARE(ui.d9->itemText(0), QStringLiteral("1 - A"));
        QCOMPARE(ui.d9->itemText(1), QStringLiteral("2 - B"));
        QCOMPARE(ui.d9->currentIndex(), 0);
        QVERIFY(ui.d9->isEnabled());
        QVERIFY(!ui.d40->isHidden());
        QVERIFY(!ui.l29->isHidden());
        QVERIFY(!ui.rett1->isHidden());
        QCOMPARE(session.window().lamp_colour(), QColor(0, 255, 0));
        QVERIFY(!ui.p_dett->isHidden());
        QVERIFY(ui.lb_stato->styleSheet().contains(QStringLiteral("#0000ff")));
        QCOMPARE(ui.d3->text(), QStringLiteral("GASOLIO NORD    "));
        QCOMPARE(ui.d12->text(), QStringLiteral("-20"));
        QCOMPARE(device_connected, 1);
        // The pane was cleared after the handshake frame; it shows the traffic since.
        QVERIFY(!ui.Memo1->toPlainText().startsWith(QStringLiteral("$\n$")));
        QVERIFY(!has_burst_flag(session.controller()));
    }

    void four_relay_controller_with_one_channel() {
        sim::SimOptions options;
        options.channels = 1;
        options.relays = 4;
        Session session(options);
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();
        QCOMPARE(ui.d9->count(), 1);
        QCOMPARE(ui.d9->itemText(0), QStringLiteral("1 - A"));
        QVERIFY(ui.d29->isHidden());
        QVERIFY(ui.d40->isHidden());
        QVERIFY(ui.l40->isHidden());
        QVERIFY(!ui.d28->isHidden());
    }

    void no_controller_shows_not_connected() {
        Session session({}, false);
        session.start_program();
        Ui::Tdefs& ui = session.ui();
        QVERIFY(ui.lb_porta->styleSheet().contains(QStringLiteral("#ff0000")));
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina non collegata"), 5000);
        QVERIFY(ui.lb_stato->styleSheet().contains(QStringLiteral("#ff0000")));
        QVERIFY(ui.lb_stato->styleSheet().contains(QStringLiteral("#ffff00")));
        QVERIFY(ui.p_dett->isHidden());
        QVERIFY(ui.rett1->isHidden());
        QCOMPARE(ui.d9->count(), 1);
        QCOMPARE(ui.d9->currentText(), QStringLiteral("0"));
        QVERIFY(!ui.d9->isEnabled());
        QVERIFY(session.answers().errors.isEmpty()); // a failed open is shown by colour alone

        // The switch re-reads the channel on the closed port: the open error reaches the operator.
        session.window().click_language(1);
        QCOMPARE(session.answers().errors, QStringList{"ie_BadId - Specified comport doesn't exist"});
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Device disconnected"), 5000);
        QCOMPARE(session.window().windowTitle(), QStringLiteral("Tanks definition"));
    }

    void choosing_channel_two_reads_it() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        session.controller().clear_records();
        Session::choose(session.ui().d9, 1);
        QCOMPARE(cmd_address, QByteArray("B"));
        QVERIFY(session.wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(session.ui().d3->text(), QStringLiteral("BENZINA SUD     "), 5000);
        const std::vector<sim::Frame> frames = session.controller().frames();
        QCOMPARE(frames.size(), size_t(2));
        QCOMPARE(frames[1].raw, QByteArray("RB\r"));
    }

    void language_switch_rereads_and_changes_texts() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();
        session.controller().clear_records();
        session.window().click_language(1);
        QCOMPARE(session.window().windowTitle(), QStringLiteral("Tanks definition"));
        QCOMPARE(ui.butt1->text(), QStringLiteral("Write data on device"));
        QCOMPARE(ui.Label13->text(), QStringLiteral("#Alarm Water#"));
        // The unit and relay boxes keep their old texts with no entry chosen until the re-read is decoded.
        QVERIFY(session.wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Device connected"), 5000);
        QCOMPARE(ui.d25->currentText(), QStringLiteral("High"));
        QCOMPARE(ui.combo_u->currentText(), QStringLiteral("liter"));
        QCOMPARE(session.frames_of(FrameKind::ReadConfig).size(), size_t(1));

        session.window().click_language(0);
        QCOMPARE(session.window().windowTitle(), QStringLiteral("Definizione dei serbatoi"));
        QCOMPARE(ui.Label11->text(), QStringLiteral("AllarmeLL"));
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina collegata correttamente"),
                                  5000);
        QVERIFY(session.wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui.d25->currentText(), QStringLiteral("Alto"), 5000);
    }

    void silent_controller_stays_connected_but_lost_port_does_not() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();

        // A controller that stops answering on a working port: the window stays connected and usable.
        session.controller().set_fault(sim::FaultMode::Silent);
        Session::choose(ui.d9, 1);
        QTRY_VERIFY_WITH_TIMEOUT(ui.Panel4->isEnabled(), 5000); // the reply timer re-enabled the panels
        int ticks = 0;
        QObject counter;
        connect(session.window().tm_stato, &QTimer::timeout, &counter, [&ticks] { ++ticks; });
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 10000);
        QCOMPARE(ui.lb_stato->text(), QStringLiteral("Centralina collegata correttamente"));
        QCOMPARE(device_connected, 1);

        // The device itself goes away: the port closes once, the label turns red, the status follows.
        session.controller().stop();
        QTRY_VERIFY_WITH_TIMEOUT(ui.lb_porta->styleSheet().contains(QStringLiteral("#ff0000")), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina non collegata"), 5000);
        QCOMPARE(device_connected, 0);
        QVERIFY(session.answers().errors.isEmpty());
    }

    void choosing_the_port_again_reconnects() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        session.controller().stop();
        QTRY_COMPARE_WITH_TIMEOUT(session.ui().lb_stato->text(), QStringLiteral("Centralina non collegata"),
                                  5000);
        session.replace_controller();
        Session::choose(session.ui().combo_porta, 0);
        QVERIFY(session.wait_connected());
        QVERIFY(session.ui().lb_porta->styleSheet().contains(QStringLiteral("#0000ff")));
    }

    void port_text_that_is_not_a_number() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();
        ui.combo_porta->lineEdit()->clear();
        QTest::keyClicks(ui.combo_porta, QStringLiteral("x"));
        QCOMPARE(session.answers().errors, QStringList{"'x' is not a valid integer value"});
        QCOMPARE(device_connected, 0);
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina non collegata"), 5000);
    }

    void console_sends_typed_characters_without_echo() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();
        const QString before = ui.Memo1->toPlainText();
        session.controller().clear_records();
        ui.Memo1->setFocus();
        QTest::keyClicks(ui.Memo1, QStringLiteral("AB"));
        QTest::keyClick(ui.Memo1, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!session.controller().frames().empty(), 5000);
        QByteArray received;
        for (const sim::ReceivedChunk& chunk : session.controller().chunks())
            received += chunk.bytes;
        QCOMPARE(received, QByteArray("AB\r"));
        // The pane shows what was typed where the caret was, and no echo line of its own.
        QCOMPARE(ui.Memo1->toPlainText(), before + QStringLiteral("AB\n"));
    }

    void closing_writes_the_trace_file() {
        Session session;
        session.start_program();
        QVERIFY(session.wait_connected());
        session.window().close();
        const QByteArray trace = read_file(session.folder() + QStringLiteral("/APRO.TRC"));
        QVERIFY(trace.startsWith("Transmit: \r\n$\r\n\r\nReceive: \r\n"));
        QVERIFY(trace.contains("Transmit: \r\nRA[0D]\r\n\r\nReceive: \r\n"));
        QVERIFY(!trace.endsWith("\r\n"));
        // The last block is the configuration reply of channel 1.
        QVERIFY(trace.endsWith("[0D][0A]"));
        QVERIFY(!session.window().isVisible());
    }

    void sigterm_closes_like_the_close_control() {
        Session session;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TANKDEF_COM1"), session.controller().device_path());
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(session.folder());
        program.start(QStringLiteral(TANKDEF_BINARY), {});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(session.frames_of(FrameKind::ReadConfig).size() == 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!session.controller().replies().empty() &&
                                     session.controller().replies().back().done_us >= 0,
                                 5000);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QByteArray trace = read_file(session.folder() + QStringLiteral("/APRO.TRC"));
        QVERIFY(trace.startsWith("Transmit: \r\n$\r\n\r\nReceive: \r\n"));
    }
};

QTEST_MAIN(TestE2eConnection)
#include "test_e2e_connection.moc"
