#include "init_proc.h"

#include <chrono>
#include <thread>

OneBased<TMsgRec, limits::kMsgTableSize> msg_table{};
qint32 msg_count = 0;
qint32 msg_language = 0;

namespace {

QString fold_ascii_letters(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return folded;
}

} // namespace

QString translate_msg(const QString& message, qint32 language) {
    const QString key = fold_ascii_letters(message);
    const int count = qBound(0, msg_count, limits::kMsgTableSize);
    for (int entry = 1; entry <= count; ++entry) {
        const TMsgRec& record = msg_table[entry];
        if (fold_ascii_letters(record.fields[0].text()) != key)
            continue;
        if (language < 0 || language > limits::kMsgLanguages)
            return QString();
        return record.fields[language].text();
    }
    return QLatin1Char('#') + message + QLatin1Char('#');
}

void wait_seconds(double seconds) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const auto wanted = std::chrono::duration<double>(seconds < 0 ? 0.0 : seconds);
    for (;;) {
        const auto elapsed = std::chrono::duration<double>(clock::now() - start);
        if (elapsed > wanted)
            return;
        // Sleep most of the remainder, then in small steps, so the wait ends close to its time.
        const auto remaining = wanted - elapsed;
        if (remaining > std::chrono::milliseconds(2))
            std::this_thread::sleep_for(remaining - std::chrono::milliseconds(1));
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

QByteArray strip_lf(const QByteArray& text) {
    QByteArray out = text;
    out.removeIf([](char c) { return c == '\n'; });
    return out;
}

QString strip_lf(const QString& text) {
    QString out = text;
    out.remove(QChar(u'\n'));
    return out;
}
