// The playback procedures of the main window: opening the selected item, advancing through the
// active list, the transport's buttons and notifications, and the reporting of media errors.
#include "mainwindow/main0.h"
#include "platform/DriveMap.h"
#include "platform/ListControls.h"
#include "platform/MMControl.h"
#include "platform/MediaErrors.h"
#include "platform/Prompter.h"
#include "platform/StatusBar.h"
#include "platform/desktop/WindowManager.h"
#include "playback/MVIDEO.h"
#include "playback/TimeText.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace zypo {

namespace {
/// Failures that lie in the file rather than in the device.
bool isContentError(std::int32_t error) {
    return error == mcierr::InvalidFile || error == mcierr::FileRead || error == mcierr::FileNotFound;
}

QString numberWithSign(std::int32_t n) {
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}
} // namespace

void main0::OpenItem() {
    if (shutDown_)
        return; // the player is ending: nothing opens any more
    // First phase: which item, and its path in the status bar.
    ListBox* list = activeList();
    const int index = list->ListIndex();
    if (index < 0 || index >= list->ListCount()) {
        M.svc.prompter->MsgBox(QStringLiteral("選択されたファイルが読み込みできません"), MsgIcon::Exclamation,
                               M.AppTitle);
        return;
    }
    M.PlayFile = entryPath(index);
    M.PlayFileUpper = M.PlayFile.toUpper();
    StatusBar1->setPanelText(1, M.PlayFile);

    // Second phase: the transport.
    std::int32_t error = 0;
    const auto fail = [&] { ReportMediaError(error); };

    if (M.PlayFileUpper.right(4) == QLatin1String(".MID") && M.IniMidFile != QLatin1String(NoIniMidFile)) {
        MMC->setFileName(M.IniMidFile);
        MMC->setNotify(false);
        MMC->setWait(true);
        MMC->setShareable(false);
        MMC->setDeviceType(QStringLiteral("Sequencer"));
        MMC->setCommand(QStringLiteral("Open"));
        if (MMC->OpenAbandoned())
            return; // given up while its disk was silent: the user has taken over
        if (MMC->Error() != 0) {
            error = MMC->Error();
            return fail();
        }
        MMC->setCommand(QStringLiteral("Play"));
        if (MMC->Error() != 0) {
            error = MMC->Error();
            return fail();
        }
    }

    MMC->setFileName(M.PlayFile);
    MMC->setNotify(false);
    MMC->setWait(true);
    MMC->setShareable(false);
    MMC->setCommand(QStringLiteral("Open"));
    if (MMC->OpenAbandoned())
        return;
    if (MMC->Error() != 0) {
        error = MMC->Error();
        return fail();
    }

    MMC->setTimeFormat(0);
    const std::int32_t L = MMC->Length();
    StatusBar1->setPanelText(2, lengthText(L));
    StatusBar1->setPanelText(3, QStringLiteral("00:00:00"));

    if (MMC->UsesWindows()) {
        M.PrevWindow = M.svc.windows->GetForegroundWindow();
        MVIDEO* video = videoWindow();
        video->hide();
        SizeVideoWindow(error);
        if (!video->isSized())
            return fail();
        video->show();
        video->Pic1->setFocus();
        video->Pic1_GotFocus();
        EventWait(50);
        if (!M.AutoNext) {
            activateWindow();
            raise();
        }
    }
    MMC->sethWndDisplay(M.VideoHwnd);
    // In single play nothing follows an open, so an open that worked ends a run of failures.
    if (M.PlayMode != 1 || advanceDepth_ == 0)
        failuresInRow_ = 0;
}

void main0::AdvanceItem() {
    if (shutDown_)
        return;
    M.AutoNext = True;
    if (advanceDepth_ > 0) {
        // A failure while the advance opens its item: one more step, taken by the advance
        // already running instead of a nested one.
        advanceAgain_ = true;
        return;
    }
    ++advanceDepth_;
    do {
        advanceAgain_ = false;
        ListBox* list = activeList();
        const int count = list->ListCount();
        if (count <= 0)
            break;
        list->setListIndex(nextIndex(list));
        if (!advanceAgain_ && M.PlayMode == 1)
            PlayItem();
    } while (advanceAgain_);
    --advanceDepth_;
}

void main0::MMC_PrevClick(bool& Cancel) {
    Cancel = true;
    failuresInRow_ = 0;
    ++userActions_;
    ListBox* list = activeList();
    const int count = list->ListCount();
    const int selected = list->ListIndex();
    if (count <= 0 || selected < 0)
        return; // nothing to step back from
    ++advanceDepth_;
    advanceAgain_ = false;
    list->setListIndex(selected == 0 ? count - 1 : selected - 1);
    --advanceDepth_;
    if (advanceAgain_) {
        // The entry failed to open: the skip moves on as after any failure.
        advanceAgain_ = false;
        AdvanceItem();
        return;
    }
    if (M.PlayMode == 1)
        PlayItem();
}

void main0::MMC_NextClick(bool& Cancel) {
    Cancel = true;
    failuresInRow_ = 0;
    ++userActions_;
    AdvanceItem();
}

void main0::MMC_Done(std::int16_t NotifyCode) {
    if (NotifyCode == 1) {
        AdvanceItem();
    } else if (NotifyCode == 2 || NotifyCode == 4) {
        return;
    } else if (isContentError(MMC->Error()) || MMC->StartFailed() ||
               MMC->Error() == mcierr::WaveOutputsUnsuitable) {
        // The item's own data failed part way (a damaged file), its start failed once the
        // initial MIDI file ahead of it had ended, or the sound server stayed away longer than
        // a song waits for it: reported and skipped like a file that cannot be opened or
        // played, so that one bad file or a sound server's restart does not end unattended play.
        ReportMediaError(MMC->Error());
    } else {
        M.svc.prompter->MsgBox(QStringLiteral("コマンドの実行中にエラーが発生しました。停止します。"),
                               MsgIcon::Exclamation, M.AppTitle);
        CloseItem();
    }
}

void main0::PlayItem() {
    QCoreApplication::processEvents();
    if (shutDown_)
        return;
    if (MMC->Mode() == ModePaused) {
        MMC->setCommand(QStringLiteral("Play"));
        if (MMC->Error() != 0)
            ReportMediaError(MMC->Error());
        MMC->setUpdateInterval(1000);
        return;
    }
    if (MMC->Mode() == ModeNotOpen)
        return;
    MMC->setCommand(QStringLiteral("Play"));
    if (MMC->Error() != 0) {
        ReportMediaError(MMC->Error());
    } else {
        failuresInRow_ = 0;
        prepareFollowingItem();
    }
    if (MMC->UsesWindows()) {
        MVIDEO* video = existingVideoWindow();
        const auto toTheFront = [&] {
            // The picture comes to the front as the active window: focus given to a widget of
            // a window that is not active would stay behind the main window.
            if (video) {
                M.svc.windows->SetForegroundWindow(ForegroundHandle{video, 0});
                video->Pic1->setFocus();
            }
            EventWait(50);
        };
        switch (M.PlayWindow) {
        case 1:
            M.svc.windows->SetForegroundWindow(M.PrevWindow);
            break;
        case 2:
            toTheFront();
            break;
        case 3:
            if (!M.svc.windows->KeepsAbove()) {
                // Nothing keeps a window above the others here (a Wayland shell offers programs
                // no such state): the picture comes to the front as in mode 2, and the main
                // window stays, rather than hand the front back over a picture left behind.
                toTheFront();
                break;
            }
            if (video)
                video->Pic1->setFocus();
            EventWait(50);
            showMinimized();
            M.svc.windows->SetForegroundWindow(M.PrevWindow);
            break;
        default:
            break;
        }
    }
    MMC->setUpdateInterval(1000);
    M.PlayTime = 0;
}

QString main0::entryPath(int index) const {
    if (M.QueueMode)
        return main0List2->List(index);
    return joinPath(main0Dir->Path(), main0Flist->List(index));
}

int main0::nextIndex(const ListBox* list) {
    // After the last entry comes the first.
    return list->ListCount() == list->ListIndex() + 1 ? 0 : list->ListIndex() + 1;
}

QString main0::followingEntry() const {
    const ListBox* list = activeList();
    if (list->ListCount() <= 0 || list->ListIndex() < 0)
        return {};
    return entryPath(nextIndex(list));
}

void main0::prepareFollowingItem() {
    // In continuous play the next entry is known while the current one plays: the transport
    // opens it ahead of time, once the current item has started and the window has been drawn.
    QTimer::singleShot(0, this, [this] {
        if (shutDown_ || M.PlayMode != 1 || MMC->Mode() != ModePlaying)
            return;
        const QString next = followingEntry();
        if (!next.isEmpty())
            MMC->prepare(next);
    });
}

void main0::CloseItem() {
    // An open that waits for a silent disk is given up: the user has moved on.
    MMC->abandonOpen();
    // Outside an advance (Stop, browsing, a new queue, another entry chosen) the entry opened
    // ahead will not come next: it lets go of its file now.
    if (advanceDepth_ == 0)
        MMC->dropStandby();
    if (MMC->Mode() != ModeNotOpen) {
        if (MMC->UsesWindows()) {
            M.VideoCloseRestore = False;
            if (MVIDEO* video = existingVideoWindow()) {
                closingVideo_ = true;
                video->close(); // its unload stores the position and closes the transport
                closingVideo_ = false;
            }
        }
        StatusBar1->setPanelText(1, QString());
        MMC->setCommand(QStringLiteral("Close"));
        MMC->setUpdateInterval(0);
        StatusBar1->setPanelText(2, QString());
        StatusBar1->setPanelText(3, QString());
    }
    // The window settles (what was closed goes, the cleared panels are drawn), but the user's
    // clicks and keys wait: closing is mostly the first half of opening another entry, and a
    // Play pressed right after choosing that entry, taken here, would meet a transport with
    // nothing open and go unheard.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void main0::MMC_PlayClick(bool& Cancel) {
    Cancel = true;
    failuresInRow_ = 0;
    ++userActions_;
    PlayItem();
}

void main0::MMC_StopClick(bool& Cancel) {
    Cancel = true;
    ++userActions_;
    CloseItem();
}

void main0::MMC_PauseClick(bool& Cancel) {
    (void)Cancel; // the transport pauses or resumes after this handler
    MMC->setUpdateInterval(MMC->Mode() == ModePaused ? 1000 : 0);
}

void main0::MMC_StatusUpdate() {
    // Old files' headers lie about their length: the engine tells it better once it has
    // played further, and the status bar follows. The elapsed time never runs past it.
    const std::int32_t L = MMC->Length();
    const QString length = lengthText(L);
    if (StatusBar1->panelText(2) != length)
        StatusBar1->setPanelText(2, length);
    const std::int32_t P = MMC->Position();
    M.PlayTime = roundedSeconds(L > 0 ? std::min(P, L) : P);
    StatusBar1->setPanelText(3, elapsedText(M.PlayTime));
}

void main0::ReportMediaError(std::int32_t error) {
    if (shutDown_)
        return;
    QString text;
    const int known = mciGetErrorString(error, text);
    // The box runs events: the user may stop, skip or quit while it is up. Then the user (or the
    // shut-down) has taken over and the skip does not go on behind the box.
    const quint64 actionsBefore = userActions_;
    if (M.PlayErr != 2) {
        if (known == 1)
            M.svc.prompter->MsgBox(text + QStringLiteral(" (") + numberWithSign(error) + QLatin1Char(')'),
                                   MsgIcon::Exclamation, M.AppTitle);
        else
            M.svc.prompter->MsgBox(QStringLiteral("原因不明のエラーです。CODE=") + numberWithSign(error),
                                   MsgIcon::Exclamation, M.AppTitle);
        if (shutDown_ || userActions_ != actionsBefore)
            return;
    }
    CloseItem();
    // When every entry of the list has failed one after another, stop instead of going round
    // for ever: the transport stays closed until the user acts.
    ++failuresInRow_;
    if (failuresInRow_ >= std::max<int>(1, activeList()->ListCount()))
        return;
    AdvanceItem();
}

} // namespace zypo
