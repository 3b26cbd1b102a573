#include "com_form.h"
#include "f_defs.h"
#include "form_avanzamento.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("tankdef"));
    Tdefs main_window;
    defs = &main_window;
    main_window.show();
    return app.exec();
}
