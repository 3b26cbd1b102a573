#include "table_file.h"

#include "convert.h"
#include "errors.h"
#include "protocol.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

namespace {

const QString kTableKept = QStringLiteral("The table was not changed.");

// The run-time library's names for the usual reasons a file cannot be opened.
QString open_failure_text(const QString& path, bool for_writing, const QString& fallback) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists() || !folder.isDir())
        return QStringLiteral("Path not found");
    if (file.isDir())
        return QStringLiteral("File access denied");
    if (!file.exists())
        return for_writing ? QStringLiteral("File access denied") : QStringLiteral("File not found");
    if (for_writing ? !file.isWritable() : !file.isReadable())
        return QStringLiteral("File access denied");
    return fallback;
}

// A refused number as the error text quotes it: a run of millions of digits would make a message box
// nobody can read, so a long one is shown by its first digits.
QString quoted_number(const QString& digits) {
    if (digits.size() <= limits::kQuotedNumberMax)
        return digits;
    return digits.left(limits::kQuotedNumberMax) + QStringLiteral("...");
}

} // namespace

QByteArray export_line(const TStrapRow& row) {
    return table_value_text(row.level).toLatin1() + ';' + table_value_text(row.volume).toLatin1();
}

QByteArray export_text(const TTankTableRec& table) {
    const int count = qBound(0, table.row_count, limits::kTableRows);
    QByteArray text;
    text.reserve(count * 13);
    for (int row = 1; row <= count; ++row)
        text += export_line(table.rows[row]) + "\r\n";
    return text;
}

TableImport import_table(const QByteArray& bytes) {
    TableImport result;
    QString previous;
    QString current;
    int line_number = 1;
    auto end_line = [&]() -> bool {
        const bool both = !previous.isEmpty() && !current.isEmpty();
        const QString level = previous;
        const QString volume = current;
        previous.clear();
        current.clear();
        if (!both)
            return true;
        if (int(result.rows.size()) >= limits::kTableRows) {
            result.error = QStringLiteral("The file holds more than %1 table rows (line %2). %3")
                               .arg(limits::kTableRows)
                               .arg(line_number)
                               .arg(kTableKept);
            return false;
        }
        qint32 level_value = 0;
        qint32 volume_value = 0;
        for (const auto& [text, value] : {std::pair{level, &level_value}, std::pair{volume, &volume_value}}) {
            if (!try_str_to_int(text, *value)) {
                result.error = QStringLiteral("%1 (line %2). %3")
                                   .arg(integer_error_text(quoted_number(text)))
                                   .arg(line_number)
                                   .arg(kTableKept);
                return false;
            }
        }
        result.rows.push_back({double(level_value), double(volume_value)});
        return true;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c >= '0' && c <= '9') {
            current += QLatin1Char(c);
        } else if (c == ';') {
            previous = current;
            current.clear();
        } else if (c == '\n' || c == '\r') {
            // CR LF is one line end; a CR alone ends a line too, so old Macintosh files keep their rows.
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            if (!end_line()) {
                result.rows.clear();
                return result;
            }
            ++line_number;
        }
    }
    if (!end_line())
        result.rows.clear();
    return result;
}

QByteArray read_table_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raise_error(open_failure_text(path, false, file.errorString()));
    const QString too_large =
        QStringLiteral("The file is larger than %1 MB, far more than a strapping table takes. %2")
            .arg(limits::kTableFileMaxBytes / (1024 * 1024))
            .arg(kTableKept);
    const qint64 limit = limits::kTableFileMaxBytes;
    if (!file.isSequential() && file.size() > limit)
        raise_error(too_large);
    // A device that never ends is read one byte past the limit and no further.
    const QByteArray bytes = file.isSequential() ? file.read(limit + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError)
        raise_error(QStringLiteral("%1. %2").arg(file.errorString(), kTableKept));
    if (bytes.size() > limit)
        raise_error(too_large);
    return bytes;
}

void write_table_file(const QString& path, const QByteArray& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        raise_error(open_failure_text(path, true, file.errorString()));
    if (file.write(text) != text.size() || !file.commit()) {
        // An uncommitted QSaveFile removes its temporary file; the old file was never touched.
        raise_error(QStringLiteral("%1. No file was written.").arg(file.errorString()));
    }
}
