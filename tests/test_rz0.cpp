// Playlist files: exact bytes both ways, line ends, Shift-JIS, limits, safe replace.
#include "platform/Cp932.h"
#include "playlist/Rz0File.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zypo;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

TEST(Rz0, TheThirtyOneByteExampleBothWays) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ZYPO.RZ0"));
    const QStringList entries{QStringLiteral("C:\\MIDI\\A.MID"), QStringLiteral("D:\\VIDEO\\B.AVI")};
    ASSERT_EQ(WriteRz0File(path, entries), Rz0Result::Opened);
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(bytes.size(), 31);
    EXPECT_EQ(bytes, QByteArray("C:\\MIDI\\A.MID\r\nD:\\VIDEO\\B.AVI\r\n"));
    QStringList back;
    ASSERT_EQ(ReadRz0File(path, back), Rz0Result::Opened);
    EXPECT_EQ(back, entries);
}

TEST(Rz0, LineEndsAsTheReaderTakesThem) {
    EXPECT_EQ(parseRz0("A\r\nB"), QStringList({"A", "B"}));     // no final terminator
    EXPECT_EQ(parseRz0("A\r\nB\r\n"), QStringList({"A", "B"})); // no extra empty entry
    EXPECT_EQ(parseRz0("A\rB\r"), QStringList({"A", "B"}));     // lone CR
    EXPECT_EQ(parseRz0("A\r\n\r\nB\r\n"), QStringList({"A", "", "B"}));
    EXPECT_EQ(parseRz0(""), QStringList());
    EXPECT_EQ(parseRz0("X\r\nX\r\nX\r\n"), QStringList({"X", "X", "X"}));
    EXPECT_EQ(parseRz0("C:\\a b\\x.y.z.mid\r\n"), QStringList({"C:\\a b\\x.y.z.mid"}));
}

TEST(Rz0, KanjiAndHalfWidthKatakanaAreShiftJisBytes) {
    const QString entry = QStringLiteral("C:\\音楽\\ｼﾞﾎﾟ ①～.mid");
    const QByteArray bytes = formatRz0({entry});
    EXPECT_EQ(bytes.left(3), QByteArray("C:\\"));
    EXPECT_EQ(bytes.mid(3, 4), QByteArray("\x89\xb9\x8a\x79")); // 音楽
    EXPECT_EQ(bytes.mid(8, 4), QByteArray("\xbc\xde\xce\xdf")); // ｼﾞﾎﾟ, one byte each
    EXPECT_EQ(parseRz0(bytes), QStringList({entry}));
}

TEST(Rz0, InvalidShiftJisBytesStayApartAndWriteBackTheSame) {
    const QByteArray bytes("C:\\\x81\x20\xff\xa0.mid\r\nC:\\ok.mid\r\n\x82", 25);
    const QStringList entries = parseRz0(bytes).value();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_TRUE(Cp932::hasInvalidBytes(entries[0]));
    EXPECT_FALSE(entries[0].contains(QStringLiteral("C:\\ .mid"))); // no byte silently dropped
    EXPECT_EQ(entries[1], QStringLiteral("C:\\ok.mid"));
    EXPECT_EQ(formatRz0(entries), bytes + "\r\n");
}

TEST(Rz0, ReadingStopsAtThirtyTwoThousandSevenHundredSixtySeven) {
    QByteArray many;
    for (int i = 0; i < 32768; ++i)
        many += "C:\\" + QByteArray::number(i) + ".mid\r\n";
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("big.rz0")), many);
    QStringList entries;
    ASSERT_EQ(ReadRz0File(dir.filePath(QStringLiteral("big.rz0")), entries), Rz0Result::Opened);
    EXPECT_EQ(entries.size(), 32767);
    EXPECT_EQ(entries.last(), QStringLiteral("C:\\32766.mid"));
}

TEST(Rz0, AShorterListReplacesTheWholeFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("L.RZ0"));
    ASSERT_EQ(WriteRz0File(path, {"C:\\1.mid", "C:\\2.mid", "C:\\3.mid"}), Rz0Result::Opened);
    ASSERT_EQ(WriteRz0File(path, {"C:\\9.mid"}), Rz0Result::Opened);
    EXPECT_EQ(readAll(path), QByteArray("C:\\9.mid\r\n"));
}

TEST(Rz0, MissingFileOrFolderFailsToOpenAndLeavesNothing) {
    QTemporaryDir dir;
    QStringList entries{"kept"};
    EXPECT_EQ(ReadRz0File(dir.filePath(QStringLiteral("none.rz0")), entries), Rz0Result::OpenFailed);
    EXPECT_EQ(entries, QStringList({"kept"}));
    EXPECT_EQ(WriteRz0File(dir.filePath(QStringLiteral("no/such/ZYPO.RZ0")), {"C:\\a.mid"}),
              Rz0Result::OpenFailed);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("no"))));
}

TEST(Rz0, AWriteIntoAReadOnlyFolderLeavesTheOldFileWhole) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write into a read-only folder";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro/OLD.RZ0"));
    QDir().mkpath(dir.filePath(QStringLiteral("ro")));
    writeAll(path, "C:\\old.mid\r\n");
    QFile::setPermissions(dir.filePath(QStringLiteral("ro")), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_NE(WriteRz0File(path, {"C:\\new.mid"}), Rz0Result::Opened);
    QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(path), QByteArray("C:\\old.mid\r\n"));
}

TEST(Rz0, CharactersWithTwoCodesKeepTheBytesTheyCameWith) {
    // Found by fuzzing: the NEC form of an IBM extension character (EE 49) used to be written
    // back in its other form, and a stray lead byte then joined the next one on reading.
    const QByteArray bytes("C:\\MI*\xee\xee\xee\xee"
                           "I\\A.M\xc7"
                           "D\r\n",
                           19);
    const QStringList entries = parseRz0(bytes).value();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(formatRz0(entries), bytes);
    EXPECT_EQ(parseRz0(formatRz0(entries)), entries);
    // The IBM form is the one the code page writes: it reads as the character.
    const QString ibm = Cp932::decode(QByteArray("\xfa\x40", 2));
    EXPECT_EQ(ibm, QStringLiteral("ⅰ"));
    EXPECT_EQ(Cp932::encode(ibm), QByteArray("\xfa\x40", 2));
}

TEST(Rz0, ReadInPiecesAsParsedWholeEvenWhenALineEndStraddlesAPiece) {
    // The reader takes the file in 64 KiB pieces: a CR at the end of one piece and its LF at the
    // start of the next are one line end, and a line split across pieces is one entry.
    QTemporaryDir dir;
    for (const qsizetype crAt : {qsizetype(65535), qsizetype(65536), qsizetype(65534)}) {
        QByteArray bytes;
        while (bytes.size() < crAt - 40)
            bytes += "C:\\MUSIC\\SONG.MID\r\n";
        bytes += QByteArray(crAt - bytes.size(), 'x');
        bytes += "\r\nC:\\LAST.WAV";
        const QString path = dir.filePath(QStringLiteral("p%1.rz0").arg(crAt));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(bytes), bytes.size());
        }
        QStringList read;
        ASSERT_EQ(ReadRz0File(path, read), Rz0Result::Opened);
        EXPECT_EQ(read, parseRz0(bytes).value()) << crAt;
        EXPECT_EQ(read.constLast(), QStringLiteral("C:\\LAST.WAV"));
    }
}
