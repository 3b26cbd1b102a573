#include "tipi.h"

#include "errors.h"

#include <QFile>

#include <memory>

// Not value-initialised: static storage starts zeroed anyway, and "{}" made the start-up code clear all
// 46 MB of line buffers by hand, which put every page of them in memory although only line 1 is used.
OneBased<TStationRec, limits::kStationCount> stations;
qint32 cur_station = 1;
OneBased<TTankTableRec, limits::kTankTableCount> tank_tables{};

qint32 com_state = 0;
QByteArray cmd_letter;
QByteArray cmd_address;
QString cmd_payload;
std::array<QString, limits::kRxFieldCount> rx_fields;

qint32 device_connected = 0;
qint32 channel_count = 0;

bool log_enabled = false;

namespace {
std::unique_ptr<QFile>& log_file() {
    static std::unique_ptr<QFile> file;
    return file;
}
} // namespace

void set_log_file(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        raise_error(file->errorString());
    log_file() = std::move(file);
    log_enabled = true;
}

void write_log_line(const QByteArray& line) {
    if (!log_enabled || !log_file())
        return;
    QFile& file = *log_file();
    if (file.write(line) < 0 || file.write("\n") < 0 || !file.flush())
        raise_error(file.errorString());
}

QByteArray to_byte_text(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(c.unicode() < 256 ? char(c.unicode()) : '?');
    return out;
}

void clear_table_rows(TTankTableRec& table) {
    for (TStrapRow& row : table.rows)
        row = {-1.0, -1.0};
}

void reset_shared_state() {
    for (TStationRec& station : stations) {
        station.rx_state = 0;
        station.rx_mode = 0;
        station.rx_frame.clear();
        station.rx_line_count = 0;
        station.rx_lines_dropped = 0;
    }
    // Only line 1 and table 1 are ever written; clearing the rest would touch 50 MB for nothing.
    for (RxLine& line : stations[1].rx_lines)
        line.length = 0;
    cur_station = 1;
    for (TStrapRow& row : tank_tables[1].rows)
        row = {0.0, 0.0};
    tank_tables[1].row_count = 0;
    com_state = 0;
    cmd_letter.clear();
    cmd_address.clear();
    cmd_payload.clear();
    for (QString& field : rx_fields)
        field.clear();
    device_connected = 0;
    channel_count = 0;
    log_enabled = false;
    log_file().reset();
}
