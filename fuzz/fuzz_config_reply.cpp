// The channel configuration reply: any line, any regional format. A reply either decodes whole or raises
// one conversion error; what it decodes to reads back the same when the controller sends it again.

#include "errors.h"
#include "fuzz_common.h"
#include "protocol.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

QString number_field(qint64 value) {
    return QString::number(value);
}

// A folded field as the controller sends it: negative values and those that came from above 105536 as
// their unsigned 16-bit form, so the fold rule gives back the same value.
QString folded_field(qint64 value) {
    const bool sent_above_fold = value > 40000 || (value < 0 && value + 65536 > 40000);
    return QString::number(sent_above_fold ? value + 65536 : value);
}

// The reply the controller would send for this configuration, every field closed by "$".
QString encode(const ChannelConfig& c) {
    QStringList fields;
    fields << QStringLiteral("X") << QStringLiteral("A") << c.description;
    const auto pair = [](qint64 value) {
        const QString text = QString::number(value);
        return text.size() >= 2 ? text : QStringLiteral("0") + text;
    };
    fields << pair(c.product) + pair(c.unit) + QStringLiteral("00") << c.address;
    for (qint64 value :
         {c.alarm_hh, c.alarm_h, c.alarm_l, c.alarm_ll, c.water_zero, c.water_alarm, c.offset, c.hidden_d13})
        fields << folded_field(value);
    for (int relay = 0; relay < 4; ++relay)
        fields << number_field(c.relays[size_t(relay)]);
    fields << folded_field(c.hidden_d23) << folded_field(c.hidden_d24) << number_field(c.tank_height)
           << number_field(c.capacity);
    for (int relay = 4; relay < 16; ++relay)
        fields << number_field(c.relays[size_t(relay)]);
    return fields.join(u'$') + u'$';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QLocale locale = fuzz_locale(input.ConsumeIntegral<uint8_t>());
    const QString reply = latin1(input.ConsumeRemainingBytesAsString());
    ChannelConfig config;
    try {
        config = parse_channel_config(reply, locale);
    } catch (const TankdefError& error) {
        FUZZ_CHECK(error.text().endsWith(QStringLiteral(" is not a valid floating point value")) ||
                   error.text().endsWith(QStringLiteral(" is not a valid integer value")));
        return 0;
    }
    // Fewer than four "$" never reach the product code.
    FUZZ_CHECK(reply.count(u'$') >= 4);
    FUZZ_CHECK(!config.description.contains(u'$') && !config.address.contains(u'$'));
    // Two characters of the code field each: "-9" to "99".
    FUZZ_CHECK(config.product >= -9 && config.product <= 99);
    FUZZ_CHECK(config.unit >= -9 && config.unit <= 99);
    // Values far beyond any five-digit field stay out of the round trip: a double holds them only
    // approximately.
    const auto small = [](qint64 value) { return value > -(qint64(1) << 40) && value < (qint64(1) << 40); };
    bool all_small = true;
    for (qint64 value : {config.alarm_hh, config.alarm_h, config.alarm_l, config.alarm_ll, config.water_zero,
                         config.water_alarm, config.offset, config.hidden_d13, config.hidden_d23,
                         config.hidden_d24, config.tank_height, config.capacity})
        all_small = all_small && small(value);
    for (qint64 value : config.relays)
        all_small = all_small && small(value);

    // Sent back as the controller sends them, the decoded values decode to themselves.
    if (all_small) {
        const ChannelConfig again = parse_channel_config(encode(config), QLocale::c());
        FUZZ_CHECK(again == config);
    }
    FUZZ_CHECK(parse_channel_config(reply, locale) == config);
    return 0;
}
