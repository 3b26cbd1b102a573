// The port's pure rules and its failures that need no device: trace file format, COM naming, the
// chooser's list and answers, open errors for a missing device.
#include "errors.h"
#include "serial_port.h"
#include "test_files.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

using Entries = std::vector<TraceEntry>;

Entries run(char direction, const QByteArray& bytes) {
    Entries out;
    for (char byte : bytes)
        out.push_back(TraceEntry{direction, quint8(byte)});
    return out;
}

Entries operator+(Entries a, const Entries& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const QString kBadId = QStringLiteral("ie_BadId - Specified comport doesn't exist");
const QString kNotSet = QStringLiteral("The ComNumber property of the TApdComPort has not been set");

} // namespace

class TestSerialTrace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void format_trace_data();
    void format_trace();

    void device_for_com_data();
    void device_for_com();
    void com_number_of_data();
    void com_number_of();

    void fresh_port_has_creation_values();
    void chooser_lists_what_the_probe_finds();
    void chooser_cancel_fails_the_open();
    void chooser_empty_list_fails_the_open();
    void chooser_answer_sets_the_number_before_opening();
    void probe_skips_missing_devices();

    void missing_device_data();
    void missing_device();
    void select_port_dialog_layout();
    void select_port_dialog_answers_data();
    void select_port_dialog_answers();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous_dir;
};

void TestSerialTrace::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previous_dir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    for (int n = 1; n <= 50; ++n)
        qunsetenv(qPrintable(QStringLiteral("TANKDEF_COM%1").arg(n)));
}

void TestSerialTrace::cleanup() {
    QDir::setCurrent(m_previous_dir);
    m_dir.reset();
}

void TestSerialTrace::format_trace_data() {
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray x78(78, 'x');
    QTest::newRow("nothing moved") << Entries{} << QByteArray();
    QTest::newRow("send then receive: five lines")
        << run('T', "AB\r") + run('R', "OK\r\n")
        << QByteArray("Transmit: \r\nAB[0D]\r\n\r\nReceive: \r\nOK[0D][0A]");
    QTest::newRow("space and controls as hex")
        << run('T', QByteArray(" \x00\x7F\x09", 4)) << QByteArray("Transmit: \r\n[20][00][7F][09]");
    QTest::newRow("printable bounds as themselves") << run('T', "!~") << QByteArray("Transmit: \r\n!~");
    QTest::newRow("bytes of 0x80 and above as hex")
        << run('R', "\x80\xC8\xFF") << QByteArray("Receive: \r\n[80][C8][FF]");
    QTest::newRow("78 columns fit one line") << run('T', x78) << "Transmit: \r\n" + x78;
    QTest::newRow("79th column starts a line") << run('T', x78 + "y") << "Transmit: \r\n" + x78 + "\r\ny";
    QTest::newRow("hex item passing 78 moves to the next line")
        << run('T', QByteArray(75, 'x') + "\r") << "Transmit: \r\n" + QByteArray(75, 'x') + "\r\n[0D]";
    QTest::newRow("hex item ending at 78 stays")
        << run('T', QByteArray(74, 'x') + "\r") << "Transmit: \r\n" + QByteArray(74, 'x') + "[0D]";
    QByteArray nineteen_hex;
    for (int i = 0; i < 19; ++i)
        nineteen_hex += "[0D]";
    QTest::newRow("twentieth hex item breaks")
        << run('T', QByteArray(20, '\r')) << "Transmit: \r\n" + nineteen_hex + "\r\n[0D]";
    QTest::newRow("long block over three lines")
        << run('T', QByteArray(200, 'x'))
        << "Transmit: \r\n" + x78 + "\r\n" + x78 + "\r\n" + QByteArray(44, 'x');
    QTest::newRow("columns counted per block")
        << run('T', QByteArray(70, 'a')) + run('R', QByteArray(70, 'b'))
        << "Transmit: \r\n" + QByteArray(70, 'a') + "\r\n\r\nReceive: \r\n" + QByteArray(70, 'b');
    QTest::newRow("alternating blocks")
        << run('T', "a") + run('R', "b") + run('T', "c")
        << QByteArray("Transmit: \r\na\r\n\r\nReceive: \r\nb\r\n\r\nTransmit: \r\nc");
    QTest::newRow("frame sent one character at a time is one block")
        << run('T', "$") + run('T', "N") + run('T', "\r") << QByteArray("Transmit: \r\n$N[0D]");
}

void TestSerialTrace::format_trace() {
    QFETCH(Entries, entries);
    QFETCH(QByteArray, expected);
    const QByteArray text = ::format_trace(entries);
    QCOMPARE(text, expected);
    // No data line is ever wider than 78 columns.
    for (const QByteArray& line : text.split('\n'))
        QVERIFY2(line.size() - (line.endsWith('\r') ? 1 : 0) <= 78, line.constData());
}

void TestSerialTrace::device_for_com_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("expected");
    QTest::newRow("COM1 by default") << 1 << QString() << QStringLiteral("/dev/ttyS0");
    QTest::newRow("COM12 by default") << 12 << QString() << QStringLiteral("/dev/ttyS11");
    QTest::newRow("COM3 configured") << 3 << QStringLiteral("/dev/ttyUSB0") << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("empty setting is no setting") << 4 << QStringLiteral("") << QStringLiteral("/dev/ttyS3");
}

void TestSerialTrace::device_for_com() {
    QFETCH(int, number);
    QFETCH(QString, configured);
    QFETCH(QString, expected);
    const QByteArray variable = QStringLiteral("TANKDEF_COM%1").arg(number).toLatin1();
    if (!configured.isNull())
        qputenv(variable.constData(), configured.toLocal8Bit());
    QCOMPARE(::device_for_com(number), expected);
    // Only the variable of that number counts.
    QCOMPARE(::device_for_com(number + 1), QStringLiteral("/dev/ttyS%1").arg(number));
    qunsetenv(variable.constData());
}

void TestSerialTrace::com_number_of_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("expected"); // -1: none
    QTest::newRow("plain") << QStringLiteral("COM3") << 3;
    QTest::newRow("with the device") << QStringLiteral("COM12 (/dev/ttyUSB0)") << 12;
    QTest::newRow("device digits ignored") << QStringLiteral("COM5 (/dev/ttyS4)") << 5;
    QTest::newRow("no digits") << QStringLiteral("COM") << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("zero is no port") << QStringLiteral("COM0") << -1;
    QTest::newRow("not at the start") << QStringLiteral("xCOM3") << -1;
    QTest::newRow("beyond 16 bits") << QStringLiteral("COM70000") << -1;
}

void TestSerialTrace::com_number_of() {
    QFETCH(QString, entry);
    QFETCH(int, expected);
    const std::optional<quint16> number = ::com_number_of(entry);
    QCOMPARE(number.has_value() ? int(*number) : -1, expected);
}

void TestSerialTrace::fresh_port_has_creation_values() {
    ComPort port;
    QCOMPARE(port.ComNumber(), quint16(0));
    QCOMPARE(port.Baud(), 19200);
    QVERIFY(!port.Open());
    QCOMPARE(port.Count(), 0);
    QCOMPARE(port.traceName(), QStringLiteral("APRO.TRC"));
}

void TestSerialTrace::chooser_lists_what_the_probe_finds() {
    ComPort port;
    QList<int> probed;
    port.setPortProbe([&](int number) {
        probed << number;
        return number == 1 || number == 3 || number == 50;
    });
    qputenv("TANKDEF_COM3", "/dev/ttyUSB0");
    QCOMPARE(port.chooserEntries(),
             (QStringList{QStringLiteral("COM1 (/dev/ttyS0)"), QStringLiteral("COM3 (/dev/ttyUSB0)"),
                          QStringLiteral("COM50 (/dev/ttyS49)")}));
    QCOMPARE(probed.size(), 50);
    QCOMPARE(probed.first(), 1);
    QCOMPARE(probed.last(), 50);
}

void TestSerialTrace::chooser_cancel_fails_the_open() {
    ComPort port;
    port.setPortProbe([](int number) { return number == 2; });
    QStringList offered;
    int asked = 0;
    port.setPortChooser([&](const QStringList& entries) -> std::optional<QString> {
        ++asked;
        offered = entries;
        return std::nullopt;
    });
    QCOMPARE(raised_text([&] { port.setOpen(true); }), kNotSet);
    QCOMPARE(asked, 1);
    QCOMPARE(offered, QStringList{QStringLiteral("COM2 (/dev/ttyS1)")});
    QVERIFY(!port.Open());
    QCOMPARE(port.ComNumber(), quint16(0));
    // A write on the closed port opens first, so it asks again and fails the same way.
    QCOMPARE(raised_text([&] { port.WriteString("x"); }), kNotSet);
    QCOMPARE(asked, 2);
}

void TestSerialTrace::chooser_empty_list_fails_the_open() {
    ComPort port;
    port.setPortProbe([](int) { return false; });
    QStringList offered{QStringLiteral("sentinel")};
    port.setPortChooser([&](const QStringList& entries) -> std::optional<QString> {
        offered = entries;
        return entries.isEmpty() ? std::nullopt : std::optional<QString>(entries.first());
    });
    QCOMPARE(raised_text([&] { port.setOpen(true); }), kNotSet);
    QVERIFY(offered.isEmpty());
    QVERIFY(!port.Open());
}

void TestSerialTrace::chooser_answer_sets_the_number_before_opening() {
    // "OK" on an entry whose device is gone by now: the number is taken, the open fails on the device.
    ComPort port;
    qputenv("TANKDEF_COM9", QFile::encodeName(m_dir->filePath(QStringLiteral("gone"))));
    port.setPortProbe([](int number) { return number == 9; });
    port.setPortChooser([](const QStringList& entries) -> std::optional<QString> { return entries.first(); });
    QCOMPARE(raised_text([&] { port.setOpen(true); }), kBadId);
    QCOMPARE(port.ComNumber(), quint16(9));
    QVERIFY(!port.Open());
}

void TestSerialTrace::probe_skips_missing_devices() {
    qputenv("TANKDEF_COM11", QFile::encodeName(m_dir->filePath(QStringLiteral("missing"))));
    QVERIFY(!ComPort::probe_port(11));
}

void TestSerialTrace::missing_device_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("open") << QStringLiteral("open");
    QTest::newRow("write opens first") << QStringLiteral("write");
    QTest::newRow("read opens first") << QStringLiteral("read");
    QTest::newRow("dangling link") << QStringLiteral("link");
}

void TestSerialTrace::missing_device() {
    QFETCH(QString, how);
    const QString device = m_dir->filePath(QStringLiteral("no-such-device"));
    QString name = device;
    if (how == QLatin1String("link")) {
        name = m_dir->filePath(QStringLiteral("dangling"));
        QVERIFY(QFile::link(device, name));
    }
    qputenv("TANKDEF_COM7", QFile::encodeName(name));
    {
        QFile old(QStringLiteral("APRO.TRC"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier period");
    }
    ComPort port;
    port.setComNumber(7);
    QString error;
    if (how == QLatin1String("write"))
        error = raised_text([&] { port.WriteString("abc"); });
    else if (how == QLatin1String("read"))
        error = raised_text([&] { port.ReadChar(); });
    else
        error = raised_text([&] { port.setOpen(true); });
    QCOMPARE(error, kBadId);
    QVERIFY(!port.Open());
    port.setOpen(false);
    QCOMPARE(read_file(QStringLiteral("APRO.TRC")), QByteArray("earlier period"));
}

void TestSerialTrace::select_port_dialog_layout() {
    const QStringList entries{QStringLiteral("COM1 (/dev/ttyS0)"), QStringLiteral("COM4 (/dev/ttyUSB0)")};
    TComSelectForm form(entries);
    QCOMPARE(form.windowTitle(), QStringLiteral("Select Port"));
    QCOMPARE(form.PortsComboBox->objectName(), QStringLiteral("PortsComboBox"));
    QVERIFY(!form.PortsComboBox->isEditable());
    QCOMPARE(form.PortsComboBox->count(), 2);
    QCOMPARE(form.PortsComboBox->currentIndex(), 0);
    QCOMPARE(form.OkBtn->objectName(), QStringLiteral("OkBtn"));
    QCOMPARE(form.OkBtn->text(), QStringLiteral("OK"));
    QVERIFY(form.OkBtn->isDefault());
    QCOMPARE(form.AbortBtn->objectName(), QStringLiteral("AbortBtn"));
    QCOMPARE(form.AbortBtn->text(), QStringLiteral("Cancel"));
    bool framed_text = false;
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        if (label->text() ==
            QStringLiteral("The configured serial port is not valid.\nPlease choose another port."))
            framed_text = qobject_cast<QFrame*>(label->parentWidget()) != nullptr;
    }
    QVERIFY(framed_text);
}

void TestSerialTrace::select_port_dialog_answers_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("pick");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("expected"); // null: no answer
    const QStringList two{QStringLiteral("COM1"), QStringLiteral("COM4")};
    QTest::newRow("OK on the first") << two << 0 << true << QStringLiteral("COM1");
    QTest::newRow("OK on another") << two << 1 << true << QStringLiteral("COM4");
    QTest::newRow("Cancel") << two << 1 << false << QString();
    QTest::newRow("OK on an empty list") << QStringList{} << -1 << true << QString();
}

void TestSerialTrace::select_port_dialog_answers() {
    QFETCH(QStringList, entries);
    QFETCH(int, pick);
    QFETCH(bool, ok);
    QFETCH(QString, expected);
    TComSelectForm form(entries);
    if (pick >= 0)
        form.PortsComboBox->setCurrentIndex(pick);
    (ok ? form.OkBtn : form.AbortBtn)->click();
    const std::optional<QString> chosen = form.chosen();
    QCOMPARE(chosen.has_value(), !expected.isNull());
    if (chosen)
        QCOMPARE(*chosen, expected);
}

QTEST_MAIN(TestSerialTrace)
#include "test_serial_trace.moc"
