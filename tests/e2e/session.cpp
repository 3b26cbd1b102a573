#include "session.h"

#include "f_defs_ui.h"
#include "tipi.h"

#include <QComboBox>
#include <QDir>
#include <QTest>

Session::Session(sim::SimOptions options, bool with_controller) : m_old_folder(QDir::currentPath()) {
    reset_shared_state();
    QDir::setCurrent(m_dir.path());
    if (with_controller) {
        options.log_file = m_dir.filePath(QStringLiteral("sim.log"));
        m_options = options;
        start_controller(options);
    } else {
        qputenv("TANKDEF_COM1", m_dir.filePath(QStringLiteral("no-such-device")).toLocal8Bit());
    }
}

Session::~Session() {
    m_windows.reset();
    if (m_sim)
        m_sim->stop();
    qunsetenv("TANKDEF_COM1");
    QDir::setCurrent(m_old_folder);
}

void Session::start_controller(const sim::SimOptions& options) {
    if (m_sim)
        m_sim->stop();
    m_sim = std::make_unique<sim::ControllerSimulator>(options);
    m_sim->start();
    qputenv("TANKDEF_COM1", m_sim->device_path().toLocal8Bit());
}

void Session::replace_controller() {
    sim::SimOptions options = m_options;
    options.fault = sim::FaultMode::None;
    start_controller(options);
}

void Session::start_program() {
    m_windows = std::make_unique<WindowSet>();
    m_windows->window.show();
}

Ui::Tdefs& Session::ui() const {
    return *m_windows->window.ui();
}

bool Session::wait_connected() {
    const QString connected = m_windows->window.rl_index() == 1
                                  ? QStringLiteral("Device connected")
                                  : QStringLiteral("Centralina collegata correttamente");
    return QTest::qWaitFor([&] { return ui().lb_stato->text() == connected && com_state == 3; }, 15000);
}

bool Session::wait_request_done() {
    return QTest::qWaitFor([] { return com_state == 3 || com_state == 4; }, 15000);
}

void Session::choose(QComboBox* combo, int index) {
    // What the drop-down does when the operator clicks an entry: the entry becomes current and is activated.
    combo->setCurrentIndex(index);
    Q_EMIT combo->textActivated(combo->itemText(index));
}

std::vector<sim::Frame> Session::frames_of(sim::FrameKind kind) const {
    std::vector<sim::Frame> out;
    for (const sim::Frame& frame : m_sim->frames())
        if (frame.kind == kind)
            out.push_back(frame);
    return out;
}
