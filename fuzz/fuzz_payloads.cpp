// The two payloads the program builds: the configuration payload from any field texts and choices, and
// the table payload from any row values. Each is within its documented shape or cleanly refused.

#include "convert.h"
#include "errors.h"
#include "fuzz_common.h"
#include "protocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

QString any_text(FuzzedDataProvider& input, size_t max_length) {
    // Mostly single-byte text as typed, now and then characters beyond Latin-1.
    const std::string bytes = input.ConsumeRandomLengthString(max_length);
    QString text = latin1(bytes);
    if (input.ConsumeBool() && !text.isEmpty())
        text[input.ConsumeIntegralInRange<qsizetype>(0, text.size() - 1)] = QChar(char16_t(0x20AC));
    return text;
}

bool digits_only(const QString& text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return !text.isEmpty();
}

void check_config_payload(FuzzedDataProvider& input) {
    const QLocale locale = fuzz_locale(input.ConsumeIntegral<uint8_t>());
    ConfigForm form;
    form.channel = input.ConsumeIntegralInRange<int>(-1, limits::kMaxChannels);
    form.description = any_text(input, 24);
    form.address = any_text(input, 8);
    form.product = input.ConsumeIntegralInRange<int>(-1, limits::kProductCount);
    form.unit = input.ConsumeIntegralInRange<int>(-1, limits::kUnitCount);
    for (QString& number : form.numbers)
        number = any_text(input, 16);
    for (int& relay : form.relays)
        relay = input.ConsumeIntegralInRange<int>(-1, limits::kRelayFunctionCount);
    form.sixteen_relays = input.ConsumeBool();

    QString payload;
    try {
        payload = build_config_payload(form, locale);
    } catch (const TankdefError& error) {
        FUZZ_CHECK(!error.text().isEmpty());
        FUZZ_CHECK(error.text().endsWith(u'.'));
        return;
    }
    const int field_count = form.sixteen_relays ? 28 : 16;
    FUZZ_CHECK(form.channel >= 0);
    FUZZ_CHECK(payload.endsWith(u'$'));
    FUZZ_CHECK(!payload.contains(u'\r') && !payload.contains(u'\n'));
    const QStringList fields = payload.split(u'$');
    FUZZ_CHECK(fields.size() == field_count + 1 && fields.last().isEmpty());
    FUZZ_CHECK(fields[0] == QString(QChar(char16_t(u'A' + form.channel))));
    FUZZ_CHECK(fields[1].size() == limits::kDescriptionWidth);
    FUZZ_CHECK(fields[1] == form.description.left(16).leftJustified(16, u' '));
    FUZZ_CHECK(fields[2].size() >= 6 && fields[2].endsWith(QStringLiteral("00")));
    FUZZ_CHECK(fields[3].size() == limits::kAddressWidth);
    bool ordinary = form.product >= 0 && form.unit >= 0;
    for (int k = 0; k < 8; ++k) {
        const QString& field = fields[4 + k];
        FUZZ_CHECK(field.size() >= limits::kNumberWidth);
        // What the operator typed, truncated; the controller folds it back on the next read.
        const double typed = std::trunc(str_to_float(form.numbers[size_t(k)], locale));
        if (typed >= -65535 && typed <= 65535) {
            FUZZ_CHECK(field.size() == limits::kNumberWidth && digits_only(field));
            const qint64 sent = field.toLongLong();
            FUZZ_CHECK(sent >= 0 && sent <= 65535);
            FUZZ_CHECK(sent == (typed < 0 ? qint64(typed) + 65536 : qint64(typed)));
            const qint64 read_back = sent > 40000 ? sent - 65536 : sent;
            if (typed >= 40000 - 65535 && typed <= 40000)
                FUZZ_CHECK(read_back == qint64(typed));
        } else {
            ordinary = false;
        }
    }
    for (int k = 0; k < field_count - 12; ++k) {
        const int relay = form.relays[size_t(k)];
        FUZZ_CHECK(fields[12 + k].size() == limits::kNumberWidth);
        if (relay >= 0)
            FUZZ_CHECK(fields[12 + k].toInt() == relay);
        else
            ordinary = false;
    }
    if (ordinary)
        FUZZ_CHECK(payload.size() == (form.sixteen_relays ? 176 : 104));
}

double any_value(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
        return input.ConsumeFloatingPoint<double>();
    case 1:
        return std::numeric_limits<double>::quiet_NaN();
    case 2:
        return input.ConsumeBool() ? std::numeric_limits<double>::infinity()
                                   : -std::numeric_limits<double>::infinity();
    case 3:
        return -1;
    case 4:
        return input.ConsumeFloatingPointInRange<double>(-1e6, 1e6);
    default:
        return double(input.ConsumeIntegralInRange<int>(0, 65001));
    }
}

void check_table_payload(FuzzedDataProvider& input) {
    static auto table = std::make_unique<TTankTableRec>();
    const int rows = input.ConsumeIntegralInRange<int>(0, 40);
    std::fill(table->rows.begin(), table->rows.end(), TStrapRow{0, 0});
    for (int r = 1; r <= rows; ++r)
        table->rows[r] = {any_value(input), any_value(input)};
    // row_count as the table may hold it, also past the rows filled here (those hold 0, 0).
    table->row_count = input.ConsumeIntegralInRange<int>(-2, limits::kTableRows);
    const int in_use = std::max(0, int(table->row_count));

    bool refusable = false;
    bool ordinary = true;
    for (int r = 1; r <= in_use; ++r) {
        for (double value : {table->rows[r].level, table->rows[r].volume}) {
            if (!std::isfinite(value) || value > 65000)
                refusable = true;
            if (!(value >= 0 && value <= 65000))
                ordinary = false;
        }
    }
    const TablePayload payload = build_table_payload(*table);
    FUZZ_CHECK(payload.refused == refusable);
    if (payload.refused) {
        FUZZ_CHECK(payload.payload.isEmpty());
        return;
    }
    for (const QChar c : payload.payload)
        FUZZ_CHECK((c >= u'0' && c <= u'9') || c == u'-' || c == u'\t' || c == u'\r' || c == u'\n');
    FUZZ_CHECK(payload.payload.endsWith(QStringLiteral("65000\t65000\r\n")));
    FUZZ_CHECK(payload.payload.count(QStringLiteral("\r\n")) == in_use + 1);
    FUZZ_CHECK(payload.payload.count(u'\t') == in_use + 1);
    if (ordinary)
        FUZZ_CHECK(payload.payload.size() == 13 * qsizetype(in_use + 1));
    // Every line: level, TAB, volume, each the truncated value zero-filled to at least five characters.
    const QStringList lines = payload.payload.split(QStringLiteral("\r\n"));
    for (int r = 1; r <= in_use; ++r) {
        const QStringList cells = lines[r - 1].split(u'\t');
        FUZZ_CHECK(cells.size() == 2);
        const double values[2] = {table->rows[r].level, table->rows[r].volume};
        for (int k = 0; k < 2; ++k) {
            FUZZ_CHECK(cells[k].size() >= 5);
            const double whole = std::trunc(values[k]);
            if (whole >= 0 && whole <= 65000)
                FUZZ_CHECK(cells[k].toDouble() == whole && digits_only(cells[k]));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        check_config_payload(input);
    else
        check_table_payload(input);
    return 0;
}
