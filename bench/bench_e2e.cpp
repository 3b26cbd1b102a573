// Every exchange as the operator starts it, through the real window set, against the controller simulator
// pacing its replies at 9600 baud over a pseudo-terminal; each measured time set against the line's floor.
// Prints one JSON object per exchange. Run by scripts/bench.sh.

#include "bench_data.h"
#include "controller.h"
#include "f_defs_ui.h"
#include "line_floor.h"
#include "scripted_dialogs.h"
#include "window_set.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int kExchangeTimeoutMs = 300'000; // a 2000-row write takes over two minutes at its pacing
constexpr int kSettleMs = 1200;             // one status tick, so the detail panel is shown

// Runs the event loop until done() holds, looking every millisecond; false when the time ran out.
bool run_until(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(1);
    while (!done()) {
        if (clock.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    run_until([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// The frames the controller received, each with the reply it gave, in the order they happened.
std::vector<bench::LineStep> steps_of(const sim::ControllerSimulator& controller) {
    const std::vector<sim::Frame> frames = controller.frames();
    const std::vector<sim::SentReply> replies = controller.replies();
    std::vector<bench::LineStep> steps;
    std::size_t next_reply = 0;
    for (const sim::Frame& frame : frames) {
        bench::LineStep step;
        step.frame = frame.raw;
        step.follow_up = frame.kind != sim::FrameKind::Dollar;
        if (next_reply < replies.size() && replies[next_reply].answer_to == frame.kind)
            step.reply_bytes = replies[next_reply++].bytes.size();
        steps.push_back(step);
    }
    return steps;
}

struct Bench {
    sim::ControllerSimulator& controller;
    ScriptedDialogs& answers;
    bool all_ok = true;

    void measure(
        const QString& name, const std::function<void()>& act, const std::function<bool()>& done,
        const std::function<bool()>& right = [] { return true; }) {
        settle(kSettleMs);
        controller.clear_records();
        answers.errors.clear();
        answers.messages.clear();
        QElapsedTimer clock;
        clock.start();
        act();
        const bool finished = run_until(done, kExchangeTimeoutMs);
        const double measured = double(clock.nsecsElapsed()) / 1e9;
        const std::vector<bench::LineStep> steps = steps_of(controller);
        const bench::LineFloor floor = bench::line_floor(steps);
        const bench::LineFloor pty_floor = bench::line_floor(steps, 0.0);
        const bool ok = finished && right() && answers.errors.isEmpty() && controller.flags().empty();
        all_ok = all_ok && ok;
        QJsonObject row{{"name", name},
                        {"ok", ok},
                        {"measured_s", measured},
                        {"floor_s", floor.seconds},
                        {"pty_floor_s", pty_floor.seconds},
                        {"waits_s", floor.wait_seconds},
                        {"sent_bytes", floor.sent_bytes},
                        {"received_bytes", floor.received_bytes},
                        {"frames", int(controller.frames().size())}};
        if (!answers.errors.isEmpty())
            row.insert("error", answers.errors.join(" | "));
        std::printf("E2E %s\n", QJsonDocument(row).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
    }
};

void choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    Q_EMIT combo->textActivated(combo->itemText(index));
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    ScriptedDialogs answers;
    reset_shared_state();

    sim::SimOptions options;
    options.line_rate = true;
    options.channels = 2;
    sim::ControllerSimulator controller(options);
    controller.set_state(bench::state_with_tables(bench::kRows));
    controller.start();
    // COM1, opened when the window is shown, names nothing; the operator then chooses COM2.
    qputenv("TANKDEF_COM1", folder.filePath(QStringLiteral("no-such-device")).toLocal8Bit());
    qputenv("TANKDEF_COM2", controller.device_path().toLocal8Bit());

    auto windows = std::make_unique<WindowSet>();
    Ui::Tdefs& ui = *windows->window.ui();
    windows->window.show();
    Bench bench{controller, answers};

    bench.measure(
        "handshake and first read", [&] { choose(ui.combo_porta, 1); },
        [] { return device_connected != 0 && cmd_letter == "R" && com_state == 3; });
    bench.measure(
        "configuration read", [&] { choose(ui.d9, 1); },
        [] { return cmd_letter == "R" && cmd_address == "B" && com_state == 3; });
    bench.measure(
        "configuration write", [&] { ui.butt1->click(); },
        [] { return cmd_letter == "W" && com_state == 4; });
    bench.measure(
        "table read, 2000 rows", [&] { ui.butt9->click(); },
        [] { return cmd_letter == "G" && com_state == 3; },
        [] { return tank_tables[1].row_count == bench::kRows; });
    bench.measure(
        "table write, 2000 rows", [&] { ui.butt10->click(); },
        [] { return cmd_letter == "C" && com_state == 4; },
        [&] { return controller.channel(2).table == bench::rising_rows(bench::kRows); });
    bench.measure(
        "SMS read", [&] { ui.btn_tel2->click(); }, [] { return cmd_letter == "S" && com_state == 3; },
        [&] { return ui.txt_t1->text() == controller.sms().numbers[0]; });

    windows.reset();
    controller.stop();
    return bench.all_ok ? 0 : 1;
}
