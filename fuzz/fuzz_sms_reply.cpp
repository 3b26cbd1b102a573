// The short replies: the SMS record, the identification and the "NORMALE" confirmation, each checked
// against the rule the controller and the operator rely on; and the "T" frame built from any four texts.

#include "fuzz_common.h"
#include "protocol.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

bool trimmed(const QString& text) {
    return text.isEmpty() || (text.front().unicode() > u' ' && text.back().unicode() > u' ');
}

// The confirmation as the operator's manual states it, on bytes: the last eight characters, letters a..z
// upper-cased, begin with NORMALE.
bool normale_by_rule(const std::string& line) {
    const std::string tail = line.size() > 8 ? line.substr(line.size() - 8) : line;
    if (tail.size() < 7)
        return false;
    for (size_t i = 0; i < 7; ++i) {
        char c = tail[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c != "NORMALE"[i])
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string line_bytes = input.ConsumeRandomLengthString(400);
    const QString line = latin1(line_bytes);

    const QStringList sms = parse_sms_record(line);
    FUZZ_CHECK(sms.size() == std::min<qsizetype>(4, line.count(u';')));
    for (const QString& field : sms) {
        FUZZ_CHECK(!field.contains(u';'));
        FUZZ_CHECK(trimmed(field));
    }

    const Identification id = parse_identification(line);
    FUZZ_CHECK(id.channels ==
               (line_bytes.size() >= 2 ? int(static_cast<unsigned char>(line_bytes[1])) - 64 : 0));
    FUZZ_CHECK(id.sixteen_relays == (line_bytes.size() >= 3 && line_bytes[2] == 'H'));

    FUZZ_CHECK(is_normale(line) == normale_by_rule(line_bytes));

    // The "T" frame: "T", four fields of at most 20 characters each closed by ";", CR.
    QStringList texts;
    const int given = input.ConsumeIntegralInRange<int>(0, 5);
    for (int k = 0; k < given; ++k)
        texts << latin1(input.ConsumeRandomLengthString(40));
    const FollowUp follow_up = build_follow_up("T", "A", QStringLiteral("$"), QString(), texts);
    FUZZ_CHECK(!follow_up.final);
    FUZZ_CHECK(follow_up.frame.startsWith(u'T') && follow_up.frame.endsWith(u'\r'));
    FUZZ_CHECK(follow_up.frame.size() <= 1 + 4 * (20 + 1) + 1);
    qsizetype expected = 1;
    for (int k = 0; k < 4; ++k) {
        const QString field = k < texts.size() ? sms_field_for_sending(texts[k]) : QString();
        FUZZ_CHECK(field.size() <= 20 && trimmed(field));
        FUZZ_CHECK(follow_up.frame.mid(expected, field.size() + 1) == field + u';');
        expected += field.size() + 1;
    }
    FUZZ_CHECK(expected + 1 == follow_up.frame.size());
    return 0;
}
