#include "scripted_dialogs.h"

ScriptedDialogs::ScriptedDialogs() {
    set_dialogs(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    set_dialogs(nullptr);
}

bool ScriptedDialogs::confirm(const QString& text) {
    asked << text;
    if (confirms.empty())
        return false;
    const bool answer = confirms.front();
    confirms.pop_front();
    return answer;
}

void ScriptedDialogs::message(const QString& text) {
    messages << text;
}

void ScriptedDialogs::error(const QString& text) {
    errors << text;
}

QString ScriptedDialogs::open_file(const QString& folder, const QStringList& filters) {
    open_folders << folder;
    open_filters << filters;
    if (open_answers.empty())
        return QString();
    const QString answer = open_answers.front();
    open_answers.pop_front();
    return answer;
}

QString ScriptedDialogs::save_file(const QString& folder, const QStringList& filters) {
    save_folders << folder;
    save_filters << filters;
    if (save_answers.empty())
        return QString();
    const QString answer = save_answers.front();
    save_answers.pop_front();
    return answer;
}
