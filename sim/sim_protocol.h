#pragma once

#include "sim_state.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>
#include <vector>

// The controller's half of the wire formats, as pure functions and one byte-stream assembler, so the
// simulator's answers can be checked without a line.
namespace sim {

inline constexpr char kCR = '\r';
inline constexpr char kLF = '\n';
inline constexpr char kTAB = '\t';
inline constexpr QByteArrayView kLineEnd = "\r\n";
inline constexpr QByteArrayView kDollarAnswer = "OK";
inline constexpr QByteArrayView kWriteConfirmed = "SCRITTURA NORMALE.";
inline constexpr QByteArrayView kWriteRefused = "ERRORE DI SCRITTURA.";
inline constexpr QByteArrayView kWrongKindAnswer = "ERR";
inline constexpr QByteArrayView kTableEnd = "65000";

// Decimal text of `value` with "0" prepended up to `width`; a longer text is kept whole, and a sign stays
// where the decimal text has it ("000-1").
QByteArray zero_fill(qint64 value, int width);
// A signed configuration value as the 16-bit word that travels (-20 -> 65516).
int to_word(qint64 value);
// A 16-bit word read back as the operator sees it: above 40000 it is negative.
int fold_word(int word);
// A number as the program writes it: zero-filled decimal, the sign possibly after the zeros ("000-1").
// Empty when the text is anything else.
std::optional<qint64> parse_filled_number(QByteArrayView text);

// Channel number n (1-based) and its letter.
char channel_letter(int number);
// The 0-based channel index a letter names, or nothing when it names none of `channels`.
std::optional<int> channel_index(char letter, int channels);

// The answer to "N" CR: second character chr(64 + channels), third "H" for the 16-relay variant.
QByteArray identification_line(int channels, int relays);
// The answer to "R" letter CR, without its line end: field 0, letter, description, product and unit,
// address, fields 5..12, relays 1-4, fields 17..20, and relays 5-16 for the 16-relay variant; a "$"
// closes the last field when `closing_dollar` is set.
QByteArray config_line(const SimChannel& channel, char letter, int relays, bool closing_dollar);
// The answer to "G" letter CR, without line ends: one "level TAB volume" line per row, then the end line.
QList<QByteArray> table_lines(const std::vector<SimRow>& rows);
// The answer to "S" CR: "n1;n2;n3;name;".
QByteArray sms_line(const SimSms& sms);

// A "W" request's payload, read.
struct ConfigWrite {
    int channel = 0;     // 0-based
    int relay_count = 0; // 4 or 16 relays carried
    SimChannel values;   // description, product, unit, address, numbers and the relays carried
    friend bool operator==(const ConfigWrite&, const ConfigWrite&) = default;
};
// The payload after "W" and before CR: every field followed by "$", 16 fields (4 relays) or 28 (16).
// Nothing when a field does not have the layout the write carries.
std::optional<ConfigWrite> parse_config_payload(QByteArrayView payload, int channels);
// Stores what a write carries; the table, the hidden values 17 and 18, the height, the capacity and any
// relays the write does not carry keep their values.
void apply_config_write(SimChannel& channel, const ConfigWrite& write);

// The rows of a "C" request (its lines before the "65000" line). Nothing when a line is not
// "level TAB volume" or the table has more rows than the controller holds.
std::optional<std::vector<SimRow>> parse_table_rows(const QList<QByteArray>& lines);
// The record of a "T" request (between "T" and CR): exactly four fields, each followed by ";".
std::optional<SimSms> parse_sms_record(QByteArrayView record);

// What one received frame asks.
enum class FrameKind {
    Dollar,      // "$" alone
    Identify,    // "N" CR
    ReadConfig,  // "R" letter CR
    WriteConfig, // "W" payload CR
    ReadTable,   // "G" letter CR
    WriteTable,  // "C" letter CR LF, table lines, the "65000" line
    ReadSms,     // "S" CR
    WriteSms,    // "T" record CR
    Unknown,     // anything else
};
QString frame_kind_name(FrameKind kind);

// One frame as it came off the line.
struct Frame {
    FrameKind kind = FrameKind::Unknown;
    QByteArray raw;               // the bytes as they arrived (a line feed outside any frame is not kept)
    QByteArray body;              // the letter ("R", "G", "C"), the payload ("W"), the record ("T")
    QList<QByteArray> lines;      // "C": the table lines before the end line
    bool complete = true;         // "C": false when a new request cut the table short
    qint64 first_us = 0;          // arrival of its first byte
    qint64 last_us = 0;           // arrival of its last byte
    int longest_burst = 0;        // most characters that reached the controller without a pause
    bool burst_violation = false; // more than limits::kBurstLength of them
    friend bool operator==(const Frame&, const Frame&) = default;
};

// Turns the bytes that arrive into frames. Characters may come one at a time at any moment (typed in the
// program's console), so a "$" starts a new request whenever it cannot be part of a frame in progress.
// It also keeps the line discipline: a burst is the characters that arrive without a gap of
// limits::kBurstPauseMs between chunks.
class FrameAssembler {
public:
    // One chunk as read from the line, with its arrival time; the frames it completed, in order.
    std::vector<Frame> feed(QByteArrayView chunk, qint64 arrival_us);
    // Forgets any frame in progress (the program closed the line).
    void reset();

private:
    void take(char c, qint64 at_us, std::vector<Frame>& out);
    void take_in_table(char c, std::vector<Frame>& out);
    void emit_frame(FrameKind kind, std::vector<Frame>& out);
    void finish_line(std::vector<Frame>& out);

    enum class Mode { Line, Table };
    Mode m_mode = Mode::Line;
    QByteArray m_line; // the line being assembled
    Frame m_frame;     // what is known of the frame in progress
    bool m_frame_open = false;
    bool m_table_overflow = false;
    bool m_have_chunk = false;
    qint64 m_last_chunk_us = 0;
    int m_burst = 0;
};

} // namespace sim
