#include "f_defs_ui.h"
#include "form_avanzamento.h"
#include "session.h"
#include "test_files.h"
#include "tipi.h"

#include <QFile>
#include <QLabel>
#include <QTest>

using sim::FrameKind;

namespace {

void retype(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

QString cell(Ui::Tdefs& ui, int row, int column) {
    return ui.grid1->model()->index(row, column).data().toString();
}

// The controller takes frames in bursts of at most 20 characters with a pause between them.
bool no_burst_flags(const sim::ControllerSimulator& controller) {
    for (const sim::LogFlag& flag : controller.flags())
        if (flag.kind == sim::FlagKind::Burst)
            return false;
    return true;
}

} // namespace

// The operator's day, each step through the real window, checked on screen and at the controller.
class TestE2eOperator : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> m_session;
    Ui::Tdefs& ui() { return m_session->ui(); }
    sim::ControllerSimulator& controller() { return m_session->controller(); }

private Q_SLOTS:
    void init() {
        m_session = std::make_unique<Session>();
        m_session->start_program();
        QVERIFY(m_session->wait_connected());
    }
    void cleanup() { m_session.reset(); }

    void choosing_a_channel_empties_sms_and_grid_then_shows_it() {
        ui().txt_t1->setText(QStringLiteral("333"));
        tank_tables[1].row_count = 3;
        m_session->window().refresh_grid();
        Session::choose(ui().d9, 1);
        // Emptied at once, before the controller answers.
        QCOMPARE(ui().txt_t1->text(), QString());
        QCOMPARE(ui().grid1->model()->rowCount(), 0);
        QVERIFY(m_session->wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui().d3->text(), QStringLiteral("BENZINA SUD     "), 5000);
        QCOMPARE(ui().d4->currentIndex(), 3);
        QCOMPARE(ui().combo_u->currentIndex(), 1);
        QCOMPARE(ui().d2->text(), QStringLiteral("00124"));
        QCOMPARE(ui().d16->text(), QStringLiteral("2500"));
        QCOMPARE(ui().d24->text(), QStringLiteral("-5"));
        QCOMPARE(ui().d7->text(), QStringLiteral("3000"));
        QCOMPARE(ui().d5->text(), QStringLiteral("50000"));
        QCOMPARE(ui().d25->currentIndex(), 6);
        QCOMPARE(ui().d33->currentIndex(), 10);
    }

    void configuration_written_and_read_back() {
        retype(ui().d3, QStringLiteral("SERBATOIO PROVA"));
        Session::choose(ui().d4, 3);
        Session::choose(ui().combo_u, 1);
        retype(ui().d16, QStringLiteral("2000"));
        retype(ui().d17, QStringLiteral("50000"));
        retype(ui().d12, QStringLiteral("-35"));
        Session::choose(ui().d40, 10);
        controller().clear_records();
        QTest::mouseClick(ui().butt1, Qt::LeftButton);
        QVERIFY(m_session->answers().errors.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(m_session->frames_of(FrameKind::WriteConfig).size(), size_t(1), 10000);
        const QByteArray expected =
            "A$SERBATOIO PROVA $030100$00123$02000$50000$00300$00150$00000$00050$65501$"
            "00000$00002$00003$00000$00010$00006$00007$00001$00008$00000$00000$00004$"
            "00005$00000$00000$00009$00010$";
        QCOMPARE(expected.size(), 176);
        QCOMPARE(m_session->frames_of(FrameKind::WriteConfig).front().raw, "W" + expected + "\r");
        QTRY_COMPARE_WITH_TIMEOUT(com_state, 4, 10000); // the controller confirmed with "NORMALE"
        QCOMPARE(controller().channel(1).numbers[sim::kOffset], -35);
        QVERIFY(no_burst_flags(controller()));

        // Choosing the channel again shows what the controller now holds, folded back.
        Session::choose(ui().d9, 0);
        QVERIFY(m_session->wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui().d12->text(), QStringLiteral("-35"), 5000);
        QCOMPARE(ui().d17->text(), QStringLiteral("-15536")); // 50000 travels unsigned, reads back folded
        QCOMPARE(ui().d16->text(), QStringLiteral("2000"));
        QCOMPARE(ui().d3->text(), QStringLiteral("SERBATOIO PROVA "));
        QCOMPARE(ui().d4->currentIndex(), 3);
        QCOMPARE(ui().combo_u->currentIndex(), 1);
        QCOMPARE(ui().d40->currentIndex(), 10);
    }

    void bad_number_stops_the_write() {
        retype(ui().d18, QStringLiteral("12x"));
        controller().clear_records();
        QTest::mouseClick(ui().butt1, Qt::LeftButton);
        QCOMPARE(m_session->answers().errors, QStringList{"'12x' is not a valid floating point value."});
        QCOMPARE(com_state, 3);
        QVERIFY(controller().chunks().empty()); // nothing went out: the write returns only when it is sent
    }

    void writes_need_a_chosen_channel() {
        // Typing into the chooser leaves no entry chosen; the read still goes out (for channel 0), the
        // writes are refused instead of reaching channel 0.
        ui().d9->setFocus();
        ui().d9->lineEdit()->selectAll();
        QTest::keyClicks(ui().d9, QStringLiteral("x"));
        QCOMPARE(ui().d9->currentIndex(), -1);
        QCOMPARE(cmd_address, QByteArray("@"));
        // The controller has no channel "@" and stays silent; the reply timer gives the panels back.
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->frames_of(FrameKind::ReadConfig).empty() &&
                                     m_session->frames_of(FrameKind::ReadConfig).back().raw == "R@\r",
                                 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ui().Panel2->isEnabled(), 10000);
        tank_tables[1].row_count = 1;
        tank_tables[1].rows[1] = {10, 20};
        controller().clear_records();
        QTest::mouseClick(ui().butt1, Qt::LeftButton);
        QTest::mouseClick(ui().butt10, Qt::LeftButton);
        QCOMPARE(m_session->answers().errors, (QStringList{"No channel is selected. Nothing was sent.",
                                                           "No channel is selected. Nothing was sent."}));
        QVERIFY(controller().chunks().empty());
    }

    void table_read_edit_write_and_read_back() {
        const std::vector<sim::SimRow> original = controller().channel(1).table;
        QCOMPARE(original.size(), size_t(40));
        QTest::mouseClick(ui().butt9, Qt::LeftButton);
        QVERIFY(f_avanz->is_shown());
        QTRY_VERIFY_WITH_TIMEOUT(com_state == 3 && !f_avanz->is_shown(), 15000);
        QCOMPARE(f_avanz->label(), QStringLiteral("40")); // the count of the last line
        QCOMPARE(ui().grid1->model()->rowCount(), 40);
        QCOMPARE(cell(ui(), 1, 0), QString::number(original[1].level));
        QCOMPARE(cell(ui(), 1, 1), QString::number(original[1].volume));

        QVERIFY(ui().grid1->model()->setData(ui().grid1->model()->index(1, 1), QStringLiteral("1234")));
        controller().clear_records();
        QTest::mouseClick(ui().butt10, Qt::LeftButton);
        QVERIFY(f_avanz->is_shown());
        QCOMPARE(f_avanz->label(), QStringLiteral("#Attendere. Scarico tabella in corso!!#"));
        QTRY_COMPARE_WITH_TIMEOUT(com_state, 4, 15000);
        const std::vector<sim::SimRow> stored = controller().channel(1).table;
        QCOMPARE(stored.size(), size_t(40));
        QCOMPARE(stored[1].volume, 1234);
        QCOMPARE(stored[2], original[2]);
        QVERIFY(no_burst_flags(controller()));

        // Read back into an emptied grid.
        tank_tables[1].row_count = 0;
        m_session->window().refresh_grid();
        QTest::mouseClick(ui().butt9, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(com_state == 3 && ui().grid1->model()->rowCount() == 40, 15000);
        QCOMPARE(cell(ui(), 1, 1), QStringLiteral("1234"));
    }

    void table_with_a_value_above_65000_is_not_sent() {
        QTest::mouseClick(ui().butt9, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(com_state == 3 && ui().grid1->model()->rowCount() == 40, 15000);
        QVERIFY(ui().grid1->model()->setData(ui().grid1->model()->index(5, 1), QStringLiteral("65001")));
        controller().clear_records();
        QTest::mouseClick(ui().butt10, Qt::LeftButton);
        QCOMPARE(m_session->answers().messages,
                 QStringList{"#Valore superiore a 65.000. Impossibile scaricare la tabella!!#"});
        QCOMPARE(com_state, 3);
        // The next thing the controller hears is the SMS read that follows, not a table.
        QTest::mouseClick(ui().btn_tel2, Qt::LeftButton);
        QVERIFY(m_session->wait_request_done());
        const std::vector<sim::Frame> frames = controller().frames();
        QCOMPARE(frames.size(), size_t(2));
        QCOMPARE(frames[0].kind, FrameKind::Dollar);
        QCOMPARE(frames[1].kind, FrameKind::ReadSms);
    }

    void table_export_and_import() {
        QTest::mouseClick(ui().butt9, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(com_state == 3 && ui().grid1->model()->rowCount() == 40, 15000);
        const std::vector<sim::SimRow> rows = controller().channel(1).table;

        const QString exported = m_session->folder() + QStringLiteral("/table.txt");
        m_session->answers().confirms = {true};
        m_session->answers().save_answers = {exported};
        QTest::mouseClick(ui().butt12, Qt::LeftButton);
        QByteArray expected;
        for (const sim::SimRow& row : rows)
            expected += QStringLiteral("%1;%2\r\n")
                            .arg(row.level, 5, 10, QChar(u'0'))
                            .arg(row.volume, 5, 10, QChar(u'0'))
                            .toLatin1();
        QCOMPARE(read_file(exported), expected);

        tank_tables[1].row_count = 0;
        m_session->answers().confirms = {true};
        m_session->answers().open_answers = {exported};
        QTest::mouseClick(ui().butt11, Qt::LeftButton);
        QCOMPARE(tank_tables[1].row_count, 40);
        for (int r = 1; r <= 40; ++r)
            QCOMPARE(tank_tables[1].rows[r],
                     (TStrapRow{double(rows[size_t(r - 1)].level), double(rows[size_t(r - 1)].volume)}));
        QCOMPARE(tank_tables[1].rows[41], (TStrapRow{-1, -1}));

        // A file from another program: a header and rows with blanks and decimal commas.
        const QString other = m_session->folder() + QStringLiteral("/other.csv");
        QVERIFY(write_file(other, "Livello;Volume\r\n0;0\n100 ; 1250\r\n200;2.600\r\n"));
        m_session->answers().confirms = {true};
        m_session->answers().open_answers = {other};
        QTest::mouseClick(ui().butt11, Qt::LeftButton);
        QCOMPARE(tank_tables[1].row_count, 3);
        QCOMPARE(ui().grid1->model()->rowCount(), 3);
        QCOMPARE(cell(ui(), 2, 1), QStringLiteral("2600"));
        QVERIFY(m_session->answers().errors.isEmpty());
    }

    void sms_read_write_and_read_back() {
        const sim::SimSms held = controller().sms();
        QTest::mouseClick(ui().btn_tel2, Qt::LeftButton);
        QVERIFY(m_session->wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui().txt_t1->text(), held.numbers[0], 5000);
        QCOMPARE(ui().txt_t2->text(), held.numbers[1]);
        QCOMPARE(ui().txt_t3->text(), held.numbers[2]);
        QCOMPARE(ui().txt_t4->text(), held.station);

        retype(ui().txt_t2, QStringLiteral("3470001122"));
        QTest::mouseClick(ui().btn_tel1, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(controller().sms().numbers[1], QStringLiteral("3470001122"), 10000);
        QVERIFY(m_session->wait_request_done());
        QCOMPARE(controller().sms().numbers[0], held.numbers[0]);

        QTest::mouseClick(ui().btn_tel2, Qt::LeftButton);
        QCOMPARE(ui().txt_t2->text(), QString()); // emptied before the read
        QVERIFY(m_session->wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui().txt_t2->text(), QStringLiteral("3470001122"), 5000);
    }
};

QTEST_MAIN(TestE2eOperator)
#include "test_e2e_operator.moc"
