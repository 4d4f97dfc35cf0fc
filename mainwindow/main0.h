#pragma once
// The main window: file browser, type filter, play queue, transport, status bar and menus. The
// playback procedures (OpenItem, AdvanceItem, PlayItem, CloseItem, ReportMediaError and the
// transport's handlers) are defined in playback/; start-up and shut-down in core/.
#include "core/MAIN.h"
#include "dialogs/Settei.h"
#include "playback/MVIDEO.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

namespace zypo {

struct MprisHooks;
class DefFileSDL;
class DirListBox;
class DriveListBox;
class FileListBox;
class ListBox;
class MMControl;
class MediaCommands;
class StatusBar;

class main0 : public QMainWindow {
    Q_OBJECT
public:
    explicit main0(MAIN& m, QWidget* parent = nullptr);
    ~main0() override;

    MAIN& M;

    // Controls.
    DriveListBox* main0Drive = nullptr;
    MMControl* MMC = nullptr;
    QPushButton* C1 = nullptr;
    DirListBox* main0Dir = nullptr;
    FileListBox* main0Flist = nullptr;
    ListBox* main0List2 = nullptr;
    QComboBox* main0Combo = nullptr;
    StatusBar* StatusBar1 = nullptr;
    QLabel* MainPic1 = nullptr;
    QString LastDrive;
    /// The application's help file, named at start-up: what F1 opens.
    QString HelpFile;

    // Menus: control arrays, indexed from 1 (element 0 unused).
    QList<QAction*> MenuFile1, MenuSetti1, MenuSetti21, MenuSetti31, MenuSetti41, MenuBairitu1, MenuEtc1;

    // Start-up and shut-down.
    void main0_Form_Load();
    void main0_Form_Unload();
    /// Runs after shut-down has saved the settings: ends the process (the application sets it).
    std::function<void()> onShutdown;

    /// Opens what the player was started with: a media file (its folder browsed, the file
    /// selected, opened and stopped), a playlist (expanded into the queue) or a folder (browsed).
    /// False, with a message, when the path names nothing the player can show.
    bool openArgument(const QString& hostPath);

    /// The desktop's media controls act through the transport's own buttons.
    struct MprisHooks mprisHooks();

    // Browser.
    void main0Combo_Click();
    void main0Drive_Change();
    void main0Dir_Change();
    void main0Flist_Click();
    void main0Flist_DblClick();
    void C1_Click();
    void main0List2_Click();
    void main0List2_DblClick();

    // Menus.
    void MenuFile1_Click(std::int16_t Index);
    void MenuSetti1_Click(std::int16_t Index);
    void MenuSetti21_Click(std::int16_t Index);
    void MenuSetti31_Click(std::int16_t Index);
    void MenuSetti41_Click(std::int16_t Index);
    void MenuBairitu1_Click(std::int16_t Index);
    void MenuEtc1_Click(std::int16_t Index);

    // Playback.
    void OpenItem();
    void AdvanceItem();
    void PlayItem();
    void CloseItem();
    void ReportMediaError(std::int32_t error);
    void MMC_Done(std::int16_t NotifyCode);
    void MMC_PrevClick(bool& Cancel);
    void MMC_NextClick(bool& Cancel);
    void MMC_PlayClick(bool& Cancel);
    void MMC_PauseClick(bool& Cancel);
    void MMC_StopClick(bool& Cancel);
    void MMC_StatusUpdate();

    // Video window (one at most; created on first use, afresh after it was unloaded).
    MVIDEO* videoWindow();
    MVIDEO* existingVideoWindow() const { return video_; }
    /// The settings written as at shut-down, without the window system (it has gone).
    void SaveSettingsOnLostDisplay();
    void SizeVideoWindow(std::int32_t& error);

    /// The initial MIDI file dialog (one at most; created on first use, afresh after closing).
    Settei* setteiWindow();
    Settei* existingSetteiWindow() const { return settei_; }
    DefFileSDL* existingEditor() const { return defFile_; }

    /// The list the sequencer walks: the play queue while QueueMode is True, else the file list.
    ListBox* activeList() const;

    /// Window position in twips.
    int leftTwips() const;
    int topTwips() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void checkOnly(QList<QAction*>& group, int index);
    void showFileList();
    void showQueue();
    void driveNotReady(const QString& driveText);
    void openSelectedAfterUserAction();
    /// The full path of an entry of the active list (the joining rule for the file list).
    QString entryPath(int index) const;
    /// The index after the selected one, wrapping from the last entry to the first.
    static int nextIndex(const ListBox* list);
    /// The full path of the entry after the selected one in the active list, or empty.
    QString followingEntry() const;
    void prepareFollowingItem();

    QPointer<MVIDEO> video_;
    QPointer<Settei> settei_;
    DefFileSDL* defFile_ = nullptr; // a child of the window
    MediaCommands* commands_ = nullptr;
    // Skipping of failed items: how many failed in a row, and whether an advance is running
    // (a failure inside it asks for one more step instead of recursing).
    int failuresInRow_ = 0;
    int advanceDepth_ = 0;
    bool advanceAgain_ = false;
    bool shutDown_ = false;
    // Counts the user's transport actions (and list choices), so that a skip waiting behind an
    // error box knows whether the user took over meanwhile.
    quint64 userActions_ = 0;
    bool recoveringDrive_ = false; // driveNotReady is going back to a drive that works
    bool keepItem_ = false;        // the browser follows a drive that went; the queue plays on
    bool closingVideo_ = false;    // CloseItem is closing the video window

    friend class MVIDEO;
};

} // namespace zypo
