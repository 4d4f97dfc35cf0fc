#include "mainwindow/main0.h"

#include "core/TypeFilters.h"
#include "dialogs/About.h"
#include "dialogs/AppIcon.h"
#include "dialogs/Settei.h"
#include "platform/DriveMap.h"
#include "platform/HostPath.h"
#include "platform/ListControls.h"
#include "platform/MMControl.h"
#include "platform/MediaCommands.h"
#include "platform/desktop/Mpris.h"
#include "platform/Prompter.h"
#include "platform/StatusBar.h"
#include "platform/desktop/WindowManager.h"
#include "playback/MVIDEO.h"
#include "playlist/DefFileSDL.h"
#include "playlist/Rz0File.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QUrl>

namespace zypo {

namespace {

/// The picture down the left edge: a tall strip of our own drawing (staff lines and notes).
QPixmap sidePicture(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(0, 0, 128));
    g.setColorAt(1, QColor(0, 128, 128));
    p.fillRect(pm.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    const int w = size.width();
    for (int x = w / 2 - 8; x <= w / 2 + 8; x += 4)
        p.drawLine(x, 8, x, size.height() - 8);
    p.setBrush(QColor(255, 255, 160));
    p.setPen(QPen(QColor(255, 255, 160), 2));
    for (int i = 0; i < 6; ++i) {
        const int y = 30 + i * (size.height() - 60) / 6;
        const int x = w / 2 + ((i % 3) - 1) * 6;
        p.drawEllipse(QPointF(x, y), 5, 3.5);
        p.drawLine(x + 5, y, x + 5, y - 16);
    }
    return pm;
}

} // namespace

main0::main0(MAIN& m, QWidget* parent) : QMainWindow(parent), M(m) {
    setObjectName(QStringLiteral("main0"));
    setWindowTitle(QStringLiteral("ジポプレーヤー"));
    setWindowIcon(appIcon());
    buildControls();
    buildMenus();
    commands_ = new MediaCommands(M.svc.media, M.svc.drives, MMC);
}

main0::~main0() {
    delete video_.data();
    delete settei_.data();
    delete commands_;
}

void main0::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("main0Client"));
    client->setAutoFillBackground(true);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    client->setPalette(pal);
    client->setFixedSize(twipsToPixelsX(8235), twipsToPixelsY(5430));
    setCentralWidget(client);

    DriveMap* drives = M.svc.drives;
    main0Drive = new DriveListBox(drives, client);
    main0Drive->setObjectName(QStringLiteral("main0Drive"));
    main0Drive->setGeometry(twipsRect(120, 0, 2295, 315));
    main0Drive->resize(main0Drive->width(), main0Drive->sizeHint().height());

    MMC = new MMControl(M.svc.media, drives, client);
    MMC->setObjectName(QStringLiteral("MMC"));
    MMC->setGeometry(twipsRect(2520, 0, 1980, 360));

    C1 = new QPushButton(QStringLiteral(".RZ0展開"), client);
    C1->setObjectName(QStringLiteral("C1"));
    C1->setGeometry(twipsRect(7200, 0, 855, 375));
    C1->hide();

    main0Dir = new DirListBox(drives, client);
    main0Dir->setObjectName(QStringLiteral("main0Dir"));
    main0Dir->setGeometry(twipsRect(720, 480, 2175, 3690));

    main0Flist = new FileListBox(drives, client);
    main0Flist->setObjectName(QStringLiteral("main0Flist"));
    main0Flist->setGeometry(twipsRect(3000, 480, 5175, 4590));
    main0Flist->setPattern(QStringLiteral("*.mid;*.wav;*.avi"));

    main0List2 = new ListBox(client);
    main0List2->setObjectName(QStringLiteral("main0List2"));
    main0List2->setGeometry(twipsRect(3000, 480, 5175, 4545));
    main0List2->hide();

    main0Combo = new QComboBox(client);
    main0Combo->setObjectName(QStringLiteral("main0Combo"));
    main0Combo->setGeometry(twipsRect(720, 4440, 2175, 315));
    main0Combo->resize(main0Combo->width(), main0Combo->sizeHint().height());

    StatusBar1 = new StatusBar({twipsToPixelsX(5700), twipsToPixelsX(1440), twipsToPixelsX(1050)}, client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(twipsRect(0, 5175, 8235, 255));

    MainPic1 = new QLabel(client);
    MainPic1->setObjectName(QStringLiteral("MainPic1"));
    MainPic1->setGeometry(twipsRect(0, 480, 690, 4350));
    MainPic1->setAlignment(Qt::AlignCenter);
    MainPic1->setPixmap(sidePicture(QSize(46, 290)));

    setTabOrder(main0Dir, main0Drive);
    setTabOrder(main0Drive, main0Combo);
    setTabOrder(main0Combo, main0Flist);
    setTabOrder(main0Flist, MainPic1);
    setTabOrder(MainPic1, main0List2);
    setTabOrder(main0List2, C1);

    // F1: context help, the help file named at start-up.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        if (!HelpFile.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFile));
    });

    connect(main0Combo, &QComboBox::activated, this, [this] { main0Combo_Click(); });
    connect(main0Drive, &DriveListBox::Change, this, &main0::main0Drive_Change);
    connect(main0Dir, &DirListBox::Change, this, &main0::main0Dir_Change);
    connect(main0Dir, &DirListBox::PathFailed, this, [this] { driveNotReady(main0Drive->Drive()); });
    connect(main0Flist, &ListBox::Click, this, &main0::main0Flist_Click);
    connect(main0Flist, &ListBox::DblClick, this, &main0::main0Flist_DblClick);
    connect(main0List2, &ListBox::Click, this, &main0::main0List2_Click);
    connect(main0List2, &ListBox::DblClick, this, &main0::main0List2_DblClick);
    connect(C1, &QPushButton::clicked, this, &main0::C1_Click);
    connect(MMC, &MMControl::Done, this, &main0::MMC_Done);
    connect(MMC, &MMControl::PrevClick, this, &main0::MMC_PrevClick);
    connect(MMC, &MMControl::NextClick, this, &main0::MMC_NextClick);
    connect(MMC, &MMControl::PlayClick, this, &main0::MMC_PlayClick);
    connect(MMC, &MMControl::PauseClick, this, &main0::MMC_PauseClick);
    connect(MMC, &MMControl::StopClick, this, &main0::MMC_StopClick);
    connect(MMC, &MMControl::StatusUpdate, this, &main0::MMC_StatusUpdate);
}

void main0::buildMenus() {
    auto makeGroup = [this](QMenu* menu, const QString& name, const QStringList& captions, auto handler) {
        QList<QAction*> group{nullptr};
        for (qsizetype i = 0; i < captions.size(); ++i) {
            QAction* a = menu->addAction(captions.at(i));
            a->setObjectName(QStringLiteral("%1(%2)").arg(name).arg(i + 1));
            const auto index = static_cast<std::int16_t>(i + 1);
            connect(a, &QAction::triggered, this, [this, handler, index] { (this->*handler)(index); });
            group.append(a);
        }
        return group;
    };
    auto makeCheckable = [](QList<QAction*>& group) {
        for (QAction* a : group)
            if (a)
                a->setCheckable(true);
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    file->setObjectName(QStringLiteral("MenuFile"));
    MenuFile1 = makeGroup(file, QStringLiteral("MenuFile1"),
                          {QStringLiteral("連続再生ﾌｧｲﾙの作成(&R)"), QStringLiteral("終了(&E)")},
                          &main0::MenuFile1_Click);

    QMenu* setti = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    setti->setObjectName(QStringLiteral("MenuSetti"));
    MenuSetti1 = {nullptr};
    QAction* external = setti->addAction(QStringLiteral("外部ﾌｧｲﾙの設定(&G)"));
    external->setObjectName(QStringLiteral("MenuSetti1(1)"));
    connect(external, &QAction::triggered, this, [this] { MenuSetti1_Click(1); });
    MenuSetti1.append(external);
    QMenu* play = setti->addMenu(QStringLiteral("再生ﾓｰﾄﾞ(&P)"));
    play->menuAction()->setObjectName(QStringLiteral("MenuSetti1(2)"));
    MenuSetti1.append(play->menuAction());
    MenuSetti21 =
        makeGroup(play, QStringLiteral("MenuSetti21"),
                  {QStringLiteral("連続再生(&R)"), QStringLiteral("単再生(&P)")}, &main0::MenuSetti21_Click);
    QMenu* screen = setti->addMenu(QStringLiteral("画面ﾓｰﾄﾞ(&C)"));
    screen->menuAction()->setObjectName(QStringLiteral("MenuSetti1(3)"));
    MenuSetti1.append(screen->menuAction());
    MenuSetti31 = makeGroup(screen, QStringLiteral("MenuSetti31"),
                            {QStringLiteral("裏で再生(&A)"), QStringLiteral("切り替え時に前へ(&B)"),
                             QStringLiteral("常に前へ(&C)")},
                            &main0::MenuSetti31_Click);
    QMenu* err = setti->addMenu(QStringLiteral("連続再生時のエラー(&E)"));
    err->menuAction()->setObjectName(QStringLiteral("MenuSetti1(4)"));
    MenuSetti1.append(err->menuAction());
    MenuSetti41 =
        makeGroup(err, QStringLiteral("MenuSetti41"),
                  {QStringLiteral("メッセージを出す(&A)"), QStringLiteral("メッセージを出さない(&B)")},
                  &main0::MenuSetti41_Click);

    QMenu* bai = menuBar()->addMenu(QStringLiteral("倍率(&B)"));
    bai->setObjectName(QStringLiteral("MenuBairitu"));
    MenuBairitu1 = makeGroup(bai, QStringLiteral("MenuBairitu1"),
                             {QStringLiteral("0.5倍"), QStringLiteral("1倍"), QStringLiteral("1.5倍"),
                              QStringLiteral("2倍"), QStringLiteral("2.5倍"), QStringLiteral("3倍"),
                              QStringLiteral("3.5倍"), QStringLiteral("4倍")},
                             &main0::MenuBairitu1_Click);

    QMenu* etc = menuBar()->addMenu(QStringLiteral("その他(&H)"));
    etc->setObjectName(QStringLiteral("MenuEtc"));
    MenuEtc1 = makeGroup(etc, QStringLiteral("MenuEtc1"),
                         {QStringLiteral("ﾄﾞｷｭﾒﾝﾄを読む(&D)"), QStringLiteral("ﾊﾞｰｼｮﾝ情報(&A)")},
                         &main0::MenuEtc1_Click);

    makeCheckable(MenuSetti21);
    makeCheckable(MenuSetti31);
    makeCheckable(MenuSetti41);
    makeCheckable(MenuBairitu1);
    // Fixed single border: the window keeps its size.
    setFixedSize(centralWidget()->width(), centralWidget()->height() + menuBar()->sizeHint().height());
}

int main0::leftTwips() const {
    return static_cast<int>(std::lround(x() * twipsPerPixelX()));
}
int main0::topTwips() const {
    return static_cast<int>(std::lround(y() * twipsPerPixelY()));
}

ListBox* main0::activeList() const {
    if (M.QueueMode)
        return main0List2;
    return main0Flist;
}

void main0::showFileList() {
    main0Flist->show();
    main0List2->hide();
}

void main0::showQueue() {
    main0Flist->hide();
    main0List2->show();
}

// ---- Browser ---------------------------------------------------------------------------------

void main0::main0Combo_Click() {
    C1->hide();
    showFileList();
    const int index = std::clamp(main0Combo->currentIndex(), 0, 4);
    const QString pattern = typeFilterPattern(index, FilterOwner::MainWindow);
    if (index != 4) {
        showFileList();
        M.QueueMode = False;
    } else {
        M.QueueMode = True;
    }
    main0Flist->setPattern(pattern);
    main0Flist->Refresh();
    CloseItem();
}

void main0::driveNotReady(const QString& driveText) {
    M.svc.prompter->MsgBox(QStringLiteral("ドライブの準備ができていません(") + driveText + QLatin1Char(')'),
                           MsgIcon::Exclamation, M.AppTitle);
    // Back to the last drive that worked; when that one has gone too (a volume unmounted while
    // it was browsed), to C:, which is always there. The way back never shows the message again.
    const QChar back = M.svc.drives->readyOrC(driveLetterOf(LastDrive));
    recoveringDrive_ = true;
    if (main0Drive->DriveLetter() != back)
        main0Drive->setDrive(back); // raises main0Drive_Change for that drive
    else
        main0Drive_Change();
    if (main0Drive->DriveLetter() != back && back != QLatin1Char('C'))
        main0Drive->setDrive(QLatin1Char('C')); // the letter has left the list meanwhile
    recoveringDrive_ = false;
}

void main0::main0Drive_Change() {
    // The drive shown has gone (a volume unmounted): the browser follows to another drive, but
    // a queue that plays from elsewhere plays on.
    const QChar lost = main0Drive->LostDrive();
    const bool keep =
        !lost.isNull() && M.QueueMode && MMC->Mode() != ModeNotOpen && driveLetterOf(M.PlayFile) != lost;
    const QScopedValueRollback<bool> keeping(keepItem_, keepItem_ || keep);
    if (!keepItem_) {
        CloseItem();
        showFileList();
    }
    if (!main0Dir->setDrive(main0Drive->DriveLetter())) {
        if (!recoveringDrive_) {
            driveNotReady(main0Drive->Drive());
        } else if (main0Drive->DriveLetter() != QLatin1Char('C')) {
            main0Drive->setDrive(QLatin1Char('C'));
        }
        return;
    }
    LastDrive = main0Drive->Drive();
}

void main0::main0Dir_Change() {
    if (!keepItem_)
        showFileList();
    main0Flist->setPath(main0Dir->Path());
    main0Flist->Refresh();
    if (!keepItem_)
        CloseItem();
}

void main0::main0Flist_Click() {
    if (M.QueueMode) {
        C1->show();
        return;
    }
    openSelectedAfterUserAction();
}

void main0::main0Flist_DblClick() {
    if (M.QueueMode) {
        C1_Click();
        return;
    }
    openSelectedAfterUserAction();
}

void main0::openSelectedAfterUserAction() {
    // A selection that the user made (not the sequencer's own advance) starts a fresh count of
    // failed items.
    if (advanceDepth_ == 0)
        failuresInRow_ = 0;
    if (activeList()->ClickFromUser())
        ++userActions_;
    CloseItem();
    OpenItem();
}

void main0::C1_Click() {
    C1->hide();
    showQueue();
    main0List2->Clear();
    const QString name = main0Flist->FileName();
    if (name.isEmpty())
        return; // no playlist selected: the emptied queue stays
    const QString path = joinPath(main0Dir->Path(), name);
    const QString host = M.svc.drives->toHost(path);
    QStringList entries;
    if (ReadRz0File(host, entries) != Rz0Result::Opened) {
        M.svc.prompter->MsgBox(QStringLiteral("読み込みできません"), MsgIcon::Exclamation, M.AppTitle);
        return;
    }
    main0List2->AddItems(entries);
}

void main0::main0List2_Click() {
    openSelectedAfterUserAction();
}

void main0::main0List2_DblClick() {
    openSelectedAfterUserAction();
}

// ---- Opening what the player was started with ----------------------------------------------

bool main0::openArgument(const QString& hostPath) {
    const QFileInfo info(hostPath);
    const HostFacts facts = hostFacts(info.absoluteFilePath());
    const QString drivePath = facts.exists ? M.svc.drives->toDrivePath(info.absoluteFilePath()) : QString();
    if (drivePath.isEmpty()) {
        M.svc.prompter->MsgBox(QStringLiteral("指定されたファイルが見つかりません(") + hostPath +
                                   QLatin1Char(')'),
                               MsgIcon::Exclamation, M.AppTitle);
        return false;
    }
    const bool folder = facts.folder;
    const bool playlist = !folder && info.suffix().compare(QLatin1String("rz0"), Qt::CaseInsensitive) == 0;
    const QString folderPath = folder ? drivePath : drivePath.left(drivePath.lastIndexOf(QLatin1Char('\\')));
    const int filter = playlist ? 4 : 0;
    if (main0Combo->currentIndex() != filter) {
        main0Combo->setCurrentIndex(filter);
        main0Combo_Click();
    }
    const QChar letter = driveLetterOf(folderPath);
    if (main0Drive->DriveLetter() != letter)
        main0Drive->setDrive(letter);
    const QString target = folderPath.size() == 2 ? folderPath + QLatin1Char('\\') : folderPath;
    if (main0Dir->Path().compare(target, Qt::CaseSensitive) != 0 && !main0Dir->setPath(target)) {
        driveNotReady(main0Drive->Drive());
        return false;
    }
    if (folder)
        return true;
    for (int i = 0; i < main0Flist->ListCount(); ++i) {
        if (main0Flist->List(i) != driveName(info.fileName()))
            continue;
        main0Flist->setListIndex(i); // opens a media file; shows the expand button for a playlist
        if (playlist)
            C1_Click();
        return true;
    }
    M.svc.prompter->MsgBox(QStringLiteral("このファイルは再生できません(") + hostPath + QLatin1Char(')'),
                           MsgIcon::Exclamation, M.AppTitle);
    return false;
}

// ---- Media keys ------------------------------------------------------------------------------

MprisHooks main0::mprisHooks() {
    MprisHooks h;
    // Play starts the current entry, as the desktop's controls expect: after Stop the entry
    // still chosen in the list is opened again first, as a click on it would.
    const auto reopen = [this] {
        ListBox* list = activeList();
        if (MMC->Mode() == ModeNotOpen && list->ListIndex() >= 0)
            list->setListIndex(list->ListIndex());
    };
    h.play = [this, reopen] {
        reopen();
        MMC->clickPlay();
    };
    h.pause = [this] {
        if (MMC->Mode() == ModePlaying)
            MMC->clickPause();
    };
    h.playPause = [this, reopen] {
        const std::int32_t mode = MMC->Mode();
        if (mode == ModePlaying || mode == ModePaused) {
            MMC->clickPause(); // pauses a playing item, resumes a paused one
        } else {
            reopen();
            MMC->clickPlay();
        }
    };
    h.stop = [this] { MMC->clickStop(); };
    h.next = [this] { MMC->clickNext(); };
    h.previous = [this] { MMC->clickPrev(); };
    h.raise = [this] {
        showNormal();
        raise();
        activateWindow();
    };
    h.quit = [this] { close(); };
    h.status = [this] {
        switch (MMC->Mode()) {
        case ModePlaying:
            return QStringLiteral("Playing");
        case ModePaused:
            return QStringLiteral("Paused");
        default:
            return QStringLiteral("Stopped");
        }
    };
    h.item = [this](QString& path, QString& title, qint64& lengthMs) {
        if (MMC->Mode() == ModeNotOpen)
            return;
        path = MMC->OpenHostPath();
        title = M.PlayFile.mid(M.PlayFile.lastIndexOf(QLatin1Char('\\')) + 1);
        lengthMs = MMC->Length();
    };
    h.positionMs = [this] { return static_cast<qint64>(MMC->Position()); };
    return h;
}

// ---- Menus -----------------------------------------------------------------------------------

void main0::checkOnly(QList<QAction*>& group, int index) {
    for (qsizetype i = 1; i < group.size(); ++i)
        group.at(i)->setChecked(i == index);
}

void main0::MenuFile1_Click(std::int16_t Index) {
    if (Index == 1) {
        // One editor for the run: it hides itself and keeps its state for the next opening.
        if (!defFile_)
            defFile_ = new DefFileSDL(M, this);
        defFile_->exec();
        return;
    }
    close();
}

Settei* main0::setteiWindow() {
    if (!settei_)
        settei_ = new Settei(M, this);
    return settei_;
}

void main0::MenuSetti1_Click(std::int16_t Index) {
    if (Index != 1)
        return; // sub-menu parents
    Settei* s = setteiWindow();
    s->show();
    s->raise();
    s->activateWindow();
}

void main0::MenuSetti21_Click(std::int16_t Index) {
    M.PlayMode = Index == 1 ? 1 : 2;
    checkOnly(MenuSetti21, M.PlayMode);
    if (M.PlayMode != 1)
        MMC->dropStandby(); // nothing follows by itself in single play
}

void main0::MenuSetti31_Click(std::int16_t Index) {
    M.PlayWindow = (Index == 1 || Index == 2) ? Index : 3;
    checkOnly(MenuSetti31, M.PlayWindow);
}

void main0::MenuSetti41_Click(std::int16_t Index) {
    M.PlayErr = Index == 1 ? 1 : 2;
    checkOnly(MenuSetti41, M.PlayErr);
}

void main0::MenuBairitu1_Click(std::int16_t Index) {
    if (Index < 1 || Index > 8)
        Index = 2; // no such item: magnification 1
    checkOnly(MenuBairitu1, Index);
    M.AviSize = Index / 2.0;
}

void main0::MenuEtc1_Click(std::int16_t Index) {
    if (Index == 1) {
        // The help file is looked for in the working directory at the time of the request.
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("ZYPOHLP.HLP"))));
        return;
    }
    About about(M, this);
    about.exec();
}

void main0::closeEvent(QCloseEvent* event) {
    main0_Form_Unload();
    event->accept();
}

} // namespace zypo
