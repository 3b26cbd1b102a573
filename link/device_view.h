#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QString>

// What the device link needs of the main window; the window implements it, tests and fuzzers record it.
class DeviceView {
public:
    virtual ~DeviceView() = default;

    // The language group's index at this moment: 0 Italian, 1 English.
    virtual int language() const = 0;
    // The busy lamp rett1: red while a frame waits for its reply, green once a complete reply came in.
    virtual void set_lamp_busy(bool busy) = 0;
    // The top bar Panel4 and the strapping-table panel Panel2, enabled or disabled together.
    virtual void set_panels_enabled(bool enabled) = 0;
    // A new last line of the console Memo1 (8-bit text, shown as Latin-1).
    virtual void console_append(const QByteArray& line) = 0;

    // txt_t1..txt_t4 (field 1..4) as they stand now, and setting one of them.
    virtual QString sms_text(int field) const = 0;
    virtual void set_sms_text(int field, const QString& text) = 0;

    // The identification reply: d9 refilled with "k - letter" for 1..channels (empty for 0 or less),
    // its first entry selected and d9 enabled; rett1 shown green; Panel4 and Panel2 enabled;
    // relay rows 5..16 shown for the 16-relay variant, hidden otherwise.
    virtual void show_identification(int channels, bool sixteen_relays) = 0;
    // The channel-change step d9Change: SMS fields emptied, read_channel, table emptied.
    virtual void channel_change() = 0;
    // Sets the channel's controls from a decoded configuration reply, in the order the reply is shown.
    virtual void show_channel_config(const ChannelConfig& config) = 0;
    // The grid takes tank_tables[1].row_count rows and repaints.
    virtual void refresh_grid() = 0;
    // The device vanished under an open port; the port has already been closed.
    virtual void port_lost(const QString& error) = 0;
};
