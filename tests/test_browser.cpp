// The main window's browser: type filter, drives, folders, file list clicks and keys, help.
#include "TestSupport.h"
#include "playlist/DefFileSDL.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QUrl>

using namespace zypo;
using namespace zypo::test;

namespace {

struct Browser : ::testing::Test {
    void SetUp() override {
        p.addMedia(QStringLiteral("m/a.mid"));
        p.addMedia(QStringLiteral("m/b.wav"));
        p.addMedia(QStringLiteral("m/c.AVI"));
        p.addMedia(QStringLiteral("m/one.rz0"));
        p.addMedia(QStringLiteral("m/TWO.RZ0"));
        p.addMedia(QStringLiteral("m/.hidden.wav"));
        p.addMedia(QStringLiteral("m/sub/d.wav"));
        p.start(QStringLiteral("m"));
    }
    void chooseFilter(int index) {
        p.w->main0Combo->setCurrentIndex(index);
        p.w->main0Combo_Click();
    }
    QStringList listed() const {
        QStringList out;
        for (int i = 0; i < p.w->main0Flist->ListCount(); ++i)
            out << p.w->main0Flist->List(i);
        return out;
    }
    Player p;
};

} // namespace

TEST_F(Browser, MediaFilterListsMatchingFilesInAnyCaseButNotHiddenOnes) {
    EXPECT_EQ(listed(), QStringList({"a.mid", "b.wav", "c.AVI"}));
    chooseFilter(2);
    EXPECT_EQ(listed(), QStringList({"b.wav"}));
}

TEST_F(Browser, PlaylistFilterShowsExpandButtonOnlyAfterAClick) {
    p.w->main0Flist->setListIndex(1);
    p.w->MMC->clickPlay();
    ASSERT_TRUE(p.device()->isPlaying());
    chooseFilter(4);
    EXPECT_EQ(listed(), QStringList({"one.rz0", "TWO.RZ0"}));
    EXPECT_EQ(p.M->QueueMode, True);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen); // the playing item was stopped
    EXPECT_TRUE(p.w->C1->isHidden());
    p.w->main0Flist->setListIndex(0);
    EXPECT_FALSE(p.w->C1->isHidden());
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen); // a click on a playlist opens nothing
    // A folder change leaves the button; the next filter change hides it.
    p.w->main0Dir->setPath(QStringLiteral("C:\\m\\sub"));
    EXPECT_FALSE(p.w->C1->isHidden());
    chooseFilter(0);
    EXPECT_TRUE(p.w->C1->isHidden());
}

TEST_F(Browser, ArrowKeysOpenEachFileWithoutPlaying) {
    p.w->show();
    p.w->main0Flist->setListIndex(0);
    QTest::keyClick(p.w->main0Flist, Qt::Key_Down);
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("m/b.wav")));
    EXPECT_FALSE(p.device()->isPlaying());
    QTest::keyClick(p.w->main0Flist, Qt::Key_Down);
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("m/c.AVI")));
    EXPECT_FALSE(p.device()->isPlaying());
    int open = 0;
    for (const auto& d : p.media.devices)
        open += d && !d->isClosed();
    EXPECT_EQ(open, 1); // each one closed before the next opened
}

TEST_F(Browser, DoubleClickOpensTwiceAndEndsStopped) {
    p.w->show();
    QListWidget* list = p.w->main0Flist;
    const QRect rect = list->visualItemRect(list->item(1));
    p.media.log.clear();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    const QString b = p.host(QStringLiteral("m/b.wav"));
    EXPECT_EQ(p.media.log.count(QStringLiteral("open ") + b), 2);
    EXPECT_EQ(p.playing(), b);
    EXPECT_FALSE(p.device()->isPlaying());
}

TEST_F(Browser, FolderClickWhilePlayingStopsTheItem) {
    p.w->main0Flist->setListIndex(1);
    p.w->MMC->clickPlay();
    p.w->main0Dir->setPath(QStringLiteral("C:\\m\\sub"));
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_EQ(listed(), QStringList({"d.wav"}));
    EXPECT_EQ(p.w->main0Flist->Path(), QStringLiteral("C:\\m\\sub"));
}

TEST(BrowserDrives, ADriveThatIsNotReadyShowsTheMessageOnceAndGoesBack) {
    Player p;
    p.addMedia(QStringLiteral("m/a.wav"));
    p.drives = DriveMap(
        {{QLatin1Char('C'), p.host(QString())}, {QLatin1Char('D'), p.tmp.filePath(QStringLiteral("gone"))}});
    p.start(QStringLiteral("m"));
    main0& w = *p.w;
    ASSERT_EQ(w.main0Drive->count(), 2);
    const QString dirBefore = w.main0Dir->Path();
    w.main0Drive->setDrive(QLatin1Char('D'));
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("ドライブの準備ができていません(d: [") +
                                               p.tmp.filePath(QStringLiteral("gone")) + QStringLiteral("])"));
    EXPECT_EQ(p.prompter.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(w.main0Drive->DriveLetter(), QLatin1Char('C'));
    EXPECT_EQ(w.main0Dir->Path(), dirBefore);
    EXPECT_EQ(w.main0Flist->ListCount(), 1);
    EXPECT_EQ(w.LastDrive.at(0), QLatin1Char('c'));
}

TEST(BrowserDrives, ASecondDriveShowsItsOwnFolders) {
    Player p;
    p.addMedia(QStringLiteral("m/a.wav"));
    QDir().mkpath(p.tmp.filePath(QStringLiteral("stick/songs")));
    p.drives = DriveMap(
        {{QLatin1Char('C'), p.host(QString())}, {QLatin1Char('E'), p.tmp.filePath(QStringLiteral("stick"))}});
    p.start(QStringLiteral("m"));
    p.w->main0Drive->setDrive(QLatin1Char('E'));
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.w->main0Dir->Path(), QStringLiteral("E:\\"));
    EXPECT_TRUE(p.w->main0Dir->setPath(QStringLiteral("E:\\songs")));
    EXPECT_EQ(p.w->main0Flist->Path(), QStringLiteral("E:\\songs"));
    // Back on C: the folder last shown there.
    p.w->main0Drive->setDrive(QLatin1Char('C'));
    EXPECT_EQ(p.w->main0Dir->Path(), QStringLiteral("C:\\m"));
}

TEST(BrowserDrives, AFolderThatCannotBeListedGetsTheDriveMessage) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root lists every folder";
    Player p;
    p.addMedia(QStringLiteral("m/a.wav"));
    p.mkdir(QStringLiteral("m/locked"));
    QFile::setPermissions(p.host(QStringLiteral("m/locked")), QFile::WriteOwner);
    p.start(QStringLiteral("m"));
    auto* dir = p.w->main0Dir;
    QListWidgetItem* locked = nullptr;
    for (int i = 0; i < dir->count(); ++i)
        if (dir->item(i)->text().trimmed() == QLatin1String("locked"))
            locked = dir->item(i);
    ASSERT_NE(locked, nullptr);
    Q_EMIT dir->itemActivated(locked);
    EXPECT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(dir->Path(), QStringLiteral("C:\\m"));
    QFile::setPermissions(p.host(QStringLiteral("m/locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

namespace {
struct UrlCatcher : QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};
} // namespace

TEST(Menus, HelpLooksInTheWorkingDirectoryOfTheMoment) {
    Player p;
    p.mkdir(QStringLiteral("first"));
    p.mkdir(QStringLiteral("second"));
    p.start(QStringLiteral("first"));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QDir::setCurrent(p.host(QStringLiteral("second")));
    p.w->MenuEtc1_Click(1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), p.host(QStringLiteral("second/ZYPOHLP.HLP")));
}

TEST(Menus, OptionGroupsKeepOneCheckMark) {
    Player p;
    main0& w = p.start();
    w.MenuBairitu1_Click(8);
    w.MenuBairitu1_Click(1);
    int checked = 0;
    for (qsizetype i = 1; i < w.MenuBairitu1.size(); ++i)
        checked += w.MenuBairitu1[i]->isChecked();
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(w.MenuBairitu1[1]->isChecked());
    EXPECT_EQ(p.M->AviSize, 0.5);
    w.MenuSetti31_Click(9);
    EXPECT_EQ(p.M->PlayWindow, 3);
    EXPECT_TRUE(w.MenuSetti31[3]->isChecked());
    // The item already checked, chosen from the menu: the action's own toggle must not take
    // the mark away.
    w.MenuSetti31[3]->trigger();
    EXPECT_TRUE(w.MenuSetti31[3]->isChecked());
    EXPECT_EQ(p.M->PlayWindow, 3);
    w.MenuBairitu1[1]->trigger();
    EXPECT_TRUE(w.MenuBairitu1[1]->isChecked());
    EXPECT_EQ(p.M->AviSize, 0.5);
    EXPECT_FALSE(w.MenuSetti31[1]->isChecked());
    // Clicking the menu item itself runs the same operation.
    w.MenuSetti21[2]->trigger();
    EXPECT_EQ(p.M->PlayMode, 2);
    EXPECT_TRUE(w.MenuSetti21[2]->isChecked());
    EXPECT_FALSE(w.MenuSetti21[1]->isChecked());
    EXPECT_EQ(w.MenuFile1[1]->text(), QStringLiteral("連続再生ﾌｧｲﾙの作成(&R)"));
    EXPECT_EQ(w.MenuBairitu1[5]->text(), QStringLiteral("2.5倍"));
}

TEST_F(Browser, KeyboardFocusEnteringTheListsSelectsNothing) {
    p.w->show();
    p.w->main0List2->AddItems({QStringLiteral("C:\\m\\b.wav")});
    for (ListBox* list : {static_cast<ListBox*>(p.w->main0Flist), p.w->main0List2}) {
        QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(list, &tabIn);
        EXPECT_EQ(list->ListIndex(), -1) << list->objectName().toStdString();
    }
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(p.media.log.isEmpty());
    // An arrow key after that chooses the first entry, as a click would.
    QTest::keyClick(p.w->main0Flist, Qt::Key_Down);
    EXPECT_EQ(p.w->main0Flist->ListIndex(), 0);
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("m/a.mid")));
}

TEST(BrowserDrives, WhenTheDriveToGoBackToHasGoneTooTheBrowserGoesToC) {
    Player p;
    p.addMedia(QStringLiteral("m/a.wav"));
    const QString stick = p.tmp.filePath(QStringLiteral("stick"));
    QDir().mkpath(stick);
    p.drives = DriveMap({{QLatin1Char('C'), p.host(QString())},
                         {QLatin1Char('D'), stick},
                         {QLatin1Char('E'), p.tmp.filePath(QStringLiteral("nodisc"))}});
    p.start(QStringLiteral("m"));
    p.w->main0Drive->setDrive(QLatin1Char('D'));
    ASSERT_EQ(p.w->LastDrive.at(0), QLatin1Char('d'));
    QDir(stick).removeRecursively(); // the stick is pulled while it is browsed
    // Guard against the endless message: give the drive back after a few boxes.
    p.prompter.whileShown = [&](const Message&) {
        if (p.prompter.messages.size() == 5)
            QDir().mkpath(stick);
    };
    p.w->main0Drive->setDrive(QLatin1Char('E'));
    EXPECT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.w->main0Drive->DriveLetter(), QLatin1Char('C'));
    EXPECT_EQ(p.w->main0Dir->Path().left(3), QStringLiteral("C:\\"));
    EXPECT_EQ(p.w->LastDrive.at(0), QLatin1Char('c'));
}

TEST(BrowserDrives, TheDriveListFollowsVolumesMountedAfterStartAndKeepsTheirLetters) {
    Player p;
    p.addMedia(QStringLiteral("m/a.wav"));
    const QString one = p.tmp.filePath(QStringLiteral("vol/one"));
    const QString two = p.tmp.filePath(QStringLiteral("vol/two"));
    QDir().mkpath(one);
    QDir().mkpath(two);
    QStringList mounted;
    p.drives.setVolumeSource([&] { return mounted; });
    p.start(QStringLiteral("m"));
    auto letters = [&] {
        QString out;
        for (int i = 0; i < p.w->main0Drive->count(); ++i)
            out += p.w->main0Drive->itemData(i).toString();
        return out;
    };
    EXPECT_EQ(letters(), QStringLiteral("C"));
    mounted = {one};
    p.w->main0Drive->showPopup(); // the list is read again when it drops down
    p.w->main0Drive->hidePopup();
    EXPECT_EQ(letters(), QStringLiteral("CD"));
    EXPECT_EQ(p.drives.hostRoot(QLatin1Char('D')), one);
    mounted = {two};
    p.w->main0Drive->showPopup();
    p.w->main0Drive->hidePopup();
    EXPECT_EQ(letters(), QStringLiteral("CE")); // D: stays one's letter for the run
    mounted = {two, one};
    p.w->main0Drive->showPopup();
    p.w->main0Drive->hidePopup();
    EXPECT_EQ(letters(), QStringLiteral("CDE"));
    EXPECT_EQ(p.drives.hostRoot(QLatin1Char('D')), one);
    // The editor's drive list, on the same drives, shows them too when it drops down, though
    // the main window's list has read the mount table already.
    DefFileSDL editor(*p.M);
    mounted = {two, one, QDir(one).filePath(QStringLiteral(".."))};
    p.w->main0Drive->showPopup();
    p.w->main0Drive->hidePopup();
    editor.DefFileDrive1->showPopup();
    editor.DefFileDrive1->hidePopup();
    EXPECT_EQ(editor.DefFileDrive1->count(), p.w->main0Drive->count());
    EXPECT_EQ(editor.DefFileDrive1->count(), 4);
    mounted = {two, one};
    p.w->main0Drive->showPopup();
    p.w->main0Drive->hidePopup();
    // The drive shown goes away: the browser follows to C:.
    p.w->main0Drive->setDrive(QLatin1Char('E'));
    ASSERT_EQ(p.w->main0Dir->Path(), QStringLiteral("E:\\"));
    mounted = {one};
    p.w->main0Drive->showPopup();
    p.w->main0Drive->hidePopup();
    EXPECT_EQ(p.w->main0Drive->DriveLetter(), QLatin1Char('C'));
    EXPECT_EQ(p.w->main0Dir->Path().left(2), QStringLiteral("C:"));
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST(Menus, F1OpensTheHelpFileNamedAtStartUp) {
    Player p;
    p.mkdir(QStringLiteral("first"));
    p.mkdir(QStringLiteral("second"));
    p.start(QStringLiteral("first"));
    p.w->show();
    QApplication::setActiveWindow(p.w.get());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QDir::setCurrent(p.host(QStringLiteral("second")));
    QTest::keyClick(p.w.get(), Qt::Key_F1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), p.host(QStringLiteral("first/ZYPOHLP.HLP")));
}

TEST(Menus, TheInterfaceFontIsTheJapaneseOneWhateverTheLocale) {
    const QFont before = QApplication::font();
    ASSERT_TRUE(useInterfaceFont()) << "IPAGothic is installed by the set-up";
    EXPECT_EQ(QApplication::font().family(), QStringLiteral("IPAGothic"));
    Player p;
    p.start();
    // The longest filter text fits the type filter's box.
    const QFontMetrics fm(p.w->main0Combo->font());
    QStyleOptionComboBox opt;
    opt.initFrom(p.w->main0Combo);
    const QRect text = p.w->main0Combo->style()->subControlRect(
        QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, p.w->main0Combo);
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("(*.mid&*.wav&*.avi)")), text.width());
    QApplication::setFont(before);
}

#include "test_browser.moc"
