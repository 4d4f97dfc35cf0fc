#include "core/SettingsText.h"

#include <cmath>
#include <limits>

namespace zypo {

QString settingsNumberText(long long value) {
    QString digits = QString::number(value);
    return value < 0 ? digits : QLatin1Char(' ') + digits;
}

QString settingsNumberText(double value) {
    // Shortest text that reads back as the same number: " 1.5", " 2", "-0.5".
    QString digits = QString::number(value, 'g', std::numeric_limits<double>::max_digits10);
    double shortest = value;
    for (int precision = 1; precision <= std::numeric_limits<double>::max_digits10; ++precision) {
        QString candidate = QString::number(value, 'g', precision);
        if (candidate.toDouble() == shortest) {
            digits = candidate;
            break;
        }
    }
    // Very large and very small numbers keep their exponent ("1E-21"), as the classic number
    // text does; everything in the settings' own ranges is plain decimal.
    digits.replace(QLatin1Char('e'), QLatin1Char('E'));
    if (digits.startsWith(QLatin1Char('-')))
        return digits;
    return QLatin1Char(' ') + digits;
}

static QString withoutLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    return text.mid(i);
}

std::optional<std::int16_t> parseSettingsInt16(const QString& text) {
    const QString t = withoutLeadingBlanks(text);
    if (t.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return std::nullopt;
    }
    bool ok = false;
    const long long v = t.toLongLong(&ok);
    if (!ok || v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(v);
}

std::optional<double> parseSettingsReal(const QString& text) {
    const QString t = withoutLeadingBlanks(text);
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t) {
        const bool allowed = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                             c == QLatin1Char('-') || c == QLatin1Char('+') || c == QLatin1Char('e') ||
                             c == QLatin1Char('E');
        if (!allowed)
            return std::nullopt;
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace zypo
