#include "platform/DriveMap.h"

#include "platform/desktop/Volumes.h"

#include "platform/HostPath.h"

#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace zypo {

DriveMap::DriveMap(QList<Drive> drives) : drives_(std::move(drives)) {
    for (Drive& d : drives_)
        d.letter = d.letter.toUpper();
    sortDrives();
    fixed_ = drives_;
}

void DriveMap::sortDrives() {
    std::sort(drives_.begin(), drives_.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
}

void DriveMap::setVolumeSource(std::function<QStringList()> source) {
    volumes_ = std::move(source);
    refresh();
}

bool DriveMap::refresh() {
    if (!volumes_)
        return false;
    QList<Drive> list = fixed_;
    const auto taken = [&](QChar l) {
        for (const Drive& d : fixed_)
            if (d.letter == l)
                return true;
        for (const Drive& d : given_)
            if (d.letter == l)
                return true;
        return false;
    };
    const QStringList mounted = volumes_();
    for (const QString& v : mounted) {
        bool already = false;
        for (const Drive& d : list)
            already = already || d.hostRoot == v;
        if (already)
            continue;
        QChar letter;
        for (const Drive& d : given_)
            if (d.hostRoot == v)
                letter = d.letter;
        if (letter.isNull()) {
            char next = 'D';
            while (next <= 'Z' && taken(QChar(QLatin1Char(next))))
                ++next;
            if (next <= 'Z') {
                letter = QLatin1Char(next);
            } else {
                // Every letter has been had: the letter of a volume that is not mounted now is
                // given back (the one given longest ago, first in the list) and goes to this one.
                const auto gone = std::find_if(given_.cbegin(), given_.cend(),
                                               [&](const Drive& d) { return !mounted.contains(d.hostRoot); });
                if (gone == given_.cend())
                    continue; // every letter is in use
                letter = gone->letter;
                given_.erase(gone);
            }
            given_.append({letter, v});
        }
        list.append({letter, v});
    }
    const QList<Drive> before = drives_;
    drives_ = list;
    sortDrives();
    bool same = before.size() == drives_.size();
    for (qsizetype i = 0; same && i < before.size(); ++i)
        same = before.at(i).letter == drives_.at(i).letter && before.at(i).hostRoot == drives_.at(i).hostRoot;
    return !same;
}

DriveMap DriveMap::fromSystem(SettingsStore* pins) {
    QList<Drive> list{{QLatin1Char('C'), QStringLiteral("/")}};
    if (pins) {
        for (char l = 'A'; l <= 'Z'; ++l) {
            const QString folder = pins->read(QStringLiteral("Drives"), QString(QLatin1Char(l)), QString());
            if (folder.isEmpty())
                continue;
            const QChar letter = QLatin1Char(l);
            list.removeIf([&](const Drive& d) { return d.letter == letter; });
            list.append({letter, QDir::cleanPath(folder)});
        }
    }
    DriveMap map(list);
    // Removable volumes in mount order, read again whenever the drive lists look.
    map.setVolumeSource(&mountedVolumes);
    return map;
}

QString DriveMap::hostRoot(QChar letter) const {
    letter = letter.toUpper();
    for (const Drive& d : drives_)
        if (d.letter == letter)
            return d.hostRoot;
    return {};
}

bool DriveMap::isReady(QChar letter) const {
    const QString root = hostRoot(letter);
    if (root.isEmpty())
        return false;
    const QFileInfo info(root);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

QChar DriveMap::readyOrC(QChar letter) const {
    return !letter.isNull() && isReady(letter) ? letter.toUpper() : QChar(QLatin1Char('C'));
}

QString DriveMap::displayName(QChar letter) const {
    return QString(letter.toLower()) + QStringLiteral(": [") + hostRoot(letter) + QLatin1Char(']');
}

QChar driveLetterOf(const QString& drivePath) {
    if (drivePath.size() >= 2 && drivePath.at(1) == QLatin1Char(':') && drivePath.at(0).isLetter() &&
        drivePath.at(0).unicode() < 128)
        return drivePath.at(0).toUpper();
    return {};
}

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('\\') + name;
}

static QString resolveNames(const QString& root, const QStringList& parts) {
    // Folder by folder: the name as it is, else the entry that stands for it in a drive path (a
    // name in Shift-JIS bytes), else the same without regard to letter case.
    QString current = root;
    std::vector<HostEntry> entries;
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        const QString exact =
            current.endsWith(QLatin1Char('/')) ? current + part : current + QLatin1Char('/') + part;
        if (hostFacts(exact).exists) {
            current = exact;
            continue;
        }
        listFolder(current, entries);
        QString found;
        for (const HostEntry& e : entries)
            if (e.text == part) {
                found = e.name;
                break;
            }
        for (const HostEntry& e : entries)
            if (found.isEmpty() && e.text.compare(part, Qt::CaseInsensitive) == 0)
                found = e.name;
        if (found.isEmpty())
            return {};
        current = current.endsWith(QLatin1Char('/')) ? current + found : current + QLatin1Char('/') + found;
    }
    return current;
}

QString DriveMap::toHost(const QString& drivePath) const {
    const QChar letter = driveLetterOf(drivePath);
    if (letter.isNull())
        return {};
    const QString root = hostRoot(letter);
    if (root.isEmpty())
        return {};
    QString rest = drivePath.mid(2);
    // A host name cannot hold a NUL; such a path names nothing.
    if (rest.contains(QChar(0)))
        return {};
    const QStringList parts = rest.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        if (p == QLatin1String("..") || p.contains(QLatin1Char('/')))
            return {}; // never let a drive path climb out of its drive or smuggle a host separator
    QString exact = root;
    for (const QString& p : parts)
        exact = exact.endsWith(QLatin1Char('/')) ? exact + p : exact + QLatin1Char('/') + p;
    if (hostFacts(exact).exists)
        return exact;
    const QString resolved = resolveNames(root, parts);
    return resolved.isEmpty() ? exact : resolved;
}

QString DriveMap::toDrivePath(const QString& hostPath) const {
    const QString clean = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    const Drive* best = nullptr;
    for (const Drive& d : drives_) {
        const QString root = QDir::cleanPath(d.hostRoot);
        const bool holds =
            root == QLatin1String("/") || clean == root || clean.startsWith(root + QLatin1Char('/'));
        if (holds && (!best || root.size() > QDir::cleanPath(best->hostRoot).size()))
            best = &d;
    }
    if (!best)
        return {};
    const QString root = QDir::cleanPath(best->hostRoot);
    QStringList names = clean.mid(root == QLatin1String("/") ? 1 : root.size() + 1).split(QLatin1Char('/'));
    for (QString& name : names)
        name = driveName(name);
    return QString(best->letter) + QStringLiteral(":\\") + names.join(QLatin1Char('\\'));
}

QString DriveMap::currentDirectory() const {
    const QString path = toDrivePath(QDir::currentPath());
    return path.isEmpty() ? QStringLiteral("C:\\") : path;
}

} // namespace zypo
