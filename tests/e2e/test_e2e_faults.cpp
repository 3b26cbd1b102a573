#include "com_form.h"
#include "f_defs_ui.h"
#include "form_avanzamento.h"
#include "session.h"
#include "tipi.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>
#include <optional>

using sim::FaultMode;
using sim::FrameKind;

Q_DECLARE_METATYPE(sim::FaultMode)

namespace {

constexpr int kWaitMs = 15000;

// What the operator asks for while the controller misbehaves.
enum class Action { ReadChannelTwo, ReadTable, ReadSms };

} // namespace

Q_DECLARE_METATYPE(Action)

namespace {

// The channel's fields as the window shows them, one "name=value" entry each, so a comparison names the
// field that changed.
QStringList channel_fields(Tdefs& window) {
    Ui::Tdefs& ui = *window.ui();
    QStringList out;
    out << "d3=" + ui.d3->text() << "d2=" + ui.d2->text();
    out << "d4=" + QString::number(ui.d4->currentIndex())
        << "combo_u=" + QString::number(ui.combo_u->currentIndex());
    for (const QLineEdit* field :
         {ui.d12, ui.d13, ui.d16, ui.d17, ui.d18, ui.d19, ui.d20, ui.d7_1, ui.d23, ui.d24, ui.d7, ui.d5})
        out << field->objectName() + "=" + field->text();
    for (int relay = 1; relay <= limits::kRelayCount; ++relay) {
        const QComboBox* chooser = window.relay_chooser(relay);
        out << chooser->objectName() + "=" + QString::number(chooser->currentIndex());
    }
    return out;
}

QStringList sms_fields(Tdefs& window) {
    Ui::Tdefs& ui = *window.ui();
    return {ui.txt_t1->text(), ui.txt_t2->text(), ui.txt_t3->text(), ui.txt_t4->text()};
}

// All of tank_tables[1], the rows past row_count included: a half-applied read would show there.
struct TableCopy {
    qint32 row_count = 0;
    std::vector<TStrapRow> rows;
    friend bool operator==(const TableCopy&, const TableCopy&) = default;
};

TableCopy table_copy() {
    TableCopy copy;
    copy.row_count = tank_tables[1].row_count;
    for (int r = 1; r <= limits::kTableRows; ++r)
        copy.rows.push_back(tank_tables[1].rows[r]);
    return copy;
}

bool seven_bit(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 128)
            return false;
    return true;
}

bool seven_bit(const QStringList& texts) {
    for (const QString& text : texts)
        if (!seven_bit(text))
            return false;
    return true;
}

int longest_line(const QString& text) {
    int longest = 0;
    for (const QString& line : text.split(u'\n'))
        longest = std::max(longest, int(line.size()));
    return longest;
}

QStringList told(const ScriptedDialogs& answers) {
    return answers.errors + answers.messages;
}

bool painted(const QLabel* label, const char* text, const char* background) {
    const QString sheet = label->styleSheet();
    return sheet.contains(QStringLiteral("{ color: %1;").arg(QLatin1String(text))) &&
           sheet.contains(QStringLiteral("background-color: %1;").arg(QLatin1String(background)));
}

bool port_label_failed(Session& session) {
    return painted(session.ui().lb_porta, "#ff0000", "#ffffff");
}

bool port_label_open(Session& session) {
    return painted(session.ui().lb_porta, "#0000ff", "#ffff00");
}

bool lamp_red(Session& session) {
    return session.window().lamp_colour() == QColor(255, 0, 0);
}

// Waits until the status timer has ticked `count` more times.
bool wait_ticks(Session& session, int count) {
    int ticks = 0;
    QObject context;
    QObject::connect(session.window().tm_stato, &QTimer::timeout, &context, [&ticks] { ++ticks; });
    return QTest::qWaitFor([&ticks, count] { return ticks >= count; }, kWaitMs);
}

bool wait_table_read(Session& session, int rows) {
    return QTest::qWaitFor(
        [&] {
            return com_state == 3 && !f_avanz->is_shown() && session.ui().grid1->model()->rowCount() == rows;
        },
        kWaitMs);
}

// The controller's answer to a write has been shown in the console (and so handled).
bool wait_write_answered(Session& session) {
    return QTest::qWaitFor(
        [&] {
            const QString console = session.ui().Memo1->toPlainText();
            return console.contains(QLatin1String(sim::kWriteConfirmed)) ||
                   console.contains(QLatin1String(sim::kWriteRefused));
        },
        kWaitMs);
}

void act(Session& session, Action action) {
    Ui::Tdefs& ui = session.ui();
    switch (action) {
    case Action::ReadChannelTwo:
        Session::choose(ui.d9, 1);
        break;
    case Action::ReadTable:
        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        break;
    case Action::ReadSms:
        QTest::mouseClick(ui.btn_tel2, Qt::LeftButton);
        break;
    }
}

FrameKind follow_up_of(Action action) {
    switch (action) {
    case Action::ReadChannelTwo:
        return FrameKind::ReadConfig;
    case Action::ReadTable:
        return FrameKind::ReadTable;
    case Action::ReadSms:
        return FrameKind::ReadSms;
    }
    return FrameKind::Unknown;
}

// One operator's round through every request, recorded for comparison between a clean and a faulty line.
struct DayRecord {
    QStringList channel_one;
    QStringList channel_two;
    TableCopy table;
    QStringList sms;
    QByteArray config_write; // the "W" frame as the controller received it
    int state_after_write = 0;
    int stored_config_length = 0; // the configuration line as stored, after the handshake's read
    int longest_console_line = 0;
    bool high_bytes_shown = false; // a byte of 128 or above reached the console or a field
    bool high_bytes_sent = false;  // the controller put such bytes on the line
    QStringList told;
    QStringList flags; // what the controller's side found wrong with the program's frames
};

void run_day(const sim::SimOptions& options, DayRecord& day) {
    Session session(options);
    session.start_program();
    QVERIFY(session.wait_connected());
    Tdefs& window = session.window();
    Ui::Tdefs& ui = session.ui();
    day.channel_one = channel_fields(window);
    day.stored_config_length = int(stations[1].rx_lines[1].text().size());

    Session::choose(ui.d9, 1);
    QVERIFY(session.wait_request_done());
    day.channel_two = channel_fields(window);

    QTest::mouseClick(ui.butt9, Qt::LeftButton);
    QVERIFY(wait_table_read(session, int(session.controller().channel(2).table.size())));
    day.table = table_copy();

    QTest::mouseClick(ui.btn_tel2, Qt::LeftButton);
    QVERIFY(session.wait_request_done());
    day.sms = sms_fields(window);

    QTest::mouseClick(ui.butt1, Qt::LeftButton);
    QVERIFY(wait_write_answered(session));
    day.state_after_write = com_state;
    const std::vector<sim::Frame> writes = session.frames_of(FrameKind::WriteConfig);
    QCOMPARE(writes.size(), size_t(1));
    day.config_write = writes.front().raw;

    const QString console = ui.Memo1->toPlainText();
    day.longest_console_line = longest_line(console);
    day.high_bytes_shown = !seven_bit(console) || !seven_bit(day.channel_one) ||
                           !seven_bit(day.channel_two) || !seven_bit(day.sms);
    for (const sim::SentReply& reply : session.controller().replies())
        for (const char byte : reply.bytes)
            day.high_bytes_sent = day.high_bytes_sent || static_cast<unsigned char>(byte) >= 128;
    day.told = told(session.answers());
    for (const sim::LogFlag& flag : session.controller().flags())
        day.flags << sim::flag_name(flag.kind);
}

std::unique_ptr<Session> connected_session(const sim::SimOptions& options = {}) {
    auto session = std::make_unique<Session>(options);
    session->start_program();
    if (!session->wait_connected())
        return nullptr;
    return session;
}

} // namespace

// What the operator meets when the controller or the line misbehaves: the window stays usable, nothing is
// lost or half-applied, and the operator is told at most once.
class TestE2eFaults : public QObject {
    Q_OBJECT

    // Clean-line rounds, one per controller variant, kept for the whole run.
    std::map<std::pair<int, bool>, DayRecord> m_clean;

    const DayRecord* clean_day(int relays, bool closing_dollar) {
        const auto key = std::make_pair(relays, closing_dollar);
        if (const auto found = m_clean.find(key); found != m_clean.end())
            return &found->second;
        sim::SimOptions options;
        options.relays = relays;
        options.closing_dollar = closing_dollar;
        DayRecord day;
        run_day(options, day);
        if (QTest::currentTestFailed())
            return nullptr;
        return &m_clean.emplace(key, day).first->second;
    }

private Q_SLOTS:
    void replies_decode_as_on_a_clean_line_data() {
        QTest::addColumn<FaultMode>("fault");
        QTest::addColumn<int>("relays");
        QTest::addColumn<bool>("closing_dollar");
        QTest::newRow("garbage") << FaultMode::Garbage << 16 << true;
        QTest::newRow("garbage, 4 relays, no closing $") << FaultMode::Garbage << 4 << false;
        QTest::newRow("split into single bytes") << FaultMode::Split << 16 << true;
        QTest::newRow("split, no closing $") << FaultMode::Split << 16 << false;
        QTest::newRow("overlong lines") << FaultMode::Overlong << 16 << true;
        QTest::newRow("overlong, no closing $") << FaultMode::Overlong << 16 << false;
        QTest::newRow("overlong, 4 relays, no closing $") << FaultMode::Overlong << 4 << false;
    }

    void replies_decode_as_on_a_clean_line() {
        QFETCH(FaultMode, fault);
        QFETCH(int, relays);
        QFETCH(bool, closing_dollar);
        const DayRecord* clean = clean_day(relays, closing_dollar);
        QVERIFY(clean);
        QCOMPARE(clean->state_after_write, 4);
        QCOMPARE(clean->flags, QStringList());

        sim::SimOptions options;
        options.relays = relays;
        options.closing_dollar = closing_dollar;
        options.fault = fault;
        DayRecord day;
        run_day(options, day);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(day.channel_one, clean->channel_one);
        QCOMPARE(day.channel_two, clean->channel_two);
        QCOMPARE(day.table.row_count, clean->table.row_count);
        QVERIFY(day.table == clean->table);
        QCOMPARE(day.sms, clean->sms);
        QCOMPARE(day.config_write, clean->config_write);
        QCOMPARE(day.told, QStringList());
        QCOMPARE(day.flags, QStringList());
        QVERIFY(!day.high_bytes_shown);
        QCOMPARE(day.high_bytes_sent, fault == FaultMode::Garbage);

        if (fault == FaultMode::Overlong) {
            // Stored cut to 230 characters, shown whole in the console.
            QVERIFY(clean->stored_config_length < limits::kRxLineLength);
            QCOMPARE(day.stored_config_length, limits::kRxLineLength);
            QCOMPARE(day.longest_console_line, limits::kSimOverlongLine);
            // The padded acknowledgement no longer ends in "NORMALE" and one character: the write is
            // stored by the controller but not taken as confirmed, which the window does not show anyway.
            QCOMPARE(day.state_after_write, 3);
        } else {
            QCOMPARE(day.stored_config_length, clean->stored_config_length);
            QCOMPARE(day.longest_console_line, clean->longest_console_line);
            QCOMPARE(day.state_after_write, clean->state_after_write);
        }
    }

    void silence_data() {
        QTest::addColumn<FaultMode>("fault");
        QTest::addColumn<Action>("action");
        QTest::newRow("silent, channel read") << FaultMode::Silent << Action::ReadChannelTwo;
        QTest::newRow("silent, table read") << FaultMode::Silent << Action::ReadTable;
        QTest::newRow("silent, SMS read") << FaultMode::Silent << Action::ReadSms;
        QTest::newRow("silent follow-up, channel read")
            << FaultMode::SilentFollowup << Action::ReadChannelTwo;
        QTest::newRow("silent follow-up, table read") << FaultMode::SilentFollowup << Action::ReadTable;
        QTest::newRow("silent follow-up, SMS read") << FaultMode::SilentFollowup << Action::ReadSms;
    }

    void silence() {
        QFETCH(FaultMode, fault);
        QFETCH(Action, action);
        const std::unique_ptr<Session> session = connected_session();
        QVERIFY(session);
        Ui::Tdefs& ui = session->ui();
        Tdefs& window = session->window();
        // Something in every place a reply could spoil.
        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        QVERIFY(wait_table_read(*session, 40));
        QTest::mouseClick(ui.btn_tel2, Qt::LeftButton);
        QVERIFY(session->wait_request_done());
        QVERIFY(!ui.txt_t1->text().isEmpty());
        const QStringList fields = channel_fields(window);
        const QStringList sms = sms_fields(window);
        const TableCopy table = table_copy();

        session->controller().set_fault(fault);
        session->controller().clear_records();
        act(*session, action);
        QVERIFY(lamp_red(*session));
        QVERIFY(!ui.Panel4->isEnabled());
        QVERIFY(!ui.Panel2->isEnabled());
        if (fault == FaultMode::Silent)
            QTRY_COMPARE_WITH_TIMEOUT(session->frames_of(FrameKind::Dollar).size(), size_t(1), kWaitMs);
        else
            QTRY_COMPARE_WITH_TIMEOUT(session->frames_of(follow_up_of(action)).size(), size_t(1), kWaitMs);
        // The reply timer gives the panels back; the lamp stays red and the status stays connected.
        QTRY_VERIFY_WITH_TIMEOUT(ui.Panel4->isEnabled() && ui.Panel2->isEnabled(), kWaitMs);
        QVERIFY(wait_ticks(*session, 2));
        QVERIFY(lamp_red(*session));
        QCOMPARE(com_state, fault == FaultMode::Silent ? 1 : 2);
        QCOMPARE(ui.lb_stato->text(), QStringLiteral("Centralina collegata correttamente"));
        QCOMPARE(device_connected, 1);
        QVERIFY(!ui.p_dett->isHidden());
        QVERIFY(!ui.rett1->isHidden());
        QVERIFY(ui.d9->isEnabled());
        QCOMPARE(told(session->answers()), QStringList());

        // Only what the request itself empties before the controller answers is gone.
        QCOMPARE(channel_fields(window), fields);
        QCOMPARE(sms_fields(window), action == Action::ReadTable ? sms : QStringList(4, QString()));
        if (action == Action::ReadChannelTwo) {
            QCOMPARE(tank_tables[1].row_count, 0);
            QVERIFY(table_copy().rows == table.rows);
        } else {
            QVERIFY(table_copy() == table);
        }
        // A table read that is never answered leaves its progress window up until a reply ends a transfer.
        QCOMPARE(f_avanz->is_shown(), action == Action::ReadTable);

        // The controller speaks again: the same request goes through.
        session->controller().set_fault(FaultMode::None);
        act(*session, action);
        QVERIFY(session->wait_request_done());
        switch (action) {
        case Action::ReadChannelTwo:
            QTRY_COMPARE_WITH_TIMEOUT(ui.d3->text(), QStringLiteral("BENZINA SUD     "), kWaitMs);
            break;
        case Action::ReadTable:
            QVERIFY(wait_table_read(*session, 40));
            QVERIFY(table_copy() == table);
            break;
        case Action::ReadSms:
            QCOMPARE(sms_fields(window), sms);
            break;
        }
        QCOMPARE(session->window().lamp_colour(), QColor(0, 255, 0));
        QVERIFY(!f_avanz->is_shown());
        QCOMPARE(told(session->answers()), QStringList());
    }

    void refused_configuration_data() {
        QTest::addColumn<bool>("wrong_kind");
        QTest::addColumn<bool>("at_startup");
        QTest::addColumn<QString>("error");
        // "ERR" has no field 3, whose product and unit codes are then no integer.
        const QString empty_code = QStringLiteral("'' is not a valid integer value");
        QTest::newRow("answer of the wrong kind") << true << false << empty_code;
        QTest::newRow("answer of the wrong kind at start-up") << true << true << empty_code;
        // A "$" inside the description shifts every later field: field 3 becomes the description's tail.
        QTest::newRow("garbled configuration")
            << false << false << QStringLiteral("'CD' is not a valid integer value");
    }

    void refused_configuration() {
        QFETCH(bool, wrong_kind);
        QFETCH(bool, at_startup);
        QFETCH(QString, error);
        sim::SimOptions options;
        if (at_startup)
            options.fault = FaultMode::WrongKind;
        auto session = std::make_unique<Session>(options);
        session->start_program();
        Ui::Tdefs& ui = session->ui();
        Tdefs& window = session->window();
        const sim::SimState held = session->controller().state();
        // Taken before any reply is handled at start-up: replies come only through the event loop.
        QStringList fields = channel_fields(window);
        if (at_startup) {
            // The handshake goes through; the read of channel 1 that follows it is refused.
            QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(),
                                      QStringLiteral("Centralina collegata correttamente"), kWaitMs);
            QCOMPARE(ui.d9->count(), 2);
        } else {
            QVERIFY(session->wait_connected());
            fields = channel_fields(window);
        }
        if (wrong_kind) {
            session->controller().set_fault(FaultMode::WrongKind);
        } else {
            sim::SimState garbled = held;
            garbled.channels[1].description = QStringLiteral("AB$CD");
            session->controller().set_state(garbled);
        }

        if (!at_startup)
            Session::choose(ui.d9, 1);
        QTRY_COMPARE_WITH_TIMEOUT(session->answers().errors, QStringList{error}, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(ui.Panel4->isEnabled() && ui.Panel2->isEnabled(), kWaitMs);
        QVERIFY(wait_ticks(*session, 2));
        // One box, nothing applied: the fields show what they showed before, the request stays unfinished.
        QCOMPARE(session->answers().errors, QStringList{error});
        QCOMPARE(session->answers().messages, QStringList());
        QCOMPARE(channel_fields(window), fields);
        QCOMPARE(com_state, 2);
        QVERIFY(lamp_red(*session));
        QCOMPARE(ui.lb_stato->text(), QStringLiteral("Centralina collegata correttamente"));

        // A controller that answers properly again: channel 2 reads, no further box.
        session->controller().set_fault(FaultMode::None);
        session->controller().set_state(held);
        Session::choose(ui.d9, 1);
        QVERIFY(session->wait_request_done());
        QTRY_COMPARE_WITH_TIMEOUT(ui.d3->text(), QStringLiteral("BENZINA SUD     "), kWaitMs);
        QCOMPARE(ui.d2->text(), QStringLiteral("00124"));
        QCOMPARE(session->window().lamp_colour(), QColor(0, 255, 0));
        QCOMPARE(session->answers().errors, QStringList{error});
    }

    void table_of_2500_lines_keeps_2000_rows() {
        sim::SimOptions options;
        options.fault = FaultMode::Table2500;
        const std::unique_ptr<Session> session = connected_session(options);
        QVERIFY(session);
        Ui::Tdefs& ui = session->ui();
        const QStringList fields = channel_fields(session->window());

        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        QVERIFY(wait_table_read(*session, limits::kTableRows));
        QTRY_COMPARE_WITH_TIMEOUT(session->answers().messages.size(), 1, kWaitMs);
        QCOMPARE(tank_tables[1].row_count, limits::kTableRows);
        QCOMPARE(tank_tables[1].rows[1], (TStrapRow{0, 0}));
        QCOMPARE(tank_tables[1].rows[limits::kTableRows],
                 (TStrapRow{double((limits::kTableRows - 1) * 10), double((limits::kTableRows - 1) * 26)}));
        QCOMPARE(f_avanz->label(), QString::number(limits::kSimLongTable)); // every line was counted
        const QString message = session->answers().messages.front();
        QVERIFY2(message.contains(QStringLiteral("2500")) && message.contains(QStringLiteral("2000")) &&
                     message.contains(QStringLiteral("500")),
                 qPrintable(message));
        QCOMPARE(session->answers().errors, QStringList());
        QCOMPARE(channel_fields(session->window()), fields);

        // A normal table afterwards replaces it whole and tells nothing more.
        session->controller().set_fault(FaultMode::None);
        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        QVERIFY(wait_table_read(*session, 40));
        QCOMPARE(tank_tables[1].row_count, 40);
        QCOMPARE(tank_tables[1].rows[41], (TStrapRow{-1, -1}));
        QCOMPARE(tank_tables[1].rows[limits::kTableRows], (TStrapRow{-1, -1}));
        QCOMPARE(told(session->answers()).size(), 1);
    }

    void hangup_in_the_middle_of_a_table() {
        const std::unique_ptr<Session> session = connected_session();
        QVERIFY(session);
        Ui::Tdefs& ui = session->ui();
        Tdefs& window = session->window();
        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        QVERIFY(wait_table_read(*session, 40));
        // The table in the window differs from the controller's, so a half-replaced one would show.
        QVERIFY(ui.grid1->model()->setData(ui.grid1->model()->index(30, 1), QStringLiteral("4321")));
        const TableCopy table = table_copy();
        QCOMPARE(table.rows[30].volume, 4321.0);
        const QStringList fields = channel_fields(window);

        QSignalSpy lost(cf->port1, &ComPort::PortLost);
        session->controller().set_fault(FaultMode::HangupMidTable);
        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(session->controller().hung_up(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(port_label_failed(*session), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina non collegata"), kWaitMs);
        QVERIFY(wait_ticks(*session, 2));
        QCOMPARE(lost.size(), 1);
        QCOMPARE(device_connected, 0);
        QVERIFY(ui.p_dett->isHidden());
        QVERIFY(!ui.d9->isEnabled());
        // Half the rows had arrived when the line went; the table in memory is the old one, whole.
        QCOMPARE(stations[1].rx_line_count, 20);
        QCOMPARE(com_state, 2);
        QCOMPARE(tank_tables[1].row_count, 40);
        QVERIFY(table_copy() == table);
        QCOMPARE(ui.grid1->model()->rowCount(), 40);
        QCOMPARE(channel_fields(window), fields);
        QCOMPARE(told(session->answers()), QStringList());

        // A new controller on the same port number: choosing the port again reconnects.
        session->replace_controller();
        Session::choose(ui.combo_porta, 0);
        QVERIFY(session->wait_connected());
        QVERIFY(port_label_open(*session));
        QVERIFY(!f_avanz->is_shown());
        QCOMPARE(lost.size(), 1);
        QCOMPARE(told(session->answers()), QStringList());
        QTest::mouseClick(ui.butt9, Qt::LeftButton);
        QVERIFY(wait_table_read(*session, 40));
    }

    void port_held_by_another_program_data() {
        QTest::addColumn<bool>("at_startup");
        QTest::newRow("at start-up") << true;
        QTest::newRow("chosen while connected elsewhere") << false;
    }

    void port_held_by_another_program() {
        QFETCH(bool, at_startup);
        Session session;
        if (!at_startup) {
            session.start_program();
            QVERIFY(session.wait_connected());
            session.replace_controller(); // COM1 now names a device nobody has open yet
        }
        QSerialPort holder;
        holder.setPortName(QFileInfo(session.controller().device_path()).canonicalFilePath());
        QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));

        if (at_startup)
            session.start_program();
        else
            Session::choose(session.ui().combo_porta, 0);
        Ui::Tdefs& ui = session.ui();
        QVERIFY(port_label_failed(session));
        QCOMPARE(device_connected, 0);
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina non collegata"), kWaitMs);
        QVERIFY(ui.p_dett->isHidden());
        QCOMPARE(told(session.answers()), QStringList()); // shown by colour alone
        QVERIFY(session.controller().frames().empty());

        holder.close();
        Session::choose(ui.combo_porta, 0);
        QVERIFY(session.wait_connected());
        QVERIFY(port_label_open(session));
        QCOMPARE(told(session.answers()), QStringList());
    }

    void device_path_disappears_and_comes_back() {
        QTemporaryDir links;
        QVERIFY(links.isValid());
        const QString link = links.filePath(QStringLiteral("ttyTANK"));
        sim::SimOptions options;
        options.link_path = link;
        Session session(options);
        qputenv("TANKDEF_COM1", link.toLocal8Bit()); // the program knows the port by the link alone
        session.start_program();
        QVERIFY(session.wait_connected());
        Ui::Tdefs& ui = session.ui();
        QSignalSpy lost(cf->port1, &ComPort::PortLost);

        session.controller().stop();
        QVERIFY(!QFileInfo::exists(link));
        QTRY_VERIFY_WITH_TIMEOUT(port_label_failed(session), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(ui.lb_stato->text(), QStringLiteral("Centralina non collegata"), kWaitMs);
        QCOMPARE(lost.size(), 1);

        // Chosen while the path is gone: colour alone again.
        Session::choose(ui.combo_porta, 0);
        QVERIFY(port_label_failed(session));
        QCOMPARE(device_connected, 0);
        QCOMPARE(told(session.answers()), QStringList());

        session.replace_controller();
        qputenv("TANKDEF_COM1", link.toLocal8Bit());
        QVERIFY(QFileInfo::exists(link));
        QCOMPARE(QFileInfo(link).canonicalFilePath(),
                 QFileInfo(session.controller().device_path()).canonicalFilePath());
        Session::choose(ui.combo_porta, 0);
        QVERIFY(session.wait_connected());
        QVERIFY(port_label_open(session));
        QCOMPARE(lost.size(), 1);
        QCOMPARE(told(session.answers()), QStringList());
    }
};

QTEST_MAIN(TestE2eFaults)
#include "test_e2e_faults.moc"
