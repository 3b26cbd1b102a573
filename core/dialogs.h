#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The one seam through which the program asks or tells the operator anything. The program uses Qt's
// own non-native dialogs; tests install a scripted answerer so nothing ever blocks on a modal box.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Yes/No question; true only for Yes.
    virtual bool confirm(const QString& text) = 0;
    // Plain message box: no icon, OK, the program's title.
    virtual void message(const QString& text) = 0;
    // Error box: error icon, OK, the program's title.
    virtual void error(const QString& text) = 0;
    // File dialogs; an empty result means the operator cancelled.
    virtual QString open_file(const QString& folder, const QStringList& filters) = 0;
    virtual QString save_file(const QString& folder, const QStringList& filters) = 0;
};

Dialogs& dialogs();
// Installs another answerer (tests); nullptr puts the real dialogs back. The caller keeps ownership.
void set_dialogs(Dialogs* answerer);
// The window that dialogs are centred on.
void set_dialog_parent(QWidget* parent);
QWidget* dialog_parent();
QString program_title();
