// "全検索": every matching file of the browsed folder and of all folders below it, depth first,
// each folder before its subfolders.
#include "core/MAIN.h"
#include "platform/DriveMap.h"
#include "platform/FileId.h"
#include "platform/ListControls.h"
#include "platform/Prompter.h"
#include "playlist/DefFileSDL.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>

namespace zypo {

void DefFileSDL::DefFileSub_Click() {
    DefFileSub->setEnabled(false);
    DefFileMove->setEnabled(false);
    DefSearching = true;
    M.SearchHit = False;
    searchCancelled_ = false;
    searchFilter_ = DefCombo->currentIndex();
    visited_.clear();
    pseudoDevices_ = pseudoFileSystemDevices();
    setCursor(Qt::WaitCursor);
    QStringList subfolders;
    DefFileList1->Refresh(subfolders);
    DefFileMove_Click();
    const QString start = DefFileDir1->Path();
    if (const auto id = fileId(M.svc.drives->toHost(start)))
        visited_.insert(*id);
    const QString root = start.endsWith(QLatin1Char('\\')) ? start : start + QLatin1Char('\\');
    DefSubDirSearch(root, subfolders);
    DefSearching = false;
    unsetCursor();
    if (M.SearchHit)
        M.svc.prompter->MsgBox(QStringLiteral("終了しました"), MsgIcon::None,
                               M.AppTitle + QStringLiteral("(全検索､全選択 )"));
    else
        M.svc.prompter->MsgBox(QStringLiteral("見つかりませんでした"), MsgIcon::Exclamation,
                               M.AppTitle + QStringLiteral("(全検索、全選択)"));
    DefFileSub->setEnabled(true);
    DefFileMove->setEnabled(true);
    DefCombo_Click();
}

void DefFileSDL::DefSubDirSearch(const QString& folder, const QStringList& subfolders) {
    // Every subfolder of this folder was gathered, from the folder's one listing, before any of
    // them is entered. Hidden (dot) folders are not listed; folders that cannot be read list
    // nothing and are passed over.
    QStringList names;
    for (const QString& name : subfolders) {
        if (name.toLower() == QLatin1String("pagefile.sys"))
            continue; // never examined
        names.append(name);
    }
    for (const QString& name : names) {
        if (searchCancelled_ || DefCombo->currentIndex() != searchFilter_) {
            searchCancelled_ = true;
            return;
        }
        const QString sub = folder + name;
        // A link back up the tree (or to a folder searched already) is not entered again, nor
        // anything that is no folder, nor the kernel's pseudo file systems (/proc, /sys, /dev).
        const auto id = folderId(M.svc.drives->toHost(sub));
        if (!id || visited_.contains(*id) || pseudoDevices_.contains(id->device))
            continue;
        visited_.insert(*id);
        QStringList inner;
        DefFileList1->setPath(sub);
        DefFileList1->Refresh(inner);
        QCoreApplication::processEvents();
        DefFileMove_Click();
        DefSubDirSearch(sub + QLatin1Char('\\'), inner);
    }
}

} // namespace zypo
