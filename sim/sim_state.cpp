#include "sim_state.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace sim {

namespace {

constexpr int kSampleRows = 40;

// Share of a horizontal cylinder's volume filled up to `fraction` of its height.
double cylinder_share(double fraction) {
    const double h = std::clamp(fraction, 0.0, 1.0);
    const double angle = 2.0 * std::acos(1.0 - 2.0 * h);
    return (angle - std::sin(angle)) / (2.0 * std::numbers::pi);
}

std::vector<SimRow> sample_table(int height, int capacity) {
    std::vector<SimRow> rows;
    rows.reserve(kSampleRows);
    for (int i = 0; i < kSampleRows; ++i) {
        const int level = int(std::lround(double(height) * i / (kSampleRows - 1)));
        const int volume = int(std::lround(capacity * cylinder_share(double(level) / height)));
        rows.push_back({level, volume});
    }
    return rows;
}

[[noreturn]] void bad_field(const QString& where) {
    throw std::runtime_error(("the state holds no valid value for " + where).toStdString());
}

int int_value(const QJsonValue& value, const QString& where, int low, int high) {
    const double number = value.toDouble();
    if (!value.isDouble() || number != std::trunc(number) || number < low || number > high)
        bad_field(where);
    return int(number);
}

int int_field(const QJsonObject& object, const QString& key, const QString& where, int low, int high,
              int fallback) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    return int_value(value, where + "." + key, low, high);
}

QString text_field(const QJsonObject& object, const QString& key, const QString& where) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return {};
    if (!value.isString())
        bad_field(where + "." + key);
    return value.toString();
}

const std::array<QString, kNumberFieldCount> kNumberKeys = {
    "alarm_hh", "alarm_h", "alarm_l", "alarm_ll", "water_zero", "water_alarm", "offset", "hidden_12"};

// Folded fields hold what the operator sees; the wire keeps 16 bits.
constexpr int kSignedLow = limits::kFoldAbove - limits::kWordModulus + 1;
constexpr int kWordHigh = limits::kWordModulus - 1;

} // namespace

SimChannel sample_channel(int number) {
    SimChannel c;
    switch (number) {
    case 1:
        c.description = "GASOLIO NORD";
        c.product = 8;
        c.unit = 0;
        c.address = "00123";
        c.numbers = {1800, 1700, 300, 150, 0, 50, -20, 0};
        c.hidden_17 = 0;
        c.hidden_18 = 0;
        c.tank_height = 2000;
        c.capacity = 30000;
        c.relays = {2, 3, 0, 10, 6, 7, 1, 8, 0, 0, 4, 5, 0, 0, 9, 0};
        break;
    case 2:
        c.description = "BENZINA SUD";
        c.product = 3;
        c.unit = 1;
        c.address = "00124";
        c.numbers = {2500, 2300, 400, 200, 10, 80, 15, 7};
        c.hidden_17 = 12;
        c.hidden_18 = -5;
        c.tank_height = 3000;
        c.capacity = 50000;
        c.relays = {6, 7, 4, 5, 2, 3, 0, 0, 10, 0, 8, 0, 1, 0, 0, 0};
        break;
    default:
        c.description = QStringLiteral("SERBATOIO %1").arg(number);
        c.product = number % limits::kProductCount;
        c.unit = number % limits::kUnitCount;
        c.address = QStringLiteral("%1").arg(120 + number, limits::kAddressWidth, 10, QLatin1Char('0'));
        c.numbers = {1500, 1400, 250, 120, 0, 40, -10 * (number % 3), 0};
        c.tank_height = 1800;
        c.capacity = 20000 + 1000 * (number % 10);
        c.relays = {2, 3, 6, 7};
        break;
    }
    c.table = sample_table(c.tank_height, c.capacity);
    return c;
}

SimState sample_state(int channels) {
    SimState state;
    state.sms.numbers = {"+393331234567", "+393349876543", "+393471112233"};
    state.sms.station = "DEPOSITO ROSSI";
    ensure_channels(state, channels);
    return state;
}

void ensure_channels(SimState& state, int channels) {
    while (int(state.channels.size()) < channels)
        state.channels.push_back(sample_channel(int(state.channels.size()) + 1));
}

QJsonObject state_to_json(const SimState& state) {
    QJsonArray channels;
    for (const SimChannel& c : state.channels) {
        QJsonObject o;
        o["description"] = c.description;
        o["product"] = c.product;
        o["unit"] = c.unit;
        o["address"] = c.address;
        for (int i = 0; i < kNumberFieldCount; ++i)
            o[kNumberKeys[std::size_t(i)]] = c.numbers[std::size_t(i)];
        o["hidden_17"] = c.hidden_17;
        o["hidden_18"] = c.hidden_18;
        o["tank_height"] = c.tank_height;
        o["capacity"] = c.capacity;
        QJsonArray relays;
        for (int code : c.relays)
            relays.append(code);
        o["relays"] = relays;
        QJsonArray table;
        for (const SimRow& row : c.table)
            table.append(QJsonArray{row.level, row.volume});
        o["table"] = table;
        channels.append(o);
    }
    QJsonObject sms;
    sms["numbers"] = QJsonArray{state.sms.numbers[0], state.sms.numbers[1], state.sms.numbers[2]};
    sms["station"] = state.sms.station;
    QJsonObject root;
    root["channels"] = channels;
    root["sms"] = sms;
    return root;
}

SimState state_from_json(const QJsonObject& root) {
    SimState state;
    const QJsonValue channels = root.value("channels");
    if (!channels.isUndefined() && !channels.isArray())
        bad_field("channels");
    const QJsonArray list = channels.toArray();
    for (qsizetype n = 0; n < list.size(); ++n) {
        const QString where = QStringLiteral("channels[%1]").arg(n);
        if (!list[n].isObject())
            bad_field(where);
        const QJsonObject o = list[n].toObject();
        SimChannel c;
        c.description = text_field(o, "description", where);
        c.product = int_field(o, "product", where, -9, 99, 0);
        c.unit = int_field(o, "unit", where, -9, 99, 0);
        c.address = text_field(o, "address", where);
        for (int i = 0; i < kNumberFieldCount; ++i)
            c.numbers[std::size_t(i)] =
                int_field(o, kNumberKeys[std::size_t(i)], where, kSignedLow, limits::kFoldAbove, 0);
        c.hidden_17 = int_field(o, "hidden_17", where, kSignedLow, limits::kFoldAbove, 0);
        c.hidden_18 = int_field(o, "hidden_18", where, kSignedLow, limits::kFoldAbove, 0);
        c.tank_height = int_field(o, "tank_height", where, 0, kWordHigh, 0);
        c.capacity = int_field(o, "capacity", where, 0, kWordHigh, 0);
        const QJsonValue relays = o.value("relays");
        if (!relays.isUndefined()) {
            const QJsonArray codes = relays.toArray();
            if (!relays.isArray() || codes.size() > limits::kRelayCount)
                bad_field(where + ".relays");
            for (qsizetype r = 0; r < codes.size(); ++r)
                c.relays[std::size_t(r)] =
                    int_value(codes[r], QStringLiteral("%1.relays[%2]").arg(where).arg(r), 0, kWordHigh);
        }
        const QJsonValue table = o.value("table");
        if (!table.isUndefined()) {
            const QJsonArray rows = table.toArray();
            if (!table.isArray() || rows.size() > limits::kTableRows)
                bad_field(where + ".table");
            for (qsizetype r = 0; r < rows.size(); ++r) {
                const QJsonArray pair = rows[r].toArray();
                const QString at = QStringLiteral("%1.table[%2]").arg(where).arg(r);
                if (!rows[r].isArray() || pair.size() != 2)
                    bad_field(at);
                c.table.push_back({int_value(pair[0], at + ".level", -kWordHigh, kWordHigh),
                                   int_value(pair[1], at + ".volume", -kWordHigh, kWordHigh)});
            }
        }
        state.channels.push_back(std::move(c));
    }
    const QJsonValue sms = root.value("sms");
    if (!sms.isUndefined()) {
        if (!sms.isObject())
            bad_field("sms");
        const QJsonObject o = sms.toObject();
        const QJsonValue numbers = o.value("numbers");
        if (!numbers.isUndefined()) {
            const QJsonArray list3 = numbers.toArray();
            if (!numbers.isArray() || list3.size() > 3)
                bad_field("sms.numbers");
            for (qsizetype i = 0; i < list3.size(); ++i) {
                if (!list3[i].isString())
                    bad_field(QStringLiteral("sms.numbers[%1]").arg(i));
                state.sms.numbers[std::size_t(i)] = list3[i].toString();
            }
        }
        state.sms.station = text_field(o, "station", "sms");
    }
    return state;
}

bool load_state_file(const QString& path, SimState& state) {
    QFile file(path);
    if (!file.exists())
        return false;
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(("cannot read " + path + ": " + file.errorString()).toStdString());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw std::runtime_error((path + " is not a state file: " + error.errorString()).toStdString());
    try {
        state = state_from_json(document.object());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error((path + ": " + QString::fromUtf8(e.what())).toStdString());
    }
    return true;
}

void save_state_file(const QString& path, const SimState& state) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(("cannot write " + path + ": " + file.errorString()).toStdString());
    file.write(QJsonDocument(state_to_json(state)).toJson(QJsonDocument::Indented));
    if (!file.commit())
        throw std::runtime_error(("cannot write " + path + ": " + file.errorString()).toStdString());
}

} // namespace sim
