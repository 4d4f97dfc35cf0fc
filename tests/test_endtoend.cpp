// The real executable, offscreen, started in a folder of demo media and ended the way a desktop
// session ends it: it must come up, and save its settings on the way out.
#include "tools/DemoMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

TEST(EndToEnd, StartsOnTheDemoFolderAndSavesItsSettingsWhenEnded) {
    QTemporaryDir tmp;
    const QString demo = tmp.filePath(QStringLiteral("demo"));
    QDir().mkpath(demo);
    for (auto [name, bytes] : {std::pair{"tune.mid", zypo::demo::midiTune()},
                               {"tones.wav", zypo::demo::wavTones(1)},
                               {"pattern.avi", zypo::demo::aviPattern(32, 24, 5)}}) {
        QFile f(demo + QLatin1Char('/') + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("ZYPO_AUDIO"), QStringLiteral("null"));
    env.insert(QStringLiteral("ZYPO_VIDEO"), QStringLiteral("null"));
    player.setProcessEnvironment(env);
    player.setWorkingDirectory(demo);
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../zypo");
    player.start(exe, {});
    ASSERT_TRUE(player.waitForStarted(30000)) << exe.toStdString();
    // Give it the time to come up; a crash at start-up shows as an early exit.
    EXPECT_FALSE(player.waitForFinished(3000)) << "the player ended by itself";
    ::kill(static_cast<pid_t>(player.processId()), SIGTERM);
    ASSERT_TRUE(player.waitForFinished(30000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
    QSettings saved(tmp.filePath(QStringLiteral("config/ZYPO3/ZYPO3.ini")), QSettings::IniFormat);
    EXPECT_EQ(saved.value(QStringLiteral("Data/Play_Mode")).toString(), QStringLiteral(" 1"));
    EXPECT_EQ(saved.value(QStringLiteral("Data/Ini_Mid_File")).toString(), QStringLiteral("xxxxxxxxXxxx"));
    EXPECT_EQ(saved.value(QStringLiteral("Data/Avi_Size")).toString(), QStringLiteral(" 1"));
    EXPECT_TRUE(saved.contains(QStringLiteral("Main/Left")));
}
