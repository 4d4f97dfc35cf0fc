#include "platform/HostPath.h"

#include "platform/Cp932.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zypo {

namespace {

constexpr char16_t RawByteBase = 0xDC00; // + byte (0x80..0xFF)

bool isRawByte(char16_t c) {
    return c >= RawByteBase + 0x80 && c <= RawByteBase + 0xFF;
}

/// Length of the valid UTF-8 sequence at p (1..4), or 0 when the bytes there are not one.
int utf8Sequence(const unsigned char* p, const unsigned char* end) {
    const unsigned char b = p[0];
    int n = 0;
    char32_t min = 0;
    char32_t c = 0;
    if (b < 0x80)
        return 1;
    if ((b & 0xE0) == 0xC0) {
        n = 2, min = 0x80, c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, min = 0x800, c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, min = 0x10000, c = b & 0x07;
    } else {
        return 0;
    }
    if (end - p < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

QByteArray hostBytes(const QString& hostPath) {
    QByteArray out;
    out.reserve(hostPath.size());
    qsizetype run = 0; // start of the current run of ordinary text
    for (qsizetype i = 0; i < hostPath.size(); ++i) {
        if (!isRawByte(hostPath.at(i).unicode()))
            continue;
        out += QStringView(hostPath).mid(run, i - run).toUtf8();
        out += static_cast<char>(hostPath.at(i).unicode() - RawByteBase);
        run = i + 1;
    }
    out += QStringView(hostPath).mid(run).toUtf8();
    return out;
}

QString hostText(const QByteArray& bytes) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = begin + bytes.size();
    QString out;
    out.reserve(bytes.size());
    const unsigned char* run = begin;
    for (const unsigned char* p = begin; p < end;) {
        const int n = utf8Sequence(p, end);
        if (n > 0) {
            p += n;
            continue;
        }
        out += QString::fromUtf8(reinterpret_cast<const char*>(run), p - run);
        out += QChar(static_cast<char16_t>(RawByteBase + *p));
        run = ++p;
    }
    out += QString::fromUtf8(reinterpret_cast<const char*>(run), end - run);
    return out;
}

QString driveName(const QString& hostName) {
    for (QChar c : hostName)
        if (isRawByte(c.unicode()))
            return Cp932::decode(hostBytes(hostName));
    return hostName;
}

bool listFolder(const QString& hostPath, std::vector<HostEntry>& entries) {
    entries.clear();
    DIR* dir = ::opendir(hostBytes(hostPath).constData());
    if (!dir)
        return false;
    const int dirFd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        HostEntry entry;
        entry.name = hostText(QByteArray(n));
        entry.text = driveName(entry.name);
        unsigned char type = e->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            // The kind of what a link leads to (or of an entry the listing does not tell).
            struct stat st {};
            type = ::fstatat(dirFd, n, &st, 0) != 0 ? DT_UNKNOWN
                   : S_ISDIR(st.st_mode)            ? DT_DIR
                   : S_ISREG(st.st_mode)            ? DT_REG
                                                    : DT_UNKNOWN;
        }
        entry.folder = type == DT_DIR;
        entry.file = type == DT_REG;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

HostFacts hostFacts(const QString& hostPath) {
    HostFacts facts;
    const QByteArray path = hostBytes(hostPath);
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return facts;
    facts.exists = true;
    facts.file = S_ISREG(st.st_mode);
    facts.folder = S_ISDIR(st.st_mode);
    facts.readable = ::access(path.constData(), facts.folder ? R_OK | X_OK : R_OK) == 0;
    facts.size = static_cast<qint64>(st.st_size);
    facts.modifiedNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return facts;
}

bool openHostFile(const QString& hostPath, QFile& file) {
    const QByteArray path = hostBytes(hostPath);
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    // Not waiting at the open: a FIFO's open would block until a writer came.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = ENXIO;
        return false;
    }
    // Reads from a regular file do not wait on O_NONBLOCK anyway; clear it all the same.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
}

} // namespace zypo
