#pragma once
// The list controls the browser and the editor are built from. Their events are raised
// synchronously: setting the selection or the folder raises Click or Change before the call
// returns, as the playback logic expects.
#include <QComboBox>
#include <QHash>
#include <QListWidget>
#include <QRegularExpression>
#include <cstdint>

namespace zypo {

class DriveMap;

/// A plain list: entries as text, at most 32,767 of them.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    static constexpr int MaxCount = 32767;
    explicit ListBox(QWidget* parent = nullptr);

    std::int16_t ListCount() const { return static_cast<std::int16_t>(count()); }
    std::int16_t ListIndex() const { return static_cast<std::int16_t>(currentRow()); }
    /// Selects an entry (-1: none) and raises Click for it, also when it was selected already.
    void setListIndex(int index);
    QString List(int index) const;
    /// False when the list is full.
    bool AddItem(const QString& text);
    /// Appends many entries in one pass; returns how many were added before the list was full.
    int AddItems(const QStringList& texts);
    void RemoveItem(int index);
    void Clear();
    /// The Click being raised comes from the user (a click or a key), not from setListIndex.
    bool ClickFromUser() const { return userClick_; }

Q_SIGNALS:
    void Click();
    void DblClick();

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    bool programmatic_ = false;
    bool userClick_ = false;
};

/// The files of one folder whose names match a ";"-separated list of masks, without regard to
/// letter case, sorted by name; names starting with a dot are left out.
class FileListBox : public ListBox {
    Q_OBJECT
public:
    FileListBox(const DriveMap* drives, QWidget* parent = nullptr);
    QString Path() const { return path_; }
    void setPath(const QString& drivePath);
    QString Pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    /// Reads the folder again. False when it cannot be listed (the list is then empty).
    bool Refresh();
    /// Refresh, handing back the folder's subfolders (dot-names left out, sorted by name) from
    /// the same listing: a search of a tree lists each folder once.
    bool Refresh(QStringList& subfolders);
    /// The selected name, or empty.
    QString FileName() const;

private:
    const DriveMap* drives_;
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    QList<QRegularExpression> masks_;
};

/// The folder tree of one drive: the folders from the root down to the current one, then the
/// current folder's subfolders. A double-click (or Enter) on an entry makes it the current folder.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    DirListBox(const DriveMap* drives, QWidget* parent = nullptr);
    QString Path() const { return path_; }
    /// Makes a folder current and raises Change. False, with nothing changed, when the folder
    /// cannot be read (drive not ready, folder gone, no permission).
    bool setPath(const QString& drivePath);
    /// Shows the folder last current on that drive (its root at first). False when not ready.
    bool setDrive(QChar letter);

Q_SIGNALS:
    void Change();
    /// A folder chosen in the list could not be read.
    void PathFailed(const QString& drivePath);

private:
    void fill();
    void activate(QListWidgetItem* item);
    const DriveMap* drives_;
    QString path_;
    QHash<QChar, QString> lastOnDrive_;
};

/// The drives, as "c: [/]". Choosing one (by the user or the program) raises Change. The list
/// shows the system's drives as they are: the volumes are read again when the list drops down
/// and when the system's mount table changes.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    DriveListBox(DriveMap* drives, QWidget* parent = nullptr);
    /// The shown drive's text, "c: [/]".
    QString Drive() const { return currentText(); }
    QChar DriveLetter() const;
    /// Shows a drive; raises Change when it differs from the one shown.
    void setDrive(QChar letter);
    /// Fills the list from the drive map. When the drive shown has gone, C: is shown and Change
    /// raised, so the browser follows.
    void reload();
    /// While the Change for a drive that has gone is raised: that drive's letter; else null.
    QChar LostDrive() const { return lost_; }
    void showPopup() override;

Q_SIGNALS:
    void Change();

private:
    void mountsChanged();
    /// The list shows the drive map's drives as they are now.
    bool showsMap() const;
    DriveMap* drives_;
    QChar lost_;
};

} // namespace zypo
