#include "sim_protocol.h"

#include <algorithm>

namespace sim {

namespace {

constexpr int kConfigFieldsFourRelays = 16;
constexpr int kConfigFieldsSixteenRelays = 28;
constexpr int kFirstNumberField = 4; // 0-based position of the HH alarm in the payload
constexpr int kFirstRelayField = 12; // 0-based position of relay N.1 in the payload
constexpr int kMaxDigits = 18;       // more digits than this cannot be a value of the controller's
constexpr qint64 kTableValueLimit = limits::kWordModulus - 1;

QByteArray fixed_text(const QString& text, int width, char fill, bool fill_left) {
    QByteArray bytes = text.toLatin1().left(width);
    const QByteArray padding(width - bytes.size(), fill);
    return fill_left ? padding + bytes : bytes + padding;
}

} // namespace

QByteArray zero_fill(qint64 value, int width) {
    QByteArray text = QByteArray::number(value);
    if (text.size() < width)
        text.prepend(QByteArray(width - text.size(), '0'));
    return text;
}

int to_word(qint64 value) {
    const qint64 modulus = limits::kWordModulus;
    return int(((value % modulus) + modulus) % modulus);
}

int fold_word(int word) {
    return word > limits::kFoldAbove ? word - limits::kWordModulus : word;
}

std::optional<qint64> parse_filled_number(QByteArrayView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == '0')
        ++i;
    const bool zeros = i > 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    const QByteArrayView digits = text.sliced(i);
    if (digits.isEmpty() && (negative || !zeros))
        return std::nullopt;
    if (digits.size() > kMaxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

char channel_letter(int number) {
    return char('A' + number - 1);
}

std::optional<int> channel_index(char letter, int channels) {
    const int index = letter - 'A';
    if (index < 0 || index >= channels)
        return std::nullopt;
    return index;
}

QByteArray identification_line(int channels, int relays) {
    QByteArray line = "I";
    line += channel_letter(channels);
    if (relays == limits::kRelayCount)
        line += 'H';
    return line;
}

QByteArray config_line(const SimChannel& c, char letter, int relays, bool closing_dollar) {
    QByteArrayList fields;
    fields << "R" << QByteArray(1, letter) << fixed_text(c.description, limits::kDescriptionWidth, ' ', false)
           << zero_fill(c.product, 2) + zero_fill(c.unit, 2) + "00"
           << fixed_text(c.address, limits::kAddressWidth, '0', true);
    const auto word = [](qint64 v) { return zero_fill(to_word(v), limits::kNumberWidth); };
    for (int n : c.numbers)
        fields << word(n);
    for (int r = 0; r < 4; ++r)
        fields << word(c.relays[std::size_t(r)]);
    fields << word(c.hidden_17) << word(c.hidden_18) << word(c.tank_height) << word(c.capacity);
    if (relays == limits::kRelayCount) {
        for (int r = 4; r < limits::kRelayCount; ++r)
            fields << word(c.relays[std::size_t(r)]);
    }
    QByteArray line = fields.join('$');
    if (closing_dollar)
        line += '$';
    return line;
}

QList<QByteArray> table_lines(const std::vector<SimRow>& rows) {
    QList<QByteArray> lines;
    lines.reserve(qsizetype(rows.size()) + 1);
    for (const SimRow& row : rows)
        lines << zero_fill(row.level, limits::kNumberWidth) + kTAB +
                     zero_fill(row.volume, limits::kNumberWidth);
    lines << kTableEnd.toByteArray() + kTAB + kTableEnd.toByteArray();
    return lines;
}

QByteArray sms_line(const SimSms& sms) {
    QByteArray line;
    for (const QString& number : sms.numbers)
        line += number.toLatin1() + ';';
    line += sms.station.toLatin1() + ';';
    return line;
}

std::optional<ConfigWrite> parse_config_payload(QByteArrayView payload, int channels) {
    QByteArrayList fields = payload.toByteArray().split('$');
    // Every field, the last one included, is followed by "$": the text after the last one is empty.
    if (fields.takeLast().size() != 0)
        return std::nullopt;
    const int count = int(fields.size());
    if (count != kConfigFieldsFourRelays && count != kConfigFieldsSixteenRelays)
        return std::nullopt;
    ConfigWrite write;
    write.relay_count = count == kConfigFieldsFourRelays ? 4 : limits::kRelayCount;
    if (fields[0].size() != 1)
        return std::nullopt;
    const auto index = channel_index(fields[0][0], channels);
    if (!index)
        return std::nullopt;
    write.channel = *index;
    SimChannel& v = write.values;
    if (fields[1].size() != limits::kDescriptionWidth)
        return std::nullopt;
    v.description = QString::fromLatin1(fields[1]);
    const QByteArray& codes = fields[2];
    const auto product =
        parse_filled_number(QByteArrayView(codes).first(std::min<qsizetype>(2, codes.size())));
    const auto unit =
        codes.size() >= 4 ? parse_filled_number(QByteArrayView(codes).sliced(2, 2)) : std::nullopt;
    if (codes.size() != 6 || !product || !unit || codes.sliced(4) != "00")
        return std::nullopt;
    v.product = int(*product);
    v.unit = int(*unit);
    if (fields[3].size() != limits::kAddressWidth)
        return std::nullopt;
    v.address = QString::fromLatin1(fields[3]);
    for (int i = 0; i < kNumberFieldCount; ++i) {
        const auto n = parse_filled_number(fields[kFirstNumberField + i]);
        if (!n)
            return std::nullopt;
        v.numbers[std::size_t(i)] = fold_word(to_word(*n));
    }
    for (int r = 0; r < write.relay_count; ++r) {
        const auto code = parse_filled_number(fields[kFirstRelayField + r]);
        if (!code)
            return std::nullopt;
        v.relays[std::size_t(r)] = to_word(*code);
    }
    return write;
}

void apply_config_write(SimChannel& channel, const ConfigWrite& write) {
    const SimChannel& v = write.values;
    channel.description = v.description;
    channel.product = v.product;
    channel.unit = v.unit;
    channel.address = v.address;
    channel.numbers = v.numbers;
    for (int r = 0; r < write.relay_count; ++r)
        channel.relays[std::size_t(r)] = v.relays[std::size_t(r)];
}

std::optional<std::vector<SimRow>> parse_table_rows(const QList<QByteArray>& lines) {
    if (lines.size() > limits::kTableRows)
        return std::nullopt;
    std::vector<SimRow> rows;
    rows.reserve(std::size_t(lines.size()));
    for (const QByteArray& line : lines) {
        const QByteArrayList parts = line.split(kTAB);
        if (parts.size() != 2)
            return std::nullopt;
        const auto level = parse_filled_number(parts[0]);
        const auto volume = parse_filled_number(parts[1]);
        if (!level || !volume || std::abs(*level) > kTableValueLimit || std::abs(*volume) > kTableValueLimit)
            return std::nullopt;
        rows.push_back({int(*level), int(*volume)});
    }
    return rows;
}

std::optional<SimSms> parse_sms_record(QByteArrayView record) {
    QByteArrayList fields = record.toByteArray().split(';');
    if (fields.takeLast().size() != 0 || fields.size() != limits::kSmsFieldCount)
        return std::nullopt;
    SimSms sms;
    for (int i = 0; i < 3; ++i)
        sms.numbers[std::size_t(i)] = QString::fromLatin1(fields[i]);
    sms.station = QString::fromLatin1(fields[3]);
    return sms;
}

QString frame_kind_name(FrameKind kind) {
    switch (kind) {
    case FrameKind::Dollar:
        return "$";
    case FrameKind::Identify:
        return "N";
    case FrameKind::ReadConfig:
        return "R";
    case FrameKind::WriteConfig:
        return "W";
    case FrameKind::ReadTable:
        return "G";
    case FrameKind::WriteTable:
        return "C";
    case FrameKind::ReadSms:
        return "S";
    case FrameKind::WriteSms:
        return "T";
    case FrameKind::Unknown:
        break;
    }
    return "unknown";
}

std::vector<Frame> FrameAssembler::feed(QByteArrayView chunk, qint64 arrival_us) {
    if (!m_have_chunk || arrival_us - m_last_chunk_us >= qint64(limits::kBurstPauseMs) * 1000)
        m_burst = 0;
    m_have_chunk = true;
    m_last_chunk_us = arrival_us;
    std::vector<Frame> out;
    for (char c : chunk) {
        ++m_burst;
        take(c, arrival_us, out);
    }
    return out;
}

void FrameAssembler::reset() {
    m_mode = Mode::Line;
    m_line.clear();
    m_frame = Frame{};
    m_frame_open = false;
    m_table_overflow = false;
    m_have_chunk = false;
    m_burst = 0;
}

void FrameAssembler::take(char c, qint64 at_us, std::vector<Frame>& out) {
    // A line feed outside a frame belongs to nothing; the program ends no request with one.
    if (c == kLF && !m_frame_open)
        return;
    // A "$" can be part only of a "W" payload, a "T" record or nothing: anywhere else the program has
    // started a new request, and whatever was typed before it is dropped as an unknown command.
    if (c == '$') {
        if (m_mode == Mode::Table) {
            m_frame.complete = false;
            emit_frame(FrameKind::WriteTable, out);
        } else if (!m_line.isEmpty() && m_line[0] != 'W' && m_line[0] != 'T') {
            m_frame.body = m_line;
            emit_frame(FrameKind::Unknown, out);
        }
    }
    if (!m_frame_open) {
        m_frame = Frame{};
        m_frame.first_us = at_us;
        m_frame_open = true;
    }
    m_frame.last_us = at_us;
    m_frame.raw += c;
    m_frame.longest_burst = std::max(m_frame.longest_burst, m_burst);
    if (m_burst > limits::kBurstLength)
        m_frame.burst_violation = true;

    if (m_mode == Mode::Table) {
        take_in_table(c, out);
        return;
    }
    if (c == '$' && m_line.isEmpty()) {
        emit_frame(FrameKind::Dollar, out);
        return;
    }
    if (c == kLF)
        return;
    if (c == kCR) {
        finish_line(out);
        return;
    }
    m_line += c;
    if (m_line.size() >= limits::kSimMaxLine) {
        m_frame.body = m_line;
        emit_frame(FrameKind::Unknown, out);
    }
}

void FrameAssembler::take_in_table(char c, std::vector<Frame>& out) {
    if (c == kLF)
        return;
    if (c != kCR) {
        if (m_line.size() < limits::kSimMaxLine)
            m_line += c;
        else
            m_table_overflow = true;
        return;
    }
    if (m_line.startsWith(kTableEnd) && !m_table_overflow) {
        emit_frame(FrameKind::WriteTable, out);
        return;
    }
    // One line more than the controller holds is enough to refuse the table; the rest is not kept. A line
    // too long to keep is kept as one that reads as no row.
    if (m_frame.lines.size() <= limits::kTableRows)
        m_frame.lines << (m_table_overflow ? QByteArray("?") : m_line);
    m_line.clear();
    m_table_overflow = false;
}

void FrameAssembler::emit_frame(FrameKind kind, std::vector<Frame>& out) {
    m_frame.kind = kind;
    out.push_back(std::move(m_frame));
    m_frame = Frame{};
    m_frame_open = false;
    m_line.clear();
    m_mode = Mode::Line;
    m_table_overflow = false;
}

void FrameAssembler::finish_line(std::vector<Frame>& out) {
    const QByteArray line = m_line;
    if (line == "N") {
        emit_frame(FrameKind::Identify, out);
    } else if (line == "S") {
        emit_frame(FrameKind::ReadSms, out);
    } else if (line.size() == 2 && (line[0] == 'R' || line[0] == 'G')) {
        m_frame.body = line.sliced(1);
        emit_frame(line[0] == 'R' ? FrameKind::ReadConfig : FrameKind::ReadTable, out);
    } else if (line.size() == 2 && line[0] == 'C') {
        // The table follows on the next lines; the frame ends with its "65000" line.
        m_frame.body = line.sliced(1);
        m_mode = Mode::Table;
        m_line.clear();
    } else if (!line.isEmpty() && (line[0] == 'W' || line[0] == 'T')) {
        m_frame.body = line.sliced(1);
        emit_frame(line[0] == 'W' ? FrameKind::WriteConfig : FrameKind::WriteSms, out);
    } else {
        m_frame.body = line;
        emit_frame(FrameKind::Unknown, out);
    }
}

} // namespace sim
