// The table file buttons against files and disks that misbehave: binary and oversized files, a file that
// vanishes after it was chosen, a folder that cannot exist and a disk that fills up during the export.

#include "f_defs.h"
#include "f_defs_ui.h"
#include "scripted_dialogs.h"
#include "table_rows.h"
#include "test_files.h"
#include "tipi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

// The peak resident memory of this process so far, in kilobytes.
qint64 peak_rss_kb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Removes the chosen file after the open dialog closed and before the window reads it.
class VanishingDialogs : public ScriptedDialogs {
public:
    QString open_file(const QString& folder, const QStringList& filters) override {
        const QString path = ScriptedDialogs::open_file(folder, filters);
        QFile::remove(path);
        return path;
    }
};

// A small tmpfs that the test fills up; unmounted whatever happens.
class TinyDisk {
public:
    explicit TinyDisk(const QString& folder) : m_folder(folder.toLocal8Bit()) {
        m_mounted =
            QDir().mkpath(folder) && ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TinyDisk() {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

// Files may grow only to a few kilobytes while it lives: writes past that fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_old_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_old_handler);
    }
    bool set() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_old_handler)(int) = nullptr;
    bool m_set = false;
};

const QByteArray kOldFile = "00001;00002\r\n";

} // namespace

class TestFileFaults : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<Tdefs> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;

    QAbstractItemModel* grid() { return m_window->ui()->grid1->model(); }
    QString path(const QString& name) const { return m_dir->filePath(name); }

    // A fresh window with a fresh answerer; the old answerer goes first, since its end uninstalls it.
    template <typename Answerer = ScriptedDialogs> void open_window() {
        m_window.reset();
        m_dialogs.reset();
        m_dialogs = std::make_unique<Answerer>();
        m_window = std::make_unique<Tdefs>();
        m_window->show();
        fill_three_rows(*m_window);
    }

    // An oversized file: one error, the table as it was, and the file not taken into memory whole, let
    // alone several times over.
    void check_refused_as_too_large(qint64 peak_before_kb) {
        const qint64 after = peak_rss_kb();
        QCOMPARE(
            m_dialogs->errors,
            QStringList(QStringLiteral(
                "The file is larger than 16 MB, far more than a strapping table takes. The table was not "
                "changed.")));
        check_three_rows_kept(grid());
        QVERIFY2(after - peak_before_kb < 40 * 1024,
                 qPrintable(QStringLiteral("peak grew by %1 kB").arg(after - peak_before_kb)));
    }

    void import(const QString& file) {
        m_dialogs->confirms = {true};
        m_dialogs->open_answers = {file};
        m_window->ui()->butt11->click();
    }

    void export_to(const QString& file) {
        m_dialogs->confirms = {true};
        m_dialogs->save_answers = {file};
        m_window->ui()->butt12->click();
    }

    // A table of 2000 rows: its export (26 KB) does not fit on the full disk.
    void fill_whole_table() {
        for (int n = 1; n <= limits::kTableRows; ++n)
            tank_tables[1].rows[n] = {double(n), double(n * 30)};
        tank_tables[1].row_count = limits::kTableRows;
    }

private Q_SLOTS:
    void init() {
        reset_shared_state();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        open_window();
    }
    void cleanup() {
        m_window.reset();
        m_dialogs.reset();
        m_dir.reset();
    }

    void binary_file_without_rows_empties_the_table() {
        // Every byte value in turn: digits and ";" never meet on one line as level and volume.
        QByteArray bytes;
        for (int round = 0; round < 1000; ++round) {
            for (int b = 0; b < 256; ++b)
                bytes += char(b);
        }
        QVERIFY(write_file(path("binary.bin"), bytes));
        import(path("binary.bin"));
        QVERIFY2(m_dialogs->errors.isEmpty(), qPrintable(m_dialogs->errors.join(" | ")));
        QCOMPARE(tank_tables[1].row_count, 0);
        QCOMPARE(tank_tables[1].rows[1], TStrapRow({-1, -1}));
        QCOMPARE(grid()->rowCount(), 0);
    }

    void random_binary_file_is_taken_whole_or_refused_whole_data() {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("size");
        QTest::newRow("small noise") << 1u << 4096;
        QTest::newRow("noise of a megabyte") << 2u << 1024 * 1024;
        QTest::newRow("noise rich in digits and separators") << 3u << 256 * 1024;
    }
    void random_binary_file_is_taken_whole_or_refused_whole() {
        QFETCH(quint32, seed);
        QFETCH(int, size);
        QRandomGenerator random(seed);
        QByteArray bytes(size, '\0');
        const bool rich = seed == 3;
        for (char& c : bytes) {
            const quint32 value = random.bounded(256u);
            c = rich && value < 160 ? "0123456789;;\n\r"[value % 14] : char(value);
        }
        QVERIFY(write_file(path("noise.bin"), bytes));
        import(path("noise.bin"));
        if (m_dialogs->errors.isEmpty()) {
            // Accepted: the grid shows exactly the rows the table holds, every one two whole numbers.
            QVERIFY(tank_tables[1].row_count >= 0 && tank_tables[1].row_count <= limits::kTableRows);
            QCOMPARE(grid()->rowCount(), tank_tables[1].row_count);
            for (int n = 1; n <= tank_tables[1].row_count; ++n)
                QVERIFY(tank_tables[1].rows[n].level >= 0 && tank_tables[1].rows[n].volume >= 0);
            for (int n = tank_tables[1].row_count + 1; n <= limits::kTableRows; ++n)
                QCOMPARE(tank_tables[1].rows[n], TStrapRow({-1, -1}));
        } else {
            QCOMPARE(m_dialogs->errors.size(), 1);
            QVERIFY(m_dialogs->errors[0].endsWith(QStringLiteral("The table was not changed.")));
            QVERIFY(m_dialogs->errors[0].size() < 200);
            check_three_rows_kept(grid());
        }
    }

    void oversized_file_is_refused_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("valid rows") << QByteArray("00100;01234\r\n");
        QTest::newRow("one endless number") << QByteArray("7777777777777777");
        QTest::newRow("text without rows") << QByteArray("Livello e volume del serbatoio\r\n");
    }
    void oversized_file_is_refused() {
        QFETCH(QByteArray, line);
        const qint64 size = 50LL * 1024 * 1024;
        {
            QFile file(path("big.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray block = line.repeated(int((1024 * 1024) / line.size()) + 1).left(1024 * 1024);
            for (qint64 written = 0; written < size; written += block.size())
                QCOMPARE(file.write(block), block.size());
        }
        const qint64 before = peak_rss_kb();
        import(path("big.txt"));
        check_refused_as_too_large(before);
    }

    void endless_device_is_refused() {
        if (!QFile::exists(QStringLiteral("/dev/zero")))
            QSKIP("no /dev/zero here");
        const qint64 before = peak_rss_kb();
        import(QStringLiteral("/dev/zero"));
        check_refused_as_too_large(before);
    }

    void file_of_the_largest_accepted_size_is_read() {
        // Just under the limit: 2000 rows, then text lines that are no rows.
        QByteArray bytes;
        for (int n = 1; n <= limits::kTableRows; ++n)
            bytes += QByteArray::number(n) + ";" + QByteArray::number(n + 1) + "\r\n";
        const QByteArray filler = "nessuna riga qui\r\n";
        bytes += filler.repeated(int((limits::kTableFileMaxBytes - bytes.size()) / filler.size()));
        QVERIFY(bytes.size() <= limits::kTableFileMaxBytes);
        QVERIFY(write_file(path("limit.txt"), bytes));
        import(path("limit.txt"));
        QVERIFY2(m_dialogs->errors.isEmpty(), qPrintable(m_dialogs->errors.join(" | ")));
        QCOMPARE(tank_tables[1].row_count, limits::kTableRows);
        QCOMPARE(tank_tables[1].rows[limits::kTableRows], TStrapRow({2000, 2001}));
    }

    void three_thousand_rows_are_refused() {
        QByteArray bytes;
        for (int n = 1; n <= 3000; ++n)
            bytes += QByteArray::number(n) + ";" + QByteArray::number(n * 2) + "\r\n";
        QVERIFY(write_file(path("rows3000.csv"), bytes));
        import(path("rows3000.csv"));
        QCOMPARE(m_dialogs->errors,
                 QStringList(QStringLiteral(
                     "The file holds more than 2000 table rows (line 2001). The table was not changed.")));
        check_three_rows_kept(grid());
    }

    void file_that_vanishes_after_the_dialog() {
        open_window<VanishingDialogs>();
        QVERIFY(write_file(path("gone.txt"), "1;2\r\n3;4\r\n"));
        import(path("gone.txt"));
        QVERIFY(!QFile::exists(path("gone.txt")));
        QCOMPARE(m_dialogs->errors, QStringList(QStringLiteral("File not found")));
        check_three_rows_kept(grid());
    }

    void export_where_the_folder_is_a_plain_file() {
        QVERIFY(write_file(path("plain"), kOldFile));
        export_to(path("plain/table.txt"));
        QCOMPARE(m_dialogs->errors, QStringList(QStringLiteral("Path not found")));
        QCOMPARE(read_file(path("plain")), kOldFile);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"plain"}));
        check_three_rows_kept(grid());
    }

    void export_onto_a_full_disk_keeps_the_old_file() {
        const QString folder = path("tiny");
        TinyDisk disk(folder);
        if (!disk.mounted())
            QSKIP("no tmpfs can be mounted here; the file size limit case covers a failing write");
        const QString target = folder + QStringLiteral("/table.txt");
        QVERIFY(write_file(target, kOldFile));
        // Fill the rest of the disk.
        {
            QFile filler(folder + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(1024, 'x');
            while (filler.write(block) == block.size()) {
            }
        }
        fill_whole_table();
        export_to(target);
        QCOMPARE(m_dialogs->errors.size(), 1);
        QVERIFY2(m_dialogs->errors[0].endsWith(QStringLiteral("No file was written.")),
                 qPrintable(m_dialogs->errors[0]));
        QCOMPARE(read_file(target), kOldFile);
        QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"filler", "table.txt"}));
    }

    void export_stopped_by_a_file_size_limit_keeps_the_old_file() {
        QVERIFY(write_file(path("table.txt"), kOldFile));
        fill_whole_table();
        {
            FileSizeLimit limit(4096);
            QVERIFY(limit.set());
            export_to(path("table.txt"));
        }
        QCOMPARE(m_dialogs->errors.size(), 1);
        QVERIFY2(m_dialogs->errors[0].endsWith(QStringLiteral("No file was written.")),
                 qPrintable(m_dialogs->errors[0]));
        QCOMPARE(read_file(path("table.txt")), kOldFile);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"table.txt"}));
        // With room again the same export goes through.
        m_dialogs->errors.clear();
        export_to(path("table.txt"));
        QVERIFY(m_dialogs->errors.isEmpty());
        QCOMPARE(read_file(path("table.txt")).count("\r\n"), limits::kTableRows);
    }
};

QTEST_MAIN(TestFileFaults)
#include "test_file_faults.moc"
