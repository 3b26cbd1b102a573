#include "pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

void make_raw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

PseudoTerminal::PseudoTerminal() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        throw std::runtime_error("posix_openpt failed");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        ::close(m_master);
        throw std::runtime_error("cannot unlock the pseudo-terminal");
    }
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        ::close(m_master);
        throw std::runtime_error("ptsname failed");
    }
    m_device = QString::fromLocal8Bit(name);
    // Put the device side in raw mode before anyone opens it: a pseudo-terminal echoes by default.
    // The modes live with the pair, so opening the device briefly is enough; it is closed again so that
    // the program's own opens and closes decide whether anyone is at the far end.
    const int device = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (device >= 0) {
        make_raw(device);
        ::close(device);
    }
    make_raw(m_master);
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
    if (!m_link.isEmpty())
        QFile::remove(m_link);
    if (m_master >= 0)
        ::close(m_master);
}

void PseudoTerminal::make_link(const QString& link_path) {
    QDir().mkpath(QFileInfo(link_path).absolutePath());
    QFile::remove(link_path);
    if (!QFile::link(m_device, link_path))
        throw std::runtime_error("cannot create the link " + link_path.toStdString());
    m_link = link_path;
}

bool PseudoTerminal::write_all(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 50);
            continue;
        }
        return false;
    }
    return true;
}

QByteArray PseudoTerminal::read_some(int timeout_ms) {
    pollfd p{m_master, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeout_ms);
    if (ready <= 0)
        return {};
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0) {
        m_peer_open = true;
        return QByteArray(buffer, n);
    }
    if (n < 0 && errno == EIO) {
        // Nobody has the device open: POLLHUP keeps poll() returning at once, so rest a little.
        m_peer_open = false;
        ::poll(nullptr, 0, timeout_ms < 10 ? timeout_ms : 10);
    }
    return {};
}

QByteArray PseudoTerminal::read_exactly(int count, int timeout_ms) {
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (out.size() < count) {
        const qint64 left = timeout_ms - timer.elapsed();
        if (left <= 0)
            break;
        out += read_some(int(left));
    }
    return out;
}

int PseudoTerminal::pending_output() const {
    // TIOCOUTQ on a master counts nothing on Linux: what the program has not read yet waits in the
    // device's input queue, which only a descriptor of the device can count. Opening one more descriptor
    // of the device changes nothing for the program that holds it.
    if (m_master < 0)
        return -1;
    int device = -1;
#ifdef TIOCGPTPEER
    device = ioctl(m_master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
#endif
    if (device < 0)
        device = ::open(m_device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (device < 0)
        return -1;
    int n = 0;
    const int rc = ioctl(device, FIONREAD, &n);
    ::close(device);
    return rc == 0 ? n : -1;
}
