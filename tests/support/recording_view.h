#pragma once

#include "device_view.h"
#include "progress_view.h"

#include <QStringList>

#include <array>
#include <functional>
#include <optional>

// A window and a progress window that only remember what the device link did to them.
class RecordingView : public DeviceView {
public:
    int language_index = 0;
    QStringList events;        // every call, in order, as short texts
    QList<QByteArray> console; // lines added to the console
    std::array<QString, 4> sms{};
    bool lamp_busy = false;
    bool lamp_shown = false;
    bool panels_enabled = true;
    int channels = -1;
    bool sixteen = false;
    std::optional<ChannelConfig> config;
    int grid_refreshes = 0;
    QStringList lost;
    // What d9Change does beyond clearing the SMS fields; the test decides (usually cf->read_channel(1)).
    std::function<void()> on_channel_change;

    int language() const override { return language_index; }
    void set_lamp_busy(bool busy) override;
    void set_panels_enabled(bool enabled) override;
    void console_append(const QByteArray& line) override;
    QString sms_text(int field) const override;
    void set_sms_text(int field, const QString& text) override;
    void show_identification(int channel_total, bool sixteen_relays) override;
    void channel_change() override;
    void show_channel_config(const ChannelConfig& value) override;
    void refresh_grid() override;
    void port_lost(const QString& error) override;
};

class RecordingProgress : public ProgressView {
public:
    bool shown = false;
    QString text = QStringLiteral("lb1");
    QStringList labels; // every label set, in order
    int hides = 0;

    void show_transfer() override { shown = true; }
    void set_label(const QString& value) override {
        text = value;
        labels << value;
    }
    QString label() const override { return text; }
    void hide_transfer() override {
        shown = false;
        ++hides;
    }
    bool is_shown() const override { return shown; }
};
