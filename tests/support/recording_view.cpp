#include "recording_view.h"

void RecordingView::set_lamp_busy(bool busy) {
    lamp_busy = busy;
    events << (busy ? QStringLiteral("lamp red") : QStringLiteral("lamp green"));
}

void RecordingView::set_panels_enabled(bool enabled) {
    panels_enabled = enabled;
    events << (enabled ? QStringLiteral("panels on") : QStringLiteral("panels off"));
}

void RecordingView::console_append(const QByteArray& line) {
    console << line;
    events << QStringLiteral("console ") + QString::fromLatin1(line);
}

QString RecordingView::sms_text(int field) const {
    return sms.at(size_t(field - 1));
}

void RecordingView::set_sms_text(int field, const QString& text) {
    sms.at(size_t(field - 1)) = text;
    events << QStringLiteral("sms %1 %2").arg(field).arg(text);
}

void RecordingView::show_identification(int channel_total, bool sixteen_relays) {
    channels = channel_total;
    sixteen = sixteen_relays;
    lamp_shown = true;
    lamp_busy = false;
    panels_enabled = true;
    events << QStringLiteral("identification %1 %2").arg(channel_total).arg(sixteen_relays ? 16 : 4);
}

void RecordingView::channel_change() {
    events << QStringLiteral("channel change");
    sms.fill(QString());
    if (on_channel_change)
        on_channel_change();
}

void RecordingView::show_channel_config(const ChannelConfig& value) {
    config = value;
    events << QStringLiteral("config ") + value.description;
}

void RecordingView::refresh_grid() {
    ++grid_refreshes;
    events << QStringLiteral("refresh grid");
}

void RecordingView::port_lost(const QString& error) {
    lost << error;
    events << QStringLiteral("port lost");
}
