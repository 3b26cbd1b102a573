#include "line_client.h"
#include "sim_state.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

const QString kProgram = QStringLiteral(TANKDEF_SIM_PROGRAM);

// Starts the program and reads the path it prints; empty when it printed none.
QString start(QProcess& process, const QStringList& arguments) {
    process.start(kProgram, arguments);
    if (!process.waitForStarted(10000))
        return {};
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(10000))
        out += process.readAllStandardOutput();
    return QString::fromLocal8Bit(out).trimmed();
}

bool link_exists(const QString& path) {
    return QFileInfo(path).isSymLink() || QFileInfo::exists(path);
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serves_on_its_link_until_sigterm();
    void sigint_also_removes_the_link();
    void options_reach_the_controller();
    void unreadable_state_stops_the_start();
    void unsaved_state_is_reported_at_exit();
    void help_lists_options_and_faults();
    void bad_options_are_refused_data();
    void bad_options_are_refused();
};

void TestSimProgram::serves_on_its_link_until_sigterm() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("tankdef/com1"); // its folder does not exist yet
    const QString state = dir.filePath("state.json");
    const QString log = dir.filePath("line.log");
    QProcess process;
    QCOMPARE(start(process, {"--link", link, "--state", state, "--log", log}), link);
    QVERIFY(QFileInfo(link).isSymLink());

    {
        LineClient line(link);
        QVERIFY(line.is_open());
        line.send("$");
        QCOMPARE(line.read_line(), std::optional<QByteArray>("OK"));
    }
    // Closing and reopening the port is not the end of the line.
    LineClient again(link);
    QVERIFY(again.is_open());
    again.send("$");
    QCOMPARE(again.read_line(), std::optional<QByteArray>("OK"));
    again.close();

    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!link_exists(link));
    sim::SimState saved;
    QVERIFY(sim::load_state_file(state, saved));
    QCOMPARE(saved, sim::sample_state(2));
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(text.count(" RX $\n"), 2);
    QCOMPARE(text.count(" TX OK<CR><LF>\n"), 2);
}

void TestSimProgram::sigint_also_removes_the_link() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("com1");
    QProcess process;
    QCOMPARE(start(process, {"--link", link}), link);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!link_exists(link));
}

void TestSimProgram::options_reach_the_controller() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("com1");
    QProcess process;
    QCOMPARE(start(process, {"--link", link, "--channels", "3", "--relays", "4", "--no-closing-dollar",
                             "--fault", "wrong-kind"}),
             link);
    LineClient line(link);
    QVERIFY(line.is_open());
    line.send("$");
    QCOMPARE(line.read_line(), std::optional<QByteArray>("OK"));
    QThread::msleep(120);
    line.send("N\r");
    QCOMPARE(line.read_line(), std::optional<QByteArray>("IC"));
    line.send("$");
    QCOMPARE(line.read_line(), std::optional<QByteArray>("OK"));
    QThread::msleep(120);
    line.send("RC\r");
    QCOMPARE(line.read_line(), std::optional<QByteArray>("ERR"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));

    // Without a link the device itself is printed.
    QProcess plain;
    const QString device = start(plain, {"--relays", "4", "--no-closing-dollar"});
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));
    LineClient direct(device);
    QVERIFY(direct.is_open());
    direct.send("$");
    QCOMPARE(direct.read_line(), std::optional<QByteArray>("OK"));
    QThread::msleep(120);
    direct.send("RA\r");
    const auto reply = direct.read_line();
    QVERIFY(reply);
    QCOMPARE(int(reply->count('$')), 20);
    QVERIFY(!reply->endsWith('$'));
    plain.terminate();
    QVERIFY(plain.waitForFinished(10000));
}

void TestSimProgram::unreadable_state_stops_the_start() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString state = dir.filePath("state.json");
    QFile file(state);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    const QString link = dir.filePath("com1");
    QProcess process;
    QCOMPARE(start(process, {"--link", link, "--state", state}), QString());
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("state.json"));
    QVERIFY(!link_exists(link));
    // The file that could not be read is left as it was, not replaced by a fresh state.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("{ not json"));
}

void TestSimProgram::unsaved_state_is_reported_at_exit() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("com1");
    QProcess process;
    QCOMPARE(start(process, {"--link", link, "--state", dir.filePath("missing/folder/state.json")}), link);
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("the state was not saved"));
    QVERIFY(!link_exists(link));
}

void TestSimProgram::help_lists_options_and_faults() {
    QProcess process;
    process.start(kProgram, {"--help"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const char* option : {"--link", "--channels", "--relays", "--no-closing-dollar", "--state", "--log",
                               "--line-rate", "--fault"})
        QVERIFY2(help.contains(option), option);
    for (const char* fault : {"silent", "silent-followup", "garbage", "split", "overlong", "table-2500",
                              "hangup-mid-table", "wrong-kind"})
        QVERIFY2(help.contains(QStringLiteral("  %1 ").arg(fault)), fault);
}

void TestSimProgram::bad_options_are_refused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("relay count") << QStringList{"--relays", "8"};
    QTest::newRow("no channels") << QStringList{"--channels", "0"};
    QTest::newRow("too many channels") << QStringList{"--channels", "64"};
    QTest::newRow("channels not a number") << QStringList{"--channels", "two"};
    QTest::newRow("unknown fault") << QStringList{"--fault", "smoke"};
    QTest::newRow("stray argument") << QStringList{"extra"};
}

void TestSimProgram::bad_options_are_refused() {
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(kProgram, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().startsWith("tankdef-sim: "));
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "test_sim_program.moc"
