#include "f_defs.h"
#include "f_defs_ui.h"
#include "scripted_dialogs.h"
#include "tipi.h"

#include <QTest>
#include <QTimer>

namespace {

const QStringList kProducts = {"LPG - Propane (0,510  -  0,00290)",
                               "LPG - Butane (0,580  -  0,00200)",
                               "Aviation Gasoline (0,695  -  0,00120)",
                               "Petrol (0,740  -  0,00110)",
                               "Aviation Jet A-1 (0,795  -  0,00094)",
                               "Lighting Kerosene (0,790  -  0,00094)",
                               "Power Kerosene (0,810  -  0,00087)",
                               "Heating Oil (0,820  -  0,00087)",
                               "Automotive Distillate (0,840  -  0,00084)",
                               "Industrial diesel fuel (0,855  -  0,00082)",
                               "Fuel Oil: High Sulphur (0,980  -  0,00070)",
                               "Fuel OilL Low Sulphur (0,900  -  0,00075)",
                               "Bitumen (1,020  -  0,00063)",
                               "Crude Oil (Bass Strait) (0,796  -  0,00087)",
                               "Benzene (0,880  -  0,00120)",
                               "Toluene (0,870  -  0,00110)",
                               "Xylene (0,860  -  0,00100)",
                               "White Spirit (0,780  -  0,00095)",
                               "Mineral Turpentine (0,820  -  0,00087)",
                               "Lube Oils SAE 10 (0,880  -  0,00077)",
                               "Lube Oils SAE 20  (0,890  -  0,00076)",
                               "Lube Oils SAE 30  (0,890  -  0,00076)",
                               "Lube Oils SAE 40  (0,900  -  0,00074)",
                               "Lube Oils SAE 50  (0,900  -  0,00074)",
                               "Water (1  -  0,00031)"};

const QStringList kRelaysItalian = {
    "Non Attivato", "Sonda scollegata", "Alto",          "Basso", "Fuori scala", "Sensore",
    "Altissimo",    "Bassissimo",       "Comunicazione", "--",    "Acqua"};
const QStringList kRelaysEnglish = {"Not used",  "probe disconnected", "High", "Low", "Out of range", "Probe",
                                    "Very High", "Very Low",           "Link", "--",  "Water"};
const QStringList kUnitsItalian = {"litri", "decalitri"};
const QStringList kUnitsEnglish = {"liter", "decaliter"};

QStringList entries(const QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

QString caption_of(Tdefs& window, const QString& name) {
    if (name == QLatin1String("window"))
        return window.windowTitle();
    QObject* control = window.findChild<QObject*>(name);
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    return QStringLiteral("<no control %1>").arg(name);
}

} // namespace

class TestWindowLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<Tdefs> m_window;

    Ui::Tdefs& ui() { return *m_window->ui(); }

    void check_relay_lists(const QStringList& expected) {
        for (int relay = 1; relay <= 16; ++relay)
            QCOMPARE(entries(m_window->relay_chooser(relay)), expected);
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
        QVERIFY2(m_dialogs->errors.isEmpty(), qPrintable(m_dialogs->errors.join(" | ")));
        m_dialogs.reset();
    }

    void shown_window_is_italian_with_its_geometry() {
        QCOMPARE(m_window->rl_index(), 0);
        QCOMPARE(m_window->size(), QSize(1000, 694));
        QCOMPARE(ui().Panel4->geometry(), QRect(0, 0, 1000, 87));
        QCOMPARE(ui().p_dett->geometry(), QRect(0, 87, 1000, 607));
        QCOMPARE(ui().Panel2->size(), QSize(257, 585));
        QCOMPARE(ui().Panel2->geometry().right(), 1000 - 5);
        QCOMPARE(ui().lb_stato->width(), 697);
        QCOMPARE(ui().lb_stato->text(), QStringLiteral("Canale"));
        QVERIFY(ui().lb_stato->alignment() & Qt::AlignHCenter);
        QCOMPARE(ui().rett1->size(), QSize(81, 33));
        QCOMPARE(ui().butt1->size(), QSize(181, 30));
        QCOMPARE(ui().Memo1->size(), QSize(409, 201));
        QCOMPARE(ui().Memo1->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(ui().Memo1->font().pixelSize(), 13);
        QCOMPARE(m_window->font().family(), QStringLiteral("Arial"));
        QCOMPARE(m_window->font().pixelSize(), 12);
        for (QWidget* control : std::initializer_list<QWidget*>{ui().lb2, ui().d3, ui().d25, ui().Label9,
                                                                ui().txt_t4, ui().rl_1, ui().grid1}) {
            QCOMPARE(control->font().family(), QStringLiteral("Arial"));
            QCOMPARE(control->font().pixelSize(), 12);
        }
        for (QComboBox* combo : {ui().combo_porta, ui().d9}) {
            QCOMPARE(combo->lineEdit()->font().pixelSize(), 24);
            QVERIFY(combo->lineEdit()->font().bold());
        }
        QCOMPARE(ui().grid1->geometry().top(), 24);
        QCOMPARE(ui().grid1->height(), 440);
        QCOMPARE(ui().grid1->columnWidth(0), 108);
        QCOMPARE(ui().grid1->columnWidth(1), 105);
        QCOMPARE(ui().rl->title(), QStringLiteral("Language"));
        QCOMPARE(ui().rl_0->text(), QStringLiteral("Italiano"));
        QCOMPARE(ui().rl_1->text(), QStringLiteral("English"));
    }

    void top_bar_fonts_and_read_only_fields() {
        for (QWidget* widget : std::initializer_list<QWidget*>{ui().lb_porta, ui().combo_porta, ui().Label5,
                                                               ui().d9, ui().lb_stato}) {
            QCOMPARE(widget->font().pixelSize(), 24);
            QVERIFY(widget->font().bold());
        }
        QCOMPARE(ui().combo_porta->palette().color(QPalette::Text), QColor(0, 0, 128));
        QCOMPARE(ui().d9->palette().color(QPalette::Text), QColor(0, 0, 128));
        QVERIFY(ui().d5->isReadOnly());
        QVERIFY(ui().d7->isReadOnly());
        QCOMPARE(ui().d5->palette().color(QPalette::Base), QColor(227, 227, 230));
        QCOMPARE(ui().d7->palette().color(QPalette::Base), QColor(227, 227, 230));
        for (QLineEdit* hidden : {ui().d13, ui().d23, ui().d24}) {
            QVERIFY(hidden->isHidden());
            QCOMPARE(hidden->text(), QStringLiteral("0"));
        }
    }

    void port_and_channel_lists() {
        QCOMPARE(entries(ui().combo_porta), QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
        QCOMPARE(ui().combo_porta->maxVisibleItems(), 10);
        QCOMPARE(entries(ui().d9), QStringList({"1", "2"}));
        for (QComboBox* combo : m_window->findChildren<QComboBox*>())
            QVERIFY2(combo->isEditable(), qPrintable(combo->objectName()));
    }

    void status_timer_runs_from_creation() {
        Tdefs fresh;
        QVERIFY(fresh.tm_stato->isActive());
        QCOMPARE(fresh.tm_stato->interval(), 1000);
    }

    void captions_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("italian");
        QTest::addColumn<QString>("english");
        const char* rows[][3] = {
            {"window", "Definizione dei serbatoi", "Tanks definition"},
            {"Label5", "Canale", "Tank"},
            {"lb2", "Descrizione", "Description"},
            {"Label14", "Indirizzo S.N.", "Address"},
            {"Label4", "Unità di misura", "Unit"},
            {"Label3", "Prodotto", "Product"},
            {"lb4", "Capacità Tot.", "Total Capacity"},
            {"lb12", "Altezza Serbatoio (mm)", "Tank Heigth (mm)"},
            {"lb9", "Offset (mm)", "Offset (mm)"},
            {"Label19", "Zero Acqua", "Zero Water"},
            {"Label8", "Definizione allarmi", "Alarm definition"},
            {"Label9", "Allarme HH", "Alarm HH"},
            {"Label10", "Allarme H", "Alarm H"},
            {"Label11", "AllarmeLL", "Alarm LL"},
            {"Label12", "Allarme L", "Alarm L"},
            {"Label13", "#Allarme Acqua#", "#Alarm Water#"},
            {"Label1", "Collegamento a porta seriale", "Link to serial port"},
            {"Label6", "Numeri di telefono per SMS", "SMS Phone numbers"},
            {"btn_tel1", "INVIA a centralina", "SEND to device"},
            {"btn_tel2", "LEGGI da centralina", "READ from device"},
            {"Label26", "Definizione dei relè", "Relay definition"},
            {"Label2", "Tabella di ragguaglio", "Strapping table"},
            {"butt1", "Registra dati su terminale", "Write data on device"},
            {"butt9", "Leggi tabella da terminale", "Read data from device"},
            {"butt10", "Scarica tabella su terminale", "Write table on device"},
            {"butt11", "Importa tabella", "Import table"},
            {"butt12", "Esporta tabella", "Export table"},
            // Texts the language step leaves alone.
            {"lb_porta", "COM N.", "COM N."},
            {"Label27", "N.1", "N.1"},
            {"Label28", "N.2", "N.2"},
            {"Label30", "N.3", "N.3"},
            {"Label29", "N.4", "N.4"},
            {"l29", "N.5", "N.5"},
            {"l40", "N.16", "N.16"},
            {"Label17", "Station name", "Station name"},
            {"lb_stato", "Canale", "Canale"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1])
                                  << QString::fromUtf8(row[2]);
    }
    void captions() {
        QFETCH(QString, control);
        QFETCH(QString, italian);
        QFETCH(QString, english);
        QCOMPARE(caption_of(*m_window, control), italian);
        m_window->click_language(1);
        QCOMPARE(m_window->rl_index(), 1);
        QCOMPARE(caption_of(*m_window, control), english);
        m_window->click_language(0);
        QCOMPARE(m_window->rl_index(), 0);
        QCOMPARE(caption_of(*m_window, control), italian);
    }

    void grid_headings_follow_the_language() {
        auto heading = [this](int column) {
            return ui().grid1->model()->headerData(column, Qt::Horizontal).toString();
        };
        QCOMPARE(heading(0), QStringLiteral("Livello (mm)"));
        QCOMPARE(heading(1), QStringLiteral("Volume (l)"));
        m_window->click_language(1);
        QCOMPARE(heading(0), QStringLiteral("Level (mm)"));
        QCOMPARE(heading(1), QStringLiteral("Volume (l)"));
    }

    void sms_labels_are_fixed() {
        QCOMPARE(ui().txt_t1->objectName(), QStringLiteral("txt_t1"));
        for (const QString& name :
             {QStringLiteral("txt_t1"), QStringLiteral("txt_t2"), QStringLiteral("txt_t3")}) {
            const QLabel* label = nullptr;
            for (QLabel* candidate : m_window->findChildren<QLabel*>())
                if (candidate->buddy() && candidate->buddy()->objectName() == name)
                    label = candidate;
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->text(), QStringLiteral("N.") + name.right(1));
        }
    }

    void lists_after_every_language_step() {
        QCOMPARE(entries(ui().d4), kProducts);
        QCOMPARE(entries(ui().combo_u), kUnitsItalian);
        check_relay_lists(kRelaysItalian);
        m_window->click_language(1);
        QCOMPARE(entries(ui().d4), kProducts);
        QCOMPARE(entries(ui().combo_u), kUnitsEnglish);
        check_relay_lists(kRelaysEnglish);
        m_window->click_language(0);
        QCOMPARE(entries(ui().combo_u), kUnitsItalian);
        check_relay_lists(kRelaysItalian);
    }

    void products_refilled_at_every_show() {
        m_window->FormShow();
        m_window->FormShow();
        QCOMPARE(entries(ui().d4), kProducts);
        m_window->click_language(1);
        m_window->FormShow();
        QCOMPARE(m_window->rl_index(), 0);
        QCOMPARE(entries(ui().d4), kProducts);
        QCOMPARE(caption_of(*m_window, "Label5"), QStringLiteral("Canale"));
    }

    void rebuilt_lists_keep_their_text_with_no_entry_chosen() {
        ui().combo_u->setCurrentIndex(1);
        m_window->relay_chooser(6)->setCurrentIndex(3);
        m_window->relay_chooser(1)->setCurrentIndex(10);
        m_window->click_language(1);
        QCOMPARE(ui().combo_u->currentIndex(), -1);
        QCOMPARE(ui().combo_u->currentText(), QStringLiteral("decalitri"));
        QCOMPARE(m_window->relay_chooser(6)->currentIndex(), -1);
        QCOMPARE(m_window->relay_chooser(6)->currentText(), QStringLiteral("Basso"));
        QCOMPARE(m_window->relay_chooser(1)->currentIndex(), -1);
        QCOMPARE(m_window->relay_chooser(1)->currentText(), QStringLiteral("Acqua"));
        for (int relay = 1; relay <= 16; ++relay)
            QCOMPARE(m_window->relay_chooser(relay)->currentIndex(), -1);
    }

    void product_choice_kept_across_a_switch() {
        ui().d4->setCurrentIndex(13);
        m_window->click_language(1);
        QCOMPARE(ui().d4->currentIndex(), 13);
        QCOMPARE(ui().d4->currentText(), kProducts[13]);
        m_window->click_language(0);
        QCOMPARE(ui().d4->currentIndex(), 13);
    }

    void language_switch_empties_sms_and_table() {
        ui().txt_t2->setText(QStringLiteral("3331234567"));
        tank_tables[1].row_count = 4;
        m_window->refresh_grid();
        m_window->click_language(1);
        QCOMPARE(ui().txt_t2->text(), QString());
        QCOMPARE(tank_tables[1].row_count, 0);
        QCOMPARE(ui().grid1->model()->rowCount(), 0);
    }

    void choosing_the_selected_language_again_changes_nothing() {
        ui().txt_t1->setText(QStringLiteral("kept"));
        m_window->click_language(0);
        QCOMPARE(ui().txt_t1->text(), QStringLiteral("kept"));
    }

    void d3Exit_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("twenty characters") << "ABCDEFGHIJKLMNOPQRST"
                                           << "ABCDEFGHIJKLMNOP";
        QTest::newRow("seventeen characters") << "Gasolio serbat. 1"
                                              << "Gasolio serbat. ";
        QTest::newRow("sixteen characters") << "ABCDEFGHIJKLMNOP"
                                            << "ABCDEFGHIJKLMNOP";
        QTest::newRow("shorter") << "Tank 1"
                                 << "Tank 1";
        QTest::newRow("empty") << ""
                               << "";
    }
    void d3Exit() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        ui().d3->setText(typed);
        m_window->d3Exit();
        QCOMPARE(ui().d3->text(), kept);
    }

    void leaving_the_description_field_cuts_it() {
        m_window->activateWindow();
        ui().d3->setFocus();
        ui().d3->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        QTest::keyClick(ui().d3, Qt::Key_Return);
        QCOMPARE(ui().d3->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
    }

    void buddies_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("field");
        const char* pairs[][2] = {
            {"lb_porta", "combo_porta"},
            {"Label5", "d9"},
            {"lb2", "d3"},
            {"Label14", "d2"},
            {"Label4", "combo_u"},
            {"Label3", "d4"},
            {"lb4", "d5"},
            {"lb12", "d7"},
            {"lb9", "d12"},
            {"Label19", "d7_1"},
            {"Label9", "d16"},
            {"Label10", "d17"},
            {"Label12", "d18"},
            {"Label11", "d19"},
            {"Label13", "d20"},
            {"Label27", "d25"},
            {"Label28", "d26"},
            {"Label30", "d27"},
            {"Label29", "d28"},
            {"l29", "d29"},
            {"l30", "d30"},
            {"l31", "d31"},
            {"l32", "d32"},
            {"l33", "d33"},
            {"l34", "d34"},
            {"l35", "d35"},
            {"l36", "d36"},
            {"l37", "d37"},
            {"l38", "d38"},
            {"l39", "d39"},
            {"l40", "d40"},
            {"Label17", "txt_t4"},
            {"Label1", "Memo1"},
            {"Label2", "grid1"},
        };
        for (const auto& pair : pairs)
            QTest::newRow(pair[0]) << QString::fromLatin1(pair[0]) << QString::fromLatin1(pair[1]);
    }
    void buddies() {
        QFETCH(QString, label);
        QFETCH(QString, field);
        auto* caption = m_window->findChild<QLabel*>(label);
        QVERIFY(caption);
        QVERIFY(caption->buddy());
        QCOMPARE(caption->buddy()->objectName(), field);
    }

    void no_caption_or_entry_is_clipped_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("italian") << 0;
        QTest::newRow("english") << 1;
    }
    void no_caption_or_entry_is_clipped() {
        QFETCH(int, language);
        m_window->click_language(language);
        for (QLabel* label : m_window->findChildren<QLabel*>()) {
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(needed <= label->contentsRect().width(), qPrintable(label->objectName()));
        }
        for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
            const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 8;
            QVERIFY2(needed <= button->width(), qPrintable(button->objectName()));
        }
        // The drop-down arrow takes about a line's height at the right of a box.
        for (QComboBox* combo : m_window->findChildren<QComboBox*>()) {
            for (int i = 0; i < combo->count(); ++i) {
                const int needed =
                    combo->fontMetrics().horizontalAdvance(combo->itemText(i)) + combo->height() + 4;
                QVERIFY2(needed <= combo->width(),
                         qPrintable(combo->objectName() + ": " + combo->itemText(i)));
            }
        }
    }

    void alarm_fields_sit_in_the_alarm_panel() {
        for (QWidget* field :
             std::initializer_list<QWidget*>{ui().d16, ui().d17, ui().d18, ui().d19, ui().d20, ui().Label8})
            QCOMPARE(field->parentWidget(), ui().Panel1);
        for (int relay = 1; relay <= 16; ++relay)
            QCOMPARE(m_window->relay_chooser(relay)->parentWidget(), ui().Panel3);
        for (QWidget* control : std::initializer_list<QWidget*>{ui().grid1, ui().butt9, ui().butt10,
                                                                ui().butt11, ui().butt12, ui().Label2})
            QCOMPARE(control->parentWidget(), ui().Panel2);
    }
};

QTEST_MAIN(TestWindowLayout)
#include "test_window_layout.moc"
