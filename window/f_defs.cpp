#include "f_defs.h"

#include "choice_lists.h"
#include "com_form.h"
#include "constants.h"
#include "convert.h"
#include "dialogs.h"
#include "errors.h"
#include "grid_model.h"
#include "init_proc.h"
#include "protocol.h"
#include "table_file.h"
#include "tipi.h"
#include "ui_f_defs.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>

Tdefs* defs = nullptr;

namespace {

// The window's frame as the operator sees it: client area plus the title bar and borders.
constexpr QSize kOuterSize(1008, 722);
constexpr int kLevelColumnWidth = 108;
constexpr int kVolumeColumnWidth = 105;
constexpr int kGridRowHeight = 20;

const QColor kLampBusy(255, 0, 0);
const QColor kLampIdle(0, 255, 0);
const QColor kPortFailedText(255, 0, 0);
const QColor kPortFailedBack(255, 255, 255);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

QFont arial(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QStringList file_filters() {
    return {QStringLiteral("Text File (*.txt)"), QStringLiteral("Comma separated (*.csv)"),
            QStringLiteral("All Files (*.*)")};
}

// Italian text first, English second; anything but English is Italian, the language the window starts in.
QString pick(int language, const char* italian, const char* english) {
    return QString::fromUtf8(language == 1 ? english : italian);
}

} // namespace

Tdefs::Tdefs(QWidget* parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::Tdefs>()) {
    // Before the controls exist: the form's style sheet fixes each control's font as it is created.
    setFont(arial(12, false));
    m_ui->setupUi(this);
    defs = this;
    setup_fonts();
    setup_lists();
    setup_grid();
    set_lamp_colour(kLampIdle);

    tm_stato = new QTimer(this);
    tm_stato->setObjectName(QStringLiteral("tm_stato"));
    tm_stato->setInterval(limits::kStatusTickMs);
    tm_stato->start();

    wire_signals();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect outer(QPoint(0, 0), kOuterSize);
        outer.moveCenter(screen->availableGeometry().center());
        move(outer.topLeft());
    }
}

Tdefs::~Tdefs() {
    // The base class closes the window after the controls' names are gone; no handler may run then
    // (leaving d3 would run d3Exit on a form that no longer exists).
    tm_stato->stop();
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
    if (defs == this)
        defs = nullptr;
}

void Tdefs::setup_fonts() {
    // Under a style sheet a child does not inherit a font set on its parent later, so each gets its own.
    auto set_font = [](QWidget* widget, const QFont& font) {
        widget->setFont(font);
        for (QWidget* child : widget->findChildren<QWidget*>())
            child->setFont(font);
    };
    const QFont top_bar = arial(24, true);
    for (QWidget* widget : std::initializer_list<QWidget*>{m_ui->lb_porta, m_ui->combo_porta, m_ui->Label5,
                                                           m_ui->d9, m_ui->lb_stato})
        set_font(widget, top_bar);
    const QFont heading = arial(12, true);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_ui->Label8, m_ui->Label1, m_ui->Label26, m_ui->Label2, m_ui->Label6, m_ui->butt1, m_ui->butt9,
             m_ui->butt10, m_ui->butt11, m_ui->butt12})
        set_font(widget, heading);
    QFont console(QStringLiteral("Courier New"));
    console.setPixelSize(13);
    console.setStyleHint(QFont::TypeWriter);
    set_font(m_ui->Memo1, console);
    // Thousands of traffic lines must stay cheap to add; the program's own lines are not undoable edits.
    m_ui->Memo1->setUndoRedoEnabled(false);
}

void Tdefs::setup_lists() {
    for (QComboBox* combo : findChildren<QComboBox*>())
        make_editable_list(combo);
    {
        const QSignalBlocker quiet(m_ui->d9);
        m_ui->d9->setCurrentIndex(0);
    }
    {
        const QSignalBlocker quiet(m_ui->combo_porta);
        m_ui->combo_porta->setCurrentIndex(0);
    }
    m_rl_items = new QButtonGroup(m_ui->rl);
    m_rl_items->addButton(m_ui->rl_0, 0);
    m_rl_items->addButton(m_ui->rl_1, 1);
}

void Tdefs::setup_grid() {
    m_grid_model = new StrapGridModel(tank_tables[1], this);
    QTableView* grid = m_ui->grid1;
    grid->setModel(m_grid_model);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->setColumnWidth(0, kLevelColumnWidth);
    grid->setColumnWidth(1, kVolumeColumnWidth);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void Tdefs::wire_signals() {
    // Choosing the item already selected changes nothing, so only a real switch re-reads the channel.
    connect(m_rl_items, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            run_handler([this] { rlClick(); });
    });
    connect(m_ui->d3, &QLineEdit::editingFinished, this, [this] { run_handler([this] { d3Exit(); }); });
    on_operator_change(m_ui->d9, this, [this] { run_handler([this] { d9Change(); }); });
    connect(m_ui->butt11, &QPushButton::clicked, this, [this] { run_handler([this] { butt11Click(); }); });
    connect(m_ui->butt12, &QPushButton::clicked, this, [this] { run_handler([this] { butt12Click(); }); });
    on_operator_change(m_ui->combo_porta, this, [this] { run_handler([this] { combo_portaChange(); }); });
    connect(tm_stato, &QTimer::timeout, this, [this] { run_handler([this] { tm_statoTimer(); }); });
    connect(m_ui->butt1, &QPushButton::clicked, this, [this] { run_handler([this] { butt1Click(); }); });
    connect(m_ui->butt9, &QPushButton::clicked, this, [this] { run_handler([this] { butt9Click(); }); });
    connect(m_ui->butt10, &QPushButton::clicked, this, [this] { run_handler([this] { butt10Click(); }); });
    connect(m_ui->btn_tel1, &QPushButton::clicked, this,
            [this] { run_handler([this] { btn_tel1Click(); }); });
    connect(m_ui->btn_tel2, &QPushButton::clicked, this,
            [this] { run_handler([this] { btn_tel2Click(); }); });
    m_ui->Memo1->installEventFilter(this);
}

int Tdefs::rl_index() const {
    return m_rl_items->checkedId();
}

void Tdefs::click_language(int index) {
    if (index == 0)
        m_ui->rl_0->click();
    else if (index == 1)
        m_ui->rl_1->click();
}

void Tdefs::apply_language() {
    const int lang = rl_index();
    Ui::Tdefs& ui = *m_ui;

    rebuild_list(ui.combo_u, unit_names(lang));

    setWindowTitle(pick(lang, "Definizione dei serbatoi", "Tanks definition"));
    const struct {
        QLabel* label;
        const char* italian;
        const char* english;
    } labels[] = {
        {ui.Label5, "Canale", "Tank"},
        {ui.lb2, "Descrizione", "Description"},
        {ui.Label14, "Indirizzo S.N.", "Address"},
        {ui.Label4, "Unità di misura", "Unit"},
        {ui.Label3, "Prodotto", "Product"},
        {ui.lb4, "Capacità Tot.", "Total Capacity"},
        {ui.lb12, "Altezza Serbatoio (mm)", "Tank Heigth (mm)"},
        {ui.lb9, "Offset (mm)", "Offset (mm)"},
        {ui.Label19, "Zero Acqua", "Zero Water"},
        {ui.Label8, "Definizione allarmi", "Alarm definition"},
        {ui.Label9, "Allarme HH", "Alarm HH"},
        {ui.Label10, "Allarme H", "Alarm H"},
        {ui.Label11, "AllarmeLL", "Alarm LL"},
        {ui.Label12, "Allarme L", "Alarm L"},
        {ui.Label13, "Allarme Acqua", "Alarm Water"},
        {ui.Label1, "Collegamento a porta seriale", "Link to serial port"},
        {ui.Label6, "Numeri di telefono per SMS", "SMS Phone numbers"},
        {ui.Label26, "Definizione dei relè", "Relay definition"},
        {ui.Label2, "Tabella di ragguaglio", "Strapping table"},
    };
    for (const auto& caption : labels)
        caption.label->setText(pick(lang, caption.italian, caption.english));
    ui.btn_tel1->setText(pick(lang, "INVIA a centralina", "SEND to device"));
    ui.btn_tel2->setText(pick(lang, "LEGGI da centralina", "READ from device"));
    m_grid_model->set_headings(pick(lang, "Livello (mm)", "Level (mm)"),
                               pick(lang, "Volume (l)", "Volume (l)"));
    const struct {
        QPushButton* button;
        const char* italian;
        const char* english;
    } buttons[] = {
        {ui.butt1, "Registra dati su terminale", "Write data on device"},
        {ui.butt9, "Leggi tabella da terminale", "Read data from device"},
        {ui.butt10, "Scarica tabella su terminale", "Write table on device"},
        {ui.butt11, "Importa tabella", "Import table"},
        {ui.butt12, "Esporta tabella", "Export table"},
    };
    for (const auto& caption : buttons)
        caption.button->setText(pick(lang, caption.italian, caption.english));

    rebuild_list(ui.d25, relay_function_names(lang));
    ui.Label13->setText(translate_msg(pick(lang, "Allarme Acqua", "Alarm Water"), msg_language));

    QStringList relay_entries;
    for (int i = 0; i < ui.d25->count(); ++i)
        relay_entries << ui.d25->itemText(i);
    for (int relay = 2; relay <= limits::kRelayCount; ++relay)
        rebuild_list(relay_chooser(relay), relay_entries);
}

void Tdefs::rlClick() {
    apply_language();
    d9Change();
}

void Tdefs::d3Exit() {
    const QString text = m_ui->d3->text();
    if (text.size() > limits::kDescriptionWidth)
        m_ui->d3->setText(text.left(limits::kDescriptionWidth));
}

void Tdefs::d9Change() {
    for (int field = 1; field <= limits::kSmsFieldCount; ++field)
        set_sms_text(field, QString());
    read_channel_step(m_ui->d9->currentIndex() + 1);
    tank_tables[1].row_count = 0;
    refresh_grid();
}

void Tdefs::read_channel_step(qint32 channel) {
    // Without a link (the window alone, in its own tests) there is no controller to ask.
    if (m_link)
        m_link->read_channel(channel);
}

void Tdefs::FormShow() {
    {
        const QSignalBlocker quiet_italian(m_ui->rl_0);
        const QSignalBlocker quiet_english(m_ui->rl_1);
        const QSignalBlocker quiet_group(m_rl_items);
        m_ui->rl_0->setChecked(true);
    }
    apply_language();
    rebuild_list(m_ui->d4, product_names());
    show_connection_steps();
}

void Tdefs::show_connection_steps() {
    enable_device_buttons();
    set_position(m_ui->combo_porta, 0);
    if (m_link)
        open_port();
    device_connected = 0;
    // Also removes the echo of the handshake frame just sent: no reply can have been handled yet.
    m_ui->Memo1->clear();
}

void Tdefs::attach_link(Tcf* link) {
    m_link = link;
}

void Tdefs::enable_device_buttons() {
    m_ui->butt1->setEnabled(true);
    m_ui->butt9->setEnabled(true);
    m_ui->butt10->setEnabled(true);
}

void Tdefs::open_port() {
    ComPort& port = *m_link->port1;
    port.setOpen(false);
    port.setBaud(limits::kBaudInUse);
    const QString text = m_ui->combo_porta->currentText();
    qint32 number = 0;
    if (!try_str_to_int(text, number)) {
        // The port is closed now; the status must not go on claiming a controller behind it.
        device_connected = 0;
        raise_error(integer_error_text(text));
    }
    port.setComNumber(static_cast<quint16>(number));
    paint_label(m_ui->lb_porta, kBlue, kYellow);
    device_connected = 0;
    try {
        port.setOpen(true);
        send_handshake();
    } catch (const TankdefError&) {
        // A port that does not open is shown by the label's colours alone.
        paint_label(m_ui->lb_porta, kPortFailedText, kPortFailedBack);
    }
}

void Tdefs::send_handshake() {
    m_link->send_handshake();
}

void Tdefs::combo_portaChange() {
    if (m_link)
        open_port();
}

void Tdefs::tm_statoTimer() {
    const int lang = rl_index();
    if (device_connected != 0) {
        m_ui->lb_stato->setText(pick(lang, "Centralina collegata correttamente", "Device connected"));
        paint_label(m_ui->lb_stato, kBlue, kYellow);
        m_ui->p_dett->show();
        return;
    }
    m_ui->lb_stato->setText(pick(lang, "Centralina non collegata", "Device disconnected"));
    paint_label(m_ui->lb_stato, kRed, kYellow);
    rebuild_list(m_ui->d9, {QStringLiteral("0")});
    set_position(m_ui->d9, 0);
    m_ui->d9->setEnabled(false);
    m_ui->rett1->hide();
    m_ui->p_dett->hide();
}

void Tdefs::FormClose() {
    if (m_link)
        m_link->port1->setOpen(false);
}

void Tdefs::closeEvent(QCloseEvent* event) {
    bool closed = false;
    run_handler([this, &closed] {
        FormClose();
        closed = true;
    });
    // A trace file that could not be written keeps the port, and the window, open; closing again closes.
    if (!closed) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool Tdefs::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->Memo1 && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        // Enter gives a carriage return alone; keys without a character send nothing.
        if (text.size() == 1)
            run_handler([this, &text] { Memo1KeyPress(text.front()); });
    }
    // The pane takes the key as ordinary editing in any case.
    return QMainWindow::eventFilter(watched, event);
}

void Tdefs::Memo1KeyPress(QChar key) {
    if (m_link)
        m_link->send_frame(to_byte_text(QString(key)), 1);
}

void Tdefs::butt1Click() {
    const ConfigForm form = config_form();
    const QString payload = build_config_payload(form, QLocale());
    m_link->send_config(form.channel + 1, payload);
}

void Tdefs::butt9Click() {
    m_link->read_table(m_ui->d9->currentIndex() + 1);
}

void Tdefs::butt10Click() {
    const TablePayload table = build_table_payload(tank_tables[1]);
    if (table.refused) {
        dialogs().message(translate_msg(
            QStringLiteral("Valore superiore a 65.000. Impossibile scaricare la tabella!!"), msg_language));
        return;
    }
    const int position = m_ui->d9->currentIndex();
    refuse_unchosen_channel(position);
    m_link->send_table(position + 1, table.payload);
}

void Tdefs::btn_tel1Click() {
    m_link->write_sms();
}

void Tdefs::btn_tel2Click() {
    for (int field = 1; field <= limits::kSmsFieldCount; ++field)
        set_sms_text(field, QString());
    m_link->read_sms();
}

void Tdefs::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shown_once || event->spontaneous())
        return;
    m_shown_once = true;
    run_handler([this] { FormShow(); });
}

void Tdefs::butt11Click() {
    const QString question =
        pick(rl_index(), "Confermi importazione da file csv?", "Confirm import from csv file?");
    if (!dialogs().confirm(translate_msg(question, 1)))
        return;
    const QString path = dialogs().open_file(QCoreApplication::applicationDirPath(), file_filters());
    if (path.isEmpty()) {
        refresh_grid();
        return;
    }
    // The whole file is checked before the table changes, so a refused file leaves it as it was.
    const TableImport imported = import_table(read_table_file(path));
    if (!imported.ok())
        raise_error(imported.error);
    TTankTableRec& table = tank_tables[1];
    clear_table_rows(table);
    int row = 0;
    for (const TStrapRow& cells : imported.rows)
        table.rows[++row] = cells;
    table.row_count = row;
    refresh_grid();
}

void Tdefs::butt12Click() {
    const QString question =
        pick(rl_index(), "Confermi esportazione su file csv?", "Confirm export to csv file?");
    if (!dialogs().confirm(translate_msg(question, 1)))
        return;
    const QString path = dialogs().save_file(QCoreApplication::applicationDirPath(), file_filters());
    if (path.isEmpty())
        return;
    write_table_file(path, export_text(tank_tables[1]));
}

void Tdefs::paint_label(QLabel* label, const QColor& text, const QColor& background) {
    label->setStyleSheet(
        QStringLiteral("QLabel { color: %1; background-color: %2; }").arg(text.name(), background.name()));
}

void Tdefs::set_lamp_colour(const QColor& colour) {
    m_lamp_colour = colour;
    m_ui->rett1->setStyleSheet(QStringLiteral("QFrame#rett1 { background-color: %1; }").arg(colour.name()));
}

QComboBox* Tdefs::relay_chooser(int relay) const {
    QComboBox* const choosers[limits::kRelayCount] = {
        m_ui->d25, m_ui->d26, m_ui->d27, m_ui->d28, m_ui->d29, m_ui->d30, m_ui->d31, m_ui->d32,
        m_ui->d33, m_ui->d34, m_ui->d35, m_ui->d36, m_ui->d37, m_ui->d38, m_ui->d39, m_ui->d40};
    return relay >= 1 && relay <= limits::kRelayCount ? choosers[relay - 1] : nullptr;
}

QLabel* Tdefs::relay_label(int relay) const {
    QLabel* const labels[limits::kRelayCount] = {m_ui->Label27, m_ui->Label28, m_ui->Label30, m_ui->Label29,
                                                 m_ui->l29,     m_ui->l30,     m_ui->l31,     m_ui->l32,
                                                 m_ui->l33,     m_ui->l34,     m_ui->l35,     m_ui->l36,
                                                 m_ui->l37,     m_ui->l38,     m_ui->l39,     m_ui->l40};
    return relay >= 1 && relay <= limits::kRelayCount ? labels[relay - 1] : nullptr;
}

ConfigForm Tdefs::config_form() const {
    const Ui::Tdefs& ui = *m_ui;
    ConfigForm form;
    form.channel = ui.d9->currentIndex();
    form.description = ui.d3->text();
    form.address = ui.d2->text();
    form.product = ui.d4->currentIndex();
    form.unit = ui.combo_u->currentIndex();
    form.numbers = {ui.d16->text(),  ui.d17->text(), ui.d18->text(), ui.d19->text(),
                    ui.d7_1->text(), ui.d20->text(), ui.d12->text(), ui.d13->text()};
    for (int relay = 1; relay <= limits::kRelayCount; ++relay)
        form.relays[relay - 1] = relay_chooser(relay)->currentIndex();
    form.sixteen_relays = !ui.d40->isHidden();
    return form;
}

int Tdefs::language() const {
    return rl_index();
}

void Tdefs::set_lamp_busy(bool busy) {
    set_lamp_colour(busy ? kLampBusy : kLampIdle);
}

void Tdefs::set_panels_enabled(bool enabled) {
    m_ui->Panel4->setEnabled(enabled);
    m_ui->Panel2->setEnabled(enabled);
}

void Tdefs::console_append(const QByteArray& line) {
    m_ui->Memo1->appendPlainText(QString::fromLatin1(line));
}

QString Tdefs::sms_text(int field) const {
    switch (field) {
    case 1:
        return m_ui->txt_t1->text();
    case 2:
        return m_ui->txt_t2->text();
    case 3:
        return m_ui->txt_t3->text();
    case 4:
        return m_ui->txt_t4->text();
    default:
        return QString();
    }
}

void Tdefs::set_sms_text(int field, const QString& text) {
    QLineEdit* const fields[limits::kSmsFieldCount] = {m_ui->txt_t1, m_ui->txt_t2, m_ui->txt_t3,
                                                       m_ui->txt_t4};
    if (field >= 1 && field <= limits::kSmsFieldCount)
        fields[field - 1]->setText(text);
}

void Tdefs::show_identification(int channels, bool sixteen_relays) {
    QStringList entries;
    // Channel letters are single characters on the wire; no controller reports more than fit in a byte.
    const int count = qMin(channels, limits::kMaxChannels);
    for (int k = 1; k <= count; ++k)
        entries << QStringLiteral("%1 - %2").arg(k).arg(QChar(char16_t(64 + k)));
    rebuild_list(m_ui->d9, entries);
    set_position(m_ui->d9, 0);
    m_ui->d9->setEnabled(true);
    m_ui->rett1->show();
    set_lamp_colour(kLampIdle);
    set_panels_enabled(true);
    for (int relay = 5; relay <= limits::kRelayCount; ++relay) {
        relay_chooser(relay)->setVisible(sixteen_relays);
        relay_label(relay)->setVisible(sixteen_relays);
    }
}

void Tdefs::channel_change() {
    d9Change();
}

void Tdefs::show_channel_config(const ChannelConfig& config) {
    Ui::Tdefs& ui = *m_ui;
    auto show_number = [](QLineEdit* field, qint64 value) { field->setText(QString::number(value)); };
    set_position(ui.d4, 0);
    ui.d3->setText(config.description);
    ui.d2->setText(config.address);
    set_position(ui.d4, config.product);
    set_position(ui.combo_u, config.unit);
    show_number(ui.d12, config.offset);
    show_number(ui.d13, config.hidden_d13);
    show_number(ui.d16, config.alarm_hh);
    show_number(ui.d17, config.alarm_h);
    show_number(ui.d18, config.alarm_l);
    show_number(ui.d19, config.alarm_ll);
    show_number(ui.d20, config.water_alarm);
    show_number(ui.d7_1, config.water_zero);
    show_number(ui.d23, config.hidden_d23);
    show_number(ui.d24, config.hidden_d24);
    for (int relay = 1; relay <= limits::kRelayCount; ++relay)
        set_position(relay_chooser(relay), config.relays[relay - 1]);
    show_number(ui.d7, config.tank_height);
    show_number(ui.d5, config.capacity);
}

void Tdefs::refresh_grid() {
    m_grid_model->refresh();
}

void Tdefs::port_lost(const QString& error) {
    // As after a failed opening, only the port label's colours say the port is gone.
    Q_UNUSED(error);
    paint_label(m_ui->lb_porta, kPortFailedText, kPortFailedBack);
}
