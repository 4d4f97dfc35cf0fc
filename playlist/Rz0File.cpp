#include "playlist/Rz0File.h"

#include "platform/Cp932.h"

#include <QFile>
#include <QSaveFile>

namespace zypo {

QStringList parseRz0(const QByteArray& bytes, int maxEntries) {
    QStringList entries;
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n && entries.size() < maxEntries) {
        if (p[i] == '\r') {
            entries.append(Cp932::decode(QByteArray(p + start, i - start)));
            ++i;
            if (i < n && p[i] == '\n')
                ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n && entries.size() < maxEntries)
        entries.append(Cp932::decode(QByteArray(p + start, n - start)));
    return entries;
}

QByteArray formatRz0(const QStringList& entries) {
    QByteArray out;
    for (const QString& e : entries) {
        out += Cp932::encode(e);
        out += "\r\n";
    }
    return out;
}

Rz0Result ReadRz0File(const QString& hostPath, QStringList& entries, int maxEntries) {
    QFile file(hostPath);
    if (hostPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return Rz0Result::OpenFailed;
    // A read failure part way ends the reading like the end of the file.
    QByteArray bytes;
    char buf[65536];
    for (;;) {
        const qint64 got = file.read(buf, sizeof buf);
        if (got <= 0)
            break;
        bytes.append(buf, got);
    }
    const int room = std::max<int>(0, maxEntries - static_cast<int>(entries.size()));
    entries += parseRz0(bytes, room);
    return Rz0Result::Opened;
}

Rz0Result WriteRz0File(const QString& hostPath, const QStringList& entries) {
    QSaveFile file(hostPath);
    if (hostPath.isEmpty() || !file.open(QIODevice::WriteOnly))
        return Rz0Result::OpenFailed;
    const QByteArray bytes = formatRz0(entries.mid(0, Rz0MaxEntries));
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return Rz0Result::WriteFailed;
    }
    return file.commit() ? Rz0Result::Opened : Rz0Result::WriteFailed;
}

} // namespace zypo
