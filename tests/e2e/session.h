#pragma once

#include "controller.h"
#include "scripted_dialogs.h"
#include "window_set.h"

#include <QTemporaryDir>

#include <memory>

class QComboBox;
namespace Ui {
class Tdefs;
}

// One run of the program against the controller simulator over a pseudo-terminal: a fresh state, the
// simulator on COM1, the real window set shown (so FormShow opens the port and sends the handshake), the
// current folder a temporary one (the trace file lands there), every dialog answered by the test.
class Session {
public:
    // with_controller false points COM1 at a device that does not exist.
    explicit Session(sim::SimOptions options = {}, bool with_controller = true);
    ~Session();

    // Created and shown separately, so a test can prepare the simulator first.
    void start_program();

    Ui::Tdefs& ui() const;
    Tdefs& window() const { return m_windows->window; }
    sim::ControllerSimulator& controller() const { return *m_sim; }
    ScriptedDialogs& answers() { return m_answers; }
    QString folder() const { return m_dir.path(); }
    void close_program() { m_windows.reset(); }
    // A new simulator, with the same options but no fault, on a new device that COM1 now names.
    void replace_controller();

    // Waits (with generous bounds) until the status line shows the connected text and channel 1 is read.
    bool wait_connected();
    // Waits until the request in progress reached its final state (3 or 4).
    bool wait_request_done();
    // The operator picks an entry of a drop-down list, as with the mouse.
    static void choose(QComboBox* combo, int index);
    // Frames the simulator received so far, of one kind, oldest first.
    std::vector<sim::Frame> frames_of(sim::FrameKind kind) const;

private:
    void start_controller(const sim::SimOptions& options);

    QTemporaryDir m_dir;
    QString m_old_folder;
    ScriptedDialogs m_answers;
    sim::SimOptions m_options;
    std::unique_ptr<sim::ControllerSimulator> m_sim;
    std::unique_ptr<WindowSet> m_windows;
};
