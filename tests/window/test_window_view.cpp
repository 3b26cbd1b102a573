#include "choice_lists.h"
#include "f_defs.h"
#include "f_defs_ui.h"
#include "grid_model.h"
#include "scripted_dialogs.h"
#include "tipi.h"

#include <QTest>
#include <QTextBlock>

namespace {

ChannelConfig sample_config() {
    ChannelConfig config;
    config.description = QStringLiteral("Gasolio  ");
    config.address = QStringLiteral("00042");
    config.product = 8;
    config.unit = 1;
    config.alarm_hh = 1900;
    config.alarm_h = 1800;
    config.alarm_l = 300;
    config.alarm_ll = -20;
    config.water_zero = 15;
    config.water_alarm = 40;
    config.offset = -3;
    config.hidden_d13 = 7;
    config.hidden_d23 = 8;
    config.hidden_d24 = 9;
    config.tank_height = 65516;
    config.capacity = 30000;
    for (int i = 0; i < 16; ++i)
        config.relays[i] = i % 11;
    return config;
}

} // namespace

class TestWindowView : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<Tdefs> m_window;

    Ui::Tdefs& ui() { return *m_window->ui(); }
    QAbstractItemModel* grid() { return ui().grid1->model(); }

    void fill_table(std::initializer_list<TStrapRow> rows) {
        int n = 0;
        for (const TStrapRow& cells : rows)
            tank_tables[1].rows[++n] = cells;
        tank_tables[1].row_count = n;
        m_window->refresh_grid();
    }

private Q_SLOTS:
    void init() {
        reset_shared_state();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_window = std::make_unique<Tdefs>();
        m_window->show();
    }
    void cleanup() {
        m_window.reset();
        m_dialogs.reset();
    }

    void language_is_the_radio_index() {
        QCOMPARE(m_window->language(), 0);
        m_window->click_language(1);
        QCOMPARE(m_window->language(), 1);
    }

    void lamp_and_panels() {
        m_window->set_lamp_busy(true);
        QCOMPARE(m_window->lamp_colour(), QColor(255, 0, 0));
        ui().rett1->ensurePolished();
        QCOMPARE(ui().rett1->palette().color(QPalette::Window), QColor(255, 0, 0));
        m_window->set_lamp_busy(false);
        QCOMPARE(m_window->lamp_colour(), QColor(0, 255, 0));
        m_window->set_panels_enabled(false);
        QVERIFY(!ui().Panel4->isEnabled());
        QVERIFY(!ui().Panel2->isEnabled());
        QVERIFY(!ui().grid1->isEnabled());
        QVERIFY(ui().p_dett->isEnabled());
        QVERIFY(ui().butt1->isEnabled());
        m_window->set_panels_enabled(true);
        QVERIFY(ui().Panel4->isEnabled());
        QVERIFY(ui().butt11->isEnabled());
    }

    void console_lines_are_appended_as_latin1() {
        m_window->console_append("$");
        m_window->console_append("NA");
        m_window->console_append("perch\xe8");
        QCOMPARE(ui().Memo1->toPlainText(), QStringLiteral("$\nNA\nperch\u00e8"));
        QCOMPARE(ui().Memo1->document()->blockCount(), 3);
    }

    void console_takes_many_lines() {
        for (int n = 0; n < 5000; ++n)
            m_window->console_append(QByteArray::number(n));
        QCOMPARE(ui().Memo1->document()->blockCount(), 5000);
        QCOMPARE(ui().Memo1->document()->lastBlock().text(), QStringLiteral("4999"));
    }

    void sms_fields() {
        for (int field = 1; field <= 4; ++field)
            m_window->set_sms_text(field, QStringLiteral("text %1").arg(field));
        QCOMPARE(ui().txt_t1->text(), QStringLiteral("text 1"));
        QCOMPARE(ui().txt_t4->text(), QStringLiteral("text 4"));
        QCOMPARE(m_window->sms_text(3), QStringLiteral("text 3"));
        m_window->set_sms_text(5, QStringLiteral("nowhere"));
        QCOMPARE(m_window->sms_text(0), QString());
        QCOMPARE(m_window->sms_text(5), QString());
    }

    void identification_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("sixteen");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("two channels, 16 relays") << 2 << true << QStringList({"1 - A", "2 - B"});
        QTest::newRow("one channel, 4 relays") << 1 << false << QStringList({"1 - A"});
        QTest::newRow("no channel") << 0 << false << QStringList();
        QTest::newRow("negative count") << -3 << true << QStringList();
    }
    void identification() {
        QFETCH(int, channels);
        QFETCH(bool, sixteen);
        QFETCH(QStringList, entries);
        ui().d9->setEnabled(false);
        ui().rett1->hide();
        m_window->set_panels_enabled(false);
        m_window->set_lamp_busy(true);
        ui().txt_t1->setText(QStringLiteral("kept"));
        fill_table({{1, 2}});

        m_window->show_identification(channels, sixteen);

        QStringList shown;
        for (int i = 0; i < ui().d9->count(); ++i)
            shown << ui().d9->itemText(i);
        QCOMPARE(shown, entries);
        QCOMPARE(ui().d9->currentIndex(), entries.isEmpty() ? -1 : 0);
        QCOMPARE(ui().d9->currentText(), entries.value(0));
        QVERIFY(ui().d9->isEnabled());
        QVERIFY(!ui().rett1->isHidden());
        QCOMPARE(m_window->lamp_colour(), QColor(0, 255, 0));
        QVERIFY(ui().Panel4->isEnabled());
        QVERIFY(ui().Panel2->isEnabled());
        for (int relay = 1; relay <= 4; ++relay) {
            QVERIFY(!m_window->relay_chooser(relay)->isHidden());
            QVERIFY(!m_window->relay_label(relay)->isHidden());
        }
        for (int relay = 5; relay <= 16; ++relay) {
            QCOMPARE(m_window->relay_chooser(relay)->isHidden(), !sixteen);
            QCOMPARE(m_window->relay_label(relay)->isHidden(), !sixteen);
        }
        QCOMPARE(ui().d40->isHidden(), !sixteen);
        // Refilling the chooser is the program's change: the channel-change step does not run by itself.
        QCOMPARE(ui().txt_t1->text(), QStringLiteral("kept"));
        QCOMPARE(tank_tables[1].row_count, 1);
    }

    void relay_rows_shown_again_after_a_four_relay_controller() {
        m_window->show_identification(1, false);
        m_window->show_identification(2, true);
        QVERIFY(!ui().d29->isHidden());
        QVERIFY(!ui().l40->isHidden());
    }

    void channel_change_empties_sms_and_table() {
        for (int field = 1; field <= 4; ++field)
            m_window->set_sms_text(field, QStringLiteral("x"));
        fill_table({{1, 2}, {3, 4}});
        QCOMPARE(grid()->rowCount(), 2);
        m_window->channel_change();
        for (int field = 1; field <= 4; ++field)
            QCOMPARE(m_window->sms_text(field), QString());
        QCOMPARE(tank_tables[1].row_count, 0);
        QCOMPARE(grid()->rowCount(), 0);
        QCOMPARE(tank_tables[1].rows[1], TStrapRow({1, 2}));
    }

    void typing_into_the_channel_chooser_is_a_channel_change() {
        m_window->show_identification(2, false);
        ui().txt_t1->setText(QStringLiteral("x"));
        fill_table({{1, 2}});
        QTest::keyClicks(ui().d9, QStringLiteral("9"));
        QCOMPARE(ui().d9->currentIndex(), -1);
        QCOMPARE(ui().txt_t1->text(), QString());
        QCOMPARE(tank_tables[1].row_count, 0);
    }

    void typing_an_entry_chooses_it() {
        ui().combo_u->lineEdit()->clear();
        QTest::keyClicks(ui().combo_u, QStringLiteral("decalitri"));
        QCOMPARE(ui().combo_u->currentIndex(), 1);
        QTest::keyClick(ui().combo_u, Qt::Key_Backspace);
        QCOMPARE(ui().combo_u->currentIndex(), -1);
        QCOMPARE(ui().combo_u->currentText(), QStringLiteral("decalitr"));
        QCOMPARE(ui().combo_u->count(), 2);
    }

    void channel_config_fills_every_control() {
        m_window->show_channel_config(sample_config());
        QCOMPARE(ui().d3->text(), QStringLiteral("Gasolio  "));
        QCOMPARE(ui().d2->text(), QStringLiteral("00042"));
        QCOMPARE(ui().d4->currentIndex(), 8);
        QCOMPARE(ui().combo_u->currentIndex(), 1);
        QCOMPARE(ui().combo_u->currentText(), QStringLiteral("decalitri"));
        QCOMPARE(ui().d16->text(), QStringLiteral("1900"));
        QCOMPARE(ui().d17->text(), QStringLiteral("1800"));
        QCOMPARE(ui().d18->text(), QStringLiteral("300"));
        QCOMPARE(ui().d19->text(), QStringLiteral("-20"));
        QCOMPARE(ui().d7_1->text(), QStringLiteral("15"));
        QCOMPARE(ui().d20->text(), QStringLiteral("40"));
        QCOMPARE(ui().d12->text(), QStringLiteral("-3"));
        QCOMPARE(ui().d13->text(), QStringLiteral("7"));
        QCOMPARE(ui().d23->text(), QStringLiteral("8"));
        QCOMPARE(ui().d24->text(), QStringLiteral("9"));
        QCOMPARE(ui().d7->text(), QStringLiteral("65516"));
        QCOMPARE(ui().d5->text(), QStringLiteral("30000"));
        for (int relay = 1; relay <= 16; ++relay)
            QCOMPARE(m_window->relay_chooser(relay)->currentIndex(), (relay - 1) % 11);
        QCOMPARE(ui().d35->currentText(), QStringLiteral("Acqua"));
    }

    void positions_outside_a_list_choose_nothing_data() {
        QTest::addColumn<qint64>("product");
        QTest::addColumn<qint64>("unit");
        QTest::addColumn<qint64>("relay");
        QTest::newRow("one past each list") << qint64(25) << qint64(2) << qint64(11);
        QTest::newRow("far past") << qint64(99) << qint64(99) << qint64(99);
        QTest::newRow("negative") << qint64(-1) << qint64(-1) << qint64(-1);
        QTest::newRow("past 32 bits") << qint64(1) << qint64(0x100000000LL) << qint64(0x100000001LL);
    }
    void positions_outside_a_list_choose_nothing() {
        QFETCH(qint64, product);
        QFETCH(qint64, unit);
        QFETCH(qint64, relay);
        m_window->show_channel_config(sample_config());
        ChannelConfig config = sample_config();
        config.product = product;
        config.unit = unit;
        config.relays[0] = relay;
        config.relays[15] = relay;
        m_window->show_channel_config(config);
        const auto expected = [](qint64 position, int count) {
            return position >= 0 && position < count ? int(position) : -1;
        };
        QCOMPARE(ui().d4->currentIndex(), expected(product, 25));
        QCOMPARE(ui().combo_u->currentIndex(), expected(unit, 2));
        QCOMPARE(ui().d25->currentIndex(), expected(relay, 11));
        QCOMPARE(ui().d40->currentIndex(), expected(relay, 11));
        if (ui().d25->currentIndex() < 0)
            QCOMPARE(ui().d25->currentText(), QString());
        QCOMPARE(ui().d26->currentIndex(), 1);
        QCOMPARE(ui().d4->count(), 25);
        QCOMPARE(ui().d25->count(), 11);
    }

    void channel_config_does_not_run_the_channel_change() {
        ui().txt_t1->setText(QStringLiteral("kept"));
        m_window->show_channel_config(sample_config());
        QCOMPARE(ui().txt_t1->text(), QStringLiteral("kept"));
    }

    void config_form_gathers_what_the_window_shows() {
        m_window->show_identification(2, false);
        ChannelConfig config = sample_config();
        config.relays[2] = 11;
        m_window->show_channel_config(config);
        set_position(ui().d9, 1);
        ui().d16->setText(QStringLiteral("12,5"));
        const ConfigForm form = m_window->config_form();
        QCOMPARE(form.channel, 1);
        QCOMPARE(form.description, QStringLiteral("Gasolio  "));
        QCOMPARE(form.address, QStringLiteral("00042"));
        QCOMPARE(form.product, 8);
        QCOMPARE(form.unit, 1);
        QCOMPARE(form.numbers, (std::array<QString, 8>{"12,5", "1800", "300", "-20", "15", "40", "-3", "7"}));
        QCOMPARE(form.relays[0], 0);
        QCOMPARE(form.relays[2], -1);
        QCOMPARE(form.relays[15], 15 % 11);
        QVERIFY(!form.sixteen_relays);
        m_window->show_identification(1, true);
        QVERIFY(m_window->config_form().sixteen_relays);
        QCOMPARE(m_window->config_form().channel, 0);
    }

    void port_lost_paints_the_port_label() {
        m_window->port_lost(QStringLiteral("device removed"));
        ui().lb_porta->ensurePolished();
        QCOMPARE(ui().lb_porta->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(ui().lb_porta->palette().color(QPalette::Window), QColor(255, 255, 255));
        QVERIFY(m_dialogs->errors.isEmpty());
    }

    void grid_cells_show_whole_numbers_data() {
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("volume");
        QTest::addColumn<QString>("level_text");
        QTest::addColumn<QString>("volume_text");
        QTest::newRow("whole") << 250.0 << 1200.0 << "250"
                               << "1200";
        QTest::newRow("fractions truncated") << 12.9 << -3.7 << "12"
                                             << "-3";
        QTest::newRow("empty row") << -1.0 << -1.0 << "-1"
                                   << "-1";
        QTest::newRow("largest") << 2147483647.0 << -2147483648.0 << "2147483647"
                                 << "-2147483648";
    }
    void grid_cells_show_whole_numbers() {
        QFETCH(double, level);
        QFETCH(double, volume);
        QFETCH(QString, level_text);
        QFETCH(QString, volume_text);
        fill_table({{0, 0}, {level, volume}});
        QCOMPARE(grid()->data(grid()->index(1, 0)).toString(), level_text);
        QCOMPARE(grid()->data(grid()->index(1, 1)).toString(), volume_text);
        QCOMPARE(grid()->data(grid()->index(1, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignRight,
                 Qt::AlignRight);
        QCOMPARE(grid1CellLoaded(tank_tables[1], 3, 2), QString());
    }

    void grid_edit_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("error");
        QTest::newRow("negative level") << 0 << "-5" << -5.0 << "";
        QTest::newRow("plus sign volume") << 1 << "+70" << 70.0 << "";
        QTest::newRow("largest") << 1 << "2147483647" << 2147483647.0 << "";
        QTest::newRow("letters kept old value")
            << 0 << "abc" << 250.0 << "'abc' is not a valid integer value";
        QTest::newRow("empty kept old value") << 1 << "" << 1200.0 << "'' is not a valid integer value";
        QTest::newRow("decimal kept old value")
            << 0 << "12.5" << 250.0 << "'12.5' is not a valid integer value";
        QTest::newRow("blank padded kept old value")
            << 1 << " 7" << 1200.0 << "' 7' is not a valid integer value";
        QTest::newRow("past 32 bits kept old value")
            << 1 << "2147483648" << 1200.0 << "'2147483648' is not a valid integer value";
    }
    void grid_edit() {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(double, stored);
        QFETCH(QString, error);
        fill_table({{0, 0}, {250, 1200}, {1800, 65000}});
        const bool accepted = grid()->setData(grid()->index(1, column), typed);
        QCOMPARE(accepted, error.isEmpty());
        const TStrapRow& cells = tank_tables[1].rows[2];
        QCOMPARE(column == 0 ? cells.level : cells.volume, stored);
        QCOMPARE(column == 0 ? cells.volume : cells.level, column == 0 ? 1200.0 : 250.0);
        QCOMPARE(m_dialogs->errors, error.isEmpty() ? QStringList() : QStringList(error));
        QCOMPARE(tank_tables[1].row_count, 3);
        QCOMPARE(tank_tables[1].rows[1], TStrapRow({0, 0}));
        QCOMPARE(tank_tables[1].rows[3], TStrapRow({1800, 65000}));
    }

    void grid_shows_row_count_rows_only_on_refresh() {
        fill_table({{1, 1}, {2, 2}, {3, 3}});
        QCOMPARE(grid()->rowCount(), 3);
        tank_tables[1].row_count = 1;
        QCOMPARE(grid()->rowCount(), 3);
        m_window->refresh_grid();
        QCOMPARE(grid()->rowCount(), 1);
        QCOMPARE(grid()->columnCount(), 2);
        QCOMPARE(ui().grid1->columnWidth(0), 108);
        QCOMPARE(ui().grid1->columnWidth(1), 105);
    }

    void grid_never_shows_more_than_the_table() {
        tank_tables[1].row_count = 5000;
        m_window->refresh_grid();
        QCOMPARE(grid()->rowCount(), 2000);
        QCOMPARE(grid()->data(grid()->index(1999, 1)).toString(), QStringLiteral("0"));
        tank_tables[1].row_count = -4;
        m_window->refresh_grid();
        QCOMPARE(grid()->rowCount(), 0);
    }

    void typing_into_the_grid_stores_the_value() {
        fill_table({{10, 20}});
        QTableView* view = ui().grid1;
        view->setCurrentIndex(grid()->index(0, 0));
        view->edit(grid()->index(0, 0));
        auto* editor = view->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("10"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("-5"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits the typed text from a queued call once the key is handled.
        QTRY_COMPARE(tank_tables[1].rows[1].level, -5.0);
        QCOMPARE(tank_tables[1].row_count, 1);
        QVERIFY(m_dialogs->errors.isEmpty());
    }
};

QTEST_MAIN(TestWindowView)
#include "test_window_view.moc"
