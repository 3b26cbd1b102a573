#include "quit_signals.h"
#include "window_set.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("tankdef"));
    WindowSet windows;
    close_on_quit_signals(&windows.window);
    windows.window.show();
    return app.exec();
}
