#pragma once
// Drive letters on a host without them. Inside the player every path is a drive-letter path
// ("C:\MIDI\A.MID"), as the playlist files and the browser need; only this class turns such a
// path into a host path and back. C: is the root folder; further letters go to mounted
// removable volumes in mount order; letters pinned in the settings store (section "Drives",
// key = letter, value = host folder) take precedence.
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace zypo {

class SettingsStore;

struct Drive {
    QChar letter; // upper case
    QString hostRoot;
};

class DriveMap {
public:
    DriveMap() = default;
    explicit DriveMap(QList<Drive> drives);
    static DriveMap fromSystem(SettingsStore* pins);

    /// Where the removable volumes come from: host folders in mount order. The drives given at
    /// construction stay; the volumes follow the source at every refresh.
    void setVolumeSource(std::function<QStringList()> source);
    /// Reads the volumes again (a volume mounted or unmounted since). A volume keeps the letter
    /// it was first given, also when it goes and comes back; a new volume gets the first letter
    /// from D: that no drive has had, and once every letter has been had, the letter given
    /// longest ago to a volume that is not mounted now. True when the drives changed.
    bool refresh();

    const QList<Drive>& drives() const { return drives_; }
    QString hostRoot(QChar letter) const;
    /// A drive whose folder is missing or unreadable is not ready.
    bool isReady(QChar letter) const;
    /// The drive to go back to after one that is not ready: `letter` when it is ready, else C:
    /// (the root folder, always there).
    QChar readyOrC(QChar letter) const;
    /// "c: [/media/user/STICK]": how the drive list shows a drive.
    QString displayName(QChar letter) const;

    /// Host path of a drive-letter path; empty when the text is not a drive path of a known
    /// drive. Where the exact path does not exist, folders and the name are matched without
    /// regard to letter case, one by one (playlists made on other systems).
    QString toHost(const QString& drivePath) const;
    /// Drive-letter path of a host path (the drive with the longest matching root); empty
    /// when no drive holds it.
    QString toDrivePath(const QString& hostPath) const;
    /// The process's current directory as a drive path (C:\ when no drive holds it).
    QString currentDirectory() const;

private:
    void sortDrives();
    QList<Drive> drives_;
    QList<Drive> fixed_; // C: and the pinned letters
    std::function<QStringList()> volumes_;
    QList<Drive> given_; // the volumes' letters, while letters last, in the order they were given
};

/// The joining rule: folder, a backslash unless the folder already ends with one, the name.
QString joinPath(const QString& folder, const QString& name);
/// Upper-case drive letter of a drive path ("c:\x" → 'C'), or a null QChar.
QChar driveLetterOf(const QString& drivePath);

} // namespace zypo
