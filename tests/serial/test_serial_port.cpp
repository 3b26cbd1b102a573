// The port over a real pseudo-terminal: line settings, paced writes, announcements and reads, the trace
// file of a real open period, refusals, the chooser's "OK", and a device that vanishes while open.
#include "errors.h"
#include "pty.h"
#include "serial_port.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <ctime>
#include <functional>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kBadId = QStringLiteral("ie_BadId - Specified comport doesn't exist");
const QString kHeld = QStringLiteral("ie_Open - device already open");

QByteArray com_variable(int number) {
    return QStringLiteral("TANKDEF_COM%1").arg(number).toLatin1();
}

// A pseudo-terminal that COM `number` names for the length of a test.
struct Line {
    explicit Line(int n) : number(n) { point(pty.device_path()); }
    ~Line() { qunsetenv(com_variable(number).constData()); }
    void point(const QString& name) { qputenv(com_variable(number).constData(), QFile::encodeName(name)); }

    PseudoTerminal pty;
    int number;
};

// The descriptor this process holds on `device`, or -1: the line settings are read back from the system.
int descriptor_of(const QString& device) {
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo& fd : fds) {
        if (fd.symLinkTarget() == device)
            return fd.fileName().toInt();
    }
    return -1;
}

double process_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// What a data-available handler sees: each event's Count and the bytes it took with ReadChar. `policy`
// says how many of the announced bytes to take; by default all of them, as the receive path does.
struct Receiver {
    using Policy = std::function<int(int count)>;
    explicit Receiver(ComPort& port, Policy policy = {}) {
        QObject::connect(&port, &ComPort::TriggerAvail, &context, [this, &port, policy](quint16 count) {
            counts << count;
            if (count != port.Count())
                errors << QStringLiteral("Count %1 but %2 waiting").arg(count).arg(port.Count());
            const int take = policy ? policy(count) : int(count);
            try {
                for (int i = 0; i < take; ++i)
                    data += char(port.ReadChar());
            } catch (const TankdefError& error) {
                errors << error.text();
            }
        });
    }
    QObject context;
    QList<int> counts;
    QByteArray data;
    QStringList errors;
};

QByteArray pattern(int size) {
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xFF);
    return bytes;
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void open_programs_the_fixed_line_settings();
    void baud_on_an_open_port_is_programmed_at_once();
    void written_bytes_reach_the_device();
    void paced_writes_leave_before_the_event_loop_runs();
    void write_larger_than_the_output_queue_is_refused();
    void received_bytes_are_announced_once_in_order_data();
    void received_bytes_are_announced_once_in_order();
    void bytes_a_handler_leaves_come_in_later_events();
    void no_announcement_runs_inside_write_string();
    void count_never_exceeds_the_receive_buffer();
    void trace_example_through_a_real_port();
    void nothing_moved_leaves_the_old_trace();
    void each_close_replaces_the_trace();
    void close_discards_unread_bytes();
    void held_device_is_refused_data();
    void held_device_is_refused();
    void probe_finds_free_and_held_devices();
    void auto_open_on_write_and_read();
    void chooser_ok_opens_the_chosen_port();
    void com_number_change_reopens_an_open_port();
    void vanished_device_closes_the_port_once();
    void write_to_a_vanished_device_is_refused();
    void unwritable_trace_keeps_the_port_open();
    void destroying_an_open_port_writes_the_trace();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous_dir;
};

void TestSerialPort::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previous_dir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void TestSerialPort::cleanup() {
    QDir::setCurrent(m_previous_dir);
    m_dir.reset();
}

void TestSerialPort::open_programs_the_fixed_line_settings() {
    Line line(41);
    ComPort port;
    port.setComNumber(41);
    port.setBaud(9600);
    QCOMPARE(port.Baud(), 9600);
    QVERIFY(descriptor_of(line.pty.device_path()) < 0);
    port.setOpen(true);
    QVERIFY(port.Open());

    const int fd = descriptor_of(line.pty.device_path());
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(0));
    QCOMPARE(tio.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));
    // Binary: no translation of carriage returns or line feeds on the way in or out.
    QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), tcflag_t(0));
    QCOMPARE(tio.c_lflag & (ICANON | ECHO), tcflag_t(0));

    port.setOpen(true); // the value it has: nothing happens
    QVERIFY(port.Open());
    port.setOpen(false);
    QVERIFY(!port.Open());
    QCOMPARE(descriptor_of(line.pty.device_path()), -1);
    port.setOpen(false);
    QVERIFY(!port.Open());
}

void TestSerialPort::baud_on_an_open_port_is_programmed_at_once() {
    Line line(41);
    ComPort port;
    port.setComNumber(41);
    port.setOpen(true);
    const int fd = descriptor_of(line.pty.device_path());
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B19200)); // the value at creation
    port.setBaud(9600);
    QCOMPARE(tcgetattr(fd, &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(port.Baud(), 9600);
}

void TestSerialPort::written_bytes_reach_the_device() {
    Line line(42);
    ComPort port;
    port.setComNumber(42);
    port.setOpen(true);
    const QByteArray frame("RB\r\n\x00\xFF", 6);
    port.WriteString(frame);
    QCOMPARE(line.pty.read_exactly(int(frame.size()), 5000), frame);
    port.WriteString(QByteArray()); // nothing to send
    QCOMPARE(line.pty.read_some(50), QByteArray());
}

void TestSerialPort::paced_writes_leave_before_the_event_loop_runs() {
    // The transmitter's pauses take no events: every burst must already be on the line when the caller
    // starts to wait, or all bursts would go out together after the handler returns.
    Line line(42);
    ComPort port;
    port.setComNumber(42);
    port.setOpen(true);
    const QByteArray frame("W0001ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefgh\r");
    QByteArray seen;
    for (int i = 0; i < frame.size(); ++i) {
        port.WriteString(frame.mid(i, 1));
        if ((i + 1) % 20 == 0) {
            QThread::msleep(100); // the caller's pause; no event is processed anywhere in this loop
            seen = line.pty.read_exactly(20, 5000);
            QCOMPARE(seen, frame.mid(i - 19, 20));
            QCOMPARE(line.pty.read_some(0), QByteArray()); // nothing beyond this burst yet
        }
    }
    const int rest = int(frame.size() % 20);
    QCOMPARE(line.pty.read_exactly(rest, 5000), frame.right(rest));
}

void TestSerialPort::write_larger_than_the_output_queue_is_refused() {
    Line line(42);
    ComPort port;
    port.setComNumber(42);
    port.setOpen(true);
    QCOMPARE(raised_text([&] { port.WriteString(QByteArray(4097, 'x')); }),
             QStringLiteral("Output buffer too small for block"));
    QCOMPARE(line.pty.read_some(200), QByteArray()); // nothing was queued
    QVERIFY(port.Open());
    port.WriteString("ok");
    QCOMPARE(line.pty.read_exactly(2, 5000), QByteArray("ok"));
}

void TestSerialPort::received_bytes_are_announced_once_in_order_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::newRow("one line") << QList<QByteArray>{"OK\r\n"};
    QTest::newRow("a line in pieces") << QList<QByteArray>{"O", "K\r", "\n", "NORMALE\r\n"};
    QTest::newRow("bytes of 0x80 and above and NUL")
        << QList<QByteArray>{QByteArray("a\x80\xC8\xFF\x00z", 6), QByteArray("\r", 1)};
}

void TestSerialPort::received_bytes_are_announced_once_in_order() {
    QFETCH(QList<QByteArray>, chunks);
    Line line(43);
    ComPort port;
    port.setComNumber(43);
    port.setOpen(true);
    Receiver receiver(port);
    QByteArray expected;
    for (const QByteArray& chunk : chunks) {
        QVERIFY(line.pty.write_all(chunk));
        expected += chunk;
        QTRY_COMPARE_WITH_TIMEOUT(receiver.data.size(), expected.size(), 5000);
    }
    QTest::qWait(100); // anything announced twice would show up now
    QCOMPARE(receiver.data, expected);
    QCOMPARE(receiver.errors, QStringList());
    QCOMPARE(port.Count(), 0);
    for (int count : receiver.counts)
        QVERIFY(count >= 1);
    QCOMPARE(raised_text([&] { port.ReadChar(); }), QStringLiteral("Buffer is empty"));
}

void TestSerialPort::bytes_a_handler_leaves_come_in_later_events() {
    Line line(43);
    ComPort port;
    port.setComNumber(43);
    port.setOpen(true);
    Receiver receiver(port, [](int count) { return qMin(count, 3); }); // three bytes per event at most
    const QByteArray sent("0123456789ABCDEFGHIJ");
    QVERIFY(line.pty.write_all(sent));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.data, sent, 5000);
    QVERIFY(receiver.counts.size() >= 7);
    QCOMPARE(receiver.errors, QStringList());
}

void TestSerialPort::no_announcement_runs_inside_write_string() {
    Line line(43);
    ComPort port;
    port.setComNumber(43);
    port.setOpen(true);
    QSignalSpy announced(&port, &ComPort::TriggerAvail);
    QVERIFY(line.pty.write_all("waiting\r"));
    QThread::msleep(50); // let the bytes reach the device; no event is processed
    for (char c : QByteArray("$N\r"))
        port.WriteString(QByteArray(1, c));
    QCOMPARE(announced.count(), 0);
    QCOMPARE(line.pty.read_exactly(3, 5000), QByteArray("$N\r"));
    QTRY_VERIFY_WITH_TIMEOUT(announced.count() >= 1, 5000);
}

void TestSerialPort::count_never_exceeds_the_receive_buffer() {
    Line line(44);
    ComPort port;
    port.setComNumber(44);
    port.setOpen(true);
    port.WriteString("AB"); // sent first: the ring drops it once 10000 later bytes came in
    QCOMPARE(line.pty.read_exactly(2, 5000), QByteArray("AB"));
    // The handler leaves the bytes waiting until the receive buffer is full, then takes everything.
    bool taking = false;
    Receiver receiver(port, [&taking](int count) {
        taking = taking || count >= 8192;
        return taking ? count : 0;
    });
    const QByteArray sent = pattern(10050);
    QVERIFY(line.pty.write_all(sent));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.data.size(), sent.size(), 10000);
    QCOMPARE(receiver.data, sent);
    QCOMPARE(receiver.errors, QStringList());
    for (int count : receiver.counts)
        QVERIFY2(count >= 1 && count <= 8192, qPrintable(QString::number(count)));
    QVERIFY(receiver.counts.contains(8192));
    port.setOpen(false);

    std::vector<TraceEntry> last;
    for (char byte : sent.right(10000))
        last.push_back(TraceEntry{'R', quint8(byte)});
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), format_trace(last));
}

void TestSerialPort::trace_example_through_a_real_port() {
    Line line(45);
    ComPort port;
    port.setComNumber(45);
    port.setOpen(true);
    Receiver receiver(port);
    for (char c : QByteArray("AB\r"))
        port.WriteString(QByteArray(1, c));
    QCOMPARE(line.pty.read_exactly(3, 5000), QByteArray("AB\r"));
    QVERIFY(line.pty.write_all("OK\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.data, QByteArray("OK\r\n"), 5000);
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")),
             QByteArray("Transmit: \r\nAB[0D]\r\n\r\nReceive: \r\nOK[0D][0A]"));
}

void TestSerialPort::nothing_moved_leaves_the_old_trace() {
    Line line(45);
    QVERIFY(write_file(QStringLiteral("APRO.TRC"), "earlier period"));
    ComPort port;
    port.setComNumber(45);
    port.setOpen(true);
    port.WriteString(QByteArray()); // moves nothing
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("earlier period"));
}

void TestSerialPort::each_close_replaces_the_trace() {
    Line line(45);
    ComPort port;
    port.setComNumber(45);
    port.setOpen(true);
    port.WriteString("first");
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\nfirst"));
    port.setOpen(true);
    port.WriteString("2");
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\n2"));
    port.setOpen(true); // a period without traffic keeps the last file
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\n2"));
    // A different trace name goes elsewhere and leaves APRO.TRC alone.
    port.setTraceName(m_dir->filePath(QStringLiteral("other.trc")));
    port.setOpen(true);
    port.WriteString("3");
    port.setOpen(false);
    QCOMPARE(read_file(m_dir->filePath(QStringLiteral("other.trc"))), QByteArray("Transmit: \r\n3"));
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\n2"));
}

void TestSerialPort::close_discards_unread_bytes() {
    Line line(46);
    ComPort port;
    port.setComNumber(46);
    port.setOpen(true);
    QSignalSpy announced(&port, &ComPort::TriggerAvail);
    QVERIFY(line.pty.write_all("stale"));
    QTRY_COMPARE_WITH_TIMEOUT(port.Count(), 5, 5000); // nobody takes them
    port.setOpen(false);
    QCOMPARE(port.Count(), 0);
    port.setOpen(true);
    QCOMPARE(port.Count(), 0);
    QCOMPARE(raised_text([&] { port.ReadChar(); }), QStringLiteral("Buffer is empty"));
    const int before = int(announced.count());
    QTest::qWait(200);
    QCOMPARE(int(announced.count()), before); // nothing of the old period is announced again
    QVERIFY(line.pty.write_all("new"));
    QTRY_COMPARE_WITH_TIMEOUT(port.Count(), 3, 5000);
    QCOMPARE(char(port.ReadChar()), 'n');
}

void TestSerialPort::held_device_is_refused_data() {
    QTest::addColumn<bool>("second_link");
    QTest::newRow("same name") << false;
    QTest::newRow("another symbolic link to the same device") << true;
}

void TestSerialPort::held_device_is_refused() {
    QFETCH(bool, second_link);
    Line first(47);
    first.pty.make_link(m_dir->filePath(QStringLiteral("links/first")));
    first.point(first.pty.link_path());
    QString second_name = first.pty.link_path();
    if (second_link) {
        second_name = m_dir->filePath(QStringLiteral("links/second"));
        QVERIFY(QFile::link(first.pty.device_path(), second_name));
    }
    qputenv("TANKDEF_COM48", QFile::encodeName(second_name));

    ComPort holder;
    holder.setComNumber(47);
    holder.setOpen(true);
    ComPort other;
    other.setComNumber(48);
    QCOMPARE(raised_text([&] { other.setOpen(true); }), kHeld);
    QVERIFY(!other.Open());
    QCOMPARE(raised_text([&] { other.WriteString("x"); }), kHeld);
    QVERIFY(!other.Open());

    // The holder is not disturbed, and once it lets go the other one gets the device.
    holder.WriteString("h");
    QCOMPARE(first.pty.read_exactly(1, 5000), QByteArray("h"));
    holder.setOpen(false);
    other.setOpen(true);
    QVERIFY(other.Open());
    other.setOpen(false);
    qunsetenv("TANKDEF_COM48");
}

void TestSerialPort::probe_finds_free_and_held_devices() {
    Line free_line(41);
    Line held_line(42);
    qputenv("TANKDEF_COM43", QFile::encodeName(m_dir->filePath(QStringLiteral("absent"))));
    ComPort holder;
    holder.setComNumber(42);
    holder.setOpen(true);
    QVERIFY(ComPort::probe_port(41));
    QVERIFY(ComPort::probe_port(42));
    QVERIFY(!ComPort::probe_port(43));
    QVERIFY(holder.Open()); // probing did not take the device away
    holder.WriteString("x");
    QCOMPARE(held_line.pty.read_exactly(1, 5000), QByteArray("x"));
    qunsetenv("TANKDEF_COM43");
}

void TestSerialPort::auto_open_on_write_and_read() {
    Line line(44);
    {
        ComPort port;
        port.setComNumber(44);
        port.WriteString("Z");
        QVERIFY(port.Open());
        QCOMPARE(line.pty.read_exactly(1, 5000), QByteArray("Z"));
    }
    ComPort port;
    port.setComNumber(44);
    QCOMPARE(raised_text([&] { port.ReadChar(); }), QStringLiteral("Buffer is empty"));
    QVERIFY(port.Open());
}

void TestSerialPort::chooser_ok_opens_the_chosen_port() {
    Line line(49);
    ComPort port;
    port.setPortProbe([](int number) { return number == 49 || number == 50; });
    QStringList offered;
    port.setPortChooser([&](const QStringList& entries) -> std::optional<QString> {
        offered = entries;
        return entries.first();
    });
    port.setOpen(true);
    QVERIFY(port.Open());
    QCOMPARE(port.ComNumber(), quint16(49));
    QCOMPARE(offered.size(), 2);
    QCOMPARE(offered.first(), QStringLiteral("COM49 (%1)").arg(line.pty.device_path()));
    port.WriteString("c");
    QCOMPARE(line.pty.read_exactly(1, 5000), QByteArray("c"));
}

void TestSerialPort::com_number_change_reopens_an_open_port() {
    Line one(41);
    Line two(42);
    ComPort port;
    port.setComNumber(41);
    port.setOpen(true);
    port.WriteString("1");
    QCOMPARE(one.pty.read_exactly(1, 5000), QByteArray("1"));

    port.setComNumber(41); // the value it has: no close, no trace
    QVERIFY(port.Open());
    QVERIFY(!QFile::exists(QStringLiteral("APRO.TRC")));

    port.setComNumber(42);
    QVERIFY(port.Open());
    QCOMPARE(port.ComNumber(), quint16(42));
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\n1"));
    QCOMPARE(descriptor_of(one.pty.device_path()), -1);
    port.WriteString("2");
    QCOMPARE(two.pty.read_exactly(1, 5000), QByteArray("2"));
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\n2")); // traced anew

    port.setComNumber(41); // closed: kept for the next open
    QVERIFY(!port.Open());
    port.setOpen(true);
    port.WriteString("3");
    QCOMPARE(one.pty.read_exactly(1, 5000), QByteArray("3"));
}

void TestSerialPort::vanished_device_closes_the_port_once() {
    auto line = std::make_unique<Line>(46);
    const QString device = line->pty.device_path();
    ComPort port;
    port.setComNumber(46);
    port.setOpen(true);
    QSignalSpy lost(&port, &ComPort::PortLost);
    QSignalSpy announced(&port, &ComPort::TriggerAvail);
    port.WriteString("P");
    QCOMPARE(line->pty.read_exactly(1, 5000), QByteArray("P"));

    line.reset(); // the far end goes away, as an unplugged adapter does
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!port.Open());
    const QString reason = lost.first().first().toString();
    QVERIFY2(reason.startsWith(QStringLiteral("COM46 (%1) is no longer available: ").arg(device)),
             qPrintable(reason));
    QCOMPARE(descriptor_of(device), -1);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\nP"));

    const double cpu_before = process_cpu_seconds();
    QTest::qWait(1000);
    const double cpu_used = process_cpu_seconds() - cpu_before;
    QCOMPARE(lost.count(), 1);
    QCOMPARE(announced.count(), 0);
    QVERIFY2(cpu_used < 0.3, qPrintable(QStringLiteral("%1 s of CPU while idle").arg(cpu_used)));

    // The port stays usable: another device opens on it.
    Line next(46);
    port.setOpen(true);
    QVERIFY(port.Open());
    port.WriteString("again");
    QCOMPARE(next.pty.read_exactly(5, 5000), QByteArray("again"));
}

void TestSerialPort::write_to_a_vanished_device_is_refused() {
    auto line = std::make_unique<Line>(47);
    ComPort port;
    port.setComNumber(47);
    port.setOpen(true);
    QSignalSpy lost(&port, &ComPort::PortLost);
    line.reset(); // no event runs before the next write
    QCOMPARE(raised_text([&] { port.WriteString("x"); }), QStringLiteral("Failed to put entire block"));
    QCOMPARE(lost.count(), 0); // never from inside the write
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!port.Open());
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
}

void TestSerialPort::unwritable_trace_keeps_the_port_open() {
    Line line(48);
    QVERIFY(write_file(m_dir->filePath(QStringLiteral("plain")), "a file, not a folder"));
    ComPort port;
    port.setTraceName(m_dir->filePath(QStringLiteral("plain/APRO.TRC")));
    port.setComNumber(48);
    port.setOpen(true);
    port.WriteString("Q");
    QCOMPARE(line.pty.read_exactly(1, 5000), QByteArray("Q"));
    const QString error = raised_text([&] { port.setOpen(false); });
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(QStringLiteral("plain/APRO.TRC")), qPrintable(error));
    QVERIFY(port.Open());
    port.WriteString("still open"); // the device was not released
    QCOMPARE(line.pty.read_exactly(10, 5000), QByteArray("still open"));
    port.setOpen(false); // no trace left to write: this close closes
    QVERIFY(!port.Open());
    QCOMPARE(descriptor_of(line.pty.device_path()), -1);
}

void TestSerialPort::destroying_an_open_port_writes_the_trace() {
    Line line(49);
    {
        ComPort port;
        port.setComNumber(49);
        port.setOpen(true);
        port.WriteString("bye");
        QCOMPARE(line.pty.read_exactly(3, 5000), QByteArray("bye"));
    }
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("Transmit: \r\nbye"));
    QCOMPARE(descriptor_of(line.pty.device_path()), -1);

    // A trace that cannot be written does not keep a dying port from releasing the device.
    QVERIFY(write_file(m_dir->filePath(QStringLiteral("plain")), "x"));
    {
        ComPort port;
        port.setTraceName(m_dir->filePath(QStringLiteral("plain/APRO.TRC")));
        port.setComNumber(49);
        port.setOpen(true);
        port.WriteString("z");
    }
    QCOMPARE(descriptor_of(line.pty.device_path()), -1);
}

QTEST_MAIN(TestSerialPort)
#include "test_serial_port.moc"
