#pragma once

#include "sim_protocol.h"
#include "sim_state.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class PseudoTerminal;

namespace sim {

inline constexpr int kMaxSimChannels = 63; // chr(64 + n) stays a 7-bit character

// Ways the controller can misbehave, to try the program against.
enum class FaultMode {
    None,
    Silent,         // answers nothing at all
    SilentFollowup, // answers "$" but not the frame that follows
    Garbage,        // bytes of 128 and above, stray line feeds and control characters inside replies
    Split,          // every reply one byte at a time with small pauses
    Overlong,       // every reply line padded with blanks to 300 characters
    Table2500,      // "G" returns 2500 rows
    HangupMidTable, // "G" sends part of the table, waits until the program has read it, then hangs up
    WrongKind,      // "R" is answered with "ERR" instead of a configuration
};

struct FaultInfo {
    FaultMode mode;
    QString name;        // as given to --fault
    QString description; // one line for --help
};
const std::vector<FaultInfo>& fault_modes();
std::optional<FaultMode> fault_from_name(const QString& name);
QString fault_name(FaultMode mode);

struct SimOptions {
    int channels = 2;                 // 1 to 63, reported in the identification as chr(64 + n)
    int relays = limits::kRelayCount; // 4 or 16
    bool closing_dollar = true;       // the configuration line ends with "$"
    bool line_rate = false;           // replies paced at 9600 baud
    FaultMode fault = FaultMode::None;
    QString state_file; // JSON, loaded at start when it exists, saved after writes and at stop
    QString log_file;   // traffic log, rewritten at start
    QString link_path;  // a symbolic link to the device, made at start
};

// Bytes as one read took them off the line.
struct ReceivedChunk {
    QByteArray bytes;
    qint64 at_us = 0;
    friend bool operator==(const ReceivedChunk&, const ReceivedChunk&) = default;
};

// One reply as it was put on the line.
struct SentReply {
    FrameKind answer_to = FrameKind::Unknown;
    QByteArray bytes;
    qint64 queued_us = 0;
    qint64 first_byte_us = -1; // -1 until its first byte left
    qint64 done_us = -1;       // -1 until its last byte left
    bool dropped = false;      // the program closed the device before it was sent
    friend bool operator==(const SentReply&, const SentReply&) = default;
};

// Something the program did that the controller's side of the line flags.
enum class FlagKind {
    Burst,          // more than 20 characters without a pause
    UnknownCommand, // a frame the controller does not know (also "R"/"G" for a channel it lacks)
    TableAbandoned, // "C" cut short by a new request
    WriteRefused,   // a "W", "C" or "T" whose data did not have its layout
};
QString flag_name(FlagKind kind);

struct LogFlag {
    FlagKind kind = FlagKind::UnknownCommand;
    QByteArray frame; // the frame's raw bytes
    qint64 at_us = 0;
    friend bool operator==(const LogFlag&, const LogFlag&) = default;
};

// The log's text for bytes on the line: printable characters as they are, <CR>, <LF>, <TAB>, others <xHH>.
QString escape_bytes(QByteArrayView bytes);

// The tank-level controller at the far end of a pseudo-terminal, served on a thread of its own so that it
// answers and timestamps bytes as they arrive even while the program's user-interface thread is blocked.
// Every accessor and setter may be called from any thread, before start() and while running.
class ControllerSimulator {
public:
    // Raises std::invalid_argument for a channel count outside 1..kMaxSimChannels or a relay count other than
    // 4 or 16.
    explicit ControllerSimulator(SimOptions options = {});
    ~ControllerSimulator();
    ControllerSimulator(const ControllerSimulator&) = delete;
    ControllerSimulator& operator=(const ControllerSimulator&) = delete;

    // Loads the state file, opens the log, creates the pseudo-terminal and its link, starts serving.
    // Raises std::runtime_error when any of these fails; nothing is left running then.
    void start();
    // Stops serving, saves the state file, closes the line and removes the link. Safe to call twice.
    void stop();
    bool running() const;

    QString device_path() const; // the device the program opens (valid after start)
    QString link_path() const;
    bool hung_up() const;   // the "hangup-mid-table" fault has closed the line
    bool peer_open() const; // someone has the device open, as far as the line shows
    qint64 now_us() const;  // the clock of every timestamp here: microseconds since construction

    SimOptions options() const;
    void set_channels(int channels); // raises std::invalid_argument like the constructor
    void set_relays(int relays);
    void set_closing_dollar(bool closing);
    void set_line_rate(bool line_rate);
    void set_fault(FaultMode fault);
    void set_state_file(const QString& path); // used from the next write request on
    void set_link_path(const QString& path);  // made at the next start()
    void set_log_file(const QString& path);   // reopened at once while running; raises std::runtime_error

    SimState state() const;
    void set_state(SimState state);       // channels are added as samples until the channel count is reached
    SimChannel channel(int number) const; // 1-based; raises std::out_of_range
    SimSms sms() const;
    // Why the last save of the state file failed; empty after a save that worked.
    QString state_save_error() const;

    std::vector<Frame> frames() const;
    std::vector<ReceivedChunk> chunks() const;
    std::vector<SentReply> replies() const;
    std::vector<LogFlag> flags() const;
    void clear_records();

private:
    struct Outgoing {
        QByteArray bytes;
        qint64 pace_us = 0; // between bytes; 0: as fast as the line takes them
        bool one_at_a_time = false;
        bool hangup_after = false;
        std::size_t reply = 0; // index into m_replies (adjusted when the records are cleared)
        qint64 generation = 0; // records generation the index belongs to
        qint64 next_us = -1;   // when the next byte is due; -1 until this item is at the front
        qsizetype done = 0;
    };

    void run();
    void serve_input();
    void on_chunk(const QByteArray& bytes, qint64 at_us);
    void handle(const Frame& frame);
    void answer(FrameKind to, const QList<QByteArray>& lines, bool hangup_after = false);
    void pump_output();
    void drop_output(const char* why);
    void check_hangup();
    void peer_closed();
    void save_state_locked();
    void log_line(const QString& direction, const QString& text, qint64 at_us = -1);
    void write_log_locked(const QString& direction, const QString& text, qint64 at_us);
    void open_log_locked(const QString& path);
    void mark_reply_locked(const Outgoing& item, qint64 SentReply::*field, qint64 value);
    SentReply* reply_locked(const Outgoing& item);

    const qint64 m_epoch_ns;
    mutable std::mutex m_mutex; // guards everything below except the thread-only part
    SimOptions m_options;
    SimState m_state;
    std::vector<Frame> m_frames;
    std::vector<ReceivedChunk> m_chunks;
    std::vector<SentReply> m_replies;
    std::vector<LogFlag> m_flags;
    qint64 m_generation = 0; // bumped by clear_records()
    QString m_save_error;
    QFile m_log;
    QString m_device;
    QString m_link;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_hung_up{false};
    std::atomic<bool> m_peer_open{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    int m_wake_fd = -1;

    // Touched only by the serving thread while it runs.
    std::unique_ptr<PseudoTerminal> m_pty;
    FrameAssembler m_assembler;
    std::deque<Outgoing> m_out;
    bool m_want_writable = false;
    bool m_hangup_waiting = false;
    qint64 m_hangup_since_us = 0;
    int m_drained_checks = 0;
};

} // namespace sim
