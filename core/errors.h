#pragma once

#include <QString>

#include <exception>
#include <functional>

// An error raised with the text the operator is shown; handlers do not catch it, the boundary does.
class TankdefError : public std::exception {
public:
    explicit TankdefError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

[[noreturn]] void raise_error(const QString& text);

// Runs one event handler; an error that escapes it is shown in an error box and the event loop goes on.
// Every slot of ours that can raise runs through here, so no exception unwinds through Qt's own code.
void run_handler(const std::function<void()>& handler);
