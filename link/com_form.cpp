#include "com_form.h"

#include "dialogs.h"
#include "errors.h"
#include "init_proc.h"
#include "progress_view.h"
#include "tipi.h"

#include <QTimer>

Tcf* cf = nullptr;

namespace {

TStationRec& line_record() {
    return stations[cur_station];
}

// Every request and every follow-up frame starts the line afresh.
void reset_line_state() {
    TStationRec& station = line_record();
    station.rx_state = 1;
    station.rx_mode = 2;
    station.rx_line_count = 0;
    station.rx_lines_dropped = 0;
}

QByteArray channel_letter(qint32 n) {
    // Channel n is addressed by chr(64 + n); the byte wraps like the controller's 8-bit character would.
    return QByteArray(1, char(static_cast<unsigned char>(64 + n)));
}

void store_line(TStationRec& station, const QByteArray& line) {
    if (station.rx_line_count >= limits::kRxLineCount) {
        // The buffer is full: further lines are dropped and counted, never written past the array.
        ++station.rx_lines_dropped;
        return;
    }
    ++station.rx_line_count;
    station.rx_lines[station.rx_line_count].assign(line);
}

} // namespace

Tcf::Tcf(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("cf"));
    port1 = new ComPort(this);
    port1->setObjectName(QStringLiteral("port1"));
    port1->setTraceName(QStringLiteral("APRO.TRC"));
    tm_timeout = new QTimer(this);
    tm_timeout->setObjectName(QStringLiteral("tm_timeout"));
    tm_timeout->setInterval(limits::kReplyTimeoutMs);

    connect(tm_timeout, &QTimer::timeout, this, [this] { run_handler([this] { tm_timeoutTimer(); }); });
    connect(port1, &ComPort::TriggerAvail, this,
            [this](quint16 count) { run_handler([this, count] { port1TriggerAvail(count); }); });
    connect(port1, &ComPort::PortLost, this, [this](const QString& error) {
        // Only a port that is gone makes the controller disconnected; a silent controller does not.
        device_connected = 0;
        if (m_view)
            m_view->port_lost(error);
    });
}

Tcf::~Tcf() = default;

void Tcf::attach(DeviceView* view, ProgressView* progress) {
    m_view = view;
    m_progress = progress;
}

void Tcf::set_char_writer(CharWriter writer) {
    m_writer = std::move(writer);
}

void Tcf::set_waiter(Waiter waiter) {
    m_waiter = std::move(waiter);
}

DeviceView& Tcf::view() const {
    if (!m_view)
        qFatal("the device link is used before a window was attached");
    return *m_view;
}

ProgressView& Tcf::progress() const {
    if (!m_progress)
        qFatal("the device link is used before a progress window was attached");
    return *m_progress;
}

void Tcf::pause(double seconds) {
    if (m_waiter)
        m_waiter(seconds);
    else
        wait_seconds(seconds);
}

// ---- Frame transmitter ----

void Tcf::send_frame(const QByteArray& frame, qint32 no_echo) {
    pause(limits::kPreFrameWait);
    if (no_echo == 0)
        view().console_append(frame);
    for (qsizetype i = 0; i < frame.size(); ++i) {
        const QByteArray one = frame.mid(i, 1);
        if (m_writer)
            m_writer(one);
        else
            port1->WriteString(one);
        // The controller takes at most 20 characters at a time.
        if ((i + 1) % limits::kBurstLength == 0)
            pause(limits::kBurstWait);
    }
    view().set_lamp_busy(true);
    view().set_panels_enabled(false);
    if (!tm_timeout->isActive())
        tm_timeout->start();
    write_log_line("D - " + frame);
}

void Tcf::tm_timeoutTimer() {
    view().set_panels_enabled(true);
    tm_timeout->stop();
}

// ---- Requests ----

void Tcf::send_handshake() {
    reset_line_state();
    line_record().rx_frame = QStringLiteral("N");
    cmd_letter = "N";
    com_state = 1;
    send_frame("$", 0);
}

void Tcf::start_request(const QByteArray& letter) {
    cmd_letter = letter;
    com_state = 1;
    reset_line_state();
    line_record().rx_frame = QStringLiteral("$");
    send_frame(to_byte_text(line_record().rx_frame), 0);
}

void Tcf::read_channel(qint32 n) {
    cmd_address = channel_letter(n);
    start_request("R");
}

void Tcf::send_config(qint32 n, const QString& payload) {
    cmd_payload = payload;
    cmd_address = channel_letter(n);
    start_request("W");
}

void Tcf::read_table(qint32 n) {
    progress().show_transfer();
    cmd_address = channel_letter(n);
    start_request("G");
}

void Tcf::send_table(qint32 n, const QString& payload) {
    progress().show_transfer();
    const int language = view().language();
    if (language == 0)
        progress().set_label(
            translate_msg(QStringLiteral("Attendere. Scarico tabella in corso!!"), msg_language));
    else if (language == 1)
        progress().set_label(
            translate_msg(QStringLiteral("Please wait. Writing table on device!!"), msg_language));
    cmd_payload = payload;
    cmd_address = channel_letter(n);
    start_request("C");
}

void Tcf::read_sms() {
    start_request("S");
}

void Tcf::write_sms() {
    start_request("T");
}

// ---- Receive path ----

void Tcf::port1TriggerAvail(quint16 count) {
    QByteArray text;
    text.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int byte = port1->ReadChar();
        // The protocol is 7-bit: anything above is line noise.
        if (byte < 128)
            text.append(char(byte));
    }
    port1_oldReceiveCallBack(text);
}

void Tcf::port1_oldReceiveCallBack(const QByteArray& data) {
    const QByteArray text = strip_lf(data);
    QString& pending = rx_fields[0];
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r')
            continue;
        pending += QString::fromLatin1(text.constData() + start, i - start);
        start = i + 1;
        line_ended();
    }
    pending += QString::fromLatin1(text.constData() + start, text.size() - start);
}

void Tcf::line_ended() {
    TStationRec& station = line_record();
    const QByteArray line = to_byte_text(rx_fields[0]);
    station.rx_state = 1;
    if (station.rx_mode == 2) {
        if (cmd_letter == "G" && com_state == 2) {
            if (line.size() >= 5 && line.left(5).toUpper() == "65000") {
                station.rx_state = 2; // the end-of-table marker is not stored
            } else {
                store_line(station, line);
                progress().set_label(QString::number(station.rx_line_count + station.rx_lines_dropped));
            }
        } else {
            store_line(station, line);
            station.rx_state = 2;
        }
    }
    view().console_append(line);
    rx_fields[0].clear();
    exchange_step();
}

// ---- Command exchange ----

void Tcf::exchange_step() {
    TStationRec& station = line_record();
    if (station.rx_state != 2)
        return;
    dispatch_reply(1);
    view().set_lamp_busy(false);
    view().set_panels_enabled(true);
    if (com_state == 2) {
        pause(limits::kFollowUpWait);
        const QString previous_frame = station.rx_frame;
        reset_line_state();
        QStringList sms;
        if (cmd_letter == "T") {
            for (int field = 1; field <= limits::kSmsFieldCount; ++field)
                sms << view().sms_text(field);
        }
        const FollowUp follow_up = build_follow_up(cmd_letter, cmd_address, previous_frame, cmd_payload, sms);
        station.rx_frame = follow_up.frame;
        if (follow_up.final)
            com_state = 3;
        send_frame(to_byte_text(station.rx_frame), 0);
    } else if (com_state == 3) {
        progress().hide_transfer();
    }
}

// ---- Reply dispatcher ----

void Tcf::dispatch_reply(qint32 line) {
    const TStationRec& station = stations[line];
    const QString reply = station.rx_lines[1].text();
    write_log_line("R - " + station.rx_lines[1].bytes());
    switch (com_state) {
    case 1:
        com_state = 2;
        break;
    case 2:
        if (cmd_letter == "R") {
            decode_channel_config(reply);
            com_state = 3;
        } else if (station.rx_frame == QStringLiteral("N\r")) {
            decode_identification(reply);
        } else if (station.rx_frame.startsWith(u'S')) {
            decode_sms(reply);
            com_state = 3;
        } else if (station.rx_frame.startsWith(u'T')) {
            com_state = 3;
        } else if (cmd_letter == "G") {
            decode_table(line);
        }
        break;
    case 3:
        if (is_normale(reply))
            com_state = 4;
        break;
    default:
        break;
    }
}

void Tcf::decode_identification(const QString& reply) {
    const Identification id = parse_identification(reply);
    device_connected = 1;
    channel_count = id.channels;
    view().show_identification(channel_count, id.sixteen_relays);
    view().channel_change();
}

void Tcf::decode_channel_config(const QString& reply) {
    // Checked whole before any control changes, so a bad reply leaves the window as it was.
    view().show_channel_config(parse_channel_config(reply, QLocale()));
}

void Tcf::decode_sms(const QString& reply) {
    const QStringList fields = parse_sms_record(reply);
    for (int i = 0; i < fields.size() && i < limits::kSmsFieldCount; ++i)
        view().set_sms_text(i + 1, fields[i]);
}

void Tcf::decode_table(qint32 line) {
    const TStationRec& station = stations[line];
    QStringList lines;
    lines.reserve(station.rx_line_count);
    for (int r = 1; r <= station.rx_line_count; ++r) {
        write_log_line("R - " + station.rx_lines[r].bytes());
        lines << station.rx_lines[r].text();
    }
    // Decoded into a temporary first: a number too large leaves the old table whole.
    const std::vector<TStrapRow> rows = parse_table_lines(lines);
    TTankTableRec& table = tank_tables[1];
    clear_table_rows(table);
    for (int r = 1; r <= int(rows.size()); ++r)
        table.rows[r] = rows[size_t(r - 1)];
    table.row_count = qint32(rows.size());
    progress().hide_transfer();
    view().refresh_grid();
    com_state = 3;
    if (station.rx_lines_dropped > 0) {
        const QString text =
            QStringLiteral("The controller sent %1 table lines, more than the %2 rows a table "
                           "holds. The first %2 rows were kept; the other %3 lines were "
                           "dropped.")
                .arg(station.rx_line_count + station.rx_lines_dropped)
                .arg(limits::kTableRows)
                .arg(station.rx_lines_dropped);
        // Told from the event loop, after this reply is handled, so no modal loop runs inside the exchange.
        QMetaObject::invokeMethod(
            this, [text] { dialogs().message(text); }, Qt::QueuedConnection);
    }
}
