#pragma once

#include "constants.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <vector>

namespace sim {

// One row of a channel's strapping table as the controller holds it.
struct SimRow {
    int level = 0;
    int volume = 0;
    friend bool operator==(const SimRow&, const SimRow&) = default;
};

// Number fields 5..12 of a channel's configuration, in wire order.
enum NumberField { kAlarmHH, kAlarmH, kAlarmL, kAlarmLL, kWaterZero, kWaterAlarm, kOffset, kHidden12 };
inline constexpr int kNumberFieldCount = 8;

// Everything the controller keeps for one channel (tank). Fields that travel folded hold the signed value
// the operator sees (-20, not 65516); the relay codes and the two measures hold the wire value.
struct SimChannel {
    QString description;                           // 16 characters on the wire
    int product = 0;                               // position in the product list
    int unit = 0;                                  // 0 litres, 1 decalitres
    QString address;                               // 5 characters on the wire
    std::array<int, kNumberFieldCount> numbers{};  // fields 5..12, signed
    int hidden_17 = 0;                             // field 17, signed
    int hidden_18 = 0;                             // field 18, signed
    int tank_height = 0;                           // field 19, millimetres
    int capacity = 0;                              // field 20
    std::array<int, limits::kRelayCount> relays{}; // relay function codes (65535: none chosen)
    std::vector<SimRow> table;                     // at most limits::kTableRows rows
    friend bool operator==(const SimChannel&, const SimChannel&) = default;
};

// The SMS numbers and the station name.
struct SimSms {
    std::array<QString, 3> numbers;
    QString station;
    friend bool operator==(const SimSms&, const SimSms&) = default;
};

// The controller's whole memory.
struct SimState {
    std::vector<SimChannel> channels;
    SimSms sms;
    friend bool operator==(const SimState&, const SimState&) = default;
};

// Plausible contents for channel number `number` (1-based): a description, thresholds with a negative
// offset, relay functions, a 40-row table rising to the capacity.
SimChannel sample_channel(int number);
SimState sample_state(int channels);
// Adds sample channels until `state` has at least `channels`; never removes any.
void ensure_channels(SimState& state, int channels);

QJsonObject state_to_json(const SimState& state);
// Raises std::runtime_error naming the first field that is not what the controller can hold.
SimState state_from_json(const QJsonObject& object);

// False when the file does not exist; raises std::runtime_error when it exists but cannot be read.
bool load_state_file(const QString& path, SimState& state);
// Written whole or not at all; raises std::runtime_error on failure.
void save_state_file(const QString& path, const SimState& state);

} // namespace sim
