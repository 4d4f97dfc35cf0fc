#include "playlist/DefFileSDL.h"

#include "core/MAIN.h"
#include "core/TypeFilters.h"
#include "dialogs/AppIcon.h"
#include "platform/DriveMap.h"
#include "platform/HostPath.h"
#include "platform/ListControls.h"
#include "platform/Prompter.h"
#include "platform/desktop/WindowManager.h"
#include "playlist/Rz0File.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <unistd.h>

namespace zypo {

namespace {

template <class W> W* place(W* w, const char* name, QRect rect) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(rect);
    return w;
}

} // namespace

DefFileSDL::DefFileSDL(MAIN& m, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), M(m) {
    setObjectName(QStringLiteral("DefFileSDL"));
    setWindowTitle(QStringLiteral("連続再生ﾌｧｲﾙの作成"));
    setWindowIcon(appIcon());
    setFixedSize(twipsToPixelsX(8985), twipsToPixelsY(5700));
    DriveMap* drives = M.svc.drives;

    DefFlieDL = place(new QLabel(QStringLiteral("Drive"), this), "DefFlieDL", twipsRect(120, 120, 1935, 255));
    DefFileDrive1 = place(new DriveListBox(drives, this), "DefFileDrive1", twipsRect(120, 480, 2535, 315));
    DefShrSDL =
        place(new QLabel(QStringLiteral("SubDir"), this), "DefShrSDL", twipsRect(120, 1080, 1935, 255));
    DefFileDir1 = place(new DirListBox(drives, this), "DefFileDir1", twipsRect(120, 1440, 2535, 3240));
    DefCombo = place(new QComboBox(this), "DefCombo", twipsRect(120, 4800, 2535, 315));
    DefFileFL =
        place(new QLabel(QStringLiteral("File Name "), this), "DefFileFL", twipsRect(2760, 240, 2055, 255));
    DefFileSaveName = place(new QLabel(this), "DefFileSaveName", twipsRect(2760, 600, 6120, 225));
    DefFileSaveName->setTextFormat(Qt::PlainText);
    DefFileFLL =
        place(new QLabel(QStringLiteral("File List"), this), "DefFileFLL", twipsRect(2760, 1080, 1935, 255));
    DefFileList1 = place(new FileListBox(drives, this), "DefFileList1", twipsRect(2760, 1440, 2055, 4185));
    DefFileDirName = place(new QLineEdit(this), "DefFileDirName", twipsRect(5040, 120, 2175, 405));
    DefFileDirName->hide();
    DefFileName = place(new QLineEdit(QStringLiteral("ZYPO.RZ0"), this), "DefFileName",
                        twipsRect(5040, 960, 1815, 315));
    auto button = [this](const char* name, const QString& caption, QRect rect) {
        auto* b = place(new QPushButton(caption, this), name, rect);
        b->setAutoDefault(false);
        return b;
    };
    DefFileOk = button("DefFileOk", QStringLiteral("保存"), twipsRect(7560, 120, 1215, 375));
    DefFileDel = button("DefFileDel", QStringLiteral("削除"), twipsRect(6960, 960, 735, 375));
    DefFileSub = button("DefFileSub", QStringLiteral("全検索"), twipsRect(4920, 1440, 735, 375));
    DefFileMove = button("DefFileMove", QStringLiteral("全選択"), twipsRect(5760, 1440, 735, 375));
    DefFileClr = button("DefFileClr", QStringLiteral("ｸﾘﾔｰ"), twipsRect(6600, 1440, 735, 375));
    DefFileEnd = button("DefFileEnd", QStringLiteral("ｷｬﾝｾﾙ"), twipsRect(8040, 1440, 855, 375));
    DefFileList2L = place(new QLabel(QStringLiteral("保存対象のファイル"), this), "DefFileList2L",
                          twipsRect(4920, 1920, 2415, 255));
    DefFileList2 = place(new ListBox(this), "DefFileList2", twipsRect(4920, 2280, 3975, 3180));

    connect(DefFileDrive1, &DriveListBox::Change, this, &DefFileSDL::DefFileDrive1_Change);
    connect(DefFileDir1, &DirListBox::Change, this, &DefFileSDL::DefFileDir1_Change);
    connect(DefFileDir1, &DirListBox::PathFailed, this, [this] {
        M.svc.prompter->MsgBox(QStringLiteral("ドライブの準備ができていません (") + DefFileDrive1->Drive() +
                                   QLatin1Char(')'),
                               MsgIcon::Exclamation, M.AppTitle);
    });
    connect(DefCombo, &QComboBox::activated, this, [this] { DefCombo_Click(); });
    connect(DefFileList1, &ListBox::DblClick, this, &DefFileSDL::DefFileList1_DblClick);
    connect(DefFileList2, &ListBox::DblClick, this, &DefFileSDL::DefFileList2_DblClick);
    connect(DefFileClr, &QPushButton::clicked, this, &DefFileSDL::DefFileClr_Click);
    connect(DefFileMove, &QPushButton::clicked, this, &DefFileSDL::DefFileMove_Click);
    connect(DefFileDel, &QPushButton::clicked, this, &DefFileSDL::DefFileDel_Click);
    connect(DefFileOk, &QPushButton::clicked, this, &DefFileSDL::DefFileOk_Click);
    connect(DefFileEnd, &QPushButton::clicked, this, &DefFileSDL::DefFileEnd_Click);
    connect(DefFileSub, &QPushButton::clicked, this, &DefFileSDL::DefFileSub_Click);
    connect(DefFileName, &QLineEdit::textChanged, this, &DefFileSDL::DefFileName_Change);
    connect(DefFileDirName, &QLineEdit::textChanged, this, &DefFileSDL::DefFileDirName_Change);
    Form_Load();
}

void DefFileSDL::Form_Load() {
    // The drive and folder lists start on the current drive and folder.
    const QString cwd = M.svc.drives->currentDirectory();
    {
        const QSignalBlocker block(DefFileDrive1);
        DefFileDrive1->setDrive(driveLetterOf(cwd));
    }
    {
        const QSignalBlocker block(DefFileDir1);
        if (!DefFileDir1->setPath(cwd))
            DefFileDir1->setDrive(driveLetterOf(cwd));
    }
    {
        const QSignalBlocker block(DefCombo);
        for (int i = 0; i < TypeFilterCount; ++i)
            DefCombo->addItem(typeFilterText(i));
        DefCombo->setCurrentIndex(0);
    }
    DefCombo_Click();
    DefLastDrive = DefFileDrive1->Drive();
    DefFileDirName->setText(cwd); // runs DefFileDirName_Change
    DefFileDirName_Change();
    centreOnScreen(this);
}

void DefFileSDL::DefFileDrive1_Change() {
    if (!DefFileDir1->setDrive(DefFileDrive1->DriveLetter())) {
        if (recoveringDrive_) {
            // The drive to go back to has gone as well: C: is always there.
            if (DefFileDrive1->DriveLetter() != QLatin1Char('C'))
                DefFileDrive1->setDrive(QLatin1Char('C'));
            return;
        }
        M.svc.prompter->MsgBox(QStringLiteral("ドライブの準備ができていません (") + DefFileDrive1->Drive() +
                                   QLatin1Char(')'),
                               MsgIcon::Exclamation, M.AppTitle);
        const QChar back = M.svc.drives->readyOrC(driveLetterOf(DefLastDrive));
        recoveringDrive_ = true;
        if (DefFileDrive1->DriveLetter() != back)
            DefFileDrive1->setDrive(back);
        else
            DefFileDrive1_Change();
        if (DefFileDrive1->DriveLetter() != back && back != QLatin1Char('C'))
            DefFileDrive1->setDrive(QLatin1Char('C'));
        recoveringDrive_ = false;
        return;
    }
    DefFileDir1_Change(); // the folder list may not have changed its path, the file list follows anyway
    DefLastDrive = DefFileDrive1->Drive();
}

void DefFileSDL::DefFileDir1_Change() {
    DefFileList1->setPath(DefFileDir1->Path());
    DefFileList1->Refresh();
}

void DefFileSDL::DefCombo_Click() {
    const int index = std::clamp(DefCombo->currentIndex(), 0, 4);
    M.DefFileType = static_cast<std::int16_t>(index);
    DefFileList1->setPath(DefFileDir1->Path());
    DefFileList1->setPattern(typeFilterPattern(index, FilterOwner::Editor));
    DefFileList1->Refresh();
}

void DefFileSDL::DefFileList1_DblClick() {
    const QString name = DefFileList1->FileName();
    if (name.isEmpty())
        return;
    const QString full = joinPath(DefFileList1->Path(), name);
    if (M.DefFileType != 4) {
        DefFileList2->AddItem(full);
        return;
    }
    DefFileName->setText(name);
    QStringList entries;
    if (ReadRz0File(M.svc.drives->toHost(full), entries, ListBox::MaxCount - DefFileList2->ListCount()) !=
        Rz0Result::Opened) {
        M.svc.prompter->MsgBox(QStringLiteral("読み込みできません"), MsgIcon::Exclamation, M.AppTitle);
        return;
    }
    DefFileList2->AddItems(entries);
}

void DefFileSDL::DefFileList2_DblClick() {
    const int i = DefFileList2->ListIndex();
    if (i >= 0)
        DefFileList2->RemoveItem(i);
}

void DefFileSDL::DefFileClr_Click() {
    DefFileList2->Clear();
}

void DefFileSDL::DefFileMove_Click() {
    if (DefFileSub->isEnabled())
        DefFileMove->setEnabled(false);
    bool failed = false;
    const int count = DefFileList1->ListCount();
    if (count == 0) {
        failed = true; // nothing to select
    } else {
        DefFileList1->setCurrentRow(0);
        QStringList paths;
        paths.reserve(count);
        for (int i = 0; i < count; ++i)
            paths << joinPath(DefFileList1->Path(), DefFileList1->List(i));
        // The save list holds at most 32,767 entries; what does not fit is a failure.
        failed = DefFileList2->AddItems(paths) < paths.size();
        if (!failed)
            M.SearchHit = True;
    }
    if (failed && !DefSearching)
        M.svc.prompter->MsgBox(QStringLiteral("選択できません"), MsgIcon::Exclamation,
                               M.AppTitle + QStringLiteral("(全選択)"));
    if (DefFileSub->isEnabled())
        DefFileMove->setEnabled(true);
}

void DefFileSDL::DefFileDel_Click() {
    const QString full = joinPath(DefFileDir1->Path(), DefFileList1->FileName());
    if (full.right(4).toLower() != QLatin1String(".rz0")) {
        M.svc.prompter->MsgBox(QStringLiteral("RZ0ファイル選択中でないと削除できません"),
                               MsgIcon::Exclamation, M.AppTitle);
        return;
    }
    if (::unlink(hostBytes(M.svc.drives->toHost(full)).constData()) != 0) {
        // Read-only, in use or gone: say so instead of pretending it was deleted.
        M.svc.prompter->MsgBox(QStringLiteral("削除できませんでした(") + full + QLatin1Char(')'),
                               MsgIcon::Exclamation, M.AppTitle);
        DefCombo_Click();
        return;
    }
    DefCombo_Click();
    DefFileList2->Clear();
}

QString DefFileSDL::nameRule(const QString& text) {
    if (text.right(4).toUpper() == QLatin1String(".RZ0"))
        return text;
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return text + QStringLiteral(".RZ0");
    return text.left(dot + 1) + QStringLiteral("RZ0");
}

void DefFileSDL::DefFileName_Change() {
    const QString text = DefFileName->text();
    const QString ruled = nameRule(text);
    if (ruled != text) {
        // Keep the cursor where the user types, in front of the extension.
        const int cursor = DefFileName->cursorPosition();
        DefFileName->setText(ruled); // runs this operation again, which finds the extension in place
        DefFileName->setCursorPosition(
            std::min<int>(cursor, static_cast<int>(ruled.indexOf(QLatin1Char('.')))));
        return;
    }
    DefFileSaveName->setText(joinPath(DefFileDirName->text(), DefFileName->text()));
}

void DefFileSDL::DefFileDirName_Change() {
    DefFileSaveName->setText(joinPath(DefFileDirName->text(), DefFileName->text()));
}

void DefFileSDL::DefFileOk_Click() {
    if (DefFileList2->ListCount() == 0) {
        M.svc.prompter->MsgBox(QStringLiteral("書き込むデータがありません"), MsgIcon::Exclamation,
                               M.AppTitle);
        return;
    }
    const QString target = joinPath(DefFileDirName->text(), DefFileName->text());
    QStringList entries;
    entries.reserve(DefFileList2->ListCount());
    for (int i = 0; i < DefFileList2->ListCount(); ++i)
        entries << DefFileList2->List(i);
    // Written to a temporary file first: a failure leaves any existing playlist whole.
    if (WriteRz0File(M.svc.drives->toHost(target), entries) != Rz0Result::Opened) {
        M.svc.prompter->MsgBox(QStringLiteral("書き込みでエラーが発生したか、もしくは書き込みができません "),
                               MsgIcon::Exclamation, M.AppTitle);
        return;
    }
    DefFileList2->Clear();
    hideDialog();
}

void DefFileSDL::DefFileEnd_Click() {
    DefFileList2->Clear();
    hideDialog();
}

void DefFileSDL::hideDialog() {
    // A search still running stops at its next folder.
    if (DefSearching)
        searchCancelled_ = true;
    hide();
}

void DefFileSDL::closeEvent(QCloseEvent* event) {
    // The frame's close box acts as "ｷｬﾝｾﾙ".
    event->ignore();
    DefFileEnd_Click();
}

void DefFileSDL::reject() {
    DefFileEnd_Click();
}

} // namespace zypo
