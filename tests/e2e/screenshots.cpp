// Takes the README's screenshots: the real window set against the simulator, captured from the screen
// of the display it runs on (a virtual one under xvfb-run). Usage: tankdef_screenshots OUTPUT_FOLDER
#include "f_defs_ui.h"
#include "form_avanzamento.h"
#include "session.h"
#include "tipi.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <cstdio>

namespace {

bool grab(const QString& path) {
    QApplication::processEvents();
    QTest::qWait(300); // lets the display server draw what was just shown
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    return shot.save(path);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("tankdef"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: tankdef_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    Session session;
    session.start_program();
    if (!session.wait_connected())
        return 1;
    session.window().move(0, 0);
    if (!grab(out + QStringLiteral("/screen-connected-it.png")))
        return 1;

    session.window().click_language(1);
    if (!session.wait_request_done() || !session.wait_connected() ||
        !grab(out + QStringLiteral("/screen-connected-en.png")))
        return 1;
    session.window().click_language(0);
    if (!session.wait_request_done() || !session.wait_connected())
        return 1;

    // A table read at the real line rate, so the progress window is on screen long enough to see.
    session.controller().set_line_rate(true);
    QTest::mouseClick(session.ui().butt9, Qt::LeftButton);
    if (!QTest::qWaitFor([] { return f_avanz->label().toInt() >= 10; }, 15000) ||
        !grab(out + QStringLiteral("/screen-table-read.png")))
        return 1;
    return QTest::qWaitFor([] { return com_state == 3; }, 15000) ? 0 : 1;
}
