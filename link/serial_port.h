#pragma once

#include <QByteArray>
#include <QDialog>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QPushButton;

// One entry of the byte trace: 'T' for a byte sent, 'R' for a byte received.
struct TraceEntry {
    char direction;
    quint8 byte;
    friend bool operator==(const TraceEntry&, const TraceEntry&) = default;
};

// The trace file's bytes for these entries, oldest first: blocks headed "Transmit: " / "Receive: ",
// printable bytes as themselves, every other byte as "[hh]", data lines of at most 78 columns.
QByteArray format_trace(const std::vector<TraceEntry>& entries);

// The device that COM n names: TANKDEF_COM<n> when set, otherwise the platform's own name for it.
QString device_for_com(int number);

// The chooser's entry for COM n: "COM3", followed on POSIX by the device, "COM3 (/dev/ttyS2)".
QString chooser_entry(int number);
// The number that follows "COM" at the start of a chooser entry; nothing when there is none.
std::optional<quint16> com_number_of(const QString& entry);

// The serial port the program talks through: a QSerialPort with the controller's fixed line settings,
// bytes read one at a time from an 8192-byte buffer, the port chooser and the byte trace file.
class ComPort : public QObject {
    Q_OBJECT
public:
    explicit ComPort(QObject* parent = nullptr);
    ~ComPort() override;

    quint16 ComNumber() const;
    void setComNumber(quint16 number); // on an open port: close, change, open again
    qint32 Baud() const;
    void setBaud(qint32 baud);
    bool Open() const;
    void setOpen(bool open); // runs the open or close sequence; raises TankdefError on failure

    // Puts the bytes on the line before it returns; opens a closed port first (AutoOpen).
    void WriteString(const QByteArray& text);
    // The next received byte, taken out of the receive buffer; raises "Buffer is empty" when none waits.
    int ReadChar();
    // Bytes waiting in the receive buffer (at most 8192).
    int Count() const;

    QString traceName() const;
    void setTraceName(const QString& name);

    // Port chooser seam: given the chooser's entries ("COM3", ...), the entry the operator confirmed,
    // or nothing for Cancel. The program shows the "Select Port" dialog; tests answer directly.
    using PortChooser = std::function<std::optional<QString>(const QStringList& entries)>;
    void setPortChooser(PortChooser chooser);
    // Which numbers exist (free or held by another program), for the chooser's list. Tests inject it.
    using PortProbe = std::function<bool(int number)>;
    void setPortProbe(PortProbe probe);
    QStringList chooserEntries() const;

    // The probe the program uses: COM n opens, or exists and is held by another program.
    static bool probe_port(int number);

Q_SIGNALS:
    // Received bytes are waiting; delivered through the event loop, never inside a handler of ours.
    void TriggerAvail(quint16 count);
    // The device vanished while open; the close sequence has already run.
    void PortLost(const QString& error);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The "Select Port" dialog that opening with no port chosen shows.
class TComSelectForm : public QDialog {
    Q_OBJECT
public:
    explicit TComSelectForm(const QStringList& entries, QWidget* parent = nullptr);

    // The confirmed entry, or nothing for Cancel, a closed dialog or an empty list.
    std::optional<QString> chosen() const;
    // Shows the dialog modally, centred on the screen.
    static std::optional<QString> ask(const QStringList& entries);

    QComboBox* PortsComboBox = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* AbortBtn = nullptr;
};
