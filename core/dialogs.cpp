#include "dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace {

class QtDialogs final : public Dialogs {
public:
    bool confirm(const QString& text) override {
        return QMessageBox::question(dialog_parent(), program_title(), text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void message(const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, program_title(), text, QMessageBox::Ok, dialog_parent());
        box.exec();
    }
    void error(const QString& text) override {
        QMessageBox box(QMessageBox::Critical, program_title(), text, QMessageBox::Ok, dialog_parent());
        box.exec();
    }
    QString open_file(const QString& folder, const QStringList& filters) override {
        return run_file_dialog(QFileDialog::AcceptOpen, folder, filters);
    }
    QString save_file(const QString& folder, const QStringList& filters) override {
        return run_file_dialog(QFileDialog::AcceptSave, folder, filters);
    }

private:
    static QString run_file_dialog(QFileDialog::AcceptMode mode, const QString& folder,
                                   const QStringList& filters) {
        QFileDialog dialog(dialog_parent(), QString(), folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        // The export replaces a file without asking and adds no extension of its own.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(mode);
        // A typed name that does not exist reaches the caller, which reports "File not found".
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters(filters);
        if (!filters.isEmpty())
            dialog.selectNameFilter(filters.front());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().front();
    }
};

QtDialogs& qt_dialogs() {
    static QtDialogs instance;
    return instance;
}

Dialogs* g_answerer = nullptr;
QPointer<QWidget> g_parent;

} // namespace

Dialogs& dialogs() {
    return g_answerer ? *g_answerer : qt_dialogs();
}

void set_dialogs(Dialogs* answerer) {
    g_answerer = answerer;
}

void set_dialog_parent(QWidget* parent) {
    g_parent = parent;
}

QWidget* dialog_parent() {
    return g_parent.data();
}

QString program_title() {
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("tankdef") : name;
}
