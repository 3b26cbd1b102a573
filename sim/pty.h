#pragma once

#include <QByteArray>
#include <QString>

// The controller's end of a pseudo-terminal: the program opens the other end (the device path) exactly
// as it would open a USB-to-RS-232 adapter. The line is raw from the start: no echo, no line discipline.
class PseudoTerminal {
public:
    PseudoTerminal();  // raises std::runtime_error when no pseudo-terminal can be had
    ~PseudoTerminal(); // removes the link, closes both ends
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The device the program opens, e.g. /dev/pts/7.
    QString device_path() const { return m_device; }
    // A symbolic link to the device (its folder is created); replaced if it exists, removed at the end.
    void make_link(const QString& link_path);
    QString link_path() const { return m_link; }

    int fd() const { return m_master; }
    // Writes all bytes (blocking until the kernel took them). False when the far end is gone.
    bool write_all(const QByteArray& bytes);
    // Reads what is there within timeout_ms; empty on timeout. While nobody has the device open the
    // read fails with EIO; that is reported as empty too, not as an end.
    QByteArray read_some(int timeout_ms);
    // Reads until `count` bytes arrived or `timeout_ms` passed in all.
    QByteArray read_exactly(int count, int timeout_ms);
    // Whether the program currently has the device open (the last read did not fail with EIO).
    bool peer_open() const { return m_peer_open; }
    // Bytes written by us that the program has not read yet; -1 when the device cannot be looked at (held
    // exclusively by a program without the right to share it). Bytes written a moment ago may not be
    // counted yet: look more than once before taking 0 as drained.
    int pending_output() const;

private:
    int m_master = -1;
    QString m_device;
    QString m_link;
    bool m_peer_open = false;
};
