#include "serial_port.h"

#include "constants.h"
#include "errors.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QSerialPort>
#include <QVBoxLayout>

#include <deque>
#include <mutex>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

const QString kBadIdText = QStringLiteral("ie_BadId - Specified comport doesn't exist");
const QString kHeldText = QStringLiteral("ie_Open - device already open");
const QString kNotSetText = QStringLiteral("The ComNumber property of the TApdComPort has not been set");
const QString kTooSmallText = QStringLiteral("Output buffer too small for block");
const QString kRefusedText = QStringLiteral("Failed to put entire block");
const QString kEmptyText = QStringLiteral("Buffer is empty");
const QString kDefaultTraceName = QStringLiteral("APRO.TRC");

QByteArray trace_item(quint8 byte) {
    if (byte >= 0x21 && byte <= 0x7E)
        return QByteArray(1, char(byte));
    return "[" + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0') + "]";
}

// The device to open for COM n: symbolic links resolved, so two names of one device share Qt's lock file
// and the second open is refused like any other program holding the port.
QString resolve_device(int number) {
    const QString name = device_for_com(number);
#ifdef Q_OS_WIN
    return name;
#else
    const QFileInfo info(name);
    if (!info.exists())
        raise_error(kBadIdText);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? name : canonical;
#endif
}

// Whether this user may open the device at all; a refusal for want of rights is not "held by another".
bool accessible(const QString& path, QString* system_text = nullptr) {
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0)
        return true;
    if (system_text)
        *system_text = qt_error_string(errno);
    return false;
#else
    Q_UNUSED(path);
    Q_UNUSED(system_text);
    return true;
#endif
}

QString open_error_text(QSerialPort::SerialPortError error, const QString& system_text, const QString& path) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return kBadIdText;
    case QSerialPort::PermissionError: {
        QString denied;
        if (accessible(path, &denied))
            return kHeldText;
        return QStringLiteral("%1. This user may not use serial ports: join the 'dialout' group "
                              "(sudo usermod -aG dialout $USER) and log in again.")
            .arg(denied);
    }
    default:
        return system_text;
    }
}

// The device's own output queue, which the free room of the 4096-byte output queue is counted against.
qint64 driver_output_queue(QSerialPort& port) {
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(int(port.handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        return queued;
#else
    Q_UNUSED(port);
#endif
    return 0;
}

// The byte ring: the last kTraceSize bytes moved in either direction.
class TraceRing {
public:
    TraceRing() : m_slots(std::size_t(limits::kTraceSize)) {}

    void clear() {
        std::lock_guard lock(m_mutex);
        m_next = 0;
        m_count = 0;
    }
    void add(char direction, const char* data, qsizetype size) {
        std::lock_guard lock(m_mutex);
        for (qsizetype i = 0; i < size; ++i) {
            m_slots[m_next] = TraceEntry{direction, quint8(data[i])};
            m_next = (m_next + 1) % m_slots.size();
            if (m_count < m_slots.size())
                ++m_count;
        }
    }
    // Oldest first; the ring is left empty.
    std::vector<TraceEntry> take() {
        std::lock_guard lock(m_mutex);
        std::vector<TraceEntry> out;
        out.reserve(m_count);
        const std::size_t first = (m_next + m_slots.size() - m_count) % m_slots.size();
        for (std::size_t i = 0; i < m_count; ++i)
            out.push_back(m_slots[(first + i) % m_slots.size()]);
        m_next = 0;
        m_count = 0;
        return out;
    }

private:
    std::mutex m_mutex;
    std::vector<TraceEntry> m_slots;
    std::size_t m_next = 0;
    std::size_t m_count = 0;
};

} // namespace

QByteArray format_trace(const std::vector<TraceEntry>& entries) {
    QByteArray out;
    char block = 0;
    int column = 0;
    for (const TraceEntry& entry : entries) {
        if (entry.direction != block) {
            if (block != 0)
                out += "\r\n\r\n";
            out += entry.direction == 'T' ? "Transmit: \r\n" : "Receive: \r\n";
            block = entry.direction;
            column = 0;
        }
        const QByteArray item = trace_item(entry.byte);
        column += int(item.size());
        if (column > limits::kTraceColumns) {
            out += "\r\n";
            column = int(item.size());
        }
        out += item;
    }
    return out;
}

QString device_for_com(int number) {
    const QString configured = qEnvironmentVariable(qPrintable(QStringLiteral("TANKDEF_COM%1").arg(number)));
    if (!configured.isEmpty())
        return configured;
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QString chooser_entry(int number) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("COM%1 (%2)").arg(number).arg(device_for_com(number));
#endif
}

std::optional<quint16> com_number_of(const QString& entry) {
    static const QRegularExpression pattern(QStringLiteral("^COM(\\d{1,5})(?!\\d)"));
    const QRegularExpressionMatch match = pattern.match(entry);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const uint number = match.captured(1).toUInt(&ok);
    if (!ok || number == 0 || number > 0xFFFF)
        return std::nullopt;
    return quint16(number);
}

struct ComPort::Impl {
    explicit Impl(ComPort* owner) : q(owner) {}

    ComPort* q;
    QSerialPort port;
    quint16 com = 0;
    QString device; // the device of the current or last open
    qint32 baud = limits::kBaudAtCreation;
    bool open = false;
    bool tracing = false;
    QString trace_name = kDefaultTraceName;
    PortChooser chooser;
    PortProbe probe;
    std::deque<quint8> rx; // the receive buffer between the device and the event
    quint64 session = 0;   // a new one at every open and close; stale announcements see the change
    quint64 taken = 0;     // bytes ReadChar has handed out, to tell whether a handler took any
    bool announce_pending = false;
    bool lost_pending = false;
    TraceRing trace;

    void open_sequence();
    void close_sequence(bool forced);
    void raise_modem_lines();
    void write_trace_file();
    void pull();
    void schedule_announce();
    void announce(quint64 at_session);
    void on_error(QSerialPort::SerialPortError error);
    void report_lost(const QString& text);
    QString lost_text(const QString& system_text) const;
    void lose(quint64 at_session, const QString& text);
    void push_out(const QByteArray& text);
};

ComPort::ComPort(QObject* parent) : QObject(parent), m_impl(std::make_unique<Impl>(this)) {
    connect(&m_impl->port, &QSerialPort::readyRead, this, [this] {
        m_impl->pull();
        m_impl->schedule_announce();
    });
    connect(&m_impl->port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { m_impl->on_error(error); });
}

ComPort::~ComPort() {
    if (!m_impl->open)
        return;
    try {
        m_impl->close_sequence(true);
    } catch (...) {
        // Nobody is left to tell; the device is released regardless.
    }
}

quint16 ComPort::ComNumber() const {
    return m_impl->com;
}

void ComPort::setComNumber(quint16 number) {
    if (number == m_impl->com)
        return;
    if (!m_impl->open) {
        m_impl->com = number;
        return;
    }
    m_impl->close_sequence(false);
    m_impl->com = number;
    m_impl->open_sequence();
}

qint32 ComPort::Baud() const {
    return m_impl->baud;
}

void ComPort::setBaud(qint32 baud) {
    if (m_impl->open && !m_impl->port.setBaudRate(baud)) {
        const QString text = m_impl->port.errorString();
        m_impl->port.clearError();
        raise_error(text);
    }
    m_impl->baud = baud;
}

bool ComPort::Open() const {
    return m_impl->open;
}

void ComPort::setOpen(bool open) {
    if (open == m_impl->open)
        return;
    if (open)
        m_impl->open_sequence();
    else
        m_impl->close_sequence(false);
}

void ComPort::WriteString(const QByteArray& text) {
    if (!m_impl->open)
        m_impl->open_sequence();
    if (text.isEmpty())
        return;
    const qint64 queued = m_impl->port.bytesToWrite() + driver_output_queue(m_impl->port);
    if (limits::kQueueSize - queued < text.size())
        raise_error(kTooSmallText);
    m_impl->push_out(text);
}

int ComPort::ReadChar() {
    if (!m_impl->open)
        m_impl->open_sequence();
    if (m_impl->rx.empty())
        raise_error(kEmptyText);
    const quint8 byte = m_impl->rx.front();
    m_impl->rx.pop_front();
    ++m_impl->taken;
    return byte;
}

int ComPort::Count() const {
    return int(m_impl->rx.size());
}

QString ComPort::traceName() const {
    return m_impl->trace_name;
}

void ComPort::setTraceName(const QString& name) {
    m_impl->trace_name = name;
}

void ComPort::setPortChooser(PortChooser chooser) {
    m_impl->chooser = std::move(chooser);
}

void ComPort::setPortProbe(PortProbe probe) {
    m_impl->probe = std::move(probe);
}

QStringList ComPort::chooserEntries() const {
    QStringList entries;
    for (int number = 1; number <= limits::kChooserPorts; ++number) {
        const bool exists = m_impl->probe ? m_impl->probe(number) : probe_port(number);
        if (exists)
            entries << chooser_entry(number);
    }
    return entries;
}

bool ComPort::probe_port(int number) {
    QString path;
    try {
        path = resolve_device(number);
    } catch (const TankdefError&) {
        return false;
    }
    QSerialPort trial;
    trial.setPortName(path);
    trial.setReadBufferSize(limits::kChooserQueueSize);
    if (trial.open(QIODevice::ReadWrite)) {
        trial.close();
        return true;
    }
    // Held by another program still counts: the port is there, only busy.
    return trial.error() == QSerialPort::PermissionError && accessible(path);
}

void ComPort::Impl::open_sequence() {
    if (com == 0) {
        const QStringList entries = q->chooserEntries();
        const std::optional<QString> answer = chooser ? chooser(entries) : TComSelectForm::ask(entries);
        const std::optional<quint16> number = answer ? com_number_of(*answer) : std::nullopt;
        if (!number)
            raise_error(kNotSetText);
        com = *number;
    }
    const QString path = resolve_device(com);
    device = path;
    port.setPortName(path);
    port.setBaudRate(baud);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    // Qt's own read buffer plays the device input queue: when the receive buffer is full, at most this
    // much more is taken from the driver and the rest waits there.
    port.setReadBufferSize(limits::kQueueSize);
    if (!port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port.error();
        const QString text = port.errorString();
        port.clearError();
        raise_error(open_error_text(error, text, path));
    }
    try {
        raise_modem_lines();
    } catch (...) {
        port.close();
        port.clearError();
        throw;
    }
    trace.clear();
    tracing = true;
    rx.clear();
    ++session;
    announce_pending = false;
    lost_pending = false;
    open = true;
}

void ComPort::Impl::raise_modem_lines() {
    using Setter = bool (QSerialPort::*)(bool);
    for (const Setter set :
         {Setter(&QSerialPort::setDataTerminalReady), Setter(&QSerialPort::setRequestToSend)}) {
        if ((port.*set)(true))
            continue;
        const QString text = port.errorString();
        port.clearError();
#ifdef Q_OS_UNIX
        // A device without modem-control lines (a pseudo-terminal) refuses the request; the line works.
        if (text == qt_error_string(ENOTTY))
            continue;
#endif
        raise_error(text);
    }
}

void ComPort::Impl::close_sequence(bool forced) {
    if (tracing) {
        tracing = false;
        if (forced) {
            try {
                write_trace_file();
            } catch (const TankdefError&) {
                // The device goes regardless; its trace is lost with it.
            }
        } else {
            write_trace_file(); // a failure leaves the port open; the next close finds no trace
        }
    }
    open = false;
    port.clear(QSerialPort::AllDirections);
    rx.clear();
    ++session;
    announce_pending = false;
    lost_pending = false;
    port.close();
    port.clearError();
}

void ComPort::Impl::write_trace_file() {
    const std::vector<TraceEntry> entries = trace.take();
    if (entries.empty())
        return;
    QSaveFile file(trace_name);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        const QByteArray bytes = format_trace(entries);
        written = file.write(bytes) == bytes.size();
        written = written && file.commit();
    }
    if (!written) {
        raise_error(QStringLiteral("Cannot write the trace file \"%1\": %2. The trace was discarded and "
                                   "the port is still open.")
                        .arg(trace_name, file.errorString()));
    }
}

void ComPort::Impl::push_out(const QByteArray& text) {
#ifdef Q_OS_UNIX
    // QSerialPort only buffers and writes from the event loop; the transmitter's pauses take no events,
    // so the bytes go to the driver here, and nothing of Qt's (readyRead above all) runs meanwhile.
    const int fd = int(port.handle());
    qsizetype done = 0;
    int failure = 0;
    QElapsedTimer clock;
    clock.start();
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            const qint64 left = limits::kWriteDrainMs - clock.elapsed();
            if (left <= 0) {
                failure = EAGAIN;
                break;
            }
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, int(left));
            continue;
        }
        failure = n < 0 ? errno : EIO;
        break;
    }
    if (tracing)
        trace.add('T', text.constData(), done);
    if (failure != 0) {
        if (failure == EIO || failure == ENXIO || failure == ENODEV)
            report_lost(lost_text(qt_error_string(failure)));
        raise_error(kRefusedText);
    }
#else
    if (port.write(text) != text.size()) {
        port.clear(QSerialPort::Output);
        port.clearError();
        raise_error(kRefusedText);
    }
    QElapsedTimer clock;
    clock.start();
    while (port.bytesToWrite() > 0 && clock.elapsed() < limits::kWriteDrainMs) {
        if (!port.flush() && port.error() != QSerialPort::NoError)
            break;
    }
    const qint64 left = port.bytesToWrite();
    if (tracing)
        trace.add('T', text.constData(), text.size() - left);
    if (left > 0) {
        port.clear(QSerialPort::Output);
        port.clearError();
        raise_error(kRefusedText);
    }
#endif
}

void ComPort::Impl::pull() {
    if (!open)
        return;
    const qint64 room = limits::kReceiveBuffer - qint64(rx.size());
    if (room <= 0)
        return;
    const QByteArray bytes = port.read(room);
    if (bytes.isEmpty())
        return;
    if (tracing)
        trace.add('R', bytes.constData(), bytes.size());
    rx.insert(rx.end(), bytes.begin(), bytes.end());
}

void ComPort::Impl::schedule_announce() {
    if (announce_pending || rx.empty() || !open)
        return;
    announce_pending = true;
    const quint64 at_session = session;
    QMetaObject::invokeMethod(
        q, [this, at_session] { announce(at_session); }, Qt::QueuedConnection);
}

void ComPort::Impl::announce(quint64 at_session) {
    if (at_session != session)
        return; // dropped by a close
    announce_pending = false;
    pull();
    if (rx.empty())
        return;
    const quint64 taken_before = taken;
    const QPointer<ComPort> alive(q);
    Q_EMIT q->TriggerAvail(quint16(rx.size()));
    if (!alive || at_session != session)
        return;
    pull();
    // Bytes the handler left stay for a later event; announce again only if it takes bytes at all, so a
    // handler that takes none does not spin the loop (new bytes announce themselves).
    if (taken != taken_before)
        schedule_announce();
}

void ComPort::Impl::on_error(QSerialPort::SerialPortError error) {
    if (!open)
        return;
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        report_lost(lost_text(port.errorString()));
}

QString ComPort::Impl::lost_text(const QString& system_text) const {
    // A device node that is gone says more than the system text, which after a hang-up can be stale.
#ifdef Q_OS_WIN
    const bool removed = false;
#else
    const bool removed = !QFileInfo::exists(device);
#endif
    return QStringLiteral("COM%1 (%2) is no longer available: %3")
        .arg(com)
        .arg(device, removed ? QStringLiteral("the device was removed") : system_text);
}

void ComPort::Impl::report_lost(const QString& text) {
    // A vanished device reports again at every turn of the loop; only the first report counts, and the
    // close runs from the loop, never inside QSerialPort's own notification or inside a write of ours.
    if (lost_pending)
        return;
    lost_pending = true;
    const quint64 at_session = session;
    QMetaObject::invokeMethod(
        q, [this, at_session, text] { lose(at_session, text); }, Qt::QueuedConnection);
}

void ComPort::Impl::lose(quint64 at_session, const QString& text) {
    if (at_session != session || !open)
        return;
    close_sequence(true);
    Q_EMIT q->PortLost(text);
}

TComSelectForm::TComSelectForm(const QStringList& entries, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComSelectForm"));
    setWindowTitle(QStringLiteral("Select Port"));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    auto* text = new QLabel(
        QStringLiteral("The configured serial port is not valid.\nPlease choose another port."), frame);
    auto* frame_layout = new QVBoxLayout(frame);
    frame_layout->addWidget(text);

    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName(QStringLiteral("PortsComboBox"));
    PortsComboBox->setEditable(false);
    PortsComboBox->addItems(entries);
    if (!entries.isEmpty())
        PortsComboBox->setCurrentIndex(0);

    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    AbortBtn = new QPushButton(QStringLiteral("Cancel"), this);
    AbortBtn->setObjectName(QStringLiteral("AbortBtn"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addWidget(AbortBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(PortsComboBox);
    layout->addLayout(buttons);

    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(AbortBtn, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> TComSelectForm::chosen() const {
    if (result() != QDialog::Accepted || PortsComboBox->count() == 0 || PortsComboBox->currentIndex() < 0)
        return std::nullopt;
    return PortsComboBox->currentText();
}

std::optional<QString> TComSelectForm::ask(const QStringList& entries) {
    TComSelectForm form(entries);
    form.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = form.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form.move(frame.topLeft());
    }
    form.exec();
    return form.chosen();
}
