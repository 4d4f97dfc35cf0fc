// The nine settings: defaults, text form, round trip through the store, garbage values.
#include "TestSupport.h"
#include "core/SettingsText.h"

#include <QFile>
#include <QSettings>

using namespace zypo;
using namespace zypo::test;

TEST(SettingsText, NumbersCarryABlankUnlessNegative) {
    EXPECT_EQ(settingsNumberText(std::int16_t(2)), QStringLiteral(" 2"));
    EXPECT_EQ(settingsNumberText(std::int16_t(0)), QStringLiteral(" 0"));
    EXPECT_EQ(settingsNumberText(std::int16_t(-1)), QStringLiteral("-1"));
    EXPECT_EQ(settingsNumberText(std::int16_t(-45)), QStringLiteral("-45"));
    EXPECT_EQ(settingsNumberText(1.5), QStringLiteral(" 1.5"));
    EXPECT_EQ(settingsNumberText(2.5), QStringLiteral(" 2.5"));
    EXPECT_EQ(settingsNumberText(4.0), QStringLiteral(" 4"));
    EXPECT_EQ(settingsNumberText(0.5), QStringLiteral(" 0.5"));
}

TEST(SettingsText, ReadingIgnoresLeadingBlanksAndRejectsGarbage) {
    EXPECT_EQ(parseSettingsInt16(QStringLiteral(" 2")), std::optional<std::int16_t>(2));
    EXPECT_EQ(parseSettingsInt16(QStringLiteral("2")), std::optional<std::int16_t>(2));
    EXPECT_EQ(parseSettingsInt16(QStringLiteral("   -45")), std::optional<std::int16_t>(-45));
    EXPECT_EQ(parseSettingsInt16(QStringLiteral("abc")), std::nullopt);
    EXPECT_EQ(parseSettingsInt16(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(parseSettingsInt16(QStringLiteral("40000")), std::nullopt);
    EXPECT_EQ(parseSettingsInt16(QStringLiteral("1.5")), std::nullopt);
    EXPECT_EQ(parseSettingsReal(QStringLiteral(" 2.5")), std::optional<double>(2.5));
    EXPECT_EQ(parseSettingsReal(QStringLiteral("nan")), std::nullopt);
    EXPECT_EQ(parseSettingsReal(QStringLiteral("1e999")), std::nullopt);
}

TEST(Settings, EmptyStoreGivesTheDefaults) {
    Player p;
    p.M->SetteiLoad();
    EXPECT_EQ(p.M->MainTop, -1);
    EXPECT_EQ(p.M->MainLeft, -1);
    EXPECT_EQ(p.M->VideoTop, 0);
    EXPECT_EQ(p.M->VideoLeft, 0);
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
    EXPECT_EQ(p.M->PlayMode, 1);
    EXPECT_EQ(p.M->PlayWindow, 2);
    EXPECT_EQ(p.M->PlayErr, 1);
    EXPECT_EQ(p.M->AviSize, 1.0);
}

TEST(Settings, SaveWritesTheTextFormAndLoadReadsItBack) {
    Player p;
    p.M->MainLeft = 1200;
    p.M->MainTop = 600;
    p.M->VideoLeft = -45;
    p.M->VideoTop = 30;
    p.M->PlayMode = 2;
    p.M->PlayWindow = 3;
    p.M->PlayErr = 2;
    p.M->AviSize = 2.5;
    p.M->IniMidFile = QStringLiteral("C:\\音楽\\INIT.MID");
    ASSERT_TRUE(p.M->SetteiSave());

    QSettings raw(p.settings->filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Main/Left")).toString(), QStringLiteral(" 1200"));
    EXPECT_EQ(raw.value(QStringLiteral("Main/Top")).toString(), QStringLiteral(" 600"));
    EXPECT_EQ(raw.value(QStringLiteral("Video/Left")).toString(), QStringLiteral("-45"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Mode")).toString(), QStringLiteral(" 2"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Window")).toString(), QStringLiteral(" 3"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Err")).toString(), QStringLiteral(" 2"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Avi_Size")).toString(), QStringLiteral(" 2.5"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Ini_Mid_File")).toString(),
              QStringLiteral("C:\\音楽\\INIT.MID"));

    MAIN fresh(p.M->svc);
    IniSettingsStore again(p.settings->filePath());
    fresh.svc.settings = &again;
    fresh.SetteiLoad();
    EXPECT_EQ(fresh.MainLeft, 1200);
    EXPECT_EQ(fresh.VideoLeft, -45);
    EXPECT_EQ(fresh.PlayWindow, 3);
    EXPECT_EQ(fresh.AviSize, 2.5);
    EXPECT_EQ(fresh.IniMidFile, QStringLiteral("C:\\音楽\\INIT.MID"));
}

TEST(Settings, GarbageValuesFallBackToEachKeysDefault) {
    Player p;
    p.settings->write(QStringLiteral("Main"), QStringLiteral("Top"), QStringLiteral("lots"));
    p.settings->write(QStringLiteral("Main"), QStringLiteral("Left"), QStringLiteral("99999"));
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Play_Mode"), QStringLiteral("2"));
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Play_Window"), QStringLiteral(""));
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Avi_Size"), QStringLiteral("big"));
    p.M->SetteiLoad();
    EXPECT_EQ(p.M->MainTop, -1);
    EXPECT_EQ(p.M->MainLeft, -1);
    EXPECT_EQ(p.M->PlayMode, 2);
    EXPECT_EQ(p.M->PlayWindow, 2);
    EXPECT_EQ(p.M->AviSize, 1.0);
}

TEST(Settings, AFailedSaveLeavesThePreviousFileWhole) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; the full-disk case covers this as root";
    Player p;
    p.M->PlayMode = 2;
    ASSERT_TRUE(p.M->SetteiSave());
    QFile file(p.settings->filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    const QString dir = QFileInfo(p.settings->filePath()).absolutePath();
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    p.M->PlayMode = 1;
    EXPECT_FALSE(p.M->SetteiSave());
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST(SettingsText, ExtremeRealsKeepTheirExponentAndReadBack) {
    // Found by fuzzing: a tiny number used to be written as "-0".
    const double tiny = -1.000444e-21;
    EXPECT_EQ(settingsNumberText(tiny), QStringLiteral("-1.000444E-21"));
    EXPECT_EQ(parseSettingsReal(settingsNumberText(tiny)), std::optional<double>(tiny));
    EXPECT_EQ(parseSettingsReal(settingsNumberText(3e300)), std::optional<double>(3e300));
}
