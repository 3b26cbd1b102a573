// Costs of the program's own work, away from the line: the receive path, the decoders and payload
// builders, the table files, the trace file and the grid. Run by scripts/bench.sh.

#include "bench_data.h"
#include "com_form.h"
#include "f_defs_ui.h"
#include "protocol.h"
#include "recording_view.h"
#include "scripted_dialogs.h"
#include "serial_port.h"
#include "sim_protocol.h"
#include "table_file.h"
#include "window_set.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// The device link with its port and pauses as no-ops and a window that only records what it is told.
struct RecordingLink {
    Tcf link;
    RecordingView view;
    RecordingProgress progress;

    RecordingLink() {
        reset_shared_state();
        link.attach(&view, &progress);
        link.set_char_writer([](const QByteArray&) {});
        link.set_waiter([](double) {});
    }
};

// The program's real window set, shown on the offscreen platform, sending into nothing.
std::unique_ptr<WindowSet> g_windows;

WindowSet& windows() {
    if (!g_windows) {
        g_windows = std::make_unique<WindowSet>();
        g_windows->link.set_char_writer([](const QByteArray&) {});
        g_windows->link.set_waiter([](double) {});
        g_windows->window.show();
        // The detail panel with the console and the grid shows only while a controller is connected.
        device_connected = 1;
        g_windows->window.ui()->p_dett->show();
        QApplication::processEvents();
    }
    return *g_windows;
}

void add_line_counters(benchmark::State& state, qint64 lines, qint64 bytes) {
    state.counters["lines"] = double(lines);
    state.counters["bytes"] = double(bytes);
    state.SetBytesProcessed(state.iterations() * bytes);
}

// A "G" request answered up to the table: the next bytes are the table lines.
void begin_table_read(Tcf& link) {
    link.read_table(1);
    link.port1_oldReceiveCallBack("OK\r\n");
}

// ---- receive path ----

// The whole 2000-line table reply delivered in pieces of range(0) bytes, decoded at its end line.
void BM_receive_table(benchmark::State& state) {
    const qsizetype piece = state.range(0);
    const QByteArray reply = bench::table_reply(bench::rising_rows(bench::kRows));
    for (auto _ : state) {
        state.PauseTiming();
        auto fixture = std::make_unique<RecordingLink>();
        begin_table_read(fixture->link);
        state.ResumeTiming();
        for (qsizetype at = 0; at < reply.size(); at += piece)
            fixture->link.port1_oldReceiveCallBack(reply.mid(at, piece));
        state.PauseTiming();
        if (tank_tables[1].row_count != bench::kRows || com_state != 3)
            state.SkipWithError("the table was not decoded");
        fixture.reset();
        state.ResumeTiming();
    }
    add_line_counters(state, bench::kRows + 1, reply.size());
}
BENCHMARK(BM_receive_table)->Arg(1)->Arg(64)->Arg(8192)->Unit(benchmark::kMillisecond);

// The same reply into the real window, one line per delivery as at line rate, with the event loop's
// turn (console and progress repaints) after each delivery; range(1) lines already in the console show
// whether a long console slows the receive path.
void BM_receive_table_window(benchmark::State& state) {
    const qsizetype piece = state.range(0);
    const int preload = int(state.range(1));
    const QByteArray reply = bench::table_reply(bench::rising_rows(bench::kRows));
    WindowSet& set = windows();
    QStringList old_lines;
    for (int i = 0; i < preload; ++i)
        old_lines << QStringLiteral("%1\t%2").arg(i, 5, 10, QLatin1Char('0')).arg(i, 5, 10, QLatin1Char('0'));
    const QString old_text = old_lines.join(u'\n');
    // One untimed read first: fonts, glyph caches and the grid's first layout are start-up costs.
    begin_table_read(set.link);
    set.link.port1_oldReceiveCallBack(reply);
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        reset_shared_state();
        device_connected = 1;
        set.window.ui()->Memo1->clear();
        if (preload > 0)
            set.window.ui()->Memo1->appendPlainText(old_text);
        begin_table_read(set.link);
        QApplication::processEvents();
        state.ResumeTiming();
        for (qsizetype at = 0; at < reply.size(); at += piece) {
            set.link.port1_oldReceiveCallBack(reply.mid(at, piece));
            QApplication::processEvents();
        }
        state.PauseTiming();
        if (tank_tables[1].row_count != bench::kRows || com_state != 3)
            state.SkipWithError("the table was not decoded");
        state.ResumeTiming();
    }
    add_line_counters(state, bench::kRows + 1, reply.size());
}
BENCHMARK(BM_receive_table_window)
    ->Args({14, 0})
    ->Args({14, 20000})
    ->Args({8192, 0})
    ->Unit(benchmark::kMillisecond);

// ---- decoders ----

void BM_parse_identification(benchmark::State& state) {
    const QString line = QString::fromLatin1(sim::identification_line(2, limits::kRelayCount));
    for (auto _ : state)
        benchmark::DoNotOptimize(parse_identification(line));
}
BENCHMARK(BM_parse_identification);

void BM_parse_channel_config(benchmark::State& state) {
    const QString line =
        QString::fromLatin1(sim::config_line(sim::sample_channel(1), 'A', limits::kRelayCount, true));
    const QLocale locale = QLocale::c();
    for (auto _ : state)
        benchmark::DoNotOptimize(parse_channel_config(line, locale));
}
BENCHMARK(BM_parse_channel_config);

void BM_parse_sms_record(benchmark::State& state) {
    const QString line = QString::fromLatin1(sim::sms_line(sim::sample_state(2).sms));
    for (auto _ : state)
        benchmark::DoNotOptimize(parse_sms_record(line));
}
BENCHMARK(BM_parse_sms_record);

void BM_is_normale(benchmark::State& state) {
    const QString line = QString::fromLatin1(sim::kWriteConfirmed.toByteArray());
    for (auto _ : state)
        benchmark::DoNotOptimize(is_normale(line));
}
BENCHMARK(BM_is_normale);

void BM_parse_table_lines(benchmark::State& state) {
    QStringList lines;
    for (const QByteArray& line : sim::table_lines(bench::rising_rows(int(state.range(0)))))
        lines << QString::fromLatin1(line);
    lines.removeLast(); // the end line is never stored
    for (auto _ : state)
        benchmark::DoNotOptimize(parse_table_lines(lines));
    add_line_counters(state, lines.size(), lines.join(QString()).size());
}
BENCHMARK(BM_parse_table_lines)->Arg(200)->Arg(bench::kRows)->Unit(benchmark::kMicrosecond);

// ---- payload builders ----

void BM_build_config_payload(benchmark::State& state) {
    const sim::SimChannel channel = sim::sample_channel(1);
    ConfigForm form;
    form.channel = 0;
    form.description = channel.description;
    form.address = channel.address;
    form.product = channel.product;
    form.unit = channel.unit;
    for (int i = 0; i < sim::kNumberFieldCount; ++i)
        form.numbers[std::size_t(i)] = QString::number(channel.numbers[std::size_t(i)]);
    for (int i = 0; i < limits::kRelayCount; ++i)
        form.relays[std::size_t(i)] = i % limits::kRelayFunctionCount;
    form.sixteen_relays = true;
    const QLocale locale = QLocale::c();
    for (auto _ : state)
        benchmark::DoNotOptimize(build_config_payload(form, locale));
}
BENCHMARK(BM_build_config_payload);

void BM_build_table_payload(benchmark::State& state) {
    auto table = std::make_unique<TTankTableRec>();
    bench::fill_table(*table, bench::rising_rows(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(build_table_payload(*table));
    add_line_counters(state, table->row_count + 1, 13 * (table->row_count + 1));
}
BENCHMARK(BM_build_table_payload)->Arg(200)->Arg(bench::kRows)->Unit(benchmark::kMicrosecond);

// The "C" follow-up frame around a full table payload, turned into the bytes the transmitter sends.
void BM_build_table_frame(benchmark::State& state) {
    auto table = std::make_unique<TTankTableRec>();
    bench::fill_table(*table, bench::rising_rows(bench::kRows));
    const QString payload = build_table_payload(*table).payload;
    for (auto _ : state)
        benchmark::DoNotOptimize(to_byte_text(build_follow_up("C", "A", "$", payload, {}).frame));
}
BENCHMARK(BM_build_table_frame)->Unit(benchmark::kMicrosecond);

// ---- strapping-table files ----

void BM_export_text(benchmark::State& state) {
    auto table = std::make_unique<TTankTableRec>();
    bench::fill_table(*table, bench::rising_rows(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(export_text(*table));
    add_line_counters(state, table->row_count, export_text(*table).size());
}
BENCHMARK(BM_export_text)->Arg(200)->Arg(bench::kRows)->Unit(benchmark::kMicrosecond);

void BM_import_table(benchmark::State& state) {
    auto table = std::make_unique<TTankTableRec>();
    bench::fill_table(*table, bench::rising_rows(int(state.range(0))));
    const QByteArray bytes = export_text(*table);
    for (auto _ : state) {
        const TableImport result = import_table(bytes);
        if (int(result.rows.size()) != table->row_count)
            state.SkipWithError("the file was not read back");
        benchmark::DoNotOptimize(result);
    }
    add_line_counters(state, table->row_count, bytes.size());
}
BENCHMARK(BM_import_table)->Arg(200)->Arg(bench::kRows)->Unit(benchmark::kMicrosecond);

// The export button's work after its dialogs: the text built and the file replaced on disk.
void BM_export_file(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.csv"));
    auto table = std::make_unique<TTankTableRec>();
    bench::fill_table(*table, bench::rising_rows(bench::kRows));
    for (auto _ : state)
        write_table_file(path, export_text(*table));
    add_line_counters(state, table->row_count, export_text(*table).size());
}
BENCHMARK(BM_export_file)->Unit(benchmark::kMicrosecond);

// The import button's work after its dialogs: the file read and its rows taken.
void BM_import_file(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.csv"));
    auto table = std::make_unique<TTankTableRec>();
    bench::fill_table(*table, bench::rising_rows(bench::kRows));
    write_table_file(path, export_text(*table));
    for (auto _ : state)
        benchmark::DoNotOptimize(import_table(read_table_file(path)));
    add_line_counters(state, table->row_count, export_text(*table).size());
}
BENCHMARK(BM_import_file)->Unit(benchmark::kMicrosecond);

// ---- byte trace ----

// A full ring as a table read leaves it: a few short frames, then received table bytes.
std::vector<TraceEntry> table_read_trace() {
    std::vector<TraceEntry> entries;
    const auto add = [&](char direction, const QByteArray& bytes) {
        for (const char c : bytes)
            if (entries.size() < std::size_t(limits::kTraceSize))
                entries.push_back({direction, quint8(c)});
    };
    add('T', "$");
    add('R', "OK\r\n");
    add('T', "GA\r");
    add('R', bench::table_reply(bench::rising_rows(bench::kRows)));
    return entries;
}

// The worst case for the format: the direction changes at every byte, so every byte opens a block.
std::vector<TraceEntry> alternating_trace() {
    std::vector<TraceEntry> entries;
    for (int i = 0; i < limits::kTraceSize; ++i)
        entries.push_back({i % 2 == 0 ? 'T' : 'R', quint8(i % 256)});
    return entries;
}

void BM_format_trace(benchmark::State& state) {
    const std::vector<TraceEntry> entries = state.range(0) == 0 ? table_read_trace() : alternating_trace();
    for (auto _ : state)
        benchmark::DoNotOptimize(format_trace(entries));
    state.counters["entries"] = double(entries.size());
    state.SetLabel(state.range(0) == 0 ? "table read" : "alternating");
}
BENCHMARK(BM_format_trace)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// ---- grid ----

// refresh_grid on the real window with the table's rows, and the loop's turn that lays out and paints it.
void BM_refresh_grid(benchmark::State& state) {
    WindowSet& set = windows();
    reset_shared_state();
    device_connected = 1;
    bench::fill_table(tank_tables[1], bench::rising_rows(int(state.range(0))));
    set.window.ui()->grid1->setEnabled(true);
    for (auto _ : state) {
        set.window.refresh_grid();
        QApplication::processEvents();
        set.window.ui()->grid1->viewport()->repaint();
    }
    if (set.window.ui()->grid1->model()->rowCount() != tank_tables[1].row_count)
        state.SkipWithError("the grid does not show the table");
    state.counters["rows"] = double(tank_tables[1].row_count);
}
BENCHMARK(BM_refresh_grid)->Arg(200)->Arg(bench::kRows)->Unit(benchmark::kMicrosecond);

// The offscreen platform cannot raise the progress window and says so at every table read.
QtMessageHandler g_standard_handler = nullptr;

void quiet_raise_warning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("does not support raise()")))
        return;
    if (g_standard_handler)
        g_standard_handler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    g_standard_handler = qInstallMessageHandler(quiet_raise_warning);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // COM1 names nothing, so showing the window opens no real port.
    qputenv("TANKDEF_COM1", "/nonexistent/tankdef-bench-com1");
    QApplication app(argc, argv);
    const QTemporaryDir folder; // the trace file of the window's port lands here, not in the caller's folder
    QDir::setCurrent(folder.path());
    ScriptedDialogs answers;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_windows.reset(); // before the application object goes
    return 0;
}
