#pragma once
// The playlist editor "連続再生ﾌｧｲﾙの作成": collect entries by double-click, by "全選択" (a whole
// folder) or "全検索" (a whole folder tree), remove them, load existing playlists, save under the
// typed name in the save folder, delete playlist files. Modal; one instance that hides itself and
// keeps its state between openings.
#include "platform/FileId.h"
#include <QDialog>

#include <cstdint>
#include <unordered_set>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zypo {

class MAIN;
class DirListBox;
class DriveListBox;
class FileListBox;
class ListBox;

class DefFileSDL : public QDialog {
    Q_OBJECT
public:
    explicit DefFileSDL(MAIN& m, QWidget* parent = nullptr);

    QLabel* DefFlieDL = nullptr;
    DriveListBox* DefFileDrive1 = nullptr;
    QLabel* DefShrSDL = nullptr;
    DirListBox* DefFileDir1 = nullptr;
    QComboBox* DefCombo = nullptr;
    QLabel* DefFileFL = nullptr;
    QLabel* DefFileSaveName = nullptr;
    QLabel* DefFileFLL = nullptr;
    FileListBox* DefFileList1 = nullptr;
    QLineEdit* DefFileDirName = nullptr;
    QLineEdit* DefFileName = nullptr;
    QPushButton* DefFileOk = nullptr;
    QPushButton* DefFileDel = nullptr;
    QPushButton* DefFileSub = nullptr;
    QPushButton* DefFileMove = nullptr;
    QPushButton* DefFileClr = nullptr;
    QPushButton* DefFileEnd = nullptr;
    QLabel* DefFileList2L = nullptr;
    ListBox* DefFileList2 = nullptr;

    QString DefLastDrive;
    bool DefSearching = false;

    void Form_Load();
    void DefFileDrive1_Change();
    void DefFileDir1_Change();
    void DefCombo_Click();
    void DefFileList1_DblClick();
    void DefFileList2_DblClick();
    void DefFileClr_Click();
    void DefFileMove_Click();
    void DefFileDel_Click();
    void DefFileName_Change();
    void DefFileDirName_Change();
    void DefFileOk_Click();
    void DefFileEnd_Click();
    void DefFileSub_Click();
    /// Searches the subfolders of a folder (given from its listing), depth first.
    void DefSubDirSearch(const QString& folder, const QStringList& subfolders);

    /// The name rule: a name that does not end in ".RZ0" (any case) gets that extension, in place
    /// of whatever followed its first dot.
    static QString nameRule(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void hideDialog();
    MAIN& M;
    // A search ends early when the dialog is hidden or the type filter changes under it.
    bool searchCancelled_ = false;
    bool recoveringDrive_ = false; // going back to a drive that works after "not ready"
    int searchFilter_ = 0;
    std::unordered_set<FileId> visited_;              // folders already searched: links never loop
    std::unordered_set<std::uint64_t> pseudoDevices_; // never searched
};

} // namespace zypo
