#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The program's end of the line as a test drives it: the device opened raw, frames written, reply lines
// read with generous time limits.
class LineClient {
public:
    explicit LineClient(const QString& device);
    ~LineClient();
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool is_open() const { return m_fd >= 0; }
    void close();

    // All bytes at once.
    void send(QByteArrayView bytes);
    // As the program's transmitter paces a frame: 20 characters, a pause of 100 ms, the next 20.
    void send_paced(QByteArrayView bytes);

    // The next line without its CR (line feeds dropped); nothing when no line ended within the time.
    std::optional<QByteArray> read_line(int timeout_ms = 5000);
    // Lines until one starting with `last` has been read (that one included).
    QList<QByteArray> read_lines_until(QByteArrayView last, int timeout_ms = 10000);
    // Raw bytes until `count` arrived, the time is up or the far end hung up.
    QByteArray read_raw(int count, int timeout_ms = 5000);
    bool hung_up() const { return m_hung_up; }

private:
    bool fill(int timeout_ms);

    int m_fd = -1;
    QByteArray m_pending;
    bool m_hung_up = false;
};
