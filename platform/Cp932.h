#pragma once
// The ANSI code page of the playlist files: Shift-JIS as Windows code page 932, through iconv.
// Bytes that are not valid CP932 are kept apart from valid text as private-use characters
// U+F780..U+F7FF (one per byte), so they never turn into another valid path and are written
// back as the same bytes.
#include <QByteArray>
#include <QString>

namespace zypo::Cp932 {

QString decode(const QByteArray& bytes);
/// Characters CP932 cannot hold become "?", the code page's default substitution.
QByteArray encode(const QString& text);
/// The text holds bytes that were not valid CP932.
bool hasInvalidBytes(const QString& text);
/// The text for a person to read: each byte that was not valid CP932 shown as U+FFFD.
QString readable(QString text);

} // namespace zypo::Cp932
