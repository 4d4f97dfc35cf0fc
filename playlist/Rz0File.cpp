#include "playlist/Rz0File.h"

#include "platform/Cp932.h"
#include "platform/HostPath.h"

#include <QFile>
#include <QSaveFile>
#include <cstring>

namespace zypo {

namespace {

/// Splits bytes into entries as they arrive: CR LF or a lone CR ends a line.
class Rz0Lines {
public:
    Rz0Lines(QStringList& out, int maxEntries) : out_(out), max_(maxEntries) {}
    bool full() const { return out_.size() >= max_; }
    bool broken() const { return tooLong_; }

    void feed(const char* p, qsizetype n) {
        qsizetype i = 0;
        while (i < n && !full() && !tooLong_) {
            if (afterCr_) {
                afterCr_ = false;
                if (p[i] == '\n') {
                    ++i;
                    continue;
                }
            }
            // The rest of the line in this piece, at once.
            const void* cr = std::memchr(p + i, '\r', static_cast<size_t>(n - i));
            const qsizetype end = cr ? static_cast<const char*>(cr) - p : n;
            if (line_.size() + (end - i) > Rz0MaxLineBytes) {
                tooLong_ = true;
                return;
            }
            line_.append(p + i, end - i);
            pending_ = pending_ || end > i;
            i = end;
            if (cr) {
                out_.append(Cp932::decode(line_));
                line_.clear();
                afterCr_ = true;
                pending_ = false;
                ++i;
            }
        }
    }
    /// The last line, when it has no terminator.
    void finish() {
        if (pending_ && !full() && !tooLong_)
            out_.append(Cp932::decode(line_));
        pending_ = false;
    }

private:
    QStringList& out_;
    int max_;
    QByteArray line_;
    bool afterCr_ = false;
    bool pending_ = false;
    bool tooLong_ = false;
};

} // namespace

std::optional<QStringList> parseRz0(const QByteArray& bytes, int maxEntries) {
    QStringList entries;
    Rz0Lines lines(entries, maxEntries);
    lines.feed(bytes.constData(), bytes.size());
    lines.finish();
    if (lines.broken())
        return std::nullopt;
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
    QFile file;
    if (hostPath.isEmpty() || !openHostFile(hostPath, file))
        return Rz0Result::OpenFailed;
    // Far more than a full list of the longest lines: not a playlist, whatever its start says.
    if (file.size() > static_cast<qint64>(Rz0MaxEntries) * Rz0MaxLineBytes)
        return Rz0Result::NotAPlaylist;
    const int room = std::max<int>(0, maxEntries - static_cast<int>(entries.size()));
    QStringList read;
    Rz0Lines lines(read, room);
    char buf[65536];
    // A read failure part way ends the reading like the end of the file.
    while (!lines.full() && !lines.broken()) {
        const qint64 got = file.read(buf, sizeof buf);
        if (got <= 0)
            break;
        lines.feed(buf, got);
    }
    lines.finish();
    if (lines.broken())
        return Rz0Result::NotAPlaylist;
    entries += read;
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
