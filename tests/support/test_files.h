#pragma once

#include "errors.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

// Small helpers the suites share: the text of a raised error, and whole files in and out.

// The text of the TankdefError that `action` raises; a null string when it raises none.
inline QString raised_text(const std::function<void()>& action) {
    try {
        action();
    } catch (const TankdefError& error) {
        return error.text();
    }
    return QString();
}

// The file's bytes; empty when it cannot be read.
inline QByteArray read_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file with these bytes; false when that fails (check it with QVERIFY).
[[nodiscard]] inline bool write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
