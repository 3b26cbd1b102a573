#include "line_client.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

LineClient::LineClient(const QString& device) {
    m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios tio{};
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
}

LineClient::~LineClient() {
    close();
}

void LineClient::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void LineClient::send(QByteArrayView bytes) {
    qsizetype done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 50);
        } else {
            return;
        }
    }
}

void LineClient::send_paced(QByteArrayView bytes) {
    constexpr int kBurst = 20;
    for (qsizetype at = 0; at < bytes.size(); at += kBurst) {
        if (at > 0)
            QThread::msleep(100);
        send(bytes.sliced(at, std::min<qsizetype>(kBurst, bytes.size() - at)));
    }
}

bool LineClient::fill(int timeout_ms) {
    if (m_fd < 0 || m_hung_up)
        return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) {
        m_pending.append(buffer, n);
        return true;
    }
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        m_hung_up = true;
    return false;
}

std::optional<QByteArray> LineClient::read_line(int timeout_ms) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const qsizetype cr = m_pending.indexOf('\r');
        if (cr >= 0) {
            QByteArray line = m_pending.left(cr);
            m_pending.remove(0, cr + 1);
            line.replace('\n', "");
            return line;
        }
        const qint64 left = timeout_ms - timer.elapsed();
        if (left <= 0 || m_hung_up)
            return std::nullopt;
        fill(int(left));
    }
}

QList<QByteArray> LineClient::read_lines_until(QByteArrayView last, int timeout_ms) {
    QElapsedTimer timer;
    timer.start();
    QList<QByteArray> lines;
    for (;;) {
        const qint64 left = timeout_ms - timer.elapsed();
        if (left <= 0)
            return lines;
        const auto line = read_line(int(left));
        if (!line)
            return lines;
        lines << *line;
        if (line->startsWith(last))
            return lines;
    }
}

QByteArray LineClient::read_raw(int count, int timeout_ms) {
    QElapsedTimer timer;
    timer.start();
    while (m_pending.size() < count) {
        const qint64 left = timeout_ms - timer.elapsed();
        if (left <= 0 || m_hung_up)
            break;
        fill(int(left));
    }
    const QByteArray out = m_pending.left(count);
    m_pending.remove(0, out.size());
    return out;
}
