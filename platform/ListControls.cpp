#include "platform/ListControls.h"

#include "platform/Cp932.h"
#include "platform/DiskWait.h"
#include "platform/DriveMap.h"
#include "platform/HostPath.h"
#include "platform/desktop/Volumes.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStyle>
#include <memory>

namespace zypo {

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!programmatic_ && row >= 0) {
            const bool outer = userClick_;
            userClick_ = true;
            Q_EMIT Click();
            userClick_ = outer;
        }
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT DblClick(); });
}

void ListBox::setListIndex(int index) {
    if (index < -1 || index >= count())
        return;
    programmatic_ = true;
    setCurrentRow(index);
    if (index >= 0)
        item(index)->setSelected(true);
    programmatic_ = false;
    if (index >= 0) {
        const bool outer = userClick_;
        userClick_ = false;
        Q_EMIT Click();
        userClick_ = outer;
    }
}

void ListBox::focusInEvent(QFocusEvent* event) {
    // The item view makes its first entry current when the focus comes in by the keyboard; here
    // only a click, an arrow key or the program chooses an entry (each choice opens a file).
    const bool hadCurrent = currentIndex().isValid();
    programmatic_ = true;
    QListWidget::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
    programmatic_ = false;
}

QString ListBox::List(int index) const {
    const QListWidgetItem* it = item(index);
    if (!it)
        return {};
    const QVariant kept = it->data(Qt::UserRole);
    return kept.isValid() ? kept.toString() : it->text();
}

/// An entry whose text keeps bytes that are no characters (a file name that is neither UTF-8 nor
/// Shift-JIS) shows them as replacement characters, and keeps its own text for List.
// A folder on a disk that does not answer within this (a network share gone silent) is shown
// as one that cannot be read; the window draws meanwhile.
static constexpr int FolderLimitMs = 10000;

static bool listFolderPatiently(const QString& host, std::vector<HostEntry>& entries) {
    auto listing = std::make_shared<std::pair<bool, std::vector<HostEntry>>>(false, std::vector<HostEntry>{});
    DiskWait wait;
    if (wait.askWithoutInput([listing, host] { listing->first = listFolder(host, listing->second); },
                             FolderLimitMs) != DiskWait::Answered)
        return false;
    entries = std::move(listing->second);
    return listing->first;
}

static void showReadably(QListWidgetItem* it) {
    const QString text = it->text();
    if (!Cp932::hasInvalidBytes(text))
        return;
    it->setData(Qt::UserRole, text);
    it->setText(Cp932::readable(text));
}

bool ListBox::AddItem(const QString& text) {
    if (count() >= MaxCount)
        return false;
    addItem(text);
    showReadably(item(count() - 1));
    return true;
}

int ListBox::AddItems(const QStringList& texts) {
    const int room = MaxCount - count();
    const int n = static_cast<int>(std::min<qsizetype>(texts.size(), room));
    if (n <= 0)
        return 0;
    setUpdatesEnabled(false);
    const int first = count();
    addItems(n == texts.size() ? texts : texts.mid(0, n));
    for (int i = 0; i < n; ++i)
        if (Cp932::hasInvalidBytes(texts.at(i)))
            showReadably(item(first + i));
    setUpdatesEnabled(true);
    return n;
}

void ListBox::RemoveItem(int index) {
    if (index < 0 || index >= count())
        return;
    programmatic_ = true;
    delete takeItem(index);
    programmatic_ = false;
}

void ListBox::Clear() {
    programmatic_ = true;
    clear();
    programmatic_ = false;
}

// ---------------------------------------------------------------------------------------------

FileListBox::FileListBox(const DriveMap* drives, QWidget* parent) : ListBox(parent), drives_(drives) {
    setPattern(pattern_);
}

void FileListBox::setPath(const QString& drivePath) {
    path_ = drivePath;
}

static QList<QRegularExpression> compileMasks(const QString& pattern) {
    QList<QRegularExpression> out;
    for (const QString& mask : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out << QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask.trimmed()),
                                  QRegularExpression::CaseInsensitiveOption);
    return out;
}

static bool anyMatch(const QList<QRegularExpression>& masks, const QString& name) {
    for (const QRegularExpression& re : masks)
        if (re.match(name).hasMatch())
            return true;
    return false;
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    masks_ = compileMasks(pattern);
}

bool FileListBox::Refresh() {
    QStringList none;
    return Refresh(none);
}

static void sortByName(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

bool FileListBox::Refresh(QStringList& subfolders) {
    Clear();
    subfolders.clear();
    const QString host = drives_->toHost(path_);
    if (host.isEmpty())
        return false;
    // Files and folders in one pass; names starting with a dot are hidden and left out. The
    // kind of each entry comes with the listing (no look at each file). Names are shown as they
    // stand in drive paths (a name in Shift-JIS bytes read as such).
    std::vector<HostEntry> entries;
    const bool readable = listFolderPatiently(host, entries);
    QStringList shown;
    for (const HostEntry& e : entries) {
        // A backslash cannot stand in a drive path.
        if (e.text.startsWith(QLatin1Char('.')) || e.text.contains(QLatin1Char('\\')))
            continue;
        if (e.folder)
            subfolders.append(e.text);
        else if (e.file && anyMatch(masks_, e.text))
            shown.append(e.text);
    }
    sortByName(shown);
    sortByName(subfolders);
    AddItems(shown);
    return readable;
}

QString FileListBox::FileName() const {
    return List(currentRow());
}

// ---------------------------------------------------------------------------------------------

DirListBox::DirListBox(const DriveMap* drives, QWidget* parent) : QListWidget(parent), drives_(drives) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this, &DirListBox::activate);
}

void DirListBox::activate(QListWidgetItem* item) {
    if (!item)
        return;
    const QString target = item->data(Qt::UserRole).toString();
    if (!setPath(target))
        Q_EMIT PathFailed(target);
}

static bool readableFolder(const QString& host) {
    auto facts = std::make_shared<HostFacts>();
    DiskWait wait;
    if (wait.askWithoutInput([facts, host] { *facts = hostFacts(host); }, FolderLimitMs) !=
        DiskWait::Answered)
        return false;
    return facts->folder && facts->readable;
}

bool DirListBox::setPath(const QString& drivePath) {
    QString p = drivePath;
    const QChar letter = driveLetterOf(p);
    if (letter.isNull())
        return false;
    // C: alone means the drive's root.
    if (p.size() == 2)
        p += QLatin1Char('\\');
    p[0] = letter;
    if (p.size() > 3 && p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    const QString host = drives_->toHost(p);
    if (!readableFolder(host))
        return false;
    // Use the folder names as the file system spells them.
    const QString spelled = drives_->toDrivePath(host);
    if (!spelled.isEmpty() && driveLetterOf(spelled) == letter)
        p = spelled;
    lastOnDrive_[letter] = p;
    const bool changed = p != path_;
    path_ = p;
    fill();
    if (changed)
        Q_EMIT Change();
    return true;
}

bool DirListBox::setDrive(QChar letter) {
    letter = letter.toUpper();
    if (!drives_->isReady(letter))
        return false;
    const QString last = lastOnDrive_.value(letter, QString(letter) + QStringLiteral(":\\"));
    if (setPath(last))
        return true;
    return setPath(QString(letter) + QStringLiteral(":\\"));
}

void DirListBox::fill() {
    setUpdatesEnabled(false);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QStringList parts = path_.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QString acc = path_.left(3);
    auto add = [this](const QIcon& icon, const QString& text, const QString& target, int depth) {
        auto* it = new QListWidgetItem(icon, QString(depth * 2, QLatin1Char(' ')) + text, this);
        it->setData(Qt::UserRole, target);
        return it;
    };
    QListWidgetItem* current = add(open, acc, acc, 0);
    int depth = 1;
    for (const QString& part : parts) {
        acc = joinPath(acc, part);
        current = add(open, part, acc, depth++);
    }
    std::vector<HostEntry> entries;
    listFolderPatiently(drives_->toHost(path_), entries);
    QStringList subs;
    for (const HostEntry& e : entries)
        if (e.folder && !e.text.startsWith(QLatin1Char('.')) && !e.text.contains(QLatin1Char('\\')))
            subs.append(e.text);
    sortByName(subs);
    for (const QString& s : subs)
        add(closed, s, joinPath(path_, s), depth);
    setCurrentItem(current);
    setUpdatesEnabled(true);
}

// ---------------------------------------------------------------------------------------------

DriveListBox::DriveListBox(DriveMap* drives, QWidget* parent) : QComboBox(parent), drives_(drives) {
    reload();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            Q_EMIT Change();
    });
    connect(new MountWatch(this), &MountWatch::changed, this, &DriveListBox::mountsChanged);
}

void DriveListBox::mountsChanged() {
    drives_->refresh();
    if (!showsMap())
        reload();
}

void DriveListBox::showPopup() {
    // The map is shared with the other drive lists: one of them may have read it anew already.
    drives_->refresh();
    if (!showsMap())
        reload();
    QComboBox::showPopup();
}

bool DriveListBox::showsMap() const {
    const QList<zypo::Drive>& now = drives_->drives();
    if (now.size() != count())
        return false;
    for (int i = 0; i < count(); ++i)
        if (itemData(i).toString() != QString(now.at(i).letter) ||
            itemText(i) != drives_->displayName(now.at(i).letter))
            return false;
    return true;
}

void DriveListBox::reload() {
    const QChar shown = DriveLetter();
    int i = -1;
    {
        const QSignalBlocker block(this);
        clear();
        for (const zypo::Drive& d : drives_->drives())
            addItem(drives_->displayName(d.letter), QVariant(QString(d.letter)));
        i = findData(QVariant(QString(shown)));
        const int c = findData(QVariant(QStringLiteral("C")));
        setCurrentIndex(i >= 0 ? i : (c >= 0 ? c : 0));
    }
    if (i < 0 && !shown.isNull()) {
        lost_ = shown;
        Q_EMIT Change();
        lost_ = QChar();
    }
}

QChar DriveListBox::DriveLetter() const {
    const QString s = currentData().toString();
    return s.isEmpty() ? QChar() : s.at(0);
}

void DriveListBox::setDrive(QChar letter) {
    const int i = findData(QVariant(QString(letter.toUpper())));
    if (i >= 0)
        setCurrentIndex(i);
}

} // namespace zypo
