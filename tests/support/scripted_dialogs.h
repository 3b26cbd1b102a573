#pragma once

#include "dialogs.h"

#include <QStringList>

#include <deque>

// Answers the program's questions from a script and records what it was told; installs itself for its
// lifetime, so no test ever blocks on a modal box.
class ScriptedDialogs : public Dialogs {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers, used in order; an unscripted question is answered No / Cancel.
    std::deque<bool> confirms;
    std::deque<QString> open_answers;
    std::deque<QString> save_answers;

    // What the program showed or asked.
    QStringList asked;    // confirmation texts
    QStringList messages; // plain message boxes
    QStringList errors;   // error boxes
    QStringList open_folders;
    QStringList save_folders;
    QList<QStringList> open_filters;
    QList<QStringList> save_filters;

    bool confirm(const QString& text) override;
    void message(const QString& text) override;
    void error(const QString& text) override;
    QString open_file(const QString& folder, const QStringList& filters) override;
    QString save_file(const QString& folder, const QStringList& filters) override;
};
