#pragma once

#include "device_view.h"

#include <QColor>
#include <QMainWindow>

#include <memory>

class QButtonGroup;
class QComboBox;
class QLabel;
class QShowEvent;
class QTimer;
class StrapGridModel;
class Tcf;
class QCloseEvent;
namespace Ui {
class Tdefs;
}

// The main window: every channel parameter, the strapping table, the SMS numbers and the console.
class Tdefs : public QMainWindow, public DeviceView {
    Q_OBJECT
public:
    explicit Tdefs(QWidget* parent = nullptr);
    ~Tdefs() override;

    // The generated controls, by the names the window uses (d3, combo_u, grid1...).
    Ui::Tdefs* ui() const { return m_ui.get(); }

    // The connection status timer, running from creation.
    QTimer* tm_stato = nullptr;

    int rl_index() const;
    // Clicks the language item as the operator would (0 Italiano, 1 English).
    void click_language(int index);

    void apply_language();
    void rlClick();
    void d3Exit();
    void d9Change();
    void FormShow();

    void butt11Click();
    void butt12Click();

    // The device link the window drives; set once at start-up, after both exist.
    void attach_link(Tcf* link);

    // Port selection, handshake and connection status.
    void open_port();
    void send_handshake();
    void combo_portaChange();
    void tm_statoTimer();
    void FormClose();
    void enable_device_buttons();

    // Channel data and console.
    void butt1Click();
    void butt9Click();
    void butt10Click();
    void btn_tel1Click();
    void btn_tel2Click();
    void Memo1KeyPress(QChar key);

    // The colours of a status label, as the port opening and the status timer paint them.
    static void paint_label(QLabel* label, const QColor& text, const QColor& background);
    QColor lamp_colour() const { return m_lamp_colour; }

    // DeviceView
    int language() const override;
    void set_lamp_busy(bool busy) override;
    void set_panels_enabled(bool enabled) override;
    void console_append(const QByteArray& line) override;
    QString sms_text(int field) const override;
    void set_sms_text(int field, const QString& text) override;
    void show_identification(int channels, bool sixteen_relays) override;
    void channel_change() override;
    void show_channel_config(const ChannelConfig& config) override;
    void refresh_grid() override;
    void port_lost(const QString& error) override;

    // The channel's fields as the operator left them, for the configuration write.
    ConfigForm config_form() const;

    // The relay choosers d25..d40 (relay 1..16) and the labels of rows 5..16, l29..l40.
    QComboBox* relay_chooser(int relay) const;
    QLabel* relay_label(int relay) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setup_fonts();
    void setup_lists();
    void setup_grid();
    void wire_signals();
    void set_lamp_colour(const QColor& colour);
    // FormShow's connection steps: enable the device buttons, open the first port, clear the console.
    void show_connection_steps();
    // d9Change's request: the device link's read_channel for this channel number.
    void read_channel_step(qint32 channel);

    std::unique_ptr<Ui::Tdefs> m_ui;
    StrapGridModel* m_grid_model = nullptr;
    QButtonGroup* m_rl_items = nullptr; // the two language items, ids 0 and 1
    QColor m_lamp_colour;
    bool m_shown_once = false;
    Tcf* m_link = nullptr;
};

extern Tdefs* defs;
