#include "platform/media/PulseClientConfig.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zypo {

namespace {
const char* const ConfigVariable = "PULSE_CLIENTCONFIG";
const char* const OwnPrefix = "zypo-sound-client-";

bool readable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}
} // namespace

QString soundClientConfigInUse() {
    // The order the sound library looks in: the file the environment names, the user's own
    // (where PULSE_CONFIG_PATH says, else ~/.pulse, else the XDG configuration folder), and the
    // system's.
    if (qEnvironmentVariableIsSet(ConfigVariable))
        return QFileInfo(qEnvironmentVariable(ConfigVariable)).absoluteFilePath();
    QStringList candidates;
    if (qEnvironmentVariableIsSet("PULSE_CONFIG_PATH")) {
        candidates << qEnvironmentVariable("PULSE_CONFIG_PATH") + QStringLiteral("/client.conf");
    } else {
        const QString home = QDir::homePath();
        candidates << home + QStringLiteral("/.pulse/client.conf");
        const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
        candidates << (xdg.isEmpty() ? home + QStringLiteral("/.config") : xdg) +
                          QStringLiteral("/pulse/client.conf");
    }
    candidates << QStringLiteral("/etc/pulse/client.conf");
    for (const QString& c : candidates)
        if (readable(c))
            return QFileInfo(c).absoluteFilePath();
    return {};
}

QString soundClientConfigWithoutSharedMemory(const QString& inUse) {
    QStringList includes;
    if (!inUse.isEmpty()) {
        includes << inUse;
        // The library reads a configuration's ".d" folder after it, in name order, but not for
        // a file it is told to include: those are named one by one.
        const QDir extra(inUse + QStringLiteral(".d"));
        for (const QString& name : extra.entryList({QStringLiteral("*.conf")}, QDir::Files, QDir::Name))
            includes << extra.filePath(name);
    }
    QString text =
        QStringLiteral("# Written by zypo for its own sound clients: what the user's configuration says,\n"
                       "# with sound sent through the socket rather than shared memory.\n");
    for (const QString& path : includes) {
        // A comment sign or a line break in a name would cut the include short: rather than
        // drop part of the user's configuration, nothing is changed.
        if (path.contains(QLatin1Char('#')) || path.contains(QLatin1Char(';')) ||
            path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
            return {};
        text += QStringLiteral(".include ") + path + QLatin1Char('\n');
    }
    text += QStringLiteral("enable-shm = no\nenable-memfd = no\n");
    return text;
}

bool sendSoundThroughTheSocket() {
    const QString inUse = soundClientConfigInUse();
    // A player started from one (the environment passed on) already has such a file, and a
    // file that included itself would never end being read.
    if (QFileInfo(inUse).fileName().startsWith(QLatin1String(OwnPrefix)))
        return true;
    const QString text = soundClientConfigWithoutSharedMemory(inUse);
    if (text.isEmpty())
        return false;
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isWritable())
        folder = QDir::tempPath();
    // Named by its content: players started with different configurations keep theirs, and
    // one started again finds its file as it left it.
    const QByteArray bytes = text.toUtf8();
    const QString name = QLatin1String(OwnPrefix) +
                         QStringLiteral("%1.conf").arg(QString::fromLatin1(
                             QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(12)));
    const QString path = QDir(folder).filePath(name);
    QFile existing(path);
    if (!(existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return false;
    }
    return qputenv(ConfigVariable, QFile::encodeName(path));
}

} // namespace zypo
