#include "form_avanzamento.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

Tf_avanz* f_avanz = nullptr;

Tf_avanz::Tf_avanz(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("f_avanz"));
    // Closing the main window ends the program even while a transfer is shown.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString());
    resize(326, 99);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    setFont(font);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    lb1 = new QLabel(QStringLiteral("lb1"), this);
    lb1->setObjectName(QStringLiteral("lb1"));
    lb1->setGeometry(8, 16, 305, 13);
    lb1->setAlignment(Qt::AlignCenter);

    pb1 = new QProgressBar(this);
    pb1->setObjectName(QStringLiteral("pb1"));
    pb1->setGeometry(8, 40, 305, 16);
    pb1->setRange(0, 100);
    pb1->setValue(0);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tf_avanz::show_transfer() {
    show();
    raise();
    pb1->hide();
    lb1->show();
}

void Tf_avanz::set_label(const QString& text) {
    lb1->setText(text);
    // The receive path runs inside one handler; repaint now so each count shows as its line arrives.
    lb1->repaint();
}

QString Tf_avanz::label() const {
    return lb1->text();
}

void Tf_avanz::hide_transfer() {
    hide();
}

bool Tf_avanz::is_shown() const {
    return !isHidden();
}
