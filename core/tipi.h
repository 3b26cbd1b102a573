#pragma once

#include "constants.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstring>

// An array numbered 1..N, as the protocol and the operator count: stations[1], tank_tables[1], rx_lines[1].
template <typename T, int N> class OneBased {
public:
    static constexpr int size() { return N; }
    T& operator[](int index) { return m_items[checked(index)]; }
    const T& operator[](int index) const { return m_items[checked(index)]; }
    T* begin() { return m_items; }
    T* end() { return m_items + N; }
    const T* begin() const { return m_items; }
    const T* end() const { return m_items + N; }

private:
    static int checked(int index) {
        // An index outside 1..N is a programming error; refuse it loudly rather than write past the array.
        if (index < 1 || index > N)
            qFatal("OneBased index %d outside 1..%d", index, N);
        return index - 1;
    }
    T m_items[N];
};

// A single-byte text of at most N characters held in place; storing a longer text keeps its first N.
template <int N> struct ShortText {
    static_assert(N > 0 && N < 256, "the length is held in one byte");
    unsigned char length;
    char chars[N];

    void assign(QByteArrayView text) {
        length = static_cast<unsigned char>(text.size() < N ? text.size() : N);
        if (length > 0)
            std::memcpy(chars, text.data(), length);
    }
    QByteArray bytes() const { return QByteArray(chars, length); }
    QString text() const { return QString::fromLatin1(chars, length); }
    friend bool operator==(const ShortText& a, const ShortText& b) {
        return a.length == b.length && std::memcmp(a.chars, b.chars, a.length) == 0;
    }
};

using RxLine = ShortText<limits::kRxLineLength>;

// The reply buffer of one communication line.
struct TStationRec {
    qint32 rx_state;  // 0 nothing yet, 1 waiting or line ended, 2 complete reply waiting
    qint32 rx_mode;   // 0 lines only shown, 2 lines stored
    QString rx_frame; // frame of the request in progress
    OneBased<RxLine, limits::kRxLineCount> rx_lines;
    qint32 rx_line_count;    // entries of rx_lines in use
    qint32 rx_lines_dropped; // lines that found rx_lines full since the last reset
};

// One row of a strapping table: whole numbers held as floats; -1, -1 marks an empty row.
struct TStrapRow {
    double level;
    double volume;
    friend bool operator==(const TStrapRow&, const TStrapRow&) = default;
};

struct TTankTableRec {
    OneBased<TStrapRow, limits::kTableRows> rows;
    qint32 row_count;
};

// The process-wide state shared by the device link and the main window. Zero at start-up.
extern OneBased<TStationRec, limits::kStationCount> stations;
extern qint32 cur_station;
extern OneBased<TTankTableRec, limits::kTankTableCount> tank_tables;

extern qint32 com_state;       // 0 none, 1 "$" sent, 2 follow-up due or sent, 3 final, 4 "NORMALE"
extern QByteArray cmd_letter;  // "N", "R", "W", "C", "G", "S" or "T"
extern QByteArray cmd_address; // channel letter chr(64 + n)
extern QString cmd_payload;    // data part of "W" and "C"
extern std::array<QString, limits::kRxFieldCount> rx_fields; // [0] holds the line being received

extern qint32 device_connected; // 1 once the controller identified itself on the port as last opened
extern qint32 channel_count;    // channels the controller reported

// The traffic log: never switched on by the program itself.
extern bool log_enabled;
void write_log_line(const QByteArray& line);
void set_log_file(const QString& path); // opens the file for writing and switches the log on

// Text of the wire and of files is single-byte; characters outside Latin-1 travel as '?'.
QByteArray to_byte_text(const QString& text);

// Every row of table 1 to -1, -1.
void clear_table_rows(TTankTableRec& table);

// Back to the zeroed start-up state; for tests, fuzzers and benchmarks that run many sessions.
void reset_shared_state();
