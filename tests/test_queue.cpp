// Playlist expansion into the play queue, and the sequencer walking the queue.
#include "TestSupport.h"
#include "platform/MediaErrors.h"
#include "playlist/Rz0File.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

using namespace zypo;
using namespace zypo::test;

namespace {

struct Queue : ::testing::Test {
    void SetUp() override {
        for (const char* n : {"1.wav", "2.wav", "3.wav", "4.wav"})
            files << p.addMedia(QStringLiteral("media/") + QString::fromLatin1(n), {1000});
        writePlaylist(QStringLiteral("lists/FOUR.RZ0"),
                      "C:\\media\\1.wav\r\nC:\\media\\2.wav\r\nC:\\media\\3.wav\r\n"
                      "C:\\media\\4.wav\r\n");
        p.start(QStringLiteral("lists"));
        p.w->main0Combo->setCurrentIndex(4);
        p.w->main0Combo_Click();
    }
    void writePlaylist(const QString& rel, const QByteArray& bytes) {
        p.mkdir(QFileInfo(rel).path());
        QFile f(p.host(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void expand(const QString& name) {
        p.w->main0Flist->Refresh();
        for (int i = 0; i < p.w->main0Flist->ListCount(); ++i)
            if (p.w->main0Flist->List(i) == name)
                p.w->main0Flist->setListIndex(i);
        ASSERT_EQ(p.w->main0Flist->FileName(), name);
        p.w->C1->click();
    }
    QStringList queue() const {
        QStringList out;
        for (int i = 0; i < p.w->main0List2->ListCount(); ++i)
            out << p.w->main0List2->List(i);
        return out;
    }
    Player p;
    QStringList files;
};

} // namespace

TEST_F(Queue, ExpansionFillsTheQueueInFileOrderAndStartsNothing) {
    expand(QStringLiteral("FOUR.RZ0"));
    EXPECT_EQ(queue().size(), 4);
    EXPECT_EQ(queue().first(), QStringLiteral("C:\\media\\1.wav"));
    EXPECT_EQ(p.w->main0List2->ListIndex(), -1);
    EXPECT_FALSE(p.w->main0List2->isHidden());
    EXPECT_TRUE(p.w->main0Flist->isHidden());
    EXPECT_TRUE(p.w->C1->isHidden());
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
}

TEST_F(Queue, ASecondExpansionReplacesTheQueue) {
    writePlaylist(QStringLiteral("lists/ONE.rz0"), "C:\\media\\3.wav\r\n");
    expand(QStringLiteral("FOUR.RZ0"));
    expand(QStringLiteral("ONE.rz0"));
    EXPECT_EQ(queue(), QStringList({"C:\\media\\3.wav"}));
}

TEST_F(Queue, EmptyPlaylistAndBlankLines) {
    writePlaylist(QStringLiteral("lists/EMPTY.RZ0"), "");
    writePlaylist(QStringLiteral("lists/GAP.RZ0"), "C:\\media\\1.wav\r\n\r\nC:\\media\\2.wav");
    expand(QStringLiteral("EMPTY.RZ0"));
    EXPECT_TRUE(queue().isEmpty());
    EXPECT_FALSE(p.w->main0List2->isHidden());
    expand(QStringLiteral("GAP.RZ0"));
    EXPECT_EQ(queue(), QStringList({"C:\\media\\1.wav", "", "C:\\media\\2.wav"}));
}

TEST_F(Queue, DoubleClickOnAPlaylistExpandsIt) {
    p.w->main0Flist->setListIndex(0);
    p.w->main0Flist_DblClick();
    EXPECT_EQ(queue().size(), 4);
}

TEST_F(Queue, ClickOpensStoppedArrowKeyOpensTheNext) {
    expand(QStringLiteral("FOUR.RZ0"));
    p.w->show();
    p.w->main0List2->setListIndex(2);
    EXPECT_EQ(p.playing(), files[2]);
    EXPECT_FALSE(p.device()->isPlaying());
    EXPECT_EQ(p.panel(1), QStringLiteral("C:\\media\\3.wav"));
    QTest::keyClick(p.w->main0List2, Qt::Key_Down);
    EXPECT_EQ(p.playing(), files[3]);
    EXPECT_FALSE(p.device()->isPlaying());
}

TEST_F(Queue, TheQueuePlaysThroughTwiceEvenWhileHidden) {
    expand(QStringLiteral("FOUR.RZ0"));
    p.w->main0List2->setListIndex(0);
    // A folder change hides the queue, but the sequencer still walks it.
    p.w->main0Dir->setPath(QStringLiteral("C:\\media"));
    EXPECT_TRUE(p.w->main0List2->isHidden());
    p.w->main0List2->setListIndex(0);
    p.w->MMC->clickPlay();
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        order << QFileInfo(p.playing()).fileName();
        p.finishItem();
    }
    EXPECT_EQ(order, QStringList({"1.wav", "2.wav", "3.wav", "4.wav", "1.wav", "2.wav", "3.wav", "4.wav"}));
}

TEST_F(Queue, AnEmptyEntryOrAMissingFileIsReportedAndSkipped) {
    writePlaylist(QStringLiteral("lists/BAD.RZ0"),
                  "C:\\media\\1.wav\r\n\r\nC:\\media\\nope.wav\r\nC:\\media\\4.wav\r\n");
    expand(QStringLiteral("BAD.RZ0"));
    p.w->main0List2->setListIndex(0);
    p.w->MMC->clickPlay();
    p.finishItem();
    EXPECT_EQ(p.prompter.messages.size(), 2);
    EXPECT_EQ(p.playing(), files[3]);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST_F(Queue, WindowsPlaylistsWithOtherLetterCaseAndKanjiPlay) {
    p.addMedia(QStringLiteral("音楽/曲 1.wav"), {1000});
    QByteArray bytes("C:\\");
    bytes += QByteArray("\x89\xb9\x8a\x79", 4); // 音楽
    bytes += "\\";
    bytes += QByteArray("\x8b\xc8", 2); // 曲
    bytes += " 1.WAV\r\nC:\\MEDIA\\2.WAV\r\n";
    writePlaylist(QStringLiteral("lists/JP.RZ0"), bytes);
    expand(QStringLiteral("JP.RZ0"));
    EXPECT_EQ(queue()[0], QStringLiteral("C:\\音楽\\曲 1.WAV"));
    p.w->main0List2->setListIndex(0);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("音楽/曲 1.wav")));
    p.w->main0List2->setListIndex(1);
    EXPECT_EQ(p.playing(), files[1]);
}

TEST_F(Queue, AnEntryWithBrokenShiftJisFailsClearlyInsteadOfPlayingAnotherFile) {
    writePlaylist(QStringLiteral("lists/BROKEN.RZ0"), QByteArray("C:\\media\\\x81\x20.wav\r\n", 17));
    p.addMedia(QStringLiteral("media/ .wav"), {1000}); // what a careless decoder might turn it into
    expand(QStringLiteral("BROKEN.RZ0"));
    p.w->MenuSetti21_Click(2);
    p.w->main0List2->setListIndex(0);
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 275)")));
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
}

TEST_F(Queue, APlaylistThatCannotBeOpenedLeavesTheQueueEmptyWithAMessage) {
    expand(QStringLiteral("FOUR.RZ0"));
    p.w->main0Flist->setListIndex(0);
    QFile::remove(p.host(QStringLiteral("lists/FOUR.RZ0")));
    p.w->C1->click();
    EXPECT_TRUE(queue().isEmpty());
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("読み込みできません"));
}

TEST_F(Queue, AFileWithALineLongerThanAnyPathIsNoPlaylist) {
    expand(QStringLiteral("FOUR.RZ0"));
    ASSERT_EQ(queue().size(), 4);
    // A line of exactly the limit is still an entry; one byte more and the file is no playlist.
    writePlaylist(QStringLiteral("lists/EDGE.RZ0"), QByteArray(Rz0MaxLineBytes, 'x') + "\r\nC:\\a\r\n");
    expand(QStringLiteral("EDGE.RZ0"));
    EXPECT_EQ(queue().size(), 2);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    // 3 MB without a line break, named like a playlist: a message and the queue left empty.
    writePlaylist(QStringLiteral("lists/movie.rz0"),
                  QByteArray("C:\\media\\1.wav\r\n") + QByteArray(3 * 1024 * 1024, 'Z'));
    expand(QStringLiteral("movie.rz0"));
    EXPECT_TRUE(queue().isEmpty());
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("読み込みできません"));
    EXPECT_FALSE(p.w->main0List2->isHidden());
}

TEST_F(Queue, ExpandWithNoFileSelectedDoesNothingMore) {
    p.w->main0Flist->setCurrentRow(-1);
    p.w->C1_Click();
    EXPECT_TRUE(queue().isEmpty());
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST(QueueRoot, APlaylistInADriveRootIsFound) {
    Player p;
    p.addMedia(QStringLiteral("x.wav"));
    QFile f(p.host(QStringLiteral("ROOT.RZ0")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("C:\\x.wav\r\n");
    f.close();
    p.start();
    EXPECT_EQ(p.w->main0Dir->Path(), QStringLiteral("C:\\"));
    p.w->main0Combo->setCurrentIndex(4);
    p.w->main0Combo_Click();
    p.w->main0Flist->setListIndex(0);
    p.w->C1_Click();
    EXPECT_EQ(p.w->main0List2->ListCount(), 1);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST(QueueBig, ThirtyTwoThousandEntriesFillTheQueueAndStop) {
    Player p;
    QByteArray many;
    for (int i = 0; i < 33000; ++i)
        many += "C:\\songs\\" + QByteArray::number(i) + ".mid\r\n";
    QFile f(p.host(QStringLiteral("BIG.RZ0")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(many);
    f.close();
    p.start();
    p.w->main0Combo->setCurrentIndex(4);
    p.w->main0Combo_Click();
    p.w->main0Flist->setListIndex(0);
    p.w->C1_Click();
    EXPECT_EQ(p.w->main0List2->ListCount(), 32767);
    EXPECT_EQ(p.w->main0List2->List(32766), QStringLiteral("C:\\songs\\32766.mid"));
}
