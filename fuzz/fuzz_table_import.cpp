// The strapping-table file import: any bytes, any line ends, numbers of any size. A file is taken whole
// or refused whole with a short reason; what it gives survives an export and a second import.

#include "fuzz_common.h"
#include "table_file.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const TableImport imported = import_table(bytes);
    if (!imported.ok()) {
        // All or nothing, and a reason the operator can read in a message box.
        FUZZ_CHECK(imported.rows.empty());
        FUZZ_CHECK(imported.error.size() <= 300);
        FUZZ_CHECK(imported.error.endsWith(QStringLiteral("The table was not changed.")));
    }
    FUZZ_CHECK(imported.rows.size() <= size_t(limits::kTableRows));
    for (const TStrapRow& row : imported.rows) {
        FUZZ_CHECK(row.level >= 0 && row.level <= 2147483647.0 && row.level == double(qint64(row.level)));
        FUZZ_CHECK(row.volume >= 0 && row.volume <= 2147483647.0 && row.volume == double(qint64(row.volume)));
    }

    // LF alone and CR LF end lines alike: every LF without its CR given one reads the same.
    QByteArray crlf;
    crlf.reserve(bytes.size() * 2);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            crlf += '\r';
        crlf += bytes[i];
    }
    FUZZ_CHECK(import_table(crlf) == imported);

    if (!imported.ok())
        return 0;
    // Exported and imported again, the rows come back value for value.
    static auto table = std::make_unique<TTankTableRec>();
    int count = 0;
    for (const TStrapRow& row : imported.rows)
        table->rows[++count] = row;
    table->row_count = count;
    const QByteArray text = export_text(*table);
    FUZZ_CHECK(text.count("\r\n") == count);
    const TableImport again = import_table(text);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again.rows == imported.rows);
    return 0;
}
