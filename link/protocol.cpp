#include "protocol.h"

#include "constants.h"
#include "convert.h"
#include "errors.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Layout of the configuration reply: the 4-relay variant ends after the capacity, the 16-relay variant
// after relay N.16; nothing past field 32 means anything.
constexpr int kCapacityField = 20;
constexpr int kLastReplyField = 32;
constexpr int kProductUnitField = 3;
constexpr int kFirstNumberField = 5;
constexpr int kFirstLowRelayField = 13;
constexpr int kFirstHighRelayField = 21;
constexpr int kLowRelayCount = 4;
constexpr int kCodePairWidth = 2; // product and unit positions in the code field

constexpr double kInt64Limit = 9223372036854775808.0; // 2^63, exactly representable

const QString kCr = QStringLiteral("\r");
const QString kCrLf = QStringLiteral("\r\n");

bool is_folded_field(int field) {
    return (field >= kFirstNumberField && field < kFirstLowRelayField) || field == 17 || field == 18;
}

// Prepends "0" until the text has `width` characters; a longer text (or a sign) is left where it is.
QString zero_fill(const QString& text, int width) {
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), u'0') + text;
}

// The controller ends a frame at CR and the receive side at CR or LF: such a character inside a text field
// would cut the frame short there.
bool has_line_break(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

void refuse_unsafe_text(const QString& text, const QString& field_name) {
    if (text.contains(u'$'))
        raise_error(QStringLiteral("The %1 must not contain \"$\": it would shift every later field on the "
                                   "controller. Nothing was sent.")
                        .arg(field_name));
    if (has_line_break(text))
        raise_error(QStringLiteral("The %1 must not contain a line break: the controller would take it as "
                                   "the end of the frame. Nothing was sent.")
                        .arg(field_name));
}

} // namespace

QString trim_blanks_and_controls(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= u' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

ChannelConfig parse_channel_config(const QString& reply, const QLocale& locale) {
    std::array<std::optional<QString>, kLastReplyField + 1> fields;
    QString field_text;
    int dollars = 0;
    for (const QChar c : reply) {
        if (c != u'$') {
            field_text.append(c);
            continue;
        }
        ++dollars;
        const int field = dollars - 1;
        if (field <= kLastReplyField)
            fields[size_t(field)] = field_text;
        field_text.clear();
    }
    if (!trim_blanks_and_controls(field_text).isEmpty()) {
        if (dollars == kCapacityField)
            fields[kCapacityField] = field_text;
        else if (dollars == kLastReplyField)
            fields[kLastReplyField] = field_text;
    }

    // Every number is converted before anything is returned, so a bad reply leaves the window as it was.
    std::array<qint64, kLastReplyField + 1> numbers{};
    for (int field = kFirstNumberField; field <= kLastReplyField; ++field) {
        const std::optional<QString>& text = fields[size_t(field)];
        if (!text)
            continue; // a field the reply does not reach counts as 0
        double value = 0;
        if (!try_str_to_float(*text, locale, value))
            raise_error(float_error_text(*text));
        if (is_folded_field(field) && value > limits::kFoldAbove)
            value -= limits::kWordModulus;
        const double truncated = std::trunc(value);
        if (!(truncated >= -kInt64Limit && truncated < kInt64Limit))
            raise_error(float_error_text(*text));
        numbers[size_t(field)] = static_cast<qint64>(truncated);
    }

    const QString code = fields[kProductUnitField].value_or(QString());
    const QString product_text = code.mid(0, kCodePairWidth);
    const QString unit_text = code.mid(kCodePairWidth, kCodePairWidth);
    qint32 product = 0;
    qint32 unit = 0;
    if (!try_str_to_int(product_text, product))
        raise_error(integer_error_text(product_text));
    if (!try_str_to_int(unit_text, unit))
        raise_error(integer_error_text(unit_text));

    ChannelConfig config;
    config.description = fields[2].value_or(QString());
    config.address = fields[4].value_or(QString());
    config.product = product;
    config.unit = unit;
    config.alarm_hh = numbers[5];
    config.alarm_h = numbers[6];
    config.alarm_l = numbers[7];
    config.alarm_ll = numbers[8];
    config.water_zero = numbers[9];
    config.water_alarm = numbers[10];
    config.offset = numbers[11];
    config.hidden_d13 = numbers[12];
    config.hidden_d23 = numbers[17];
    config.hidden_d24 = numbers[18];
    config.tank_height = numbers[19];
    config.capacity = numbers[kCapacityField];
    for (int relay = 0; relay < kLowRelayCount; ++relay)
        config.relays[size_t(relay)] = numbers[size_t(kFirstLowRelayField + relay)];
    for (int relay = kLowRelayCount; relay < limits::kRelayCount; ++relay)
        config.relays[size_t(relay)] = numbers[size_t(kFirstHighRelayField + relay - kLowRelayCount)];
    return config;
}

QString config_number_field(const QString& text, const QLocale& locale) {
    const QString error = float_error_text(text) + u'.';
    double value = 0;
    if (!try_str_to_float(text, locale, value))
        raise_error(error);
    const double truncated = std::trunc(value);
    // The controller's fields hold five digits; a value past 32 bits can only be a typing slip.
    if (truncated < -2147483648.0 || truncated > 2147483647.0)
        raise_error(error);
    qint64 n = static_cast<qint64>(truncated);
    if (n < 0)
        n += limits::kWordModulus;
    return zero_fill(QString::number(n), limits::kNumberWidth);
}

void refuse_unchosen_channel(int position) {
    if (position < 0)
        raise_error(QStringLiteral("No channel is selected. Nothing was sent."));
}

QString build_config_payload(const ConfigForm& form, const QLocale& locale) {
    refuse_unchosen_channel(form.channel);
    const QString description = form.description.left(limits::kDescriptionWidth);
    refuse_unsafe_text(description, QStringLiteral("description"));
    const QString address = form.address.left(limits::kAddressWidth);
    refuse_unsafe_text(address, QStringLiteral("address"));

    const QChar separator = u'$';
    QString payload;
    payload.reserve(176);
    payload += QChar(char16_t(u'A' + form.channel));
    payload += separator;
    payload += description.leftJustified(limits::kDescriptionWidth, u' ');
    payload += separator;
    payload += zero_fill(QString::number(form.product), kCodePairWidth);
    payload += zero_fill(QString::number(form.unit), kCodePairWidth);
    payload += QStringLiteral("00");
    payload += separator;
    payload += zero_fill(address, limits::kAddressWidth);
    payload += separator;
    for (const QString& number : form.numbers) {
        payload += config_number_field(number, locale);
        payload += separator;
    }
    const int relays = form.sixteen_relays ? limits::kRelayCount : kLowRelayCount;
    for (int relay = 0; relay < relays; ++relay) {
        payload += zero_fill(QString::number(form.relays[size_t(relay)]), limits::kNumberWidth);
        payload += separator;
    }
    return payload;
}

std::vector<TStrapRow> parse_table_lines(const QStringList& lines) {
    std::vector<TStrapRow> rows;
    rows.reserve(size_t(lines.size()));
    for (const QString& line : lines) {
        QString level_text;
        QString number_text;
        for (const QChar c : line) {
            if (c >= u'0' && c <= u'9') {
                number_text.append(c);
            } else if (c == u'\t') {
                level_text = number_text;
                number_text.clear();
            }
        }
        if (level_text.isEmpty() || number_text.isEmpty()) {
            rows.push_back(TStrapRow{-1, -1});
            continue;
        }
        const qint32 level = str_to_int(level_text);
        const qint32 volume = str_to_int(number_text);
        rows.push_back(TStrapRow{double(level), double(volume)});
    }
    return rows;
}

QString whole_number_text(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("0");
    // No value is too large to write; inside the 64-bit range the integer's text never shows "-0".
    const double truncated = std::trunc(value);
    if (truncated > -kInt64Limit && truncated < kInt64Limit)
        return QString::number(static_cast<qint64>(truncated));
    return QString::number(truncated, 'f', 0);
}

QString table_value_text(double value) {
    return zero_fill(whole_number_text(value), limits::kNumberWidth);
}

TablePayload build_table_payload(const TTankTableRec& table) {
    const int row_count = std::clamp(int(table.row_count), 0, limits::kTableRows);
    const auto refused_value = [](double value) {
        return !std::isfinite(value) || value > limits::kTableEndValue;
    };
    for (int r = 1; r <= row_count; ++r) {
        if (refused_value(table.rows[r].level) || refused_value(table.rows[r].volume))
            return TablePayload{true, QString()};
    }
    QString payload;
    payload.reserve(qsizetype(row_count + 1) * 13);
    for (int r = 1; r <= row_count; ++r) {
        payload += table_value_text(table.rows[r].level);
        payload += u'\t';
        payload += table_value_text(table.rows[r].volume);
        payload += kCrLf;
    }
    const QString end_value = QString::number(limits::kTableEndValue);
    payload += end_value + u'\t' + end_value + kCrLf;
    return TablePayload{false, payload};
}

QStringList parse_sms_record(const QString& line) {
    QStringList texts;
    QString field_text;
    for (const QChar c : line) {
        if (c != u';') {
            field_text.append(c);
            continue;
        }
        if (texts.size() < limits::kSmsFieldCount)
            texts.append(trim_blanks_and_controls(field_text));
        field_text.clear();
    }
    return texts;
}

QString sms_field_for_sending(const QString& text) {
    return trim_blanks_and_controls(text.left(limits::kSmsFieldWidth));
}

Identification parse_identification(const QString& line) {
    Identification id;
    if (line.size() >= 2)
        id.channels = int(line[1].unicode()) - 64;
    id.sixteen_relays = line.size() >= 3 && line[2] == u'H';
    return id;
}

bool is_normale(const QString& line) {
    static const QString kNormale = QStringLiteral("NORMALE");
    const QString tail = line.right(8);
    if (tail.size() < kNormale.size())
        return false;
    for (qsizetype i = 0; i < kNormale.size(); ++i) {
        char16_t c = tail[i].unicode();
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        if (c != kNormale[i].unicode())
            return false;
    }
    return true;
}

FollowUp build_follow_up(const QByteArray& letter, const QByteArray& address, const QString& current_frame,
                         const QString& payload, const QStringList& sms_texts) {
    const QString channel = QString::fromLatin1(address);
    if (letter == "R")
        return FollowUp{QStringLiteral("R") + channel + kCr, false};
    if (letter == "S")
        return FollowUp{QStringLiteral("S") + kCr, false};
    if (letter == "T") {
        QString frame = QStringLiteral("T");
        for (int k = 0; k < limits::kSmsFieldCount; ++k) {
            // A field the window did not hand over is sent empty: the record keeps its four ";".
            if (k < sms_texts.size())
                frame += sms_field_for_sending(sms_texts[k]);
            frame += u';';
        }
        return FollowUp{frame + kCr, false};
    }
    if (current_frame == QStringLiteral("N"))
        return FollowUp{QStringLiteral("N") + kCr, false};
    if (letter == "W")
        return FollowUp{QStringLiteral("W") + payload + kCr, true};
    if (letter == "C")
        return FollowUp{QStringLiteral("C") + channel + kCrLf + payload, true};
    if (letter == "G")
        return FollowUp{QStringLiteral("G") + channel + kCr, false};
    return FollowUp{};
}
