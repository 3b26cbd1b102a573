#include "com_form.h"
#include "dialogs.h"
#include "f_defs.h"
#include "form_avanzamento.h"
#include "quit_signals.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("tankdef"));

    // The fixed window set, in its order: the main window, the device-link holder, the progress window.
    Tdefs main_window;
    defs = &main_window;
    Tcf link;
    cf = &link;
    Tf_avanz progress;
    f_avanz = &progress;
    link.attach(&main_window, &progress);
    main_window.attach_link(&link);
    set_dialog_parent(&main_window);
    close_on_quit_signals(&main_window);

    main_window.show();
    return app.exec();
}
