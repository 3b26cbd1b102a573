// tankdef-sim: the tank-level controller on a pseudo-terminal, for tests, the demo and technicians
// without hardware.

#include "controller.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <stdexcept>

namespace {

QString fault_help() {
    QString text = "Fault modes (--fault <name>):";
    for (const sim::FaultInfo& info : sim::fault_modes())
        text += "\n  " + info.name.leftJustified(18) + info.description;
    return text;
}

int fail(const QString& text) {
    std::fprintf(stderr, "tankdef-sim: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    // SIGINT and SIGTERM are taken by sigwait below, never by a handler: block them before any thread
    // starts so that every thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tankdef-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Plays the tank-level controller at the far end of a pseudo-terminal, which tankdef opens like a "
        "USB-to-RS-232 adapter:\n"
        "  tankdef-sim --link /tmp/tankdef/com1 &\n"
        "  TANKDEF_COM1=/tmp/tankdef/com1 tankdef\n"
        "Prints the device path (the link when one is asked for) on one line, then serves until SIGINT or "
        "SIGTERM, which remove the link and save the state.\n\n"
        "Log lines: wall-clock time, milliseconds since start, RX (a frame received), TX (a reply sent) or "
        "EV "
        "(an event), the bytes (<CR>, <LF>, <TAB>, <xHH> for the others), and flags: FLAG:BURST(n>20) for "
        "more than 20 characters without a pause of 79 ms, FLAG:UNKNOWN-COMMAND, FLAG:TABLE-ABANDONED, "
        "FLAG:WRITE-REFUSED.\n\n" +
        fault_help());
    parser.addHelpOption();
    const QCommandLineOption link({"l", "link"}, "Make a symbolic link to the device at <path>.", "path");
    const QCommandLineOption channels(
        "channels",
        QStringLiteral("Channels the controller reports (1 to %1; default 2).").arg(sim::kMaxSimChannels),
        "n", "2");
    const QCommandLineOption relays("relays", "Relays per channel: 4 or 16 (default 16).", "n", "16");
    const QCommandLineOption open_line(
        "no-closing-dollar", "End the configuration line after its last field, without a closing \"$\".");
    const QCommandLineOption state("state",
                                   "Load the state from <file> (JSON) at start if it exists; save it after "
                                   "every write request and at exit.",
                                   "file");
    const QCommandLineOption log("log", "Log every frame and reply to <file>, with millisecond timestamps.",
                                 "file");
    const QCommandLineOption line_rate("line-rate", "Pace replies at 9600 baud (about 1.04 ms a byte).");
    const QCommandLineOption fault("fault", "Misbehave in one of the ways listed above (default none).",
                                   "name", "none");
    parser.addOptions({link, channels, relays, open_line, state, log, line_rate, fault});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail("unexpected argument " + parser.positionalArguments().first());

    sim::SimOptions options;
    bool ok = false;
    options.channels = parser.value(channels).toInt(&ok);
    if (!ok || options.channels < 1 || options.channels > sim::kMaxSimChannels)
        return fail(QStringLiteral("--channels takes a number from 1 to %1").arg(sim::kMaxSimChannels));
    options.relays = parser.value(relays).toInt(&ok);
    if (!ok || (options.relays != 4 && options.relays != 16))
        return fail("--relays takes 4 or 16");
    const auto mode = sim::fault_from_name(parser.value(fault));
    if (!mode)
        return fail("unknown fault " + parser.value(fault) + " (see --help)");
    options.fault = *mode;
    options.closing_dollar = !parser.isSet(open_line);
    options.line_rate = parser.isSet(line_rate);
    options.state_file = parser.value(state);
    options.log_file = parser.value(log);
    options.link_path = parser.value(link);

    try {
        sim::ControllerSimulator controller(options);
        controller.start();
        const QString path = options.link_path.isEmpty() ? controller.device_path() : controller.link_path();
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
        controller.stop();
        if (!controller.state_save_error().isEmpty())
            return fail("the state was not saved: " + controller.state_save_error());
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    return 0;
}
