// The program as an operator runs it, the controller being the separate tankdef-sim process:
//   bench_program make-state FILE    a simulator state whose two channels hold 2000-row tables
//   bench_program startup-runs N     starts "bench_program startup" N times; time to the main window shown
//   bench_program startup            the program's own start (as main.cpp), reports once the window is shown
//   bench_program session            connects on COM1, reads a 2000-row table, idles 10 s, writes it back
// Prints "PROGRAM {json}" lines. Run by scripts/bench.sh.

#include "bench_data.h"
#include "f_defs_ui.h"
#include "quit_signals.h"
#include "sim_state.h"
#include "window_set.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kIdleMs = 10'000;
constexpr int kExchangeTimeoutMs = 300'000;

void report(const QJsonObject& row) {
    std::printf("PROGRAM %s\n", QJsonDocument(row).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 when it cannot be read.
qint64 status_kb(const QByteArray& field) {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs the event loop until done() holds, looking every `step_ms`; false when the time ran out.
bool run_until(const std::function<bool()>& done, int timeout_ms, int step_ms) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(step_ms);
    while (!done()) {
        if (clock.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int make_state(const QString& path) {
    sim::save_state_file(path, bench::state_with_tables(bench::kRows));
    return 0;
}

int startup() {
    // As main.cpp, up to the window on screen.
    int argc = 1;
    char name[] = "tankdef";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("tankdef"));
    WindowSet windows;
    close_on_quit_signals(&windows.window);
    windows.window.show();
    while (!windows.window.windowHandle() || !windows.window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents(); // the first paint
    std::printf("shown\n");
    std::fflush(stdout);
    return 0;
}

int startup_runs(const QString& self, int runs) {
    int argc = 1;
    char name[] = "bench_program";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv); // QProcess wants an application object
    QJsonArray times;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        child.start(self, {QStringLiteral("startup")});
        bool shown = false;
        while (!shown && child.waitForReadyRead(10'000))
            shown = child.readAll().contains("shown");
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        child.waitForFinished(10'000);
        if (!shown) {
            report({{"figure", "startup"}, {"ok", false}});
            return 1;
        }
        ms.push_back(elapsed);
        times.append(elapsed);
    }
    std::sort(ms.begin(), ms.end());
    report({{"figure", "startup"},
            {"ok", true},
            {"runs_ms", times},
            {"median_ms", ms[ms.size() / 2]},
            {"min_ms", ms.front()},
            {"max_ms", ms.back()},
            {"controller", !qEnvironmentVariableIsEmpty("TANKDEF_BENCH_WITH_CONTROLLER")}});
    return 0;
}

int session() {
    int argc = 1;
    char name[] = "tankdef";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    WindowSet windows;
    Ui::Tdefs& ui = *windows.window.ui();
    windows.window.show();
    bool ok =
        run_until([] { return device_connected != 0 && cmd_letter == "R" && com_state == 3; }, 30'000, 20);
    run_until([&] { return ui.p_dett->isVisible(); }, 5'000, 20);

    ui.butt9->click();
    ok = ok && run_until([] { return cmd_letter == "G" && com_state == 3; }, kExchangeTimeoutMs, 20);
    ok = ok && tank_tables[1].row_count == bench::kRows;
    const qint64 rss_after_read = status_kb("VmRSS");

    // Idle: the status timer ticks, nothing else should run.
    const double idle_start = cpu_seconds();
    QElapsedTimer idle_clock;
    idle_clock.start();
    QEventLoop idle;
    QTimer::singleShot(kIdleMs, &idle, &QEventLoop::quit);
    idle.exec();
    const double idle_cpu = cpu_seconds() - idle_start;
    const double idle_wall = double(idle_clock.nsecsElapsed()) / 1e9;

    const double write_start = cpu_seconds();
    QElapsedTimer write_clock;
    write_clock.start();
    ui.butt10->click();
    const bool written =
        run_until([] { return cmd_letter == "C" && com_state == 4; }, kExchangeTimeoutMs, 100);
    const double write_cpu = cpu_seconds() - write_start;
    const double write_wall = double(write_clock.nsecsElapsed()) / 1e9;
    ok = ok && written;

    report({{"figure", "session"},
            {"ok", ok},
            {"idle_wall_s", idle_wall},
            {"idle_cpu_s", idle_cpu},
            {"write_wall_s", write_wall},
            {"write_cpu_s", write_cpu},
            {"rss_after_read_kb", rss_after_read},
            {"peak_rss_kb", status_kb("VmHWM")}});
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("make-state") && argc > 2)
        return make_state(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("startup"))
        return startup();
    if (mode == QLatin1String("startup-runs") && argc > 2)
        return startup_runs(QString::fromLocal8Bit(argv[0]), QString::fromLocal8Bit(argv[2]).toInt());
    if (mode == QLatin1String("session"))
        return session();
    std::fprintf(stderr, "usage: bench_program make-state FILE | startup-runs N | startup | session\n");
    return 2;
}
