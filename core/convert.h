#pragma once

#include <QLocale>
#include <QString>

// The run-time conversions of typed and received numbers; each raises the standard conversion error.

// "'%s' is not a valid integer value" / "'%s' is not a valid floating point value"
QString integer_error_text(const QString& text);
QString float_error_text(const QString& text);

// Decimal 32-bit signed integer: an optional sign and digits, nothing else.
qint32 str_to_int(const QString& text);
bool try_str_to_int(const QString& text, qint32& value);

// A decimal number in the given regional format: optional blanks, optional sign, digits with at most one
// decimal separator (the locale's), an optional exponent, optional blanks. No thousands separator.
double str_to_float(const QString& text, const QLocale& locale = QLocale::system());
bool try_str_to_float(const QString& text, const QLocale& locale, double& value);
