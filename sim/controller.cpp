#include "controller.h"

#include "pty.h"

#include <QTime>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr qint64 kRestUs = 10'000;          // while nobody has the device open, look again this often
constexpr qint64 kDrainCheckUs = 10'000;    // how often a pending hang-up looks at the program's input
constexpr int kDrainedChecks = 3;           // consecutive empty looks before the line is hung up
constexpr qint64 kUnknownDrainUs = 500'000; // when the input cannot be looked at, wait this long instead
constexpr std::array<char, 4> kHighJunk = {char(0x80), char(0xC8), char(0xE9), char(0xFF)};
constexpr int kJunkEvery = 5;

qint64 steady_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void check_channels(int channels) {
    if (channels < 1 || channels > kMaxSimChannels)
        throw std::invalid_argument("the channel count must lie between 1 and " +
                                    std::to_string(kMaxSimChannels));
}

void check_relays(int relays) {
    if (relays != 4 && relays != limits::kRelayCount)
        throw std::invalid_argument("the relay count must be 4 or 16");
}

// Bytes of 128 and above and line feeds, which the program drops, among the reply's own; the answer to
// "$" also carries control characters, since its content plays no part.
QByteArray with_garbage(const QByteArray& bytes, bool dollar_answer) {
    QByteArray out;
    out += kLF;
    out += kHighJunk[1];
    if (dollar_answer)
        out += QByteArray("\x00\x07\x7f", 3);
    int junk = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (i % kJunkEvery == kJunkEvery - 1)
            out += kHighJunk[std::size_t(junk++) % kHighJunk.size()];
    }
    return out;
}

// Empties what the program would read next: bytes meant for a session that has ended. Best effort: a
// device held exclusively by someone else cannot be opened, and then nothing is lost either.
void flush_device_input(const QString& device) {
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    tcflush(fd, TCIFLUSH);
    ::close(fd);
}

QString pty_path_for_log(const QString& link, const QString& device) {
    return link.isEmpty() ? device : link + " -> " + device;
}

} // namespace

const std::vector<FaultInfo>& fault_modes() {
    static const std::vector<FaultInfo> modes = {
        {FaultMode::None, "none", "behave (the default)"},
        {FaultMode::Silent, "silent", "answer nothing at all; writes are not stored"},
        {FaultMode::SilentFollowup, "silent-followup", "answer \"$\" but not the frame that follows it"},
        {FaultMode::Garbage, "garbage",
         "put bytes of 128 and above and stray line feeds inside every reply, control characters in the "
         "answer to \"$\""},
        {FaultMode::Split, "split", "send every reply one byte at a time with small pauses"},
        {FaultMode::Overlong, "overlong", "pad every reply line with blanks to 300 characters"},
        {FaultMode::Table2500, "table-2500", "answer \"G\" with a table of 2500 rows"},
        {FaultMode::HangupMidTable, "hangup-mid-table",
         "answer \"G\" with half the table, wait until the program has read it, then hang up (the device "
         "vanishes; restart the simulator to serve again)"},
        {FaultMode::WrongKind, "wrong-kind", "answer \"R\" with \"ERR\" instead of a configuration"},
    };
    return modes;
}

std::optional<FaultMode> fault_from_name(const QString& name) {
    for (const FaultInfo& info : fault_modes()) {
        if (info.name == name)
            return info.mode;
    }
    return std::nullopt;
}

QString fault_name(FaultMode mode) {
    for (const FaultInfo& info : fault_modes()) {
        if (info.mode == mode)
            return info.name;
    }
    return {};
}

QString flag_name(FlagKind kind) {
    switch (kind) {
    case FlagKind::Burst:
        return "BURST";
    case FlagKind::UnknownCommand:
        return "UNKNOWN-COMMAND";
    case FlagKind::TableAbandoned:
        return "TABLE-ABANDONED";
    case FlagKind::WriteRefused:
        return "WRITE-REFUSED";
    }
    return {};
}

QString escape_bytes(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r')
            out += "<CR>";
        else if (c == '\n')
            out += "<LF>";
        else if (c == '\t')
            out += "<TAB>";
        else if (c >= 0x20 && c < 0x7f && c != '<')
            out += QChar(c);
        else
            out += "<x" + QString::number(c, 16).toUpper().rightJustified(2, QLatin1Char('0')) + ">";
    }
    return out;
}

ControllerSimulator::ControllerSimulator(SimOptions options)
    : m_epoch_ns(steady_ns()), m_options(std::move(options)) {
    check_channels(m_options.channels);
    check_relays(m_options.relays);
    m_state = sample_state(m_options.channels);
}

ControllerSimulator::~ControllerSimulator() {
    stop();
}

qint64 ControllerSimulator::now_us() const {
    return (steady_ns() - m_epoch_ns) / 1000;
}

void ControllerSimulator::start() {
    if (m_running)
        throw std::runtime_error("the simulator is already running");
    {
        std::lock_guard lock(m_mutex);
        if (!m_options.state_file.isEmpty()) {
            SimState loaded;
            if (load_state_file(m_options.state_file, loaded))
                m_state = std::move(loaded);
        }
        ensure_channels(m_state, m_options.channels);
        if (!m_options.log_file.isEmpty())
            open_log_locked(m_options.log_file);
    }
    auto pty = std::make_unique<PseudoTerminal>();
    const QString link = options().link_path;
    if (!link.isEmpty())
        pty->make_link(link);
    const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0)
        throw std::runtime_error("cannot create the wake-up descriptor");
    {
        std::lock_guard lock(m_mutex);
        m_device = pty->device_path();
        m_link = pty->link_path();
    }
    m_pty = std::move(pty);
    m_wake_fd = wake;
    m_assembler.reset();
    m_out.clear();
    m_want_writable = false;
    m_hangup_waiting = false;
    m_hung_up = false;
    m_peer_open = false;
    m_stop = false;
    m_running = true;
    const SimOptions now = options();
    log_line("EV", QStringLiteral("serving %1 (%2 channels, %3 relays, fault %4)")
                       .arg(pty_path_for_log(now.link_path, m_pty->device_path()))
                       .arg(now.channels)
                       .arg(now.relays)
                       .arg(fault_name(now.fault)));
    m_thread = std::thread([this] { run(); });
}

void ControllerSimulator::stop() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake_fd, &one, sizeof one);
    m_thread.join();
    m_running = false;
    ::close(m_wake_fd);
    m_wake_fd = -1;
    m_pty.reset();
    m_out.clear();
    std::lock_guard lock(m_mutex);
    save_state_locked();
    write_log_locked("EV", "stopped", -1);
    m_log.close();
}

bool ControllerSimulator::running() const {
    return m_running;
}

QString ControllerSimulator::device_path() const {
    std::lock_guard lock(m_mutex);
    return m_device;
}

QString ControllerSimulator::link_path() const {
    std::lock_guard lock(m_mutex);
    return m_link;
}

bool ControllerSimulator::hung_up() const {
    return m_hung_up;
}
bool ControllerSimulator::peer_open() const {
    return m_peer_open;
}

SimOptions ControllerSimulator::options() const {
    std::lock_guard lock(m_mutex);
    return m_options;
}

void ControllerSimulator::set_channels(int channels) {
    check_channels(channels);
    std::lock_guard lock(m_mutex);
    m_options.channels = channels;
    ensure_channels(m_state, channels);
}

void ControllerSimulator::set_relays(int relays) {
    check_relays(relays);
    std::lock_guard lock(m_mutex);
    m_options.relays = relays;
}

void ControllerSimulator::set_closing_dollar(bool closing) {
    std::lock_guard lock(m_mutex);
    m_options.closing_dollar = closing;
}

void ControllerSimulator::set_line_rate(bool line_rate) {
    std::lock_guard lock(m_mutex);
    m_options.line_rate = line_rate;
}

void ControllerSimulator::set_fault(FaultMode fault) {
    std::lock_guard lock(m_mutex);
    m_options.fault = fault;
}

void ControllerSimulator::set_state_file(const QString& path) {
    std::lock_guard lock(m_mutex);
    m_options.state_file = path;
}

void ControllerSimulator::set_link_path(const QString& path) {
    std::lock_guard lock(m_mutex);
    m_options.link_path = path;
}

void ControllerSimulator::set_log_file(const QString& path) {
    std::lock_guard lock(m_mutex);
    m_options.log_file = path;
    if (m_running) {
        m_log.close();
        if (!path.isEmpty())
            open_log_locked(path);
    }
}

SimState ControllerSimulator::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

void ControllerSimulator::set_state(SimState state) {
    std::lock_guard lock(m_mutex);
    m_state = std::move(state);
    ensure_channels(m_state, m_options.channels);
}

SimChannel ControllerSimulator::channel(int number) const {
    std::lock_guard lock(m_mutex);
    if (number < 1 || number > int(m_state.channels.size()))
        throw std::out_of_range("no such channel");
    return m_state.channels[std::size_t(number - 1)];
}

QString ControllerSimulator::state_save_error() const {
    std::lock_guard lock(m_mutex);
    return m_save_error;
}

SimSms ControllerSimulator::sms() const {
    std::lock_guard lock(m_mutex);
    return m_state.sms;
}

std::vector<Frame> ControllerSimulator::frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

std::vector<ReceivedChunk> ControllerSimulator::chunks() const {
    std::lock_guard lock(m_mutex);
    return m_chunks;
}

std::vector<SentReply> ControllerSimulator::replies() const {
    std::lock_guard lock(m_mutex);
    return m_replies;
}

std::vector<LogFlag> ControllerSimulator::flags() const {
    std::lock_guard lock(m_mutex);
    return m_flags;
}

void ControllerSimulator::clear_records() {
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_chunks.clear();
    m_replies.clear();
    m_flags.clear();
    ++m_generation;
}

void ControllerSimulator::open_log_locked(const QString& path) {
    m_log.setFileName(path);
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        throw std::runtime_error(("cannot write the log " + path + ": " + m_log.errorString()).toStdString());
}

void ControllerSimulator::log_line(const QString& direction, const QString& text, qint64 at_us) {
    std::lock_guard lock(m_mutex);
    write_log_locked(direction, text, at_us);
}

void ControllerSimulator::write_log_locked(const QString& direction, const QString& text, qint64 at_us) {
    if (!m_log.isOpen())
        return;
    const qint64 now = now_us();
    if (at_us < 0)
        at_us = now;
    m_log.write(QStringLiteral("%1 %2 %3 %4\n")
                    .arg(QTime::currentTime().addMSecs(-(now - at_us) / 1000).toString("hh:mm:ss.zzz"))
                    .arg(double(at_us) / 1000.0, 12, 'f', 3)
                    .arg(direction, text)
                    .toLatin1());
    m_log.flush();
}

void ControllerSimulator::save_state_locked() {
    if (m_options.state_file.isEmpty())
        return;
    try {
        save_state_file(m_options.state_file, m_state);
        m_save_error.clear();
    } catch (const std::runtime_error& e) {
        m_save_error = QString::fromUtf8(e.what());
        write_log_locked("EV", "state not saved: " + m_save_error, -1);
    }
}

void ControllerSimulator::run() {
    while (!m_stop) {
        pollfd fds[2] = {{m_wake_fd, POLLIN, 0}, {-1, 0, 0}};
        qint64 wait_us = -1;
        const qint64 now = now_us();
        if (m_pty) {
            fds[1].fd = m_pty->fd();
            fds[1].events = short(POLLIN | (m_want_writable ? POLLOUT : 0));
            if (!m_peer_open) {
                // Nobody has the device open: the master reports a hang-up at once, so only look again later.
                fds[1].fd = -1;
                wait_us = kRestUs;
            }
            if (!m_out.empty() && !m_want_writable) {
                const qint64 due = m_out.front().next_us < 0 ? now : m_out.front().next_us;
                const qint64 until = std::max<qint64>(0, due - now);
                wait_us = wait_us < 0 ? until : std::min(wait_us, until);
            }
            if (m_hangup_waiting)
                wait_us = wait_us < 0 ? kDrainCheckUs : std::min(wait_us, kDrainCheckUs);
        }
        timespec timeout{};
        timeout.tv_sec = time_t(wait_us / 1'000'000);
        timeout.tv_nsec = long(wait_us % 1'000'000) * 1000;
        const int ready = ppoll(fds, 2, wait_us < 0 ? nullptr : &timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            break;
        if (m_stop)
            break;
        if (fds[0].revents & POLLIN) {
            quint64 value = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wake_fd, &value, sizeof value);
        }
        if (!m_pty)
            continue;
        short revents = fds[1].revents;
        if (fds[1].fd < 0) {
            // Look whether the program has opened the device meanwhile.
            pollfd probe{m_pty->fd(), POLLIN, 0};
            revents = ::poll(&probe, 1, 0) > 0 ? probe.revents : short(0);
        }
        if (revents & (POLLIN | POLLERR))
            serve_input();
        if (revents & POLLHUP) {
            peer_closed();
        } else if (!m_peer_open) {
            m_peer_open = true;
            log_line("EV", "device opened");
        }
        if (revents & POLLOUT)
            m_want_writable = false;
        if (m_pty && m_peer_open)
            pump_output();
        if (m_pty && m_hangup_waiting)
            check_hangup();
    }
}

void ControllerSimulator::serve_input() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_pty->fd(), buffer, sizeof buffer);
        if (n > 0) {
            if (!m_peer_open) {
                m_peer_open = true;
                log_line("EV", "device opened");
            }
            on_chunk(QByteArray(buffer, n), now_us());
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO)
            peer_closed();
        return;
    }
}

void ControllerSimulator::peer_closed() {
    if (!m_peer_open)
        return;
    m_peer_open = false;
    m_want_writable = false;
    m_assembler.reset();
    drop_output("the program closed the device");
    flush_device_input(m_pty->device_path());
    log_line("EV", "device closed by the program");
}

void ControllerSimulator::on_chunk(const QByteArray& bytes, qint64 at_us) {
    {
        std::lock_guard lock(m_mutex);
        m_chunks.push_back({bytes, at_us});
    }
    for (const Frame& frame : m_assembler.feed(bytes, at_us))
        handle(frame);
}

void ControllerSimulator::handle(const Frame& frame) {
    SimOptions options;
    QList<QByteArray> lines;
    bool answered = true;
    bool hangup_after = false;
    QStringList flags;
    {
        std::lock_guard lock(m_mutex);
        options = m_options;
        const auto flag = [&](FlagKind kind) {
            m_flags.push_back({kind, frame.raw, frame.last_us});
            flags << (kind == FlagKind::Burst ? QStringLiteral("FLAG:BURST(%1>%2)")
                                                    .arg(frame.longest_burst)
                                                    .arg(limits::kBurstLength)
                                              : "FLAG:" + flag_name(kind));
        };
        if (frame.burst_violation)
            flag(FlagKind::Burst);

        const bool silent = options.fault == FaultMode::Silent ||
                            (options.fault == FaultMode::SilentFollowup && frame.kind != FrameKind::Dollar);
        const int channels = options.channels;
        const auto addressed = [&]() -> SimChannel* {
            if (frame.body.size() != 1)
                return nullptr;
            const auto index = channel_index(frame.body[0], channels);
            return index ? &m_state.channels[std::size_t(*index)] : nullptr;
        };
        switch (frame.kind) {
        case FrameKind::Dollar:
            lines << kDollarAnswer.toByteArray();
            break;
        case FrameKind::Identify:
            lines << identification_line(channels, options.relays);
            break;
        case FrameKind::ReadConfig:
            if (const SimChannel* c = addressed()) {
                lines << (options.fault == FaultMode::WrongKind
                              ? kWrongKindAnswer.toByteArray()
                              : config_line(*c, frame.body[0], options.relays, options.closing_dollar));
            } else {
                flag(FlagKind::UnknownCommand);
                answered = false;
            }
            break;
        case FrameKind::ReadTable:
            if (const SimChannel* c = addressed()) {
                if (options.fault == FaultMode::Table2500) {
                    std::vector<SimRow> rows;
                    for (int i = 0; i < limits::kSimLongTable; ++i)
                        rows.push_back({i * 10, i * 26});
                    lines = table_lines(rows);
                } else if (options.fault == FaultMode::HangupMidTable) {
                    lines = table_lines(c->table);
                    lines.resize(std::max<qsizetype>(1, qsizetype(c->table.size()) / 2));
                    hangup_after = true;
                } else {
                    lines = table_lines(c->table);
                }
            } else {
                flag(FlagKind::UnknownCommand);
                answered = false;
            }
            break;
        case FrameKind::ReadSms:
            lines << sms_line(m_state.sms);
            break;
        case FrameKind::WriteConfig:
        case FrameKind::WriteTable:
        case FrameKind::WriteSms: {
            if (!frame.complete) {
                flag(FlagKind::TableAbandoned);
                answered = false;
                break;
            }
            if (silent)
                break;
            bool stored = false;
            if (frame.kind == FrameKind::WriteConfig) {
                if (const auto write = parse_config_payload(frame.body, channels)) {
                    apply_config_write(m_state.channels[std::size_t(write->channel)], *write);
                    stored = true;
                }
            } else if (frame.kind == FrameKind::WriteTable) {
                SimChannel* c = addressed();
                const auto rows = parse_table_rows(frame.lines);
                if (c && rows) {
                    c->table = *rows;
                    stored = true;
                }
            } else if (const auto record = parse_sms_record(frame.body)) {
                m_state.sms = *record;
                stored = true;
            }
            if (!stored)
                flag(FlagKind::WriteRefused);
            save_state_locked();
            lines << (stored ? kWriteConfirmed : kWriteRefused).toByteArray();
            break;
        }
        case FrameKind::Unknown:
            flag(FlagKind::UnknownCommand);
            answered = false;
            break;
        }
        if (silent)
            answered = false;
    }
    log_line("RX", escape_bytes(frame.raw) + (flags.isEmpty() ? QString() : " " + flags.join(' ')),
             frame.last_us);
    if (answered && !lines.isEmpty())
        answer(frame.kind, lines, hangup_after);
    // Recorded last, so whoever sees the frame also sees the reply it got.
    std::lock_guard lock(m_mutex);
    m_frames.push_back(frame);
}

void ControllerSimulator::answer(FrameKind to, const QList<QByteArray>& lines, bool hangup_after) {
    SimOptions options = this->options();
    QByteArray bytes;
    for (QByteArray line : lines) {
        if (options.fault == FaultMode::Overlong && line.size() < limits::kSimOverlongLine)
            line += QByteArray(limits::kSimOverlongLine - line.size(), ' ');
        bytes += line + kLineEnd.toByteArray();
    }
    if (options.fault == FaultMode::Garbage)
        bytes = with_garbage(bytes, to == FrameKind::Dollar);
    Outgoing item;
    item.bytes = bytes;
    item.hangup_after = hangup_after;
    if (options.fault == FaultMode::Split) {
        item.one_at_a_time = true;
        item.pace_us = limits::kSimSplitPauseMicros;
    }
    if (options.line_rate)
        item.pace_us = std::max<qint64>(item.pace_us, limits::kLineByteMicros);
    {
        std::lock_guard lock(m_mutex);
        item.reply = m_replies.size();
        item.generation = m_generation;
        m_replies.push_back({to, bytes, now_us(), -1, -1, false});
    }
    m_out.push_back(std::move(item));
}

SentReply* ControllerSimulator::reply_locked(const Outgoing& item) {
    if (item.generation != m_generation || item.reply >= m_replies.size())
        return nullptr;
    return &m_replies[item.reply];
}

void ControllerSimulator::mark_reply_locked(const Outgoing& item, qint64 SentReply::*field, qint64 value) {
    if (SentReply* reply = reply_locked(item))
        reply->*field = value;
}

void ControllerSimulator::pump_output() {
    while (!m_out.empty() && !m_hangup_waiting && !m_want_writable) {
        Outgoing& item = m_out.front();
        const qint64 now = now_us();
        if (item.next_us < 0)
            item.next_us = now;
        if (now < item.next_us)
            return;
        qsizetype count = item.bytes.size() - item.done;
        if (item.one_at_a_time)
            count = 1;
        else if (item.pace_us > 0)
            count = std::min<qsizetype>(count, (now - item.next_us) / item.pace_us + 1);
        const ssize_t n = ::write(m_pty->fd(), item.bytes.constData() + item.done, size_t(count));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                m_want_writable = true;
            else
                drop_output("the line refused the write");
            return;
        }
        if (item.done == 0 && n > 0) {
            {
                std::lock_guard lock(m_mutex);
                mark_reply_locked(item, &SentReply::first_byte_us, now);
            }
            log_line("TX", escape_bytes(item.bytes));
        }
        item.done += n;
        // Pauses between single bytes are kept as pauses; at line rate a late start is caught up.
        if (item.one_at_a_time)
            item.next_us = now + item.pace_us;
        else if (item.pace_us > 0)
            item.next_us += qint64(n) * item.pace_us;
        if (item.done < item.bytes.size()) {
            if (n < count)
                m_want_writable = true;
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            mark_reply_locked(item, &SentReply::done_us, now_us());
        }
        if (item.hangup_after) {
            m_hangup_waiting = true;
            m_hangup_since_us = now_us();
            m_drained_checks = 0;
        }
        m_out.pop_front();
    }
}

void ControllerSimulator::drop_output(const char* why) {
    if (m_out.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        for (const Outgoing& item : m_out) {
            if (SentReply* reply = reply_locked(item))
                reply->dropped = true;
        }
    }
    m_out.clear();
    m_want_writable = false;
    m_hangup_waiting = false;
    log_line("EV", QStringLiteral("replies dropped: %1").arg(QString::fromLatin1(why)));
}

void ControllerSimulator::check_hangup() {
    const int unread = m_pty->pending_output();
    const qint64 waited = now_us() - m_hangup_since_us;
    if (unread == 0)
        ++m_drained_checks;
    else
        m_drained_checks = 0;
    // A byte just written may still be on its way into the device's queue: one empty look is not enough.
    const bool drained = m_drained_checks >= kDrainedChecks || (unread < 0 && waited >= kUnknownDrainUs);
    if (!drained)
        return;
    m_hangup_waiting = false;
    m_out.clear();
    m_want_writable = false;
    m_pty.reset();
    m_peer_open = false;
    m_hung_up = true;
    log_line("EV", "hung up mid-table: the device is gone");
}

} // namespace sim
