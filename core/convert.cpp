#include "convert.h"

#include "errors.h"

#include <charconv>
#include <cmath>
#include <string>

QString integer_error_text(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString float_error_text(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

bool try_str_to_int(const QString& text, qint32& value) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n)
        return false;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > 2147483648LL)
            return false;
    }
    const qint64 signed_value = negative ? -magnitude : magnitude;
    if (signed_value > 2147483647LL)
        return false;
    value = static_cast<qint32>(signed_value);
    return true;
}

qint32 str_to_int(const QString& text) {
    qint32 value = 0;
    if (!try_str_to_int(text, value))
        raise_error(integer_error_text(text));
    return value;
}

bool try_str_to_float(const QString& text, const QLocale& locale, double& value) {
    const QString separator = locale.decimalPoint();
    const QChar point = separator.isEmpty() ? QChar(u'.') : separator.front();
    std::string ascii;
    ascii.reserve(size_t(text.size()));
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto is_blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    auto is_digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    while (i < n && is_blank(text[i]))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ascii.push_back(char(text[i++].unicode()));
    int digits = 0;
    while (i < n && is_digit(text[i])) {
        ascii.push_back(char(text[i++].unicode()));
        ++digits;
    }
    if (i < n && text[i] == point) {
        ascii.push_back('.');
        ++i;
        while (i < n && is_digit(text[i])) {
            ascii.push_back(char(text[i++].unicode()));
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ascii.push_back(char(text[i++].unicode()));
        int exponent_digits = 0;
        while (i < n && is_digit(text[i])) {
            ascii.push_back(char(text[i++].unicode()));
            ++exponent_digits;
        }
        if (exponent_digits == 0)
            return false;
    }
    while (i < n && is_blank(text[i]))
        ++i;
    if (i != n)
        return false;
    // from_chars ignores the C locale, which Qt sets from the environment; strtod would not.
    const char* first = ascii.data();
    if (*first == '+')
        ++first;
    double parsed = 0;
    const auto [end, error] = std::from_chars(first, ascii.data() + ascii.size(), parsed);
    if (error != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

double str_to_float(const QString& text, const QLocale& locale) {
    double value = 0;
    if (!try_str_to_float(text, locale, value))
        raise_error(float_error_text(text));
    return value;
}
