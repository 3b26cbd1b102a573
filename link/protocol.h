#pragma once

#include "tipi.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The controller's wire formats as pure functions: replies in, values out; window values in, frames out.
// Errors are raised as TankdefError with the operator's text; nothing here touches a widget or a global.

// One channel configuration reply ("R"), as the window shows it.
struct ChannelConfig {
    QString description;    // d3, field 2, blanks kept
    QString address;        // d2, field 4
    qint64 product = 0;     // d4 position, field 3 characters 1-2 (may lie outside the list)
    qint64 unit = 0;        // combo_u position, field 3 characters 3-4
    qint64 alarm_hh = 0;    // d16, field 5, folded
    qint64 alarm_h = 0;     // d17, field 6, folded
    qint64 alarm_l = 0;     // d18, field 7, folded
    qint64 alarm_ll = 0;    // d19, field 8, folded
    qint64 water_zero = 0;  // d7_1, field 9, folded
    qint64 water_alarm = 0; // d20, field 10, folded
    qint64 offset = 0;      // d12, field 11, folded
    qint64 hidden_d13 = 0;  // d13, field 12, folded
    qint64 hidden_d23 = 0;  // d23, field 17, folded
    qint64 hidden_d24 = 0;  // d24, field 18, folded
    qint64 tank_height = 0; // d7, field 19
    qint64 capacity = 0;    // d5, field 20
    std::array<qint64, limits::kRelayCount> relays{}; // d25..d40 positions, fields 13-16 and 21-32
    friend bool operator==(const ChannelConfig&, const ChannelConfig&) = default;
};

// Splits and converts a configuration reply. Every field is checked before anything is returned, so a
// bad reply raises its conversion error and changes nothing on screen.
ChannelConfig parse_channel_config(const QString& reply, const QLocale& locale);

// The window's fields as the operator left them, gathered for a "W" request.
struct ConfigForm {
    int channel = 0;                // d9 position p: letter "A" + p (-1: none chosen, refused)
    QString description;            // d3
    QString address;                // d2
    int product = -1;               // d4 position
    int unit = -1;                  // combo_u position
    std::array<QString, 8> numbers; // d16, d17, d18, d19, d7_1, d20, d12, d13, in payload order
    std::array<int, limits::kRelayCount> relays{}; // d25..d40 positions (-1: no entry chosen)
    bool sixteen_relays = false;                   // d40 shown
};

// One of the eight number fields of the payload: read in the locale's format, truncated, a negative n sent
// as n + 65536, zero-filled to 5. Raises the floating point conversion error with a full stop for text that
// is not a number or whose whole part lies outside 32 bits.
QString config_number_field(const QString& text, const QLocale& locale);

// A write names its channel by the chooser's position; with none chosen (-1) it would go to channel 0,
// so it is refused instead.
void refuse_unchosen_channel(int position);

// The configuration payload (104 characters with 4 relays, 176 with 16). Raises the floating point
// conversion error (with its full stop) for the first bad number field, and refuses a "$" or a line break
// in the part of the description or address that is sent, and a channel that is not chosen (-1).
QString build_config_payload(const ConfigForm& form, const QLocale& locale);

// The table reply ("G"): one row per stored line, in order; a line without both numbers is (-1, -1).
// Raises the integer conversion error for a number too large for 32 bits; nothing is returned then, so the
// caller keeps the table it had.
std::vector<TStrapRow> parse_table_lines(const QStringList& lines);

// A table value as the grid shows it: the decimal text of the value truncated toward zero ("-0" never
// appears; a value that is not a number shows as 0).
QString whole_number_text(double value);
// A table value as the table payload and the table file write it: the same, zero-filled to at least five
// characters ("00100", "000-1", "150000").
QString table_value_text(double value);

// The table payload for "C": rows 1..row_count then "65000\t65000\r\n"; empty when a level or a volume
// exceeds 65000 (the write is refused).
struct TablePayload {
    bool refused = false;
    QString payload;
    friend bool operator==(const TablePayload&, const TablePayload&) = default;
};
TablePayload build_table_payload(const TTankTableRec& table);

// Removes leading and trailing blanks and control characters (everything up to U+0020).
QString trim_blanks_and_controls(const QString& text);

// The SMS record ("S"): the texts of the fields the reply reaches (at most four), trimmed.
QStringList parse_sms_record(const QString& line);
// One field as it is sent with "T": its first 20 characters, blanks and control characters trimmed.
QString sms_field_for_sending(const QString& text);

// The identification reply to "N": channel count from the second character, "H" third for 16 relays.
struct Identification {
    int channels = 0;
    bool sixteen_relays = false;
    friend bool operator==(const Identification&, const Identification&) = default;
};
Identification parse_identification(const QString& line);

// The controller's confirmation: the last eight characters' first seven are "NORMALE", any case.
bool is_normale(const QString& line);

// The follow-up frame of a request, chosen by the first matching rule; final is set for "W" and "C",
// after which the exchange waits only for a confirmation. `sms_texts` are the four window texts as they
// stand (a missing one is sent empty). When no rule applies the frame is empty.
struct FollowUp {
    QString frame;
    bool final = false;
    friend bool operator==(const FollowUp&, const FollowUp&) = default;
};
FollowUp build_follow_up(const QByteArray& letter, const QByteArray& address, const QString& current_frame,
                         const QString& payload, const QStringList& sms_texts);
