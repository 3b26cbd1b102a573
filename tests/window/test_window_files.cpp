#include "f_defs.h"
#include "f_defs_ui.h"
#include "scripted_dialogs.h"
#include "table_rows.h"
#include "test_files.h"
#include "tipi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kFilters = {QStringLiteral("Text File (*.txt)"), QStringLiteral("Comma separated (*.csv)"),
                              QStringLiteral("All Files (*.*)")};

QByteArray read_all(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot open>");
    return file.readAll();
}

} // namespace

class TestWindowFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<Tdefs> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;

    QAbstractItemModel* grid() { return m_window->ui()->grid1->model(); }
    QString path(const QString& name) const { return m_dir->filePath(name); }

private Q_SLOTS:
    void init() {
        reset_shared_state();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_window = std::make_unique<Tdefs>();
        m_window->show();
        fill_three_rows(*m_window);
    }
    void cleanup() {
        m_window.reset();
        m_dialogs.reset();
        m_dir.reset();
    }

    void questions_follow_the_language_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("import_question");
        QTest::addColumn<QString>("export_question");
        QTest::newRow("italian") << 0 << "#Confermi importazione da file csv?#"
                                 << "#Confermi esportazione su file csv?#";
        QTest::newRow("english") << 1 << "#Confirm import from csv file?#"
                                 << "#Confirm export to csv file?#";
    }
    void questions_follow_the_language() {
        QFETCH(int, language);
        QFETCH(QString, import_question);
        QFETCH(QString, export_question);
        m_window->click_language(language);
        m_window->ui()->butt11->click();
        m_window->ui()->butt12->click();
        QCOMPARE(m_dialogs->asked, QStringList({import_question, export_question}));
    }

    void no_to_import_changes_and_repaints_nothing() {
        tank_tables[1].row_count = 1; // not yet shown: only a refresh would show it
        m_dialogs->confirms = {false};
        m_dialogs->open_answers = {path("never.txt")};
        m_window->ui()->butt11->click();
        QVERIFY(m_dialogs->open_folders.isEmpty());
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(tank_tables[1].row_count, 1);
    }

    void cancelled_import_refreshes_the_grid_only() {
        tank_tables[1].row_count = 2;
        m_dialogs->confirms = {true};
        m_window->ui()->butt11->click();
        QCOMPARE(m_dialogs->open_folders, QStringList(QCoreApplication::applicationDirPath()));
        QCOMPARE(m_dialogs->open_filters, QList<QStringList>({kFilters}));
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(tank_tables[1].rows[3], TStrapRow({30, 300}));
        QVERIFY(m_dialogs->errors.isEmpty());
    }

    void both_dialogs_start_in_the_program_folder_every_time() {
        m_dialogs->confirms = {true, true, true, true};
        m_window->ui()->butt11->click();
        m_window->ui()->butt12->click();
        m_window->ui()->butt11->click();
        m_window->ui()->butt12->click();
        const QString folder = QCoreApplication::applicationDirPath();
        QCOMPARE(m_dialogs->open_folders, QStringList({folder, folder}));
        QCOMPARE(m_dialogs->save_folders, QStringList({folder, folder}));
        QCOMPARE(m_dialogs->save_filters, QList<QStringList>({kFilters, kFilters}));
    }

    void import_reads_rows_and_clears_the_rest() {
        QVERIFY(write_file(path("table.csv"),
                           "Livello;Volume\r\n00000;00000\r\n00250;01200\r\n1;2;3\n15;\n(1);[2]\n"));
        m_dialogs->confirms = {true};
        m_dialogs->open_answers = {path("table.csv")};
        m_window->ui()->butt11->click();
        QVERIFY2(m_dialogs->errors.isEmpty(), qPrintable(m_dialogs->errors.join(" | ")));
        QCOMPARE(tank_tables[1].row_count, 4);
        QCOMPARE(tank_tables[1].rows[1], TStrapRow({0, 0}));
        QCOMPARE(tank_tables[1].rows[2], TStrapRow({250, 1200}));
        QCOMPARE(tank_tables[1].rows[3], TStrapRow({2, 3}));
        QCOMPARE(tank_tables[1].rows[4], TStrapRow({1, 2}));
        for (int n : {5, 6, 2000})
            QCOMPARE(tank_tables[1].rows[n], TStrapRow({-1, -1}));
        QCOMPARE(grid()->rowCount(), 4);
        QCOMPARE(grid()->data(grid()->index(1, 1)).toString(), QStringLiteral("1200"));
    }

    void import_of_an_empty_file_empties_the_table() {
        QVERIFY(write_file(path("empty.txt"), QByteArray()));
        m_dialogs->confirms = {true};
        m_dialogs->open_answers = {path("empty.txt")};
        m_window->ui()->butt11->click();
        QVERIFY(m_dialogs->errors.isEmpty());
        QCOMPARE(tank_tables[1].row_count, 0);
        QCOMPARE(tank_tables[1].rows[1], TStrapRow({-1, -1}));
        QCOMPARE(grid()->rowCount(), 0);
    }

    void import_refusals_leave_the_table_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QByteArray too_many;
        for (int n = 0; n <= 2000; ++n)
            too_many += "1;1\r\n";
        QTest::newRow("missing file") << "missing.txt" << QByteArray() << "File not found";
        QTest::newRow("missing folder") << "nowhere/table.txt" << QByteArray() << "Path not found";
        QTest::newRow("folder chosen") << "." << QByteArray() << "File access denied";
        QTest::newRow("number past 32 bits")
            << "big.txt" << QByteArray("1;1\r\n2;2\r\n99999999999;3\r\n4;4\r\n")
            << "'99999999999' is not a valid integer value (line 3). The table was not changed.";
        QTest::newRow("more rows than the table")
            << "long.txt" << too_many
            << "The file holds more than 2000 table rows (line 2001). The table was not changed.";
    }
    void import_refusals_leave_the_table() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        if (!content.isEmpty())
            QVERIFY(write_file(path(name), content));
        m_dialogs->confirms = {true};
        m_dialogs->open_answers = {path(name)};
        m_window->ui()->butt11->click();
        QCOMPARE(m_dialogs->errors, QStringList(error));
        check_three_rows_kept(grid());
    }

    void import_button_shows_errors_through_the_error_box() {
        m_dialogs->confirms = {true};
        m_dialogs->open_answers = {path("missing.txt")};
        m_window->ui()->butt11->click();
        QCOMPARE(m_dialogs->errors, QStringList(QStringLiteral("File not found")));
        check_three_rows_kept(grid());
    }

    void export_writes_the_rows_in_use() {
        tank_tables[1].rows[1] = {0, 0};
        tank_tables[1].rows[2] = {250, 1200};
        tank_tables[1].rows[3] = {1800, 65000};
        m_dialogs->confirms = {true};
        m_dialogs->save_answers = {path("out")};
        m_window->ui()->butt12->click();
        QVERIFY(m_dialogs->errors.isEmpty());
        QCOMPARE(read_all(path("out")), QByteArray("00000;00000\r\n00250;01200\r\n01800;65000\r\n"));
        QVERIFY(!QFile::exists(path("out.txt")));
    }

    void export_then_import_gives_the_same_rows() {
        tank_tables[1].rows[2] = {-5, 150000};
        m_dialogs->confirms = {true, true};
        m_dialogs->save_answers = {path("round.txt")};
        m_dialogs->open_answers = {path("round.txt")};
        m_window->ui()->butt12->click();
        QCOMPARE(read_all(path("round.txt")), QByteArray("00010;00100\r\n000-5;150000\r\n00030;00300\r\n"));
        m_window->ui()->butt11->click();
        QCOMPARE(tank_tables[1].row_count, 3);
        QCOMPARE(tank_tables[1].rows[1], TStrapRow({10, 100}));
        // The sign does not survive the file: -5 comes back as 5.
        QCOMPARE(tank_tables[1].rows[2], TStrapRow({5, 150000}));
        QCOMPARE(tank_tables[1].rows[3], TStrapRow({30, 300}));
    }

    void export_replaces_a_file_without_asking() {
        QVERIFY(write_file(path("old.txt"), "old content that is longer than the new one\r\n"));
        tank_tables[1].row_count = 1;
        m_dialogs->confirms = {true};
        m_dialogs->save_answers = {path("old.txt")};
        m_window->ui()->butt12->click();
        QCOMPARE(m_dialogs->asked.size(), 1);
        QCOMPARE(read_all(path("old.txt")), QByteArray("00010;00100\r\n"));
    }

    void export_of_an_empty_table_empties_the_file() {
        QVERIFY(write_file(path("old.txt"), "00001;00002\r\n"));
        tank_tables[1].row_count = 0;
        m_dialogs->confirms = {true};
        m_dialogs->save_answers = {path("old.txt")};
        m_window->ui()->butt12->click();
        QVERIFY(QFile::exists(path("old.txt")));
        QCOMPARE(read_all(path("old.txt")), QByteArray());
    }

    void no_or_cancel_writes_nothing() {
        m_dialogs->confirms = {false, true};
        m_dialogs->save_answers = {path("first.txt")};
        m_window->ui()->butt12->click();
        QVERIFY(m_dialogs->save_folders.isEmpty());
        m_dialogs->save_answers.clear();
        m_window->ui()->butt12->click();
        QCOMPARE(m_dialogs->save_folders.size(), 1);
        QVERIFY(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        QVERIFY(m_dialogs->errors.isEmpty());
    }

    void failed_export_leaves_files_untouched_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("error");
        QTest::newRow("folder is a plain file") << "old.txt/table.txt"
                                                << "Path not found";
        QTest::newRow("missing folder") << "nowhere/table.txt"
                                        << "Path not found";
        QTest::newRow("target is a folder") << "sub"
                                            << "File access denied";
    }
    void failed_export_leaves_files_untouched() {
        QFETCH(QString, target);
        QFETCH(QString, error);
        QVERIFY(write_file(path("old.txt"), "00001;00002\r\n"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
        m_dialogs->confirms = {true};
        m_dialogs->save_answers = {path(target)};
        m_window->ui()->butt12->click();
        QCOMPARE(m_dialogs->errors, QStringList(error));
        QCOMPARE(read_all(path("old.txt")), QByteArray("00001;00002\r\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"old.txt", "sub"}));
        QVERIFY(QDir(path("sub")).isEmpty());
        check_three_rows_kept(grid());
    }
};

QTEST_MAIN(TestWindowFiles)
#include "test_window_files.moc"
