// The playlist editor and its recursive search.
#include "TestSupport.h"
#include "platform/FileId.h"
#include "playlist/DefFileSDL.h"
#include "playlist/Rz0File.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

using namespace zypo;
using namespace zypo::test;

namespace {

struct Editor : ::testing::Test {
    void SetUp() override {
        p.mkdir(QStringLiteral("save"));
        p.start(QStringLiteral("save"));
        ed = std::make_unique<DefFileSDL>(*p.M);
    }
    void TearDown() override { ed.reset(); }
    void browse(const QString& drivePath) { ASSERT_TRUE(ed->DefFileDir1->setPath(drivePath)); }
    void filter(int index) {
        ed->DefCombo->setCurrentIndex(index);
        ed->DefCombo_Click();
    }
    void dblClickFile(const QString& name) {
        for (int i = 0; i < ed->DefFileList1->ListCount(); ++i)
            if (ed->DefFileList1->List(i) == name) {
                ed->DefFileList1->setCurrentRow(i);
                ed->DefFileList1_DblClick();
                return;
            }
        FAIL() << "no file " << name.toStdString();
    }
    QStringList saveList() const {
        QStringList out;
        for (int i = 0; i < ed->DefFileList2->ListCount(); ++i)
            out << ed->DefFileList2->List(i);
        return out;
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& m : p.prompter.messages)
            out << m.text;
        return out;
    }
    Player p;
    std::unique_ptr<DefFileSDL> ed;
};

} // namespace

TEST_F(Editor, OpensOnTheCurrentFolderWithTheDefaultName) {
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("連続再生ﾌｧｲﾙの作成"));
    EXPECT_EQ(ed->size(), QSize(599, 380));
    EXPECT_EQ(ed->DefFileName->text(), QStringLiteral("ZYPO.RZ0"));
    EXPECT_EQ(ed->DefFileDirName->text(), QStringLiteral("C:\\save"));
    EXPECT_TRUE(ed->DefFileDirName->isHidden());
    EXPECT_EQ(ed->DefFileSaveName->text(), QStringLiteral("C:\\save\\ZYPO.RZ0"));
    EXPECT_EQ(ed->DefCombo->count(), 5);
    EXPECT_EQ(ed->DefFileList1->Pattern(), QStringLiteral("*.mid;*.wav;*.avi"));
    EXPECT_EQ(p.M->DefFileType, 0);
    for (const char* name : {"DefFlieDL", "DefFileDrive1", "DefShrSDL", "DefFileDir1", "DefCombo",
                             "DefFileFL", "DefFileSaveName", "DefFileFLL", "DefFileList1", "DefFileDirName",
                             "DefFileName", "DefFileOk", "DefFileDel", "DefFileSub", "DefFileMove",
                             "DefFileClr", "DefFileEnd", "DefFileList2L", "DefFileList2"})
        EXPECT_NE(ed->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(ed->DefFileOk->text(), QStringLiteral("保存"));
    EXPECT_EQ(ed->DefFileClr->text(), QStringLiteral("ｸﾘﾔｰ"));
    EXPECT_EQ(ed->DefFileList2L->text(), QStringLiteral("保存対象のファイル"));
}

TEST(EditorNameRule, KeepsTheNameEndingInRz0) {
    EXPECT_EQ(DefFileSDL::nameRule(QStringLiteral("LIST")), QStringLiteral("LIST.RZ0"));
    EXPECT_EQ(DefFileSDL::nameRule(QStringLiteral("LIST.TXT")), QStringLiteral("LIST.RZ0"));
    EXPECT_EQ(DefFileSDL::nameRule(QStringLiteral("A.B.C")), QStringLiteral("A.RZ0"));
    EXPECT_EQ(DefFileSDL::nameRule(QStringLiteral("LIST.")), QStringLiteral("LIST.RZ0"));
    EXPECT_EQ(DefFileSDL::nameRule(QStringLiteral("list.rz0")), QStringLiteral("list.rz0"));
    EXPECT_EQ(DefFileSDL::nameRule(QString()), QStringLiteral(".RZ0"));
    EXPECT_EQ(DefFileSDL::nameRule(QStringLiteral("ZYPO.RZ")), QStringLiteral("ZYPO.RZ0"));
}

TEST_F(Editor, TypingInTheNameFieldFollowsTheRuleAndTheLabel) {
    ed->DefFileName->setText(QStringLiteral("LIST"));
    EXPECT_EQ(ed->DefFileName->text(), QStringLiteral("LIST.RZ0"));
    EXPECT_EQ(ed->DefFileSaveName->text(), QStringLiteral("C:\\save\\LIST.RZ0"));
    ed->DefFileName->setText(QString());
    EXPECT_EQ(ed->DefFileName->text(), QStringLiteral(".RZ0"));
}

TEST_F(Editor, DoubleClicksAddAndRemoveEntries) {
    p.addMedia(QStringLiteral("music/a.mid"));
    p.addMedia(QStringLiteral("music/b.wav"));
    browse(QStringLiteral("C:\\music"));
    dblClickFile(QStringLiteral("a.mid"));
    dblClickFile(QStringLiteral("a.mid"));
    dblClickFile(QStringLiteral("b.wav"));
    EXPECT_EQ(saveList(), QStringList({"C:\\music\\a.mid", "C:\\music\\a.mid", "C:\\music\\b.wav"}));
    ed->DefFileList2->setCurrentRow(1);
    ed->DefFileList2_DblClick();
    EXPECT_EQ(saveList(), QStringList({"C:\\music\\a.mid", "C:\\music\\b.wav"}));
    ed->DefFileList2->setCurrentRow(-1);
    ed->DefFileList2_DblClick();
    EXPECT_EQ(saveList().size(), 2);
    ed->DefFileClr->click();
    EXPECT_TRUE(saveList().isEmpty());
}

TEST_F(Editor, SaveWritesIntoTheSaveFolderWhateverIsBrowsed) {
    p.addMedia(QStringLiteral("music/a.mid"));
    p.addMedia(QStringLiteral("other/OLD.RZ0"));
    QFile f(p.host(QStringLiteral("other/OLD.RZ0")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("C:\\music\\a.mid\r\nC:\\x.wav\r\n");
    f.close();
    browse(QStringLiteral("C:\\other"));
    filter(4);
    dblClickFile(QStringLiteral("OLD.RZ0")); // loads it: name taken, entries appended
    dblClickFile(QStringLiteral("OLD.RZ0"));
    EXPECT_EQ(ed->DefFileName->text(), QStringLiteral("OLD.RZ0"));
    EXPECT_EQ(saveList().size(), 4);
    ed->show();
    ed->DefFileOk->click();
    EXPECT_TRUE(ed->isHidden());
    EXPECT_TRUE(saveList().isEmpty());
    EXPECT_EQ(readAll(p.host(QStringLiteral("save/OLD.RZ0"))),
              QByteArray("C:\\music\\a.mid\r\nC:\\x.wav\r\nC:\\music\\a.mid\r\nC:\\x.wav\r\n"));
    EXPECT_EQ(readAll(p.host(QStringLiteral("other/OLD.RZ0"))),
              QByteArray("C:\\music\\a.mid\r\nC:\\x.wav\r\n"));
}

TEST_F(Editor, SaveWithNothingToWriteAndAnUnreadablePlaylist) {
    ed->DefFileOk->click();
    EXPECT_EQ(texts(), QStringList({"書き込むデータがありません"}));
    EXPECT_FALSE(QFile::exists(p.host(QStringLiteral("save/ZYPO.RZ0"))));
    p.addMedia(QStringLiteral("lists/GONE.RZ0"));
    browse(QStringLiteral("C:\\lists"));
    filter(4);
    QFile::remove(p.host(QStringLiteral("lists/GONE.RZ0")));
    dblClickFile(QStringLiteral("GONE.RZ0"));
    EXPECT_EQ(texts().last(), QStringLiteral("読み込みできません"));
    EXPECT_EQ(ed->DefFileName->text(), QStringLiteral("GONE.RZ0"));
}

TEST_F(Editor, ASaveThatCannotBeWrittenKeepsTheListAndTheOldFile) {
    p.addMedia(QStringLiteral("music/a.mid"));
    browse(QStringLiteral("C:\\music"));
    dblClickFile(QStringLiteral("a.mid"));
    QDir(p.host(QStringLiteral("save"))).removeRecursively(); // the save folder vanished
    ed->show();
    ed->DefFileOk->click();
    EXPECT_EQ(texts(), QStringList({"書き込みでエラーが発生したか、もしくは書き込みができません "}));
    EXPECT_EQ(saveList().size(), 1);
    EXPECT_TRUE(ed->isVisible());
}

TEST_F(Editor, SaveFolderAtADriveRoot) {
    ed.reset();
    QDir::setCurrent(p.host(QString()));
    ed = std::make_unique<DefFileSDL>(*p.M);
    EXPECT_EQ(ed->DefFileSaveName->text(), QStringLiteral("C:\\ZYPO.RZ0"));
}

TEST_F(Editor, DeleteOnlyPlaylistFiles) {
    p.addMedia(QStringLiteral("lists/a.mid"));
    p.addMedia(QStringLiteral("lists/X.RZ0"));
    browse(QStringLiteral("C:\\lists"));
    ed->DefFileList1->setCurrentRow(0); // a.mid
    ed->DefFileList2->AddItem(QStringLiteral("C:\\keep.mid"));
    ed->DefFileDel->click();
    EXPECT_EQ(texts(), QStringList({"RZ0ファイル選択中でないと削除できません"}));
    EXPECT_TRUE(QFile::exists(p.host(QStringLiteral("lists/a.mid"))));
    filter(4);
    ed->DefFileList1->setCurrentRow(0);
    ed->DefFileDel->click();
    EXPECT_FALSE(QFile::exists(p.host(QStringLiteral("lists/X.RZ0"))));
    EXPECT_EQ(ed->DefFileList1->ListCount(), 0);
    EXPECT_TRUE(saveList().isEmpty());
}

TEST_F(Editor, SelectAllOnAnEmptyFolder) {
    p.mkdir(QStringLiteral("empty"));
    browse(QStringLiteral("C:\\empty"));
    ed->DefFileMove->click();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("選択できません"));
    EXPECT_EQ(p.prompter.messages[0].title, QStringLiteral("ジポプレーヤー(全選択)"));
    EXPECT_TRUE(ed->DefFileMove->isEnabled());
}

TEST_F(Editor, SearchOrderIsDepthFirstEachFolderBeforeItsSubfolders) {
    for (const char* f : {"top/a.mid", "top/b.wav", "top/S1/c.avi", "top/S1/T/d.mid", "top/S2/e.wav",
                          "top/S2/note.txt", "top/.hid/h.mid", "top/pagefile.sys", "top/PageFile.Sys/p.mid"})
        p.addMedia(QString::fromLatin1(f));
    browse(QStringLiteral("C:\\top"));
    ed->DefFileSub->click();
    EXPECT_EQ(saveList(), QStringList({"C:\\top\\a.mid", "C:\\top\\b.wav", "C:\\top\\S1\\c.avi",
                                       "C:\\top\\S1\\T\\d.mid", "C:\\top\\S2\\e.wav"}));
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("終了しました"));
    EXPECT_EQ(p.prompter.messages[0].title, QStringLiteral("ジポプレーヤー(全検索､全選択 )"));
    EXPECT_EQ(p.prompter.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(ed->DefFileList1->Path(), QStringLiteral("C:\\top"));
    EXPECT_TRUE(ed->DefFileSub->isEnabled());
    EXPECT_TRUE(ed->DefFileMove->isEnabled());
    EXPECT_FALSE(ed->DefSearching);
    // Twice appends twice.
    ed->DefFileSub->click();
    EXPECT_EQ(saveList().size(), 10);
}

TEST_F(Editor, SearchWithNothingFoundAndFiveLevelsDeep) {
    p.mkdir(QStringLiteral("none/x"));
    browse(QStringLiteral("C:\\none"));
    ed->DefFileSub->click();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("見つかりませんでした"));
    EXPECT_EQ(p.prompter.messages[0].title, QStringLiteral("ジポプレーヤー(全検索、全選択)"));
    EXPECT_EQ(p.prompter.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(saveList().isEmpty());

    p.addMedia(QStringLiteral("deep/1/2/3/4/5/x.mid"));
    browse(QStringLiteral("C:\\deep"));
    ed->DefFileSub->click();
    EXPECT_EQ(saveList(), QStringList({"C:\\deep\\1\\2\\3\\4\\5\\x.mid"}));
    EXPECT_EQ(p.prompter.messages.last().text, QStringLiteral("終了しました"));
}

TEST_F(Editor, SearchFromADriveRootAndForPlaylists) {
    p.addMedia(QStringLiteral("SUB/X.MID"));
    p.addMedia(QStringLiteral("SUB/L.rz0"));
    browse(QStringLiteral("C:\\"));
    ed->DefFileSub->click();
    EXPECT_TRUE(saveList().contains(QStringLiteral("C:\\SUB\\X.MID")));
    ed->DefFileClr->click();
    filter(4);
    ed->DefFileSub->click();
    EXPECT_EQ(saveList(), QStringList({"C:\\SUB\\L.rz0"}));
}

TEST_F(Editor, ALinkBackUpTheTreeIsNotFollowed) {
    p.addMedia(QStringLiteral("loop/a.mid"));
    p.addMedia(QStringLiteral("loop/in/b.mid"));
    ASSERT_TRUE(QFile::link(p.host(QStringLiteral("loop")), p.host(QStringLiteral("loop/in/back"))));
    browse(QStringLiteral("C:\\loop"));
    ed->DefFileSub->click();
    EXPECT_EQ(saveList(), QStringList({"C:\\loop\\a.mid", "C:\\loop\\in\\b.mid"}));
}

TEST_F(Editor, OnlyFoldersAreEnteredAndNeverThePseudoFileSystems) {
    p.addMedia(QStringLiteral("t/a.mid"));
    p.addMedia(QStringLiteral("t/real/b.mid"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(p.host(QStringLiteral("t/pipe"))).constData(), 0600), 0);
    // Links into the kernel's file systems, as C:\ (the root folder) holds them.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc"), p.host(QStringLiteral("t/proc"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/sys"), p.host(QStringLiteral("t/sys"))));
    browse(QStringLiteral("C:\\t"));
    ed->DefFileSub->click();
    EXPECT_EQ(saveList(), QStringList({"C:\\t\\a.mid", "C:\\t\\real\\b.mid"}));
    EXPECT_FALSE(folderId(p.host(QStringLiteral("t/pipe"))).has_value());
    EXPECT_TRUE(folderId(p.host(QStringLiteral("t/real"))).has_value());
    // /proc, /sys and /dev are the kernel's, and known as such from the mount table.
    const auto pseudo = pseudoFileSystemDevices();
    for (const char* path : {"/proc", "/sys", "/dev"}) {
        const auto id = folderId(QString::fromLatin1(path));
        ASSERT_TRUE(id.has_value()) << path;
        EXPECT_TRUE(pseudo.contains(id->device)) << path;
    }
    EXPECT_FALSE(pseudo.contains(folderId(p.host(QStringLiteral("t")))->device));
}

TEST(EditorDrives, WhenTheDriveToGoBackToHasGoneTooTheEditorGoesToC) {
    Player p;
    const QString stick = p.tmp.filePath(QStringLiteral("stick"));
    QDir().mkpath(stick);
    p.drives = DriveMap({{QLatin1Char('C'), p.host(QString())},
                         {QLatin1Char('D'), stick},
                         {QLatin1Char('E'), p.tmp.filePath(QStringLiteral("nodisc"))}});
    p.mkdir(QStringLiteral("save"));
    p.start(QStringLiteral("save"));
    DefFileSDL ed(*p.M);
    ed.DefFileDrive1->setDrive(QLatin1Char('D'));
    ASSERT_EQ(ed.DefLastDrive.at(0), QLatin1Char('d'));
    QDir(stick).removeRecursively();
    p.prompter.whileShown = [&](const Message&) {
        if (p.prompter.messages.size() == 5)
            QDir().mkpath(stick); // ends the endless message if it comes back
    };
    ed.DefFileDrive1->setDrive(QLatin1Char('E'));
    EXPECT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(ed.DefFileDrive1->DriveLetter(), QLatin1Char('C'));
    EXPECT_EQ(ed.DefFileDir1->Path().left(2), QStringLiteral("C:"));
}

TEST_F(Editor, AnUnreadableFolderIsPassedOver) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    p.addMedia(QStringLiteral("t/a.mid"));
    p.addMedia(QStringLiteral("t/locked/b.mid"));
    p.addMedia(QStringLiteral("t/z/c.mid"));
    QFile::setPermissions(p.host(QStringLiteral("t/locked")), QFile::WriteOwner);
    browse(QStringLiteral("C:\\t"));
    ed->DefFileSub->click();
    QFile::setPermissions(p.host(QStringLiteral("t/locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(saveList(), QStringList({"C:\\t\\a.mid", "C:\\t\\z\\c.mid"}));
}

TEST_F(Editor, CancelDuringASearchEndsIt) {
    for (int i = 0; i < 30; ++i)
        p.addMedia(QStringLiteral("many/d%1/x.mid").arg(i, 2, 10, QLatin1Char('0')));
    browse(QStringLiteral("C:\\many"));
    ed->show();
    int yields = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++yields == 1)
            ed->DefFileEnd->click();
    });
    tick.start(0);
    ed->DefFileSub->click();
    tick.stop();
    EXPECT_TRUE(ed->isHidden());
    EXPECT_LT(saveList().size(), 30);
    EXPECT_FALSE(ed->DefSearching);
    EXPECT_TRUE(ed->DefFileSub->isEnabled());
}

TEST(EditorFromMenu, ModalAndKeepsItsStateBetweenOpenings) {
    Player p;
    p.addMedia(QStringLiteral("m/a.mid"));
    p.start(QStringLiteral("m"));
    QTimer::singleShot(0, [&] {
        DefFileSDL* ed = p.w->existingEditor();
        ASSERT_NE(ed, nullptr);
        EXPECT_TRUE(ed->isModal());
        ed->DefFileName->setText(QStringLiteral("MINE"));
        ed->DefFileList2->AddItem(QStringLiteral("C:\\m\\a.mid"));
        ed->DefFileEnd->click();
    });
    p.w->MenuFile1_Click(1);
    DefFileSDL* ed = p.w->existingEditor();
    EXPECT_TRUE(ed->isHidden());
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(ed->DefFileName->text(), QStringLiteral("MINE.RZ0"));
        EXPECT_EQ(ed->DefFileList2->ListCount(), 0);
        ed->close(); // the close box acts as "ｷｬﾝｾﾙ"
    });
    p.w->MenuFile1_Click(1);
    EXPECT_EQ(p.w->existingEditor(), ed);
    EXPECT_TRUE(ed->isHidden());
}
