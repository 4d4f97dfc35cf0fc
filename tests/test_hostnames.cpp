// File and folder names in Shift-JIS bytes, as old CD-ROMs and archives unpack on Linux, and in
// bytes that are no text at all: listed as the user reads them, played, found by the editor's
// search, and kept byte for byte in playlists.
#include "TestSupport.h"
#include "platform/Cp932.h"
#include "platform/HostPath.h"
#include "platform/media/SystemMedia.h"
#include "playlist/DefFileSDL.h"
#include "playlist/Rz0File.h"
#include "tools/DemoMedia.h"

#include <QPushButton>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace zypo;
using namespace zypo::test;

namespace {

const QByteArray Tesuto("\x83\x65\x83\x58\x83\x67", 6); // テスト in code page 932
const QByteArray Ongaku("\x89\xb9\x8a\x79", 4);         // 音楽
const QByteArray Garbage("\xff\xfe\x41", 3);            // neither UTF-8 nor code page 932

struct Names : ::testing::Test {
    void SetUp() override {
        p.addMedia(QStringLiteral("m/b.wav"));
        make("m/", Tesuto + ".wav");
        make("m/", Garbage + ".wav");
        ASSERT_EQ(::mkdir((root() + "m/" + Ongaku).constData(), 0755), 0);
        make("m/" + Ongaku + "/", "c.wav");
        p.start(QStringLiteral("m"));
    }
    void TearDown() override {
        // Qt's own removal cannot name these files.
        std::filesystem::remove_all(std::filesystem::path(root().toStdString()) / "m");
    }
    QByteArray root() const { return QFile::encodeName(p.host(QString())); }
    /// A file whose name is the given bytes.
    void make(const QByteArray& folder, const QByteArray& name) {
        const int fd = ::open((root() + folder + name).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << name.toHex().toStdString();
        ASSERT_EQ(::write(fd, "media", 5), 5);
        ::close(fd);
    }
    QStringList listed() const {
        QStringList out;
        for (int i = 0; i < p.w->main0Flist->ListCount(); ++i)
            out << p.w->main0Flist->List(i);
        return out;
    }
    void select(const QString& name) {
        const int i = static_cast<int>(listed().indexOf(name));
        ASSERT_GE(i, 0) << name.toStdString();
        p.w->main0Flist->setListIndex(i);
    }
    Player p;
};

} // namespace

TEST(HostPath, EveryByteOfANameComesBackTheSame) {
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != '/')
            all.append(char(b));
    for (const QByteArray& name :
         {all, Tesuto, Garbage, QByteArray("ok-\xe3\x83\x86.wav"), QByteArray("\xe3\x83")})
        EXPECT_EQ(hostBytes(hostText(name)), name) << name.toHex().toStdString();
    // Valid UTF-8 stays ordinary text.
    EXPECT_EQ(hostText(QByteArray("\xe3\x83\x86\xe3\x82\xb9.wav")), QStringLiteral("テス.wav"));
    // In a drive path: Shift-JIS read as such; bytes that are no character kept apart.
    EXPECT_EQ(driveName(hostText(Tesuto + ".wav")), QStringLiteral("テスト.wav"));
    const QString garbage = driveName(hostText(Garbage));
    EXPECT_TRUE(Cp932::hasInvalidBytes(garbage));
    EXPECT_EQ(Cp932::encode(garbage), Garbage);
    EXPECT_EQ(Cp932::readable(garbage), QStringLiteral("\uFFFD\uFFFDA"));
}

TEST_F(Names, TheFileListShowsShiftJisNamesAndEveryNamePlays) {
    const QString tesuto = QStringLiteral("テスト.wav");
    const QString garbage = driveName(hostText(Garbage + ".wav"));
    EXPECT_EQ(listed().size(), 3);
    EXPECT_TRUE(listed().contains(tesuto));
    EXPECT_TRUE(listed().contains(QStringLiteral("b.wav")));
    EXPECT_TRUE(listed().contains(garbage));
    // The name that is no text is shown readably.
    const auto shown = p.w->main0Flist->findItems(QStringLiteral("\uFFFD\uFFFDA.wav"), Qt::MatchExactly);
    EXPECT_EQ(shown.size(), 1);

    select(tesuto);
    EXPECT_EQ(p.panel(1), QStringLiteral("C:\\m\\テスト.wav"));
    ASSERT_FALSE(p.playing().isEmpty());
    EXPECT_EQ(hostBytes(p.playing()), root() + "m/" + Tesuto + ".wav");
    p.w->MMC->clickPlay();
    EXPECT_TRUE(p.device()->isPlaying());

    select(garbage);
    ASSERT_FALSE(p.playing().isEmpty());
    EXPECT_EQ(hostBytes(p.playing()), root() + "m/" + Garbage + ".wav");
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST_F(Names, AShiftJisFolderIsBrowsedAndSearched) {
    const QString ongaku = QStringLiteral("音楽");
    bool shown = false;
    for (int i = 0; i < p.w->main0Dir->count(); ++i)
        shown = shown || p.w->main0Dir->item(i)->text().trimmed() == ongaku;
    EXPECT_TRUE(shown);
    ASSERT_TRUE(p.w->main0Dir->setPath(QStringLiteral("C:\\m\\音楽")));
    EXPECT_EQ(listed(), QStringList({"c.wav"}));

    DefFileSDL editor(*p.M);
    ASSERT_TRUE(editor.DefFileDir1->setPath(QStringLiteral("C:\\m")));
    editor.DefFileSub->click();
    QStringList found;
    for (int i = 0; i < editor.DefFileList2->ListCount(); ++i)
        found << editor.DefFileList2->List(i);
    EXPECT_TRUE(found.contains(QStringLiteral("C:\\m\\音楽\\c.wav")));
    EXPECT_TRUE(found.contains(QStringLiteral("C:\\m\\テスト.wav")));
    EXPECT_EQ(found.size(), 4);
}

TEST_F(Names, PlaylistsKeepTheBytesAndFindTheFiles) {
    // Written by the editor's writer: the entries' names are the files' own bytes.
    const QString list = p.host(QStringLiteral("m/LIST.RZ0"));
    const QString garbage = QStringLiteral("C:\\m\\") + driveName(hostText(Garbage + ".wav"));
    ASSERT_EQ(WriteRz0File(
                  list, {QStringLiteral("C:\\m\\音楽\\c.wav"), QStringLiteral("C:\\m\\テスト.wav"), garbage}),
              Rz0Result::Opened);
    EXPECT_EQ(readAll(list),
              "C:\\m\\" + Ongaku + "\\c.wav\r\nC:\\m\\" + Tesuto + ".wav\r\nC:\\m\\" + Garbage + ".wav\r\n");
    // Expanded, each entry plays its file.
    p.w->main0Combo->setCurrentIndex(4);
    p.w->main0Combo_Click();
    select(QStringLiteral("LIST.RZ0"));
    p.w->C1->click();
    ASSERT_EQ(p.w->main0List2->ListCount(), 3);
    const QByteArray expected[] = {root() + "m/" + Ongaku + "/c.wav", root() + "m/" + Tesuto + ".wav",
                                   root() + "m/" + Garbage + ".wav"};
    for (int i = 0; i < 3; ++i) {
        p.w->main0List2->setListIndex(i);
        EXPECT_EQ(hostBytes(p.playing()), expected[i]) << i;
    }
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST_F(Names, TheRealEnginesOpenAShiftJisNameByItsBytes) {
    const QByteArray folder = root() + "m/";
    const auto writeRaw = [&](const QByteArray& name, const QByteArray& content) {
        const int fd = ::open((folder + name).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, content.constData(), static_cast<size_t>(content.size())), content.size());
        ::close(fd);
        return hostText(folder + name);
    };
    auto backend = createSystemMediaBackend(nullptr);
    const QString wav = writeRaw(Tesuto + ".wav", demo::toneWav(440, 500));
    const QString mid = writeRaw(Tesuto + ".mid", demo::heldNoteMidi(60, 500));
    for (const QString& path : {wav, mid}) {
        int err = -1;
        auto device = backend->create(path, QString(), err);
        ASSERT_TRUE(device);
        EXPECT_EQ(device->open(path), 0);
        EXPECT_NEAR(device->length(), 500, 30);
        device->close();
    }
}
