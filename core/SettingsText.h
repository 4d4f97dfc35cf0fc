#pragma once
// The text form in which numbers travel to and from the settings store: one leading blank for
// zero and positive values (" 2", " 1.5"), a minus sign otherwise ("-1"); leading blanks are
// ignored when reading.
#include <QString>
#include <cstdint>
#include <optional>

namespace zypo {

QString settingsNumberText(double value);
QString settingsNumberText(long long value);
inline QString settingsNumberText(int value) {
    return settingsNumberText(static_cast<long long>(value));
}
inline QString settingsNumberText(std::int16_t value) {
    return settingsNumberText(static_cast<long long>(value));
}

/// Whole number with optional leading blanks and sign; nullopt when the text is not one or
/// does not fit 16 bits.
std::optional<std::int16_t> parseSettingsInt16(const QString& text);
/// Real number with optional leading blanks; nullopt when the text is not a finite number.
std::optional<double> parseSettingsReal(const QString& text);

} // namespace zypo
