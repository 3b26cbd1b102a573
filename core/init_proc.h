#pragma once

#include "tipi.h"

#include <QString>

// One message catalogue entry: the key as the program spells it, then its texts in languages 1 to 4.
struct TMsgRec {
    ShortText<limits::kMsgFieldLength> fields[1 + limits::kMsgLanguages];
};

extern OneBased<TMsgRec, limits::kMsgTableSize> msg_table;
extern qint32 msg_count;    // entries in use, from entry 1
extern qint32 msg_language; // the language most callers pass to translate_msg

// The catalogue's text for message in language (0 the key, 1..4 the languages), or "#message#" when
// the catalogue has no entry for it. Keys match with a..z and A..Z folded, nothing else.
QString translate_msg(const QString& message, qint32 language);

// Returns after more than seconds have passed on a monotonic clock, handling no event meanwhile.
// It sleeps rather than spins, so a long table write does not hold a processor.
void wait_seconds(double seconds);

// text without its line feeds; carriage returns and everything else kept in order.
QByteArray strip_lf(const QByteArray& text);
QString strip_lf(const QString& text);
