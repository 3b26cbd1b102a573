// The whole receive side: bytes in arbitrary deliveries through the line assembly, the command exchange,
// the reply dispatcher and every decoder, starting from any request and exchange state.

#include "com_form.h"
#include "constants.h"
#include "dialogs.h"
#include "errors.h"
#include "fuzz_common.h"
#include "recording_view.h"
#include "tipi.h"

#include <QTimer>

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <optional>

namespace {

// Answers every question with No and remembers what it was told, so no box ever opens.
class SilentDialogs : public Dialogs {
public:
    QStringList told;
    bool confirm(const QString& text) override {
        told << text;
        return false;
    }
    void message(const QString& text) override { told << text; }
    void error(const QString& text) override { told << text; }
    QString open_file(const QString&, const QStringList&) override { return {}; }
    QString save_file(const QString&, const QStringList&) override { return {}; }
};

enum class Request { Handshake, Read, Write, Table, SendTable, Sms, WriteSms, kCount };

Tcf* g_link = nullptr;
SilentDialogs* g_dialogs = nullptr;

struct Snapshot {
    qint32 row_count;
    std::vector<TStrapRow> rows;
    std::optional<ChannelConfig> config;
};

Snapshot snapshot(const RecordingView& view) {
    Snapshot s;
    s.row_count = tank_tables[1].row_count;
    s.rows.assign(tank_tables[1].rows.begin(), tank_tables[1].rows.end());
    s.config = view.config;
    return s;
}

bool table_equals(const Snapshot& s) {
    return s.row_count == tank_tables[1].row_count &&
           std::equal(s.rows.begin(), s.rows.end(), tank_tables[1].rows.begin());
}

void check_shared_state() {
    const TStationRec& station = stations[1];
    FUZZ_CHECK(station.rx_line_count >= 0 && station.rx_line_count <= limits::kRxLineCount);
    FUZZ_CHECK(station.rx_lines_dropped >= 0);
    FUZZ_CHECK(station.rx_state >= 0 && station.rx_state <= 2);
    FUZZ_CHECK(station.rx_mode == 0 || station.rx_mode == 2);
    for (int n = 1; n <= station.rx_line_count; ++n)
        FUZZ_CHECK(station.rx_lines[n].length <= limits::kRxLineLength);
    FUZZ_CHECK(tank_tables[1].row_count >= 0 && tank_tables[1].row_count <= limits::kTableRows);
    for (int r = 1; r <= tank_tables[1].row_count; ++r) {
        const TStrapRow& row = tank_tables[1].rows[r];
        // A row read from the controller is either empty or two whole numbers that fit 32 bits.
        const bool empty = row.level == -1 && row.volume == -1;
        const bool whole = row.level >= 0 && row.level <= 2147483647.0 && row.volume >= 0 &&
                           row.volume <= 2147483647.0 && row.level == double(qint64(row.level)) &&
                           row.volume == double(qint64(row.volume));
        FUZZ_CHECK(empty || whole);
    }
    FUZZ_CHECK(com_state >= 0 && com_state <= 4);
    FUZZ_CHECK(!rx_fields[0].contains(u'\r') && !rx_fields[0].contains(u'\n'));
    for (int k = 1; k < limits::kRxFieldCount; ++k)
        FUZZ_CHECK(rx_fields[size_t(k)].isEmpty());
}

void start(Tcf& link, Request request, qint32 channel) {
    switch (request) {
    case Request::Handshake:
        link.send_handshake();
        break;
    case Request::Read:
        link.read_channel(channel);
        break;
    case Request::Write:
        link.send_config(channel,
                         QStringLiteral("A$Serbatoio 1    $080000$00123$01800$01700$00300$00150$00000$"
                                        "00050$65516$00000$00002$00003$00000$00010$"));
        break;
    case Request::Table:
        link.read_table(channel);
        break;
    case Request::SendTable:
        link.send_table(channel, QStringLiteral("00000\t00000\r\n65000\t65000\r\n"));
        break;
    case Request::Sms:
        link.read_sms();
        break;
    case Request::WriteSms:
    case Request::kCount:
        link.write_sms();
        break;
    }
}

// One delivery as the data-available handler passes it on: bytes of 128 and above already dropped.
void deliver(Tcf& link, RecordingView& view, const std::string& bytes) {
    QByteArray text;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 128)
            text.append(c);
    }
    const Snapshot before = snapshot(view);
    try {
        link.port1_oldReceiveCallBack(text);
    } catch (const TankdefError& error) {
        // A reply that does not decode ends the handler with the line already consumed and nothing of the
        // decoder's result applied; the exchange stays where it was.
        FUZZ_CHECK(!error.text().isEmpty());
        FUZZ_CHECK(error.text().size() <= 1000);
        FUZZ_CHECK(rx_fields[0].isEmpty());
        FUZZ_CHECK(view.lamp_busy);
        if (com_state == 2 && cmd_letter == "G")
            FUZZ_CHECK(table_equals(before));
        if (com_state == 2 && cmd_letter == "R")
            FUZZ_CHECK(view.config == before.config);
        FUZZ_CHECK(com_state == 2);
    }
    check_shared_state();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_core_application();
    static SilentDialogs dialogs;
    g_dialogs = &dialogs;
    set_dialogs(&dialogs);
    static Tcf link;
    g_link = &link;
    cf = &link;
    // No port and no pauses: characters go nowhere and waits return at once.
    link.set_char_writer([](const QByteArray&) {});
    link.set_waiter([](double) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reset_shared_state();
    g_dialogs->told.clear();
    FuzzedDataProvider input(data, size);
    Tcf& link = *g_link;
    RecordingView view;
    RecordingProgress progress;
    link.attach(&view, &progress);
    // What d9Change does after an identification: SMS fields (done by the view) and table emptied, then
    // the configuration of the first channel is read.
    view.on_channel_change = [&link] {
        tank_tables[1].row_count = 0;
        link.read_channel(1);
    };
    view.language_index = input.ConsumeIntegralInRange<int>(0, 1);
    for (QString& text : view.sms)
        text = latin1(input.ConsumeRandomLengthString(30));

    // The request in progress and how far its exchange has come: 0 no request at all, 1 "$" sent,
    // 2 follow-up sent, 3 and 4 final.
    const auto request = Request(input.ConsumeIntegralInRange<int>(0, int(Request::kCount) - 1));
    const int state = input.ConsumeIntegralInRange<int>(0, 4);
    const qint32 channel = input.ConsumeIntegralInRange<qint32>(0, limits::kMaxChannels + 2);
    if (state >= 1) {
        start(link, request, channel);
        if (state >= 2)
            deliver(link, view, "\r"); // the controller answers "$"; the follow-up frame goes out
        if (state >= 3)
            com_state = state;
    }
    check_shared_state();

    while (input.remaining_bytes() > 0) {
        const uint8_t kind = input.ConsumeIntegral<uint8_t>();
        if (kind == 0xFF) {
            // The operator starts another request while one is outstanding.
            start(link, Request(input.ConsumeIntegralInRange<int>(0, int(Request::kCount) - 1)),
                  input.ConsumeIntegralInRange<qint32>(0, limits::kMaxChannels + 2));
            check_shared_state();
            continue;
        }
        deliver(link, view, input.ConsumeBytesAsString(kind));
    }
    // Anything queued for after the reply (the message about dropped table lines) runs now.
    QCoreApplication::processEvents();
    for (const QString& text : g_dialogs->told)
        FUZZ_CHECK(text.size() <= 1000);
    link.tm_timeout->stop();
    link.attach(nullptr, nullptr);
    return 0;
}
